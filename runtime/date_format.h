// Dates and times written by the original run-time's pattern letters, the
// ones the regional settings hold: d dd m mm yy yyyy h hh n nn s ss z zzz
// and AMPM (letters in either case), "/" for the date separator, ":" for the
// time separator, text in single or double quotes literal, every other
// character as it is.
#pragma once

#include <string_view>

#include "platform/types.h"

namespace rtl {

struct TDateTimeFields {
  int Year = 0;
  int Month = 0;
  int Day = 0;
  int Hour = 0;
  int Minute = 0;
  int Second = 0;
  int MSec = 0;
};

// An "m" run right after an hour field (separators and literals between
// them allowed) is the minute, as "n" is.  Longer runs than the forms above
// are read as the longest form (names of days and months are not kept
// here).  With AMPM in the pattern the hours run 12, 1 to 11.
string FormatDateTimeFields(std::u16string_view pattern, const TDateTimeFields& fields,
                            char16_t dateSeparator, char16_t timeSeparator);

}  // namespace rtl
