// The six comparison operators of the variant value.  Each is declared here
// for two variant operands and none is synthesised: a rewritten != (from ==)
// would carry the equality message, and a reversed candidate would name the
// kinds the wrong way round.  There is no <=>: not every pair has an order.
#pragma once

#include "variant/pel_variant.h"

namespace variant {

bool operator==(const TPelVariant& v1, const TPelVariant& v2);
bool operator!=(const TPelVariant& v1, const TPelVariant& v2);
bool operator<(const TPelVariant& v1, const TPelVariant& v2);
bool operator<=(const TPelVariant& v1, const TPelVariant& v2);
bool operator>(const TPelVariant& v1, const TPelVariant& v2);
bool operator>=(const TPelVariant& v1, const TPelVariant& v2);

}  // namespace variant
