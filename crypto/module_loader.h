// Loading and releasing engine modules, each step logged.
#pragma once

#include "platform/types.h"

namespace selvane {

// The module's handle, 0 when it cannot be loaded.  Takes one reference,
// also for a module that was already loaded, that SelvaneFreeLibrary gives
// back.  Looks in the process, next to this library, then PelLoadLibrary.
NativeUInt SelvaneLoadLibrary(const string& aName);

// Releases the one reference this library holds; writes back the handle of
// a module of that file name still loaded by others (not a reference of
// ours: do not release it again), 0 once it is gone.
void SelvaneFreeLibrary(NativeUInt& aHandle);

// "System error %d. %s" for the calling thread's last error.
string SystemErrorText();

}  // namespace selvane
