#include "installer/sys_utils.h"

#include "platform/text.h"
#include "runtime/exceptions.h"

namespace tarnwick {

namespace {

constexpr Integer TicksPerHour = 36000000;
constexpr Integer TicksPerMinute = 600000;
constexpr Integer TicksPerSecond = 10000;

bool IsDigitOf(char16_t c, unsigned base, unsigned& value) {
  if (c >= u'0' && c <= u'9') value = c - u'0';
  else if (base == 16 && c >= u'A' && c <= u'F') value = c - u'A' + 10;
  else if (base == 16 && c >= u'a' && c <= u'f') value = c - u'a' + 10;
  else return false;
  return true;
}

}  // namespace

string PadNumber(Integer number, Integer width) {
  string text = platform::IntToStr(static_cast<std::uint16_t>(number));
  if (width > static_cast<Integer>(text.size())) text.insert(0, width - text.size(), u'0');
  return text;
}

rtl::TDateTime SysDateToDateTime(TSysDate day) {
  if (day < 1) {
    throw rtl::EConvertError(u"'" + platform::IntToStr(day) + u".0' is not a valid timestamp");
  }
  return rtl::TDateTime(static_cast<double>(day) - rtl::DateDelta);
}

rtl::TDateTime SysTimeToDateTime(TSysTime time) {
  return rtl::TDateTime(static_cast<double>(static_cast<long double>(time) / TicksPerDay));
}

string SysDateToStr(TSysDate day) {
  int year, month, dayOfMonth;
  rtl::DecodeDate(SysDateToDateTime(day), year, month, dayOfMonth);
  return PadNumber(dayOfMonth, 2) + u"." + PadNumber(month, 2) + u"." + PadNumber(year, 4);
}

string SysTimeToStr(TSysTime time) {
  return PadNumber(time / TicksPerHour, 2) + u":" +
         PadNumber(time % TicksPerHour / TicksPerMinute, 2) + u":" +
         PadNumber(time % TicksPerMinute / TicksPerSecond, 2) + u"." +
         PadNumber(time % TicksPerSecond, 4);
}

Integer LastPos(const string& sub, const string& text) {
  const std::size_t at = text.rfind(sub);
  return at == string::npos ? 0 : static_cast<Integer>(at) + 1;
}

string SplitStr(string& rest, char16_t separator, bool fromEnd) {
  const std::size_t at = fromEnd ? rest.rfind(separator) : rest.find(separator);
  string part;
  if (at == string::npos) {
    part.swap(rest);
  } else if (fromEnd) {
    part = rest.substr(at + 1);
    rest.erase(at);
  } else {
    part = rest.substr(0, at);
    rest.erase(0, at + 1);
  }
  return part;
}

std::uint64_t ParseUInt64(const string& text, Integer& errorPos) {
  std::uint64_t value = 0;
  if (text.empty()) {
    errorPos = 1;
    return value;
  }
  // 0-based here; positions are reported 1-based.
  std::size_t i = 0;
  const auto at = [&](std::size_t k) { return k < text.size() ? text[k] : u'\0'; };
  while (at(i) == u' ') ++i;
  if (at(i) == u'+') ++i;
  unsigned base = 10;
  if (at(i) == u'$' || at(i) == u'x' || at(i) == u'X') {
    base = 16;
    i += 1;
  } else if (at(i) == u'0' && (at(i + 1) == u'x' || at(i + 1) == u'X')) {
    base = 16;
    i += 2;
  }
  const std::size_t firstDigit = i;
  unsigned digit;
  while (i < text.size() && IsDigitOf(text[i], base, digit)) {
    if (value > (UINT64_MAX - digit) / base) {
      errorPos = static_cast<Integer>(i) + 1;
      return value;
    }
    value = value * base + digit;
    ++i;
  }
  const bool complete = i > firstDigit && i == text.size();
  errorPos = complete ? 0 : static_cast<Integer>(i) + 1;
  return value;
}

}  // namespace tarnwick
