// Loadable modules (shared libraries) of the process.
#pragma once

#include <string>

#include "platform/types.h"

namespace platform {

// A module handle.  Only values greater than 32 name a module; 0 means none.
using ModuleHandle = NativeUInt;

inline bool IsValidModule(ModuleHandle handle) { return handle > 32; }

// Loads a library by file name (searched by the system loader) or by path,
// resolving every symbol now and keeping them local to the module.  Takes one
// reference.  0 on failure, with the last error set (loader text as detail).
ModuleHandle LoadModule(const std::u16string& fileOrPath);

// A module already loaded in the process whose file-name part is exactly
// `fileName` (letter case counts; a name with "/" is compared as an absolute
// path); 0 when there is none.  With addReference the caller owns one
// reference that FreeModule releases.
ModuleHandle FindLoadedModule(const std::u16string& fileName, bool addReference);

// The address of a symbol that the module itself defines.  A symbol that the
// module only reaches through a library it depends on counts as missing.
void* ModuleSymbol(ModuleHandle module, const char* name);

// Releases one reference.  False (and last error) for a handle that names no
// loaded module, and for a module that nobody opened (one loaded only as a
// dependency of another).
bool FreeModule(ModuleHandle module);

// The module's full file name; handle 0 gives the program's own executable,
// a handle that names no loaded module gives the empty text.
std::u16string ModuleFileName(ModuleHandle module);

// The module containing a code or data address (no reference taken); 0 when
// none does.
ModuleHandle ModuleOfAddress(const void* address);

// Saves the floating-point control state (x87 control word, SSE control and
// status) and restores it with pending exceptions cleared when it goes out of
// scope, so that a library that changes it while loading does not change it
// for the host.
class FloatingPointGuard {
 public:
  FloatingPointGuard();
  ~FloatingPointGuard();
  FloatingPointGuard(const FloatingPointGuard&) = delete;
  FloatingPointGuard& operator=(const FloatingPointGuard&) = delete;

 private:
  unsigned short FX87Control;
  unsigned int FMxcsr;
};

}  // namespace platform

namespace platform {

// True when a function of a loaded module starts at the address: a dynamic
// symbol of type function or indirect function starts there, or (what an
// indirect function resolves to) no symbol covers it and it lies in
// executable code.  A data symbol, or an address inside a function, gives
// false.
bool IsFunctionSymbol(const void* address);

}  // namespace platform
