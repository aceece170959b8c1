// The user's regional format settings, as the original run-time keeps them:
// separators, and the short date and long time formats in its pattern
// letters (d, dd, m, mm, yy, yyyy, h, hh, n, nn, s, ss, AMPM; "/" stands for
// the date separator and ":" for the time separator, quoted text is literal).
#pragma once

#include <string>

namespace platform {

struct TRegionalSettings {
  char16_t TimeSeparator = u':';
  char16_t DecimalSeparator = u'.';
  char16_t DateSeparator = u'/';
  std::u16string ShortDateFormat = u"mm/dd/yy";
  std::u16string LongTimeFormat = u"hh:nn:ss";
};

// The settings of the environment's locale, read once at the first call.
const TRegionalSettings& RegionalSettings();

// The settings of a locale ("" = the environment's, as LC_ALL, LC_TIME,
// LC_NUMERIC and LANG name it), through newlocale: the process locale is
// never changed.  A category whose locale is not installed reads as "C",
// which gives the defaults above.
TRegionalSettings ReadRegionalSettings(const std::string& localeName);

// Tests only: RegionalSettings() answers these while the object lives.
class ScopedRegionalSettings {
 public:
  explicit ScopedRegionalSettings(TRegionalSettings settings);
  ~ScopedRegionalSettings();
  ScopedRegionalSettings(const ScopedRegionalSettings&) = delete;
  ScopedRegionalSettings& operator=(const ScopedRegionalSettings&) = delete;

 private:
  TRegionalSettings FSettings;
  const TRegionalSettings* FPrevious;
};

}  // namespace platform
