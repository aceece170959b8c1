// Start-up and shut-down of the library's process-wide state, in order:
// root-path directories, debug log, registry lock and registry; torn down
// in reverse (the registry first, while the debug callback is still set).
#pragma once

namespace selvane {

void LibraryStartup();
void LibraryShutdown();

}  // namespace selvane
