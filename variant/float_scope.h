// The scope of every variant operation that computes in floating point:
// errors are detected, never trapped, and raised as the run-time's math
// errors.  Extended precision is long double.
#pragma once

#include <cstdint>

#include "platform/float_env.h"

namespace variant {

class TFloatScope {
 public:
  TFloatScope() = default;
  TFloatScope(const TFloatScope&) = delete;
  TFloatScope& operator=(const TFloatScope&) = delete;

  // Raises the error flagged since the last check: rtl::EInvalidOp,
  // rtl::EZeroDivide or rtl::EOverflow.
  void Check();
  // One step of a chain: the value taken as computed, then the check.
  // Operands should pass through platform::FloatBarrier so that nothing is
  // folded at compile time.
  template <class T>
  T Step(T value) {
    value = platform::FloatBarrier(value);
    Check();
    return value;
  }
  // Rounded once to the nearest double; beyond its range raises EOverflow.
  double ToDouble(long double value);
  // Rounded to the nearest integer, ties to even; NaN or beyond the signed
  // 64-bit range raises EInvalidOp.
  std::int64_t RoundToInt64(long double value);

 private:
  platform::TFloatEnvironment FEnvironment;
};

}  // namespace variant
