// What the arithmetic operators of the variant share: reading an operand's
// number, making a result of a given kind, and refusing a pair of kinds that
// a grid does not list.
#pragma once

#include <cstdint>
#include <string_view>

#include "variant/float_scope.h"
#include "variant/operator_grid.h"
#include "variant/pel_variant.h"

namespace variant::operators {

using TInt128 = __int128;

// The value of an integer operand widened to 64 bits by its own kind (the
// unsigned kinds zero-extended, the signed ones sign-extended), as a pattern.
std::uint64_t WidenedBits(const TPelVariant& v);
// The exact value of an integer operand.
TInt128 ExactValue(const TPelVariant& v);

// A value of an integer kind holding the low bits of `bits`.
TPelVariant IntegerOfKind(TKivType kind, std::uint64_t bits);
// A vtDouble or vtExtended holding `value`.
TPelVariant FloatOfKind(TKivType kind, double value);
// A vtCurrency of an exactly computed raw count; a count outside the signed
// 64-bit range raises the Currency range error.
TPelVariant CurrencyOfRaw(TInt128 raw);
// A truth value of kind vtBoolean (1 or 0) or vtWordBool (-1 or 0).
TPelVariant TruthOfKind(TKivType kind, bool value);

// The truth value of a vtBoolean or vtWordBool: anything but 0 is true.
bool TruthOf(const TPelVariant& v);

// An operand in extended precision: an integer by its exact value, a float
// kind by its stored double.
long double ExtendedOf(const TPelVariant& v);
// A vtCurrency operand's raw count in extended precision (exact).
long double CurrencyRawOf(const TPelVariant& v);

// The grid's result kind for the operand kinds, or ELVarConvertError with
// the prefix, the left kind, the joiner and the right kind.
TKivType ResultKindOf(const TResultKindPairGrid& grid, const TPelVariant& v1,
                      const TPelVariant& v2, std::u16string_view prefix,
                      std::u16string_view joiner = u" and ");
TKivType ResultKindOf(const TResultKindGrid& grid, const TPelVariant& v,
                      std::u16string_view prefix);

}  // namespace variant::operators
