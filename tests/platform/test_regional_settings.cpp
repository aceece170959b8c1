#include "platform/regional_settings.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "platform/environment.h"
#include "platform/text.h"
#include "locale_fixture.h"
#include "temp_tree.h"

using namespace platform;
using platform_test::TLocaleFormats;

// Read by the leak checker of sanitized builds.
extern "C" const char* __lsan_default_suppressions() {
  return platform_test::NewLocaleLeakSuppression;
}

namespace {

void ExpectSettings(const TRegionalSettings& actual, const TRegionalSettings& expected) {
  EXPECT_EQ(actual.TimeSeparator, expected.TimeSeparator);
  EXPECT_EQ(actual.DecimalSeparator, expected.DecimalSeparator);
  EXPECT_EQ(actual.DateSeparator, expected.DateSeparator);
  EXPECT_EQ(ToUtf8(actual.ShortDateFormat), ToUtf8(expected.ShortDateFormat));
  EXPECT_EQ(ToUtf8(actual.LongTimeFormat), ToUtf8(expected.LongTimeFormat));
}

// Sets a variable for the scope, and restores it.
class TScopedVariable {
 public:
  TScopedVariable(const std::u16string& name, const std::u16string& value)
      : FName(name), FOld(GetEnvironmentVariable(name)) {
    SetEnvironmentVariable(name, value);
  }
  ~TScopedVariable() {
    if (FOld)
      SetEnvironmentVariable(FName, *FOld);
    else
      UnsetEnvironmentVariable(FName);
  }

 private:
  std::u16string FName;
  std::optional<std::u16string> FOld;
};

TEST(RegionalSettings, CAndALocaleThatIsNotInstalledGiveTheDefaults) {
  for (const char* name : {"C", "POSIX", "xx_NOWHERE.UTF-8"}) {
    SCOPED_TRACE(name);
    ExpectSettings(ReadRegionalSettings(name), TRegionalSettings{});
  }
  const TRegionalSettings c = ReadRegionalSettings("C");
  EXPECT_EQ(c.TimeSeparator, u':');
  EXPECT_EQ(c.DecimalSeparator, u'.');
  EXPECT_EQ(c.DateSeparator, u'/');
  EXPECT_EQ(c.ShortDateFormat, u"mm/dd/yy");
  EXPECT_EQ(c.LongTimeFormat, u"hh:nn:ss");
}

TEST(RegionalSettings, TranslatesTheLocalesFormats) {
  const struct {
    TLocaleFormats Locale;
    TRegionalSettings Expected;
  } cases[] = {
      // Composites expand; the separator of each format becomes its placeholder.
      {{"%T", "%d.%m.%Y", "", ","}, {u':', u',', u'.', u"dd/mm/yyyy", u"hh:nn:ss"}},
      // Unpadded fields, and literal letters quoted.
      {{"%k.%M.%S Uhr", "%-d-%-m-%y", "", ","}, {u'.', u',', u'-', u"d/m/yy", u"h:nn:ss \"Uhr\""}},
      // %r is the locale's 12-hour format.
      {{"%r", "%Y-%m-%d", "%I.%M.%S %p", "."}, {u'.', u'.', u'-', u"yyyy/mm/dd", u"hh:nn:ss AMPM"}},
      // Weekdays and zones have no pattern: they leave with the text that
      // joins them to the rest; a month name becomes the month number.
      {{"%Z %l:%M:%S %p", "%A, %e %B %Y", "", "."},
       {u':', u'.', u' ', u"d/mm/yyyy", u"h:nn:ss AMPM"}},
      // Every separator character is the placeholder, also inside text.
      {{"kl. %H.%M %z", "%d/%m %Y", "", "."}, {u'.', u'.', u'/', u"dd/mm yyyy", u"\"kl\": hh:nn"}},
      // Separators outside ASCII.
      {{"%H\u65F6%M\u5206%S\u79D2", "%Y\u5E74%m\u6708%d\u65E5", "", "\u066B"},
       {u'\u65F6', u'\u066B', u'\u5E74', u"yyyy/mm\u6708dd\u65E5", u"hh:nn\u5206ss\u79D2"}},
      // No separator after the first field: the defaults.
      {{"%H%M%S", "%y%m%d", "", "."}, {u':', u'.', u'/', u"yymmdd", u"hhnnss"}},
      // A placeholder character that is not the separator is quoted, and a
      // quote inside the other kind of quotes.
      {{"%H'%M:%S", "%d.%m.%Y\"", "", "."}, {u'\'', u'.', u'.', u"dd/mm/yyyy'\"'", u"hh:nn\":\"ss"}},
  };
  platform_test::TTempTree tree;
  const TScopedVariable locPath(u"LOCPATH", tree.Path());
  int index = 0;
  for (const auto& c : cases) {
    const std::string name = "tw_CASE" + std::to_string(index++) + ".UTF-8";
    SCOPED_TRACE(name + " " + c.Locale.TimeFormat + " " + c.Locale.DateFormat);
    if (!platform_test::CompileLocale(tree.Path(), name, c.Locale))
      GTEST_SKIP() << "localedef cannot build locales here";
    ExpectSettings(ReadRegionalSettings(name), c.Expected);
  }
}

TEST(RegionalSettings, EmptyNameReadsTheEnvironmentsLocale) {
  platform_test::TTempTree tree;
  const TScopedVariable locPath(u"LOCPATH", tree.Path());
  if (!platform_test::CompileLocale(tree.Path(), "tw_ENV.UTF-8", {"%H.%M.%S", "%d-%m-%Y", "", ","}))
    GTEST_SKIP() << "localedef cannot build locales here";
  {
    const TScopedVariable all(u"LC_ALL", u"tw_ENV.UTF-8");
    ExpectSettings(ReadRegionalSettings(""), {u'.', u',', u'-', u"dd/mm/yyyy", u"hh:nn:ss"});
  }
  // One category that is not installed reads as "C"; the other stays.
  const TScopedVariable all(u"LC_ALL", u"");
  const TScopedVariable time(u"LC_TIME", u"xx_NOWHERE.UTF-8");
  const TScopedVariable numeric(u"LC_NUMERIC", u"tw_ENV.UTF-8");
  TRegionalSettings expected;
  expected.DecimalSeparator = u',';
  ExpectSettings(ReadRegionalSettings(""), expected);
}

TEST(RegionalSettings, ScopedSettingsOverrideAndRestore) {
  const TRegionalSettings original = RegionalSettings();
  {
    TRegionalSettings outer;
    outer.TimeSeparator = u'.';
    const ScopedRegionalSettings scopeOuter(outer);
    EXPECT_EQ(RegionalSettings().TimeSeparator, u'.');
    {
      TRegionalSettings inner;
      inner.TimeSeparator = u'-';
      const ScopedRegionalSettings scopeInner(inner);
      EXPECT_EQ(RegionalSettings().TimeSeparator, u'-');
    }
    EXPECT_EQ(RegionalSettings().TimeSeparator, u'.');
  }
  ExpectSettings(RegionalSettings(), original);
}

}  // namespace
