// Negation, unary plus and not.
#include <cstdint>
#include <limits>

#include "variant/arithmetic_grids.h"
#include "variant/operator_errors.h"
#include "variant/operator_values.h"

namespace variant {

using namespace operators;

TPelVariant op_UnaryNegation(const TPelVariant& v) {
  const TKivType kind = ResultKindOf(NegateGrid, v, u"Incompatible type in variant negate operator: ");
  if (IsIntegerKind(v.varType)) return IntegerOfKind(kind, std::uint64_t{0} - WidenedBits(v));
  if (IsFloatKind(v.varType)) return FloatOfKind(kind, -v.vDouble);
  // The one raw count whose negation does not fit.
  if (v.vCurrency == std::numeric_limits<std::int64_t>::min())
    RaiseOperatorError(TOperatorError::CurrencyRange);
  return TPelVariant(Currency(-v.vCurrency));
}

TPelVariant op_UnaryPlus(const TPelVariant& v) {
  ResultKindOf(PlusGrid, v, u"Incompatible type in variant positive operator: ");
  return v;
}

TPelVariant op_LogicalNot(const TPelVariant& v) {
  const TKivType kind = ResultKindOf(NotGrid, v, u"Incompatible type in variant NOT operator: ");
  if (IsIntegerKind(v.varType)) return IntegerOfKind(kind, ~WidenedBits(v));
  return TruthOfKind(kind, !TruthOf(v));
}

}  // namespace variant
