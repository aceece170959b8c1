// Threads.
#pragma once

#include "platform/types.h"

namespace platform {

// The calling thread's id; 32 bits, never 0.
Cardinal CurrentThreadId();
void YieldThread();

}  // namespace platform
