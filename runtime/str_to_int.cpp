#include "runtime/str_to_int.h"

#include <cstdint>
#include <limits>

namespace rtl {

namespace {

int HexDigit(char16_t c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  return -1;
}

// Length of the hexadecimal prefix at the start of text, 0 when there is none.
std::size_t HexPrefixLength(std::u16string_view text) {
  if (text.empty()) return 0;
  if (text[0] == u'$' || text[0] == u'x' || text[0] == u'X') return 1;
  if (text.size() >= 2 && text[0] == u'0' && (text[1] == u'x' || text[1] == u'X')) return 2;
  return 0;
}

// The digits as an unsigned number no greater than limit; false when a
// character is no digit of the base, there is none, or the value exceeds limit.
bool ReadDigits(std::u16string_view digits, unsigned base, std::uint64_t limit,
                std::uint64_t& magnitude) {
  if (digits.empty()) return false;
  magnitude = 0;
  for (const char16_t c : digits) {
    const int digit = HexDigit(c);
    if (digit < 0 || static_cast<unsigned>(digit) >= base) return false;
    magnitude = magnitude * base + static_cast<unsigned>(digit);
    if (magnitude > limit) return false;
  }
  return true;
}

}  // namespace

bool TryStrToInt(std::u16string_view text, Integer& value) {
  std::size_t i = 0;
  while (i < text.size() && text[i] == u' ') ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) {
    negative = text[i] == u'-';
    ++i;
  }
  const std::u16string_view rest = text.substr(i);
  std::uint64_t magnitude = 0;
  if (const std::size_t prefix = HexPrefixLength(rest); prefix != 0) {
    if (!ReadDigits(rest.substr(prefix), 16, std::numeric_limits<std::uint32_t>::max(), magnitude))
      return false;
    // The digits are the value's 32 bits; a sign negates that value.
    const auto bits = static_cast<std::uint32_t>(magnitude);
    value = static_cast<Integer>(negative ? 0u - bits : bits);
    return true;
  }
  const std::uint64_t limit = negative ? std::uint64_t{1} << 31 : (std::uint64_t{1} << 31) - 1;
  if (!ReadDigits(rest, 10, limit, magnitude)) return false;
  value = negative ? static_cast<Integer>(0 - static_cast<std::int64_t>(magnitude))
                   : static_cast<Integer>(magnitude);
  return true;
}

}  // namespace rtl
