// The trimmed full file name of a module handle; shared with Tarnwick.
#pragma once

#include "platform/types.h"

namespace selvane {

// Handle 0 gives the host program's file; a handle that names no module
// gives the empty text.
string ModulePathByHandle(NativeUInt aHandle);

}  // namespace selvane
