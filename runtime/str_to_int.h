// Reading 32- and 64-bit integers from text, by the run-time's rules.
#pragma once

#include <cstdint>
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

// The same at 64 bits: decimal within the signed 64-bit range, at most 64
// bits of hexadecimal digits ("$FFFFFFFFFFFFFFFF" is -1, "-$1" too).
bool TryStrToInt64(std::u16string_view text, std::int64_t& value);

}  // namespace rtl
