// The comparison of two variant values that the six comparison operators
// share: which pairs meet, and what order or equality each pair has.
#pragma once

#include <compare>
#include <optional>

#include "variant/comparison_grids.h"
#include "variant/pel_variant.h"

namespace variant {


// The order of a pair whose route orders (numbers, date-times, texts).  A
// NaN on either side raises EInvalidOp; a day number that has no date-time
// raises the date conversion's error.
std::weak_ordering CompareShared(const TPelVariant& v1, const TPelVariant& v2,
                                 TComparisonRoute route);

// Equality of a pair on any route; nothing when the values refuse to meet
// after all (a pointer that is not nil against an interface).
std::optional<bool> EqualShared(const TPelVariant& v1, const TPelVariant& v2,
                                TComparisonRoute route);

// Raises ELVarConvertError: the prefix, v1's kind, " and ", v2's kind.
[[noreturn]] void RaiseComparisonRefused(const char16_t* prefix, const TPelVariant& v1,
                                         const TPelVariant& v2);

}  // namespace variant
