#include "runtime/date_format.h"

namespace rtl {

namespace {

char16_t Lower(char16_t c) { return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + 32) : c; }

void AppendNumber(string& out, int value, std::size_t width) {
  string digits;
  unsigned magnitude = value < 0 ? 0u - static_cast<unsigned>(value) : static_cast<unsigned>(value);
  do {
    digits.insert(digits.begin(), static_cast<char16_t>(u'0' + magnitude % 10));
    magnitude /= 10;
  } while (magnitude != 0);
  if (digits.size() < width) digits.insert(0, width - digits.size(), u'0');
  if (value < 0) out += u'-';
  out += digits;
}

bool StartsWithAmPm(std::u16string_view text) {
  constexpr std::u16string_view AmPm = u"ampm";
  if (text.size() < AmPm.size()) return false;
  for (std::size_t i = 0; i < AmPm.size(); ++i)
    if (Lower(text[i]) != AmPm[i]) return false;
  return true;
}

// Whether an AMPM field appears outside quotes.
bool HasAmPm(std::u16string_view pattern) {
  char16_t quote = 0;
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    const char16_t c = pattern[i];
    if (quote != 0) {
      if (c == quote) quote = 0;
    } else if (c == u'\'' || c == u'"') {
      quote = c;
    } else if (StartsWithAmPm(pattern.substr(i))) {
      return true;
    }
  }
  return false;
}

}  // namespace

string FormatDateTimeFields(std::u16string_view pattern, const TDateTimeFields& fields,
                            char16_t dateSeparator, char16_t timeSeparator) {
  const bool twelveHours = HasAmPm(pattern);
  string out;
  bool afterHour = false;
  std::size_t i = 0;
  while (i < pattern.size()) {
    const char16_t c = pattern[i];
    if (c == u'\'' || c == u'"') {
      const std::size_t end = pattern.find(c, i + 1);
      const std::size_t stop = end == std::u16string_view::npos ? pattern.size() : end;
      out.append(pattern.substr(i + 1, stop - i - 1));
      i = stop == pattern.size() ? stop : stop + 1;
      continue;
    }
    if (StartsWithAmPm(pattern.substr(i))) {
      out += fields.Hour < 12 ? u"AM" : u"PM";
      i += 4;
      continue;
    }
    const char16_t letter = Lower(c);
    std::size_t run = 1;
    while (i + run < pattern.size() && Lower(pattern[i + run]) == letter) ++run;
    switch (letter) {
      case u'y':
        if (run <= 2)
          AppendNumber(out, fields.Year % 100, 2);
        else
          AppendNumber(out, fields.Year, 4);
        break;
      case u'm':
        AppendNumber(out, afterHour ? fields.Minute : fields.Month, run >= 2 ? 2 : 1);
        afterHour = false;
        break;
      case u'd':
        AppendNumber(out, fields.Day, run >= 2 ? 2 : 1);
        break;
      case u'h': {
        int hour = fields.Hour;
        if (twelveHours) hour = hour % 12 == 0 ? 12 : hour % 12;
        AppendNumber(out, hour, run >= 2 ? 2 : 1);
        break;
      }
      case u'n':
        AppendNumber(out, fields.Minute, run >= 2 ? 2 : 1);
        break;
      case u's':
        AppendNumber(out, fields.Second, run >= 2 ? 2 : 1);
        break;
      case u'z':
        AppendNumber(out, fields.MSec, run >= 3 ? 3 : 1);
        break;
      case u'/':
        out.append(run, dateSeparator);
        break;
      case u':':
        out.append(run, timeSeparator);
        break;
      default:
        out.append(pattern.substr(i, run));
        break;
    }
    if (letter == u'h') afterHour = true;
    else if (letter == u'y' || letter == u'd' || letter == u'n' || letter == u's' || letter == u'z')
      afterHour = false;
    i += run;
  }
  return out;
}

}  // namespace rtl
