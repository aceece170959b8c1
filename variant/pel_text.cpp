// The conversions of the variant value to UTF-16 and ANSI text.
#include <charconv>
#include <cmath>
#include <cstdlib>

#include "installer/sys_utils.h"
#include "platform/regional_settings.h"
#include "platform/text.h"
#include "runtime/date_format.h"
#include "variant/float_scope.h"
#include "variant/pel_text.h"
#include "variant/pel_variant.h"

namespace variant {

namespace {

constexpr std::u16string_view StringFailure = u"Incompatible type in variant to string conversion: ";
constexpr std::u16string_view AnsiStringFailure = u"Incompatible type in variant to ansistring conversion: ";

string UnsignedText(std::uint64_t value) {
  string digits;
  do {
    digits.insert(digits.begin(), static_cast<char16_t>(u'0' + value % 10));
    value /= 10;
  } while (value != 0);
  return digits;
}

string SignedText(std::int64_t value) {
  // The magnitude in unsigned arithmetic, so that -2^63 has one.
  const std::uint64_t magnitude = value < 0 ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
  return value < 0 ? u"-" + UnsignedText(magnitude) : UnsignedText(magnitude);
}

// The decimal text of the integer kinds; false for every other kind.
bool IntegerText(const TPelVariant& v, string& text) {
  switch (v.varType) {
    case vtByte: text = UnsignedText(v.vByte); return true;
    case vtSmallint: text = SignedText(v.vSmallint); return true;
    case vtWord: text = UnsignedText(v.vWord); return true;
    case vtInt32: text = SignedText(v.vInt32); return true;
    case vtUInt32: text = UnsignedText(v.vUInt32); return true;
    case vtInt64: text = SignedText(v.vInt64); return true;
    case vtUInt64: text = UnsignedText(v.vUInt64); return true;
    default: return false;
  }
}

constexpr std::int64_t MSecsPerDay = 86400000;
constexpr std::int64_t MaxDay = 3652059;  // 9999-12-31

// The UTF-16 text of every kind that the text conversions accept; refused
// kinds raise with `prefix`.  vtString and vtANSIString are the callers'.
string KindText(const TPelVariant& v, std::u16string_view prefix) {
  string text;
  if (IntegerText(v, text)) return text;
  const char16_t separator = platform::RegionalSettings().DecimalSeparator;
  switch (v.varType) {
    case vtNone:
      return string();
    case vtDouble:
    case vtExtended:
      return FloatToText(v.vDouble, separator);
    case vtChar:
      return string(1, v.vChar);
    case vtString:
      return v.vString;
    case vtBoolean:
      return v.vBoolean != 0 ? u"True" : u"False";
    case vtWordBool:
      return v.vWordBool != 0 ? u"True" : u"False";
    case vtSysDate:
      return tarnwick::SysDateToStr(v.vSysDate);
    case vtSysTime:
      return tarnwick::SysTimeToStr(v.vSysTime);
    case vtDateTime:
      return DateTimeToText(rtl::TDateTime(v.vDateTime), platform::RegionalSettings());
    case vtCurrency:
      return CurrencyToText(Currency(v.vCurrency), separator);
    case vtANSIChar:
      return string(1, AnsiCharToChar(v.vANSIChar));
    case vtANSIString:
      return AnsiToString(v.vANSIString);
    default:
      RaiseIncompatible(prefix, v.varType);
  }
}

}  // namespace

string FloatToText(double value, char16_t decimalSeparator) {
  if (std::isnan(value)) return u"NAN";
  if (std::isinf(value)) return value > 0 ? u"INF" : u"-INF";
  if (value == 0) return u"0";  // -0 too
  // 15 significant digits of the exact value, rounded to nearest with ties
  // to even: d.dddddddddddddde[+-]x.
  char buffer[32];
  const std::to_chars_result r =
      std::to_chars(buffer, buffer + sizeof buffer, std::fabs(value), std::chars_format::scientific, 14);
  const std::string scientific(buffer, r.ptr);
  const std::size_t e = scientific.find('e');
  std::string digits = scientific.substr(0, 1) + scientific.substr(2, e - 2);
  const int exponent = std::atoi(scientific.c_str() + e + 1);
  while (digits.size() > 1 && digits.back() == '0') digits.pop_back();

  string text = value < 0 ? u"-" : u"";
  const string wide = platform::FromLatin1(digits);
  if (exponent >= -5 && exponent < 15) {
    if (exponent < 0) {
      text += u'0';
      text += decimalSeparator;
      text.append(static_cast<std::size_t>(-exponent - 1), u'0');
      text += wide;
    } else {
      const std::size_t whole = static_cast<std::size_t>(exponent) + 1;
      if (wide.size() <= whole) {
        text += wide;
        text.append(whole - wide.size(), u'0');
      } else {
        text += wide.substr(0, whole);
        text += decimalSeparator;
        text += wide.substr(whole);
      }
    }
    return text;
  }
  text += wide[0];
  if (wide.size() > 1) {
    text += decimalSeparator;
    text += wide.substr(1);
  }
  text += u'E';
  text += SignedText(exponent);
  return text;
}

string CurrencyToText(Currency value, char16_t decimalSeparator) {
  const std::uint64_t magnitude =
      value.Raw < 0 ? 0 - static_cast<std::uint64_t>(value.Raw) : static_cast<std::uint64_t>(value.Raw);
  string text = value.Raw < 0 ? u"-" : u"";
  text += UnsignedText(magnitude / 10000);
  std::uint64_t fraction = magnitude % 10000;
  if (fraction != 0) {
    string decimals = UnsignedText(fraction);
    decimals.insert(0, 4 - decimals.size(), u'0');
    while (decimals.back() == u'0') decimals.pop_back();
    text += decimalSeparator;
    text += decimals;
  }
  return text;
}

string DateTimeToText(rtl::TDateTime value, const platform::TRegionalSettings& settings) {
  const double v = value.Value;
  // Beyond this the millisecond count leaves 64 bits, where the run-time's
  // rounding fails.
  constexpr double Limit = 9223372036854775807.0 / MSecsPerDay;
  if (!std::isfinite(v) || std::fabs(v) >= Limit) throw rtl::EInvalidOp();
  // The date from the integer part, the time from the absolute fraction,
  // rounded to whole milliseconds; a full day carries away from zero.
  std::int64_t whole = static_cast<std::int64_t>(v);
  std::int64_t msecs = 0;
  {
    TFloatScope fp;
    const long double fraction = std::fabs(static_cast<long double>(v) - static_cast<long double>(whole));
    msecs = fp.RoundToInt64(fp.Step(platform::FloatBarrier(fraction) * MSecsPerDay));
  }
  if (msecs == MSecsPerDay) {
    msecs = 0;
    whole += v < 0 ? -1 : 1;
  }
  const std::int64_t day = whole + rtl::DateDelta;
  if (day < 1 || day > MaxDay)
    throw rtl::EConvertError(u"'" + platform::IntToStr(day) + u"." + platform::IntToStr(msecs) +
                             u"' is not a valid timestamp");
  rtl::TDateTimeFields fields;
  rtl::DecodeDate(rtl::TDateTime(static_cast<double>(whole)), fields.Year, fields.Month, fields.Day);
  fields.Hour = static_cast<int>(msecs / 3600000);
  fields.Minute = static_cast<int>(msecs / 60000 % 60);
  fields.Second = static_cast<int>(msecs / 1000 % 60);
  fields.MSec = static_cast<int>(msecs % 1000);
  string text = rtl::FormatDateTimeFields(settings.ShortDateFormat, fields, settings.DateSeparator,
                                          settings.TimeSeparator);
  if (msecs != 0) {
    text += u' ';
    text += rtl::FormatDateTimeFields(settings.LongTimeFormat, fields, settings.DateSeparator,
                                      settings.TimeSeparator);
  }
  return text;
}

TPelVariant::operator string() const { return KindText(*this, StringFailure); }

TPelVariant::operator AnsiString() const {
  const Cardinal codePage = platform::AnsiCodePage();
  switch (varType) {
    case vtANSIString:
      return vANSIString;
    case vtANSIChar:
      return AnsiString(std::string(1, static_cast<char>(vANSIChar)), codePage);
    case vtChar:
      return AnsiString(std::string(1, static_cast<char>(CharToAnsiChar(vChar))), codePage);
    default:
      return StringToAnsi(KindText(*this, AnsiStringFailure));
  }
}

}  // namespace variant
