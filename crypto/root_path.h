// The process-wide root path and the library search below it.
#pragma once

#include <vector>

#include "platform/types.h"

namespace selvane {

// Process-wide state: OrvRoot and OrvRootDirs.  Created and destroyed by the
// library's start-up and shut-down (library_state.h).
void InitRootPath();
void DoneRootPath();

string OrvRoot();                  // empty until set; then ends with "/"
std::vector<string> OrvRootDirs();  // a snapshot: EXE/, SYSTEM/, USER/ once set

// Fixes the root once per process; the same root again is accepted, another
// one raises Exception("Could not set OrvRoot to '%s'. Already set to '%s'.").
void SetOrvRoot(const string& aPath);

// Appends the directories that PATH does not hold yet as whole entries.
void AddDirsToPath(const std::vector<string>& aDirs);

// The file to load for a library name: the host program's directory, then
// OrvRootDirs, else the name unchanged for the system loader.
string FindLibraryPath(const string& aFileName);

// Loads a library found by FindLibraryPath with the floating-point state
// guarded; 0 on failure, last error as the loader left it.
NativeUInt PelLoadLibrary(const string& aFileName);

// This library's own full file name.
string OwnModulePath();

}  // namespace selvane
