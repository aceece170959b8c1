#include "runtime/date_time.h"

#include <cmath>
#include <cstdint>

#include "runtime/exceptions.h"

namespace rtl {

namespace {

constexpr int MonthDays[2][12] = {
    {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31},
    {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31},
};

constexpr std::int64_t MSecsPerDay = 86400000;

// Days in whole 400-, 100-, 4- and 1-year cycles.
constexpr std::int64_t D1 = 365;
constexpr std::int64_t D4 = D1 * 4 + 1;
constexpr std::int64_t D100 = D4 * 25 - 1;
constexpr std::int64_t D400 = D100 * 4 + 1;

// The day number (1 = 0001-01-01) of a date value's date part.
std::int64_t DayNumber(TDateTime date) {
  const long double msecs = std::nearbyint(static_cast<long double>(date.Value) * MSecsPerDay);
  // 2^63 is exact in long double; anything at or beyond it would not convert.
  constexpr long double Limit = 9223372036854775808.0L;
  if (!std::isfinite(msecs) || msecs >= Limit || msecs < -Limit) throw EInvalidOp();
  return DateDelta + static_cast<std::int64_t>(msecs) / MSecsPerDay;
}

}  // namespace

bool IsLeapYear(int year) { return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0); }

bool TryEncodeDate(int year, int month, int day, TDateTime& date) {
  if (year < 1 || year > 9999 || month < 1 || month > 12) return false;
  const int* days = MonthDays[IsLeapYear(year) ? 1 : 0];
  if (day < 1 || day > days[month - 1]) return false;
  for (int m = 1; m < month; ++m) day += days[m - 1];
  const int y = year - 1;
  date = TDateTime(y * 365 + y / 4 - y / 100 + y / 400 + day - DateDelta);
  return true;
}

void DecodeDate(TDateTime date, int& year, int& month, int& day) {
  std::int64_t t = DayNumber(date);
  if (t <= 0) {
    year = month = day = 0;
    return;
  }
  --t;  // days since 0001-01-01
  std::int64_t y = 1 + t / D400 * 400;
  t %= D400;
  std::int64_t i = t / D100;
  t %= D100;
  if (i == 4) {  // the last day of a 400-year cycle
    --i;
    t += D100;
  }
  y += i * 100 + t / D4 * 4;
  t %= D4;
  i = t / D1;
  t %= D1;
  if (i == 4) {  // the last day of a leap year
    --i;
    t += D1;
  }
  y += i;
  year = static_cast<int>(y);
  const int* days = MonthDays[IsLeapYear(year) ? 1 : 0];
  int m = 0;
  while (t >= days[m]) t -= days[m++];
  month = m + 1;
  day = static_cast<int>(t) + 1;
}

}  // namespace rtl
