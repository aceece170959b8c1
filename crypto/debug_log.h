// The debug log: every log line of selvane2x goes to one host callback.
#pragma once

#include <vector>

#include "platform/types.h"

namespace selvane {

// The host's log procedure: one zero-terminated UTF-16 line, no line ending.
using TCryptDebugCallBack = void(stdcall*)(const char16_t* aLine);

// Process-wide state: CryptDebugCallBack and CallBackLibs.  Created and
// destroyed by the library's start-up and shut-down (library_state.h).
void InitDebugLog();
void DoneDebugLog();

// Delivers the line to the callback when one is set; never fails.
void DebugLog(const string& aLine) noexcept;

// Hands the current callback to a freshly loaded engine module that is not
// yet listed, and lists it when it exports SetCryptDebugCallBackProc.
void SetCryptDebugCallBackProcToLib(NativeUInt aModule);

// Drops a module from the list once this library no longer holds it, so
// that the export never calls into a handle that may be gone.
void ForgetCallBackLib(NativeUInt aModule);

// The modules that received the callback, in that order.
std::vector<NativeUInt> CallBackLibsSnapshot();

// What the export SetCryptDebugCallBackProc does: stores the callback, then
// hands it to every listed module (one that raises is skipped).
void SetCryptDebugCallBack(TCryptDebugCallBack aCallBack);

}  // namespace selvane
