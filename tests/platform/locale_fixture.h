// Locales built for one test, in a directory of its own that LOCPATH names:
// nothing is installed system-wide.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/files.h"
#include "platform/text.h"

namespace platform_test {

// What the tests vary: LC_TIME's formats and LC_NUMERIC's decimal point, in
// the C library's conversions (UTF-8 text).
struct TLocaleFormats {
  std::string TimeFormat = "%H:%M:%S";
  std::string DateFormat = "%m/%d/%y";
  std::string TimeAmPmFormat = "%I:%M:%S %p";
  std::string DecimalPoint = ".";
};

// A string of a locale source: every character outside printable ASCII, and
// the quote and the escape character, as its <Uxxxx> name.
inline std::string LocaleString(const std::string& text) {
  std::string out = "\"";
  for (const char16_t c : platform::FromUtf8(text)) {
    if (c >= 0x20 && c < 0x7F && c != u'"' && c != u'\\' && c != u'<' && c != u'>') {
      out += static_cast<char>(c);
    } else {
      char name[16];
      std::snprintf(name, sizeof name, "<U%04X>", static_cast<unsigned>(c));
      out += name;
    }
  }
  return out + "\"";
}

inline std::string LocaleSource(const TLocaleFormats& f) {
  std::string source;
  for (const char* category : {"LC_CTYPE", "LC_COLLATE", "LC_MONETARY", "LC_MESSAGES"})
    source += std::string(category) + "\ncopy \"POSIX\"\nEND " + category + "\n";
  source += "LC_NUMERIC\ndecimal_point " + LocaleString(f.DecimalPoint) +
            "\nthousands_sep \"\"\ngrouping -1\nEND LC_NUMERIC\n";
  source +=
      "LC_TIME\n"
      "abday \"Sun\";\"Mon\";\"Tue\";\"Wed\";\"Thu\";\"Fri\";\"Sat\"\n"
      "day \"Sunday\";\"Monday\";\"Tuesday\";\"Wednesday\";\"Thursday\";\"Friday\";\"Saturday\"\n"
      "abmon \"Jan\";\"Feb\";\"Mar\";\"Apr\";\"May\";\"Jun\";\"Jul\";\"Aug\";\"Sep\";\"Oct\";"
      "\"Nov\";\"Dec\"\n"
      "mon \"January\";\"February\";\"March\";\"April\";\"May\";\"June\";\"July\";\"August\";"
      "\"September\";\"October\";\"November\";\"December\"\n"
      "d_t_fmt \"%a %d %b %Y %T\"\n"
      "d_fmt " + LocaleString(f.DateFormat) + "\n"
      "t_fmt " + LocaleString(f.TimeFormat) + "\n"
      "am_pm \"AM\";\"PM\"\n"
      "t_fmt_ampm " + LocaleString(f.TimeAmPmFormat) + "\n"
      "END LC_TIME\n";
  return source;
}

// Compiles a locale named `name` into directory `dir` (which LOCPATH then
// names); false when localedef is missing or cannot build it here.
inline bool CompileLocale(const std::u16string& dir, const std::string& name,
                          const TLocaleFormats& formats) {
  const std::string osDir = platform::ToUtf8(dir);
  const std::string sourcePath = osDir + "/" + name + ".src";
  const std::string source = LocaleSource(formats);
  if (!platform::WriteWholeFile(platform::FromUtf8(sourcePath), source.data(), source.size()))
    return false;
  const std::string command = "localedef -i '" + sourcePath + "' -f UTF-8 '" + osDir + "/" +
                              name + "' >/dev/null 2>&1";
  (void)std::system(command.c_str());  // warnings give a non-zero status too
  return platform::FileExists(platform::FromUtf8(osDir + "/" + name + "/LC_TIME")) &&
         platform::FileExists(platform::FromUtf8(osDir + "/" + name + "/LC_NUMERIC"));
}

// glibc's newlocale keeps the copy of LOCPATH that it makes: a leak of the
// C library that the leak checker would otherwise blame on the code under
// test.
inline constexpr const char* NewLocaleLeakSuppression = "leak:__argz_add_sep\n";

// "LSAN_OPTIONS=..." for a program started with LOCPATH set: the options of
// this process plus a suppression file for that leak, written into `dir`.
inline std::string LeakCheckerOptions(const std::u16string& dir) {
  const std::u16string file = dir + u"/newlocale.supp";
  platform::WriteWholeFile(file, NewLocaleLeakSuppression,
                           std::char_traits<char>::length(NewLocaleLeakSuppression));
  const char* own = std::getenv("LSAN_OPTIONS");
  return "LSAN_OPTIONS=" + (own != nullptr && *own != 0 ? std::string(own) + ":" : std::string()) +
         "suppressions=" + platform::ToUtf8(file);
}

}  // namespace platform_test
