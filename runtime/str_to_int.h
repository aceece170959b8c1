// Reading a 32-bit integer from text, by the run-time's rules.
#pragma once

#include <string_view>

#include "platform/types.h"

namespace rtl {

// Leading blanks (U+0020 only), an optional "+" or "-", then decimal digits,
// or hexadecimal digits after one of "$", "x", "X", "0x", "0X"; nothing may
// follow.  A decimal value must fit the signed 32-bit range; hexadecimal
// digits may hold at most 32 bits, read as the bits of the value ("$FFFFFFFF"
// is -1).  Nothing wraps: a value that does not fit is no integer.  False
// leaves `value` unchanged.
bool TryStrToInt(std::u16string_view text, Integer& value);

}  // namespace rtl
