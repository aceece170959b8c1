#include "runtime/guard.h"

#include <gtest/gtest.h>
#include <pthread.h>
#include <unistd.h>

#include <atomic>
#include <mutex>
#include <stdexcept>

#include "runtime/exceptions.h"

namespace {

TEST(Guard, AnswersFailureForEveryException) {
  EXPECT_EQ(rtl::Guarded(-1, [] { return 7; }), 7);
  EXPECT_EQ(rtl::Guarded(-1, []() -> int { throw rtl::Exception(u"x"); }), -1);
  EXPECT_EQ(rtl::Guarded(-1, []() -> int { throw 42; }), -1);
  bool ran = false;
  rtl::Guarded([&] {
    ran = true;
    throw std::logic_error("dropped");
  });
  EXPECT_TRUE(ran);
  EXPECT_EQ(rtl::GuardedOr([]() -> int { throw 1; }, [] { return 5; }), 5);
}

// A cancelled thread unwinds through the guard, releases what it holds on
// the way, and ends as cancelled; the process lives.
std::mutex GHeld;
std::atomic<bool> GInside{false};

void* CancelledBody(void*) {
  rtl::Guarded(-1, [] {
    std::lock_guard<std::mutex> lock(GHeld);
    GInside = true;
    for (;;) pause();  // a cancellation point
    return 0;
  });
  return nullptr;  // never reached: the unwind passed the guard
}

TEST(Guard, LetsTheUnwindOfACancelledThreadPass) {
  pthread_t thread;
  ASSERT_EQ(pthread_create(&thread, nullptr, &CancelledBody, nullptr), 0);
  while (!GInside) usleep(1000);
  ASSERT_EQ(pthread_cancel(thread), 0);
  void* result = nullptr;
  ASSERT_EQ(pthread_join(thread, &result), 0);
  EXPECT_EQ(result, PTHREAD_CANCELED);
  EXPECT_TRUE(GHeld.try_lock());
  GHeld.unlock();
}

}  // namespace
