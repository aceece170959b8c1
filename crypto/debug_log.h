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

// Delivers the line to the callback when one is set; never fails (only the
// unwind of a thread cancelled inside the callback passes on).
void DebugLog(const string& aLine);

// Hands the current callback to a freshly loaded engine module that is not
// yet listed, and lists it when it exports SetCryptDebugCallBackProc.
//
// Once every call of this and of SetCryptDebugCallBack has returned, every
// listed module holds the callback stored last: a module is handed the
// stored value, by one thread at a time, again when a newer one was stored
// during its call.  No lock is held while a module is called.
void SetCryptDebugCallBackProcToLib(NativeUInt aModule);

// Drops a module from the list once this library no longer holds it, so
// that the export never calls into a handle that may be gone.
void ForgetCallBackLib(NativeUInt aModule);

// The modules that received the callback, in that order.
std::vector<NativeUInt> CallBackLibsSnapshot();

// What the export SetCryptDebugCallBackProc does: stores the callback, then
// hands the stored one to every listed module (one that raises is skipped).
void SetCryptDebugCallBack(TCryptDebugCallBack aCallBack);

}  // namespace selvane
