// The text parsers.
#include <charconv>
#include <string>
#include <system_error>

#include "installer/sys_utils.h"
#include "platform/text.h"
#include "runtime/str_to_int.h"
#include "variant/float_scope.h"
#include "variant/pel_variant.h"

namespace variant {

namespace {

[[noreturn]] void RaiseParse(std::u16string_view format, const string& text) {
  string message(format);
  message += text;
  throw ELVarConvertError(message);
}

bool IsDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

// The number's characters as ASCII when the whole text is one: blanks,
// a sign, digits with an optional "." and fraction digits (at least one digit
// in all), an optional exponent with at least one digit.  The sign is kept
// only when it is "-".
bool DecimalNumber(const string& text, std::string& number) {
  std::size_t i = 0;
  while (i < text.size() && text[i] == u' ') ++i;
  if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) {
    if (text[i] == u'-') number += '-';
    ++i;
  }
  std::size_t digits = 0;
  const auto takeDigits = [&] {
    std::size_t n = 0;
    while (i < text.size() && IsDigit(text[i])) {
      number += static_cast<char>(text[i++]);
      ++n;
    }
    return n;
  };
  digits += takeDigits();
  if (i < text.size() && text[i] == u'.') {
    number += '.';
    ++i;
    digits += takeDigits();
  }
  if (digits == 0) return false;
  if (i < text.size() && (text[i] == u'e' || text[i] == u'E')) {
    number += 'e';
    ++i;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) number += static_cast<char>(text[i++]);
    if (takeDigits() == 0) return false;
  }
  return i == text.size();
}

// Roughly the power of ten of a valid, nonzero number's first significant
// digit; enough to tell a value too large from one too small.
long long DecimalExponent(const std::string& number) {
  long long position = 0;  // of the first significant digit, from the point
  bool seen = false;
  bool inFraction = false;
  std::size_t i = number[0] == '-' ? 1 : 0;
  for (; i < number.size() && number[i] != 'e'; ++i) {
    if (number[i] == '.') {
      inFraction = true;
    } else if (!seen && number[i] != '0') {
      seen = true;
      if (inFraction) --position;
    } else if (seen && !inFraction) {
      ++position;
    } else if (!seen && inFraction) {
      --position;
    }
  }
  long long exponent = 0;
  if (i < number.size()) {
    bool negative = false;
    ++i;
    if (number[i] == '+' || number[i] == '-') negative = number[i++] == '-';
    for (; i < number.size(); ++i)
      if (exponent < 1000000000) exponent = exponent * 10 + (number[i] - '0');
    if (negative) exponent = -exponent;
  }
  return position + exponent;
}

// The number of characters after a hexadecimal prefix ($, x, X, 0x, 0X),
// or 0 for a decimal text.
std::size_t HexadecimalLength(const string& text) {
  std::size_t i = 0;
  while (i < text.size() && text[i] == u' ') ++i;
  if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) ++i;
  if (i < text.size() && (text[i] == u'$' || text[i] == u'x' || text[i] == u'X')) return text.size() - i - 1;
  if (i + 1 < text.size() && text[i] == u'0' && (text[i + 1] == u'x' || text[i + 1] == u'X'))
    return text.size() - i - 2;
  return 0;
}

}  // namespace

std::int64_t _StrToInt64(const string& text) {
  // A 64-bit pattern is at most 16 digits, leading zeros included.
  constexpr std::size_t MaxHexadecimalDigits = 16;
  std::int64_t value = 0;
  if (HexadecimalLength(text) > MaxHexadecimalDigits || !rtl::TryStrToInt64(text, value)) RaiseParse(u"(113972) Error converting _StrToInt64. Val: ", text);
  return value;
}

std::uint64_t _StrToUInt64(const string& text) {
  Integer errorPos = 0;
  const std::uint64_t value = tarnwick::ParseUInt64(text, errorPos);
  if (errorPos != 0) RaiseParse(u"(436323) Error converting _StrToUInt64. Val: ", text);
  return value;
}

double _StrToDouble(const string& text) {
  constexpr std::u16string_view Failure = u"(733168) Error converting _StrToDouble. Val: ";
  std::string number;
  if (!DecimalNumber(text, number)) RaiseParse(Failure, text);
  const char* const first = number.data();
  const char* const last = first + number.size();
  // The "C" conversion rounds the exact decimal value once, to nearest; in
  // the scope, so that a host's rounding mode cannot change that.
  TFloatScope fp;
  double value = 0;
  const std::from_chars_result r = std::from_chars(first, last, value);
  if (r.ec == std::errc() && r.ptr == last) return value;
  if (r.ec != std::errc::result_out_of_range) RaiseParse(Failure, text);
  // Beyond the double range either way: in extended precision the value
  // still has a place, and rounding it gives EOverflow or 0 or a subnormal.
  long double wide = 0;
  const std::from_chars_result w = std::from_chars(first, last, wide);
  if (w.ptr != last || (w.ec != std::errc() && w.ec != std::errc::result_out_of_range))
    RaiseParse(Failure, text);
  if (w.ec == std::errc::result_out_of_range) {
    // Beyond extended precision too: too large, or so small that it is 0.
    if (DecimalExponent(number) > 0) throw rtl::EOverflow();
    return number[0] == '-' ? -0.0 : 0.0;
  }
  return fp.ToDouble(wide);
}

bool _StrToBool(const string& text) {
  const string upper = platform::AsciiUpper(text);
  if (upper == u"TRUE") return true;
  if (upper == u"FALSE") return false;
  RaiseParse(u"(284519) Error converting _StrToBool. Val: ", text);
}

}  // namespace variant
