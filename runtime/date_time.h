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

}  // namespace rtl
