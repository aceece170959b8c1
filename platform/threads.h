// Threads.
#pragma once

#include "platform/types.h"

namespace platform {

// The calling thread's id; 32 bits, never 0.
Cardinal CurrentThreadId();
void YieldThread();
// Suspends the calling thread for at least the time (Sleep of 32-bit
// Windows).
void Sleep(Cardinal milliseconds);

// Holds off the cancellation of the calling thread while it lives.  For a
// destructor that may wait or call a host: it cannot pass the unwind of a
// cancelled thread on, so a cancel that arrives meanwhile takes effect at
// the thread's next cancellation point after it.
class TCancellationHold {
 public:
  TCancellationHold();
  ~TCancellationHold();
  TCancellationHold(const TCancellationHold&) = delete;
  TCancellationHold& operator=(const TCancellationHold&) = delete;

 private:
  int FOldState;
};

}  // namespace platform
