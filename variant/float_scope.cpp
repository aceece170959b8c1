#include "variant/float_scope.h"

#include <cmath>

#include "runtime/exceptions.h"

namespace variant {

void TFloatScope::Check() {
  switch (FEnvironment.TakeFault()) {
    case platform::TFloatFault::InvalidOp:
      throw rtl::EInvalidOp();
    case platform::TFloatFault::ZeroDivide:
      throw rtl::EZeroDivide();
    case platform::TFloatFault::Overflow:
      throw rtl::EOverflow();
    case platform::TFloatFault::None:
      break;
  }
}

double TFloatScope::ToDouble(long double value) {
  return Step(static_cast<double>(platform::FloatBarrier(value)));
}

std::int64_t TFloatScope::RoundToInt64(long double value) {
  // The unit rounds to nearest, ties to even, and flags invalid operation
  // for NaN and for anything outside the signed 64-bit range.
  const long long rounded = std::llrintl(platform::FloatBarrier(value));
  return Step(static_cast<std::int64_t>(rounded));
}

}  // namespace variant
