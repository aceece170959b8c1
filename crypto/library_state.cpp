#include "crypto/library_state.h"

#include "crypto/debug_log.h"
#include "crypto/engine_registry.h"
#include "crypto/root_path.h"

namespace selvane {

void LibraryStartup() {
  InitRootPath();
  InitDebugLog();
  InitRegistry();
}

// The registry goes first, while the debug callback still receives the
// lines of the module releases.
void LibraryShutdown() {
  DoneRegistry();
  DoneDebugLog();
  DoneRootPath();
}

}  // namespace selvane
