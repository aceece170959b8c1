// Calling a procedure in a library: load, call, unload.
#pragma once

#include "platform/types.h"
#include "runtime/exceptions.h"

namespace tarnwick {

RTL_EXCEPTION_CLASS(EBaseFuncError, rtl::Exception, "")

// Loads the library (a name without "/" is searched by the system loader),
// calls its function named funcName without arguments, and unloads it.
// Every failure, the procedure's own exceptions of any type included, raises
// EBaseFuncError "Error on CallSimpleFunction; DLLName: <dllName>; FuncName:
// <funcName>; <class>: <message>", made only after the library is unloaded:
// nothing it raised outlives it.  A symbol that is no function counts as
// missing.  What the library left in the C library's stdout buffer is
// flushed before this returns or raises.  A fatal signal inside the
// procedure ends the process.
void CallSimpleFunction(const string& dllName, const string& funcName);

}  // namespace tarnwick
