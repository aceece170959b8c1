// and, or and xor: bit by bit on integers, on truth values for the Boolean
// kinds.
#include <cstdint>
#include <string_view>

#include "variant/arithmetic_grids.h"
#include "variant/operator_values.h"

namespace variant {

using namespace operators;

namespace {

// One operator's two messages: the bitwise one (with its joiner) for every
// refused pair whose left operand is not a truth value, the Boolean one for
// the others.
struct TBitwiseOperator {
  std::u16string_view BitwisePrefix;
  std::u16string_view BitwiseJoiner;
  std::u16string_view BooleanPrefix;
  std::uint64_t (*Bits)(std::uint64_t, std::uint64_t);
  bool (*Truth)(bool, bool);
};

constexpr TBitwiseOperator AndOperator = {
    u"Incompatible type in variant bitwise AND operator: ", u" and ",
    u"Incompatible type in variant AND operator: ",
    [](std::uint64_t a, std::uint64_t b) { return a & b; }, [](bool a, bool b) { return a && b; }};
constexpr TBitwiseOperator OrOperator = {
    u"Incompatible type in variant bitwise OR operator: ", u" OR ",
    u"Incompatible type in variant OR operator: ",
    [](std::uint64_t a, std::uint64_t b) { return a | b; }, [](bool a, bool b) { return a || b; }};
constexpr TBitwiseOperator XorOperator = {
    u"Incompatible type in variant bitwise XOR operator: ", u" XOR ",
    u"Incompatible type in variant XOR operator: ",
    [](std::uint64_t a, std::uint64_t b) { return a ^ b; }, [](bool a, bool b) { return a != b; }};

TPelVariant Apply(const TBitwiseOperator& op, const TPelVariant& v1, const TPelVariant& v2) {
  const TKivType kind = IsBooleanKind(v1.varType)
                            ? ResultKindOf(BitwiseGrid, v1, v2, op.BooleanPrefix)
                            : ResultKindOf(BitwiseGrid, v1, v2, op.BitwisePrefix, op.BitwiseJoiner);
  // Every operand is widened to 64 bits; the result kind keeps the low bits,
  // as if both had been widened to its width only.
  if (IsIntegerKind(kind)) return IntegerOfKind(kind, op.Bits(WidenedBits(v1), WidenedBits(v2)));
  return TruthOfKind(kind, op.Truth(TruthOf(v1), TruthOf(v2)));
}

}  // namespace

TPelVariant op_BitwiseAnd(const TPelVariant& v1, const TPelVariant& v2) {
  return Apply(AndOperator, v1, v2);
}

TPelVariant op_BitwiseOr(const TPelVariant& v1, const TPelVariant& v2) {
  return Apply(OrOperator, v1, v2);
}

TPelVariant op_BitwiseXOR(const TPelVariant& v1, const TPelVariant& v2) {
  return Apply(XorOperator, v1, v2);
}

}  // namespace variant
