#include "platform/threads.h"

#include <gtest/gtest.h>

#include <thread>

using namespace platform;

namespace {

TEST(Threads, IdsAreStableNonZeroAndDistinct) {
  const Cardinal mine = CurrentThreadId();
  EXPECT_NE(mine, 0u);
  YieldThread();
  EXPECT_EQ(CurrentThreadId(), mine);
  Cardinal other = 0;
  std::thread([&] { other = CurrentThreadId(); }).join();
  EXPECT_NE(other, 0u);
  EXPECT_NE(other, mine);
}

}  // namespace
