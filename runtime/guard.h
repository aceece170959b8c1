// The one catch-all of the system.  Every boundary that must not let an
// exception pass (an export, a callback into a host, the program's outermost
// frame) runs its body through these, so that none of them can forget the
// forced unwind of a cancelled thread: swallowing it aborts the process.
#pragma once

#include <cxxabi.h>

#include <exception>
#include <utility>

namespace rtl {

// The forced unwind carries no object: its handler binds a null reference,
// which the undefined-behaviour checker would report.  The exemption holds
// only where the guard is not inlined into its caller.
#define RTL_FORCED_UNWIND_HANDLER __attribute__((noinline, no_sanitize("null")))

// Runs body and returns its result; any exception gives `failure` instead.
// The unwind of a cancelled thread passes on (with every lock it crosses
// released by its destructor) and ends the thread as cancelled.
template <class R, class F>
RTL_FORCED_UNWIND_HANDLER R Guarded(R failure, F&& body) {
  try {
    return std::forward<F>(body)();
  } catch (abi::__forced_unwind&) {
    throw;
  } catch (...) {
    return failure;
  }
}

// For bodies without a result: any exception is dropped.
template <class F>
RTL_FORCED_UNWIND_HANDLER void Guarded(F&& body) {
  try {
    std::forward<F>(body)();
  } catch (abi::__forced_unwind&) {
    throw;
  } catch (...) {
  }
}

// Runs body; an exception is handed to onError (called inside the handler,
// so std::current_exception() is the exception) and its result returned.
template <class F, class H>
RTL_FORCED_UNWIND_HANDLER auto GuardedOr(F&& body, H&& onError) -> decltype(std::forward<F>(body)()) {
  try {
    return std::forward<F>(body)();
  } catch (abi::__forced_unwind&) {
    throw;
  } catch (...) {
    return std::forward<H>(onError)();
  }
}

}  // namespace rtl
