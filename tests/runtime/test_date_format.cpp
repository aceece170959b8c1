#include "runtime/date_format.h"

#include <gtest/gtest.h>

#include "platform/text.h"

namespace {

TEST(FormatDateTimeFields, ReadsThePatternLetters) {
  const rtl::TDateTimeFields morning{2024, 3, 5, 9, 7, 4, 12};
  const rtl::TDateTimeFields evening{1999, 12, 31, 23, 59, 58, 999};
  const rtl::TDateTimeFields midnight{2001, 1, 1, 0, 0, 0, 0};
  const struct {
    const char16_t* Pattern;
    const rtl::TDateTimeFields* Fields;
    const char16_t* Text;
  } cases[] = {
      {u"mm/dd/yy", &morning, u"03-05-24"},
      {u"d/m/yyyy", &morning, u"5-3-2024"},
      {u"DD.MM.YYYY", &morning, u"05.03.2024"},  // letters in either case
      {u"hh:nn:ss", &morning, u"09.07.04"},
      {u"h:mm", &morning, u"9.07"},  // m after an hour is the minute
      {u"hh:nn:ss.zzz", &morning, u"09.07.04.012"},
      {u"h:nn AMPM", &evening, u"11.59 PM"},
      {u"h:nn AMPM", &midnight, u"12.00 AM"},
      {u"hh:nn:ss", &evening, u"23.59.58"},
      {u"yyyy'年'm'月'd'日'", &morning, u"2024年3月5日"},
      {u"\"y\"yy", &morning, u"y24"},
      {u"'unclosed", &morning, u"unclosed"},
      {u"dd, yy", &evening, u"31, 99"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(rtl::FormatDateTimeFields(c.Pattern, *c.Fields, u'-', u'.'), c.Text)
        << platform::ToUtf8(c.Pattern);
}

}  // namespace
