// Multiply.
#include <cstdint>

#include "variant/arithmetic_grids.h"
#include "variant/operator_values.h"

namespace variant {

using namespace operators;

namespace {

// Two raw counts multiply in extended precision, then the scale comes off
// and the result is rounded to a whole raw count, ties to even.
TPelVariant CurrencyTimesCurrency(const TPelVariant& v1, const TPelVariant& v2) {
  TFloatScope fp;
  const long double product = fp.Step(CurrencyRawOf(v1) * CurrencyRawOf(v2));
  return TPelVariant(Currency(fp.RoundToInt64(fp.Step(product / 10000.0L))));
}

TPelVariant FloatProduct(TKivType kind, const TPelVariant& v1, const TPelVariant& v2) {
  TFloatScope fp;
  long double value;
  if (v1.varType == vtCurrency)
    value = fp.Step(fp.Step(CurrencyRawOf(v1) * ExtendedOf(v2)) / 10000.0L);
  else if (v2.varType == vtCurrency)
    value = fp.Step(fp.Step(ExtendedOf(v1) * CurrencyRawOf(v2)) / 10000.0L);
  else
    value = fp.Step(ExtendedOf(v1) * ExtendedOf(v2));
  return FloatOfKind(kind, fp.ToDouble(value));
}

}  // namespace

TPelVariant op_Multiply(const TPelVariant& v1, const TPelVariant& v2) {
  const TKivType kind =
      ResultKindOf(MultiplyGrid, v1, v2, u"Incompatible type in variant multiply operator: ");
  if (IsIntegerKind(kind)) return IntegerOfKind(kind, WidenedBits(v1) * WidenedBits(v2));
  if (kind != vtCurrency) return FloatProduct(kind, v1, v2);
  if (v1.varType == vtCurrency && v2.varType == vtCurrency) return CurrencyTimesCurrency(v1, v2);
  // A raw count times an integer: below 2^127 in magnitude, exact.
  if (v1.varType == vtCurrency) return CurrencyOfRaw(TInt128{v1.vCurrency} * ExactValue(v2));
  return CurrencyOfRaw(ExactValue(v1) * TInt128{v2.vCurrency});
}

}  // namespace variant
