#include "variant/pel_text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "platform/codepage.h"
#include "platform/regional_settings.h"
#include "runtime/exceptions.h"
#include "variant_samples.h"

namespace variant {
namespace {

using namespace variant::testing;

// The run-time's defaults, whatever the machine's locale says.
class TextConversions : public ::testing::Test {
 protected:
  platform::ScopedRegionalSettings FSettings{platform::TRegionalSettings{}};
  platform::ScopedAnsiCodePage FCodePage{platform::CodePageUtf8};
};

TEST_F(TextConversions, EveryAcceptedKindToUtf16AndAnsiText) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const struct {
    TPelVariant V;
    string Wide;
    std::string Ansi;
  } cases[] = {
      {TPelVariant(), u"", ""},
      {std::uint8_t{200}, u"200", "200"},
      {std::int16_t{-2}, u"-2", "-2"},
      {std::uint32_t{4294967295u}, u"4294967295", "4294967295"},
      {std::uint64_t{1} << 63, u"9223372036854775808", "9223372036854775808"},
      {std::numeric_limits<std::int64_t>::min(), u"-9223372036854775808", "-9223372036854775808"},
      {1.5, u"1.5", "1.5"},
      {2.25L, u"2.25", "2.25"},
      {nan, u"NAN", "NAN"},
      {u'A', u"A", "A"},
      {u'\u00E9', u"\u00E9", "?"},  // one ANSI character: UTF-8 needs two bytes
      {u"\u00E9t\u00E9", u"\u00E9t\u00E9", "\xC3\xA9t\xC3\xA9"},
      {TBoolean(true), u"True", "True"},
      {TBoolean(false), u"False", "False"},
      {WordBool(-1), u"True", "True"},
      {WordBool(0), u"False", "False"},
      {SysDate(693596), u"01.01.1900", "01.01.1900"},
      {SysTime(36000005), u"01:00:00.0005", "01:00:00.0005"},
      {rtl::TDateTime(0.5), u"12/30/99 12:00:00", "12/30/99 12:00:00"},
      {rtl::TDateTime(1), u"12/31/99", "12/31/99"},
      {Currency(12345), u"1.2345", "1.2345"},
      {AnsiChar{'a'}, u"a", "a"},
      {AnsiChar{0xE9}, u"\xDCE9", "\xE9"},  // the raw byte both ways
      {AnsiString("ab"), u"ab", "ab"},
      {AnsiString("\xE9", platform::CodePage1252), u"\u00E9", "\xE9"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(Utf8(c.Wide));
    EXPECT_EQ(static_cast<string>(c.V), c.Wide);
    const AnsiString ansi = static_cast<AnsiString>(c.V);
    EXPECT_EQ(ansi.Bytes, c.Ansi);
  }
}

TEST_F(TextConversions, AnsiTextCarriesItsCodePage) {
  const AnsiString stored("\xE9", platform::CodePage1252);
  EXPECT_EQ(static_cast<AnsiString>(TPelVariant(stored)), stored);  // the text itself
  EXPECT_EQ(static_cast<AnsiString>(TPelVariant(u"x")).CodePage, platform::CodePageUtf8);
  platform::ScopedAnsiCodePage cp(platform::CodePage1252);
  const AnsiString made = static_cast<AnsiString>(TPelVariant(u"\u00E9\u20AC\u4E00"));
  EXPECT_EQ(made.Bytes, "\xE9\x80?");
  EXPECT_EQ(made.CodePage, platform::CodePage1252);
  EXPECT_EQ(static_cast<AnsiString>(TPelVariant(u'\u20AC')).Bytes, "\x80");
}

TEST_F(TextConversions, TextUsesTheInjectedRegionalSettings) {
  platform::TRegionalSettings german;
  german.DecimalSeparator = u',';
  german.DateSeparator = u'.';
  german.ShortDateFormat = u"dd/mm/yyyy";
  german.LongTimeFormat = u"hh:nn:ss";
  platform::ScopedRegionalSettings settings(german);
  EXPECT_EQ(static_cast<string>(TPelVariant(1.5)), u"1,5");
  EXPECT_EQ(static_cast<string>(TPelVariant(1.5e-7)), u"1,5E-7");
  EXPECT_EQ(static_cast<string>(TPelVariant(Currency(-12345))), u"-1,2345");
  EXPECT_EQ(static_cast<string>(TPelVariant(rtl::TDateTime(43831.75))), u"01.01.2020 18:00:00");
}

TEST(FloatToText, FifteenDigitsRoundedToEvenThenFixedOrScientific) {
  const double inf = std::numeric_limits<double>::infinity();
  const struct {
    double Value;
    const char16_t* Text;
  } cases[] = {
      {1000000000000005.0, u"1E15"},  // exact tie: ...0|5 goes to the even 0
      {1000000000000015.0, u"1.00000000000002E15"},  // ...1|5 goes up to 2
      {999999999999999.5, u"1E15"},  // rounds to 16 digits before the point
      {999999999999999.0, u"999999999999999"},
      {123456789012345.6, u"123456789012346"},
      {1234567890123456.0, u"1.23456789012346E15"},
      {0.00001, u"0.00001"},
      {9.999999999999999e-6, u"0.00001"},  // the test follows the rounding
      {0.000009, u"9E-6"},
      {1e20, u"1E20"},
      {1.5e-7, u"1.5E-7"},
      {-1.5, u"-1.5"},
      {100, u"100"},
      {0.1, u"0.1"},
      {1.0 / 3, u"0.333333333333333"},
      {1.7976931348623157e308, u"1.79769313486232E308"},
      {5e-324, u"4.94065645841247E-324"},
      {-0.0, u"0"},
      {std::numeric_limits<double>::quiet_NaN(), u"NAN"},
      {inf, u"INF"},
      {-inf, u"-INF"},
  };
  for (const auto& c : cases) EXPECT_EQ(FloatToText(c.Value, u'.'), c.Text) << c.Value;
}

TEST(CurrencyToText, AtMostFourDecimalsNeverScientific) {
  const struct {
    std::int64_t Raw;
    const char16_t* Text;
  } cases[] = {
      {0, u"0"},
      {1, u"0.0001"},
      {-5, u"-0.0005"},
      {1000, u"0.1"},
      {10000, u"1"},
      {150000, u"15"},
      {std::numeric_limits<std::int64_t>::max(), u"922337203685477.5807"},
      {std::numeric_limits<std::int64_t>::min(), u"-922337203685477.5808"},
  };
  for (const auto& c : cases) EXPECT_EQ(CurrencyToText(Currency(c.Raw), u'.'), c.Text) << c.Raw;
}

TEST(DateTimeToText, MillisecondsRoundedWithACarryAndTheTimeLeftOutAtMidnight) {
  const platform::TRegionalSettings us;  // mm/dd/yy hh:nn:ss
  platform::TRegionalSettings iso = us;
  iso.DateSeparator = u'-';
  iso.ShortDateFormat = u"yyyy/mm/dd";
  iso.LongTimeFormat = u"h:nn:ss.zzz AMPM";
  const struct {
    double Value;
    const platform::TRegionalSettings* Settings;
    const char16_t* Text;
  } cases[] = {
      {0, &us, u"12/30/99"},
      {0.5, &us, u"12/30/99 12:00:00"},
      {0.99999999999, &us, u"12/31/99"},     // 86399999.999 ms: the next day
      {-0.99999999999, &us, u"12/29/99"},    // carried away from zero
      {-1.25, &us, u"12/29/99 06:00:00"},    // the date of -1, the time of .25
      {0.99999999999, &iso, u"1899-12-31"},
      {0.0000001, &iso, u"1899-12-30 12:00:00.009 AM"},
      {43831.75, &iso, u"2020-01-01 6:00:00.000 PM"},
      {-693593, &iso, u"0001-01-01"},
      {2958465.99999, &iso, u"9999-12-31 11:59:59.136 PM"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(DateTimeToText(rtl::TDateTime(c.Value), *c.Settings), c.Text) << c.Value;

  for (const double outside : {-693594.0, 2958466.0, 1e10})
    EXPECT_THROW(DateTimeToText(rtl::TDateTime(outside), us), rtl::EConvertError) << outside;
  for (const double broken : {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(), 1e15})
    EXPECT_THROW(DateTimeToText(rtl::TDateTime(broken), us), rtl::EInvalidOp) << broken;
}

}  // namespace
}  // namespace variant
