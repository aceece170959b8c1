#include "runtime/date_time.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "runtime/exceptions.h"

namespace {

struct TDate {
  int Year, Month, Day;
  bool operator==(const TDate&) const = default;
};

TDate Decoded(double value) {
  TDate date{-1, -1, -1};
  rtl::DecodeDate(rtl::TDateTime(value), date.Year, date.Month, date.Day);
  return date;
}

TEST(Calendar, EncodeKnownDaysAndRefuseImpossibleOnes) {
  const struct {
    TDate Date;
    bool Valid;
    double Value;
  } cases[] = {
      {{1899, 12, 30}, true, 0},
      {{1, 1, 1}, true, -693593},
      {{2000, 1, 1}, true, 36526},
      {{2000, 2, 29}, true, 36585},   // divisible by 400: leap
      {{9999, 12, 31}, true, 2958465},
      {{1900, 2, 29}, false, 0},      // divisible by 100 only: not leap
      {{2023, 2, 29}, false, 0},
      {{2024, 4, 31}, false, 0},
      {{2024, 1, 0}, false, 0},
      {{2024, 0, 1}, false, 0},
      {{2024, 13, 1}, false, 0},
      {{0, 12, 31}, false, 0},
      {{10000, 1, 1}, false, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.Date.Year << "-" << c.Date.Month << "-" << c.Date.Day);
    rtl::TDateTime date(-12345.0);
    EXPECT_EQ(rtl::TryEncodeDate(c.Date.Year, c.Date.Month, c.Date.Day, date), c.Valid);
    EXPECT_EQ(date.Value, c.Valid ? c.Value : -12345.0);  // untouched on failure
  }
}

// Every day of the calendar's range, encoded and decoded: consecutive days
// are consecutive numbers and each decodes to itself.
TEST(Calendar, EveryDayRoundTrips) {
  double expected = -693593;
  for (int year = 1; year <= 9999; ++year)
    for (int month = 1; month <= 12; ++month)
      for (int day = 1; day <= 31; ++day) {
        rtl::TDateTime date;
        if (!rtl::TryEncodeDate(year, month, day, date)) continue;
        ASSERT_EQ(date.Value, expected) << year << "-" << month << "-" << day;
        ASSERT_EQ(Decoded(date.Value), (TDate{year, month, day})) << date.Value;
        ++expected;
      }
  EXPECT_EQ(expected, 2958466);
}

TEST(Calendar, DecodeTakesTheDatePartOfAnyValue) {
  const struct {
    double Value;
    TDate Date;
  } cases[] = {
      {0.75, {1899, 12, 30}},
      {-0.75, {1899, 12, 30}},           // truncated toward zero
      {-1.5, {1899, 12, 29}},
      {1.0 - 1e-10, {1899, 12, 31}},     // rounds to the next millisecond, the next day
      {2958466, {10000, 1, 1}},          // beyond the encodable range
      {-693593.5, {1, 1, 1}},
      {-693594, {0, 0, 0}},              // before the first day
      {-1e9, {0, 0, 0}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Value);
    EXPECT_EQ(Decoded(c.Value), c.Date);
  }
}

TEST(Calendar, DecodeRaisesOnValuesWithoutADate) {
  for (const double value : {std::numeric_limits<double>::quiet_NaN(),
                             std::numeric_limits<double>::infinity(), -HUGE_VAL, 1e300, -2e14}) {
    SCOPED_TRACE(value);
    int y, m, d;
    EXPECT_THROW(rtl::DecodeDate(rtl::TDateTime(value), y, m, d), rtl::EInvalidOp);
  }
}

}  // namespace
