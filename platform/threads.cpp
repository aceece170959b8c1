#include "platform/threads.h"

#include <pthread.h>
#include <sched.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>

namespace platform {

Cardinal CurrentThreadId() {
  // Kernel thread ids are positive and below 2^22 by default, 2^30 at most.
  static_assert(sizeof(pid_t) == sizeof(Cardinal));
  return static_cast<Cardinal>(::gettid());
}

void YieldThread() { ::sched_yield(); }

TCancellationHold::TCancellationHold() : FOldState(PTHREAD_CANCEL_ENABLE) {
  ::pthread_setcancelstate(PTHREAD_CANCEL_DISABLE, &FOldState);
}

TCancellationHold::~TCancellationHold() { ::pthread_setcancelstate(FOldState, nullptr); }

void Sleep(Cardinal milliseconds) {
  timespec left{static_cast<time_t>(milliseconds / 1000), static_cast<long>(milliseconds % 1000) * 1000000L};
  while (::nanosleep(&left, &left) != 0 && errno == EINTR) {
  }
}

}  // namespace platform
