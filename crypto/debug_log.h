// The debug log: every log line of selvane2x goes to one host callback.
#pragma once

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

// What the export SetCryptDebugCallBackProc does.
void SetCryptDebugCallBack(TCryptDebugCallBack aCallBack);

}  // namespace selvane
