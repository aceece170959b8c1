// Real division, integer quotient (div) and remainder (mod).
#include <cstdint>
#include <limits>

#include "variant/arithmetic_grids.h"
#include "variant/operator_errors.h"
#include "variant/operator_values.h"

namespace variant {

using namespace operators;

namespace {

// The raw count of a Currency operand, or of an integer's amount (through
// the conversion to Currency, which refuses amounts beyond the raw range).
long double ScaledRawOf(const TPelVariant& v) {
  if (v.varType == vtCurrency) return CurrencyRawOf(v);
  return platform::FloatBarrier(static_cast<long double>(static_cast<Currency>(v).Raw));
}

// raw1 / raw2 x 10000, rounded to a whole raw count, ties to even.  A zero
// divisor stops at the quotient, before the product can add its own error.
TPelVariant CurrencyQuotient(const TPelVariant& v1, const TPelVariant& v2) {
  const long double dividend = ScaledRawOf(v1);
  const long double divisor = ScaledRawOf(v2);
  TFloatScope fp;
  const long double quotient = fp.Step(dividend / divisor);
  return TPelVariant(Currency(fp.RoundToInt64(fp.Step(quotient * 10000.0L))));
}

TPelVariant FloatQuotient(TKivType kind, const TPelVariant& v1, const TPelVariant& v2) {
  TFloatScope fp;
  long double value;
  if (v2.varType == vtCurrency)
    value = fp.Step(fp.Step(ExtendedOf(v1) / CurrencyRawOf(v2)) * 10000.0L);
  else if (v1.varType == vtCurrency)
    value = fp.Step(fp.Step(CurrencyRawOf(v1) / ExtendedOf(v2)) / 10000.0L);
  else
    value = fp.Step(ExtendedOf(v1) / ExtendedOf(v2));
  return FloatOfKind(kind, fp.ToDouble(value));
}

struct TIntegerQuotient {
  std::uint64_t Quotient;   // as the low bits of its value
  std::uint64_t Remainder;
};

constexpr std::uint64_t Bits(std::int64_t value) { return static_cast<std::uint64_t>(value); }

// Truncated toward zero, the remainder with the dividend's sign.  The width
// and signedness of the division depend on the pair of kinds.
TIntegerQuotient DivideIntegers(const TPelVariant& v1, const TPelVariant& v2) {
  const TKivType k1 = v1.varType;
  const TKivType k2 = v2.varType;
  const std::uint64_t a = WidenedBits(v1);
  const std::uint64_t b = WidenedBits(v2);
  if (b == 0) RaiseOperatorError(TOperatorError::IntegerDivByZero);
  if (k1 == vtUInt64 || k2 == vtUInt64) return {a / b, a % b};

  const auto signed32 = [](TKivType k) { return k == vtSmallint || k == vtInt32; };
  if (k1 == vtInt64 || k2 == vtInt64 || (k1 == vtUInt32 && signed32(k2)) ||
      (k2 == vtUInt32 && signed32(k1))) {
    const auto x = static_cast<std::int64_t>(a);
    const auto y = static_cast<std::int64_t>(b);
    // The quotient 2^63 wraps to itself and leaves nothing.
    if (x == std::numeric_limits<std::int64_t>::min() && y == -1) return {a, 0};
    return {Bits(x / y), Bits(x % y)};
  }

  if (IsUnsignedKind(k1) && IsUnsignedKind(k2)) {
    const auto x = static_cast<std::uint32_t>(a);
    const auto y = static_cast<std::uint32_t>(b);
    return {x / y, x % y};
  }
  const auto x = static_cast<std::int32_t>(a);
  const auto y = static_cast<std::int32_t>(b);
  if (x == std::numeric_limits<std::int32_t>::min() && y == -1)
    RaiseOperatorError(TOperatorError::IntegerOverflow);
  return {Bits(x / y), Bits(x % y)};
}

}  // namespace

TPelVariant op_Division(const TPelVariant& v1, const TPelVariant& v2) {
  const TKivType kind =
      ResultKindOf(DivideGrid, v1, v2, u"Incompatible type in variant divide operator: ");
  if (kind == vtCurrency) return CurrencyQuotient(v1, v2);
  return FloatQuotient(kind, v1, v2);
}

TPelVariant op_IntDivide(const TPelVariant& v1, const TPelVariant& v2) {
  const TKivType kind =
      ResultKindOf(IntDivideGrid, v1, v2, u"Incompatible type in variant div operator: ");
  return IntegerOfKind(kind, DivideIntegers(v1, v2).Quotient);
}

TPelVariant op_Modulus(const TPelVariant& v1, const TPelVariant& v2) {
  const TKivType kind =
      ResultKindOf(IntDivideGrid, v1, v2, u"Incompatible type in variant mod operator: ");
  return IntegerOfKind(kind, DivideIntegers(v1, v2).Remainder);
}

}  // namespace variant
