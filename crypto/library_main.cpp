// Start-up and shut-down of the shared library: run when a host loads it and
// when the last reference is released.
#include "crypto/library_state.h"

namespace {

__attribute__((constructor)) void SelvaneLibraryLoaded() { selvane::LibraryStartup(); }

__attribute__((destructor)) void SelvaneLibraryUnloaded() { selvane::LibraryShutdown(); }

}  // namespace
