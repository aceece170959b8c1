#include "runtime/str_to_int.h"

#include <cstdint>
#include <limits>
#include <type_traits>

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
    // Tested before the step, which could wrap at 64 bits.
    if (magnitude > (limit - static_cast<unsigned>(digit)) / base) return false;
    magnitude = magnitude * base + static_cast<unsigned>(digit);
  }
  return true;
}

// The reader of both widths: Bits is 32 or 64.
template <unsigned Bits, class TValue>
bool TryStrToSigned(std::u16string_view text, TValue& value) {
  using TUnsigned = std::make_unsigned_t<TValue>;
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
    if (!ReadDigits(rest.substr(prefix), 16, std::numeric_limits<TUnsigned>::max(), magnitude))
      return false;
    // The digits are the value's bits; a sign negates that value.
    const auto bits = static_cast<TUnsigned>(magnitude);
    value = static_cast<TValue>(negative ? static_cast<TUnsigned>(0 - bits) : bits);
    return true;
  }
  const std::uint64_t top = std::uint64_t{1} << (Bits - 1);
  if (!ReadDigits(rest, 10, negative ? top : top - 1, magnitude)) return false;
  value = static_cast<TValue>(negative ? 0 - magnitude : magnitude);
  return true;
}

}  // namespace

bool TryStrToInt(std::u16string_view text, Integer& value) { return TryStrToSigned<32>(text, value); }

bool TryStrToInt64(std::u16string_view text, std::int64_t& value) {
  return TryStrToSigned<64>(text, value);
}

}  // namespace rtl
