#include "platform/float_env.h"

#include <gtest/gtest.h>

#include <cfenv>
#include <cstdint>
#include <limits>

namespace platform {
namespace {

struct TUnitState {
  std::uint16_t X87Control;
  std::uint16_t X87Status;
  std::uint32_t Mxcsr;
  friend bool operator==(const TUnitState&, const TUnitState&) = default;
};

TUnitState ReadState() {
  TUnitState s{};
  asm volatile("fnstcw %0" : "=m"(s.X87Control));
  asm volatile("fnstsw %0" : "=m"(s.X87Status));
  asm volatile("stmxcsr %0" : "=m"(s.Mxcsr));
  return s;
}

void WriteControl(std::uint16_t x87, std::uint32_t mxcsr) {
  asm volatile("fnclex");
  asm volatile("fldcw %0" : : "m"(x87));
  asm volatile("ldmxcsr %0" : : "m"(mxcsr));
}

// Sets a host's odd state for the test's life: x87 precision 53 bits and
// rounding upward, SSE rounding upward, and optionally every trap of
// invalid operation, zero divide and overflow enabled.
class HostState {
 public:
  explicit HostState(bool traps) : FSaved(ReadState()) {
    std::uint16_t x87 = 0x0B7F & ~0x0300;  // round up, all masked
    x87 |= 0x0200;                         // precision 53 bits
    std::uint32_t mxcsr = 0x5F80;          // round up, all masked
    if (traps) {
      x87 &= ~0x000D;     // unmask invalid, zero divide, overflow
      mxcsr &= ~0x0680u;  // the same in SSE
    }
    WriteControl(x87, mxcsr);
  }
  ~HostState() { WriteControl(FSaved.X87Control, FSaved.Mxcsr); }

 private:
  TUnitState FSaved;
};

long double Add(long double a, long double b) { return FloatBarrier(FloatBarrier(a) + FloatBarrier(b)); }

TEST(TFloatEnvironment, ComputesInFullPrecisionToNearestWhateverTheHostSet) {
  for (const bool traps : {false, true}) {
    SCOPED_TRACE(traps ? "traps enabled" : "traps masked");
    HostState host(traps);
    const TUnitState before = ReadState();
    long double sum = 0;
    long double third = 0;
    TFloatFault fault = TFloatFault::None;
    {
      TFloatEnvironment env;
      sum = Add(9007199254740992.0L, 1.0L);  // 2^53 + 1 needs 54 bits
      third = FloatBarrier(FloatBarrier(1.0L) / FloatBarrier(3.0L));
      fault = env.TakeFault();
    }
    EXPECT_EQ(ReadState(), before);
    EXPECT_EQ(sum, 9007199254740993.0L);
    constexpr long double NearestThird = 1.0L / 3.0L;  // folded to nearest, 64 bits
    EXPECT_EQ(third, NearestThird);
    EXPECT_EQ(fault, TFloatFault::None);
  }
}

TEST(TFloatEnvironment, DetectsEachErrorWithoutATrap) {
  HostState host(true);
  const TUnitState before = ReadState();
  {
    TFloatEnvironment env;
    (void)FloatBarrier(FloatBarrier(1.0) / FloatBarrier(0.0));
    EXPECT_EQ(env.TakeFault(), TFloatFault::ZeroDivide);
    (void)FloatBarrier(FloatBarrier(0.0L) / FloatBarrier(0.0L));
    EXPECT_EQ(env.TakeFault(), TFloatFault::InvalidOp);
    (void)FloatBarrier(static_cast<double>(FloatBarrier(1e400L)));
    EXPECT_EQ(env.TakeFault(), TFloatFault::Overflow);
    (void)FloatBarrier(FloatBarrier(1e-300) * FloatBarrier(1e-300));  // underflow is masked
    EXPECT_EQ(env.TakeFault(), TFloatFault::None);
  }
  EXPECT_EQ(ReadState(), before);
}

TEST(TFloatEnvironment, GivesBackTheCallersFlags) {
  const TUnitState saved = ReadState();
  WriteControl(0x037F, 0x1F80);
  (void)FloatBarrier(FloatBarrier(1.0) / FloatBarrier(3.0));  // inexact in SSE
  const TUnitState before = ReadState();
  {
    TFloatEnvironment env;
    (void)FloatBarrier(FloatBarrier(1.0) / FloatBarrier(0.0));
  }
  EXPECT_EQ(ReadState(), before);
  WriteControl(saved.X87Control, saved.Mxcsr);
}

}  // namespace
}  // namespace platform
