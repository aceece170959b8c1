#include "variant/float_scope.h"

#include <gtest/gtest.h>

#include <cstdint>

#include "runtime/exceptions.h"

namespace variant {
namespace {

using platform::FloatBarrier;

std::uint32_t Mxcsr() {
  std::uint32_t value = 0;
  asm volatile("stmxcsr %0" : "=m"(value));
  return value;
}

std::uint16_t X87Control() {
  std::uint16_t value = 0;
  asm volatile("fnstcw %0" : "=m"(value));
  return value;
}

// Currency raw 10000 / raw 0, computed as r1 / r2 x 10000 and rounded to a
// raw count: the division flags zero divide, the rounding of the infinity
// invalid operation.
std::int64_t CurrencyQuotient(TFloatScope& fp, bool checkEachStep) {
  long double q = FloatBarrier(FloatBarrier(10000.0L) / FloatBarrier(0.0L));
  if (checkEachStep) q = fp.Step(q);
  return fp.RoundToInt64(FloatBarrier(q * 10000.0L));
}

TEST(TFloatScope, TheFirstStepThatWouldHaveTrappedNamesTheError) {
  {
    TFloatScope fp;
    EXPECT_THROW(CurrencyQuotient(fp, true), rtl::EZeroDivide);
  }
  {
    // Tested only at the end the two flags are seen together.
    TFloatScope fp;
    EXPECT_THROW(CurrencyQuotient(fp, false), rtl::EInvalidOp);
  }
}

TEST(TFloatScope, TheCallersUnitsAreBackAfterAnError) {
  // Traps of invalid operation, zero divide and overflow enabled, rounding
  // upward, x87 precision 53 bits.
  const std::uint16_t savedX87 = X87Control();
  const std::uint32_t savedMxcsr = Mxcsr();
  const std::uint16_t hostX87 = 0x0A72;
  const std::uint32_t hostMxcsr = 0x5900;
  asm volatile("fnclex");
  asm volatile("fldcw %0" : : "m"(hostX87));
  asm volatile("ldmxcsr %0" : : "m"(hostMxcsr));
  bool overflowed = false;
  try {
    TFloatScope fp;
    (void)fp.ToDouble(FloatBarrier(1e300L) * FloatBarrier(1e300L));
  } catch (const rtl::EOverflow&) {
    overflowed = true;
  }
  const std::uint16_t afterX87 = X87Control();
  const std::uint32_t afterMxcsr = Mxcsr();
  asm volatile("fnclex");
  asm volatile("fldcw %0" : : "m"(savedX87));
  asm volatile("ldmxcsr %0" : : "m"(savedMxcsr));
  EXPECT_TRUE(overflowed);
  EXPECT_EQ(afterX87, hostX87);
  EXPECT_EQ(afterMxcsr, hostMxcsr);
}

TEST(TFloatScope, RoundsToInt64TiesToEven) {
  TFloatScope fp;
  EXPECT_EQ(fp.RoundToInt64(2.5L), 2);
  EXPECT_EQ(fp.RoundToInt64(3.5L), 4);
  EXPECT_EQ(fp.RoundToInt64(-2.5L), -2);
  EXPECT_EQ(fp.RoundToInt64(-9223372036854775808.0L), INT64_MIN);
  EXPECT_THROW(fp.RoundToInt64(9223372036854775808.0L), rtl::EInvalidOp);
}

}  // namespace
}  // namespace variant
