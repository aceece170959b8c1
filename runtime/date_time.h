// The run-time's date-time value: days since 1899-12-30 in the integer part,
// the time of day in the fraction.  A type of its own, so that overloads on
// it never collide with those on double.
#pragma once

namespace rtl {

struct TDateTime {
  double Value = 0.0;

  constexpr TDateTime() = default;
  constexpr explicit TDateTime(double value) : Value(value) {}

  friend constexpr bool operator==(TDateTime a, TDateTime b) { return a.Value == b.Value; }
};

// 1899-12-30 as a day number (1 = 0001-01-01).
inline constexpr int DateDelta = 693594;

// The proleptic Gregorian calendar.
bool IsLeapYear(int year);

// The date of a year (1 to 9999), month and day of month; false, with
// `date` untouched, when they name no such day.
bool TryEncodeDate(int year, int month, int day, TDateTime& date);

// Year, month and day of the value's date part.  The date part is the
// value's millisecond count (rounded to nearest, in extended precision)
// truncated toward zero to whole days, so -1.5 lies on 1899-12-29.  A day
// before 0001-01-01 gives 0, 0, 0.  A value that is not finite or whose
// millisecond count leaves the signed 64-bit range raises EInvalidOp, as the
// run-time's rounding does.
void DecodeDate(TDateTime date, int& year, int& month, int& day);

}  // namespace rtl
