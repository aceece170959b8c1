// Tarnwick's command line, usage text, log lines and exit codes, seen from
// outside: each case runs the built program.
#include <gtest/gtest.h>
#include <time.h>
#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "installer/trw_exec.h"
#include "platform/text.h"
#include "tarnwick_run.h"
#include "tests/platform/locale_fixture.h"
#include "tests/platform/temp_tree.h"

using tarnwick_test::Joined;
using tarnwick_test::RunTarnwick;
using tarnwick_test::TRun;
using tarnwick_test::TStdout;
using tarnwick_test::WithoutStamps;

namespace {

std::string ParseFailure(const std::string& error) {
  return "[T] \r\n[T] " + error + "\r\n[T] Help available by switch \"/?\"\r\n";
}

std::string Golden(const char* name) {
  std::ifstream file(std::filesystem::path(__FILE__).parent_path() / name, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), {});
}

TEST(CommandLine, UsageTextForNoParameterOrTheQuestionSwitchAlone) {
  const std::string usage = Golden("usage.golden");
  ASSERT_EQ(std::count(usage.begin(), usage.end(), '\n'), 68);
  for (const std::vector<std::string>& args : {std::vector<std::string>{}, {"-?"}, {"/?"}}) {
    SCOPED_TRACE(Joined(args));
    const TRun run = RunTarnwick(args);
    EXPECT_TRUE(run.Out == usage) << run.Out;
    EXPECT_EQ(run.ExitCode, 0);
  }
}

TEST(CommandLine, ParseFailuresWriteThreeLogLinesAndExitWithOne) {
  const struct {
    std::vector<std::string> Args;
    std::string Error;
  } cases[] = {
      {{"?"}, "Invalid param[1]:?"},
      {{"/?", "-x"}, "Invalid param[1]:/?"},
      {{"-CHKLOCK"}, "Invalid param[1]:-CHKLOCK"},  // keys are case-sensitive
      {{"-Test"}, "Invalid param[1]:-Test"},
      {{"chklock"}, "Invalid param[1]:chklock"},  // no switch
      {{"-n=x", "-chklock"}, "Invalid param[1]:-n=x"},  // the operation comes first
      {{"-"}, "Invalid param[1]:-"},
      {{"-=chklock"}, "Invalid param[1]:-=chklock"},
      {{""}, "Invalid param[1]:"},
      {{" -chklock"}, "Invalid param[1]: -chklock"},  // written back unchanged
      {{"-\xC3\xBC" "ber\xFF"}, "Invalid param[1]:-\xC3\xBC" "ber\xFF"},  // bytes round-trip
      {{"-dll"}, "Invalid value for key 'dll': "},
      {{"-dll=", "-n=a", "-f=b"}, "Invalid value for key 'dll': "},
      {{"-dll=2", "-n=a", "-f=b"}, "Invalid value for key 'dll': 2"},
      {{"-dll=one", "-n=a", "-f=b"}, "Invalid value for key 'dll': one"},
      {{"-dll=0x100000001", "-n=a", "-f=b"}, "Invalid value for key 'dll': 0x100000001"},
      {{"-dll=99999999999", "-n=a", "-f=b"}, "Invalid value for key 'dll': 99999999999"},
      {{"-dll=4294967297", "-n=a", "-f=b"}, "Invalid value for key 'dll': 4294967297"},
      {{"-dll=\"\t1\"", "-n=a", "-f=b"}, "Invalid value for key 'dll': \t1"},  // blanks are U+0020
      {{"-dll=1"}, "Invalid param count (<3)"},
      {{"-dll=1", "-n=a"}, "Invalid param count (<3)"},
      {{"-test=abc"}, "Invalid value for key 'test': abc"},
      {{"-test=0x", "-n=a"}, "Invalid value for key 'test': 0x"},
      {{"-test=2147483648"}, "Invalid value for key 'test': 2147483648"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(Joined(c.Args));
    const TRun run = RunTarnwick(c.Args);
    EXPECT_EQ(WithoutStamps(run.Out), ParseFailure(c.Error));
    EXPECT_EQ(run.ExitCode, 1);
  }
}

// The file operations answer in one word; a malformed mask shows which
// "-in" value they were handed, and the detail's file which "-out".
TEST(CommandLine, DispatchesTheFileOperations) {
  const std::string res = "dispatch-" + std::to_string(::getpid()) + ".txt";
  const struct {
    std::vector<std::string> Args;
    std::string Out;
    std::string File;  // where the detail went, in the current directory
  } cases[] = {
      {{"-chklock"}, "nolock\r\n", ""},
      {{"--chklock"}, "nolock\r\n", ""},
      {{"/chklock=ignored"}, "nolock\r\n", ""},
      {{"/-chklock", "-in=[a", "-in=[b", "/extout=0"}, "error\r\nEMaskError: Invalid mask '[b'\r\n", ""},
      // Extended, the name has a directory part and is no mask.
      {{"/-chklock", "-in=[b", "-extin=no"}, "nolock\r\n", ""},
      // "-in" alone sets the empty text; "-in =[" has the key "in " and is ignored.
      {{"-unlock", "-in=[a", "-in", "-in =["}, "nolock\r\n", ""},
      // Quotes that still enclose the value go, without trimming; a blank
      // before the opening quote keeps both quotes.
      {{"-chklock", "-in=[c", "--out=\"" + res + "\""}, "error\r\n", res},
      {{"-chklock", "-in=[c", "-out= \"" + res + "\" "}, "error\r\n", "\"" + res + "\""},
      {{"-chkdel", "-in=\t a \t", "-out=\""}, "nolock\r\n", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(Joined(c.Args));
    const TRun run = RunTarnwick(c.Args);
    EXPECT_EQ(run.Out, c.Out);
    EXPECT_EQ(run.ExitCode, 0);
    if (c.File.empty()) continue;
    std::ifstream file(c.File, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(file), {}), "\xEF\xBB\xBF" "EMaskError: Invalid mask '[c'");
    std::remove(c.File.c_str());
  }
  // Every "-test" value runs the same test.
  platform_test::TTempTree tree;
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"-test"}, {"-test=7"}, {"-test=-$10", "-x"}}) {
    SCOPED_TRACE(Joined(args));
    const TRun run = RunTarnwick(args, {"TMPDIR=" + platform::ToUtf8(tree.Path())});
    EXPECT_EQ(WithoutStamps(run.Out), "[T] Begin own test.\r\nsTempDir = " + platform::ToUtf8(tree.Path()) +
                                          "/ChkDel\r\n[T] End own test.\r\n");
    EXPECT_EQ(run.ExitCode, 0);
  }
}

std::string StampAt(time_t when, const std::string& separator) {
  struct tm t {};
  gmtime_r(&when, &t);
  char text[64];
  std::snprintf(text, sizeof text, "[%02d%s%02d%s%04d %02d%s%02d%s%02d] ", t.tm_mday,
                separator.c_str(), t.tm_mon + 1, separator.c_str(), t.tm_year + 1900, t.tm_hour,
                separator.c_str(), t.tm_min, separator.c_str(), t.tm_sec);
  return text;
}

// The first log line of a parse failure is the stamp alone: the local time
// (TZ set to UTC here) between the start and the end of the run.
void ExpectStampedNow(const std::vector<std::string>& env, const std::string& separator) {
  const time_t before = ::time(nullptr);
  const TRun run = RunTarnwick({"?"}, env);
  const time_t after = ::time(nullptr);
  ASSERT_EQ(run.ExitCode, 1);
  const std::string first = run.Out.substr(0, run.Out.find("\r\n"));
  bool matched = false;
  for (time_t when = before; when <= after; ++when) matched = matched || first == StampAt(when, separator);
  EXPECT_TRUE(matched) << first << " is not " << StampAt(before, separator);
  EXPECT_EQ(std::count(run.Out.begin(), run.Out.end(), '\n'), 3);
}

TEST(LogLines, StampTheLocalTimeWithTheRegionalTimeSeparator) {
  ExpectStampedNow({"TZ=UTC0", "LC_ALL=C"}, ":");
  // A locale that is not installed reads as "C".
  ExpectStampedNow({"TZ=UTC0", "LC_ALL=xx_NOWHERE.UTF-8"}, ":");

  platform_test::TTempTree tree;
  const struct {
    const char* Name;
    const char* TimeFormat;
    const char* Separator;
  } locales[] = {
      {"tw_DOT.UTF-8", "%H.%M.%S", "."},
      {"tw_HAN.UTF-8", "%H\xE6\x97\xB6%M\xE5\x88\x86%S\xE7\xA7\x92", "\xE6\x97\xB6"},  // 时 分 秒
  };
  for (const auto& locale : locales) {
    SCOPED_TRACE(locale.Name);
    platform_test::TLocaleFormats formats;
    formats.TimeFormat = locale.TimeFormat;
    if (!platform_test::CompileLocale(tree.Path(), locale.Name, formats))
      GTEST_SKIP() << "localedef cannot build locales here";
    ExpectStampedNow({"TZ=UTC0", "LC_ALL=" + std::string(locale.Name),
                      "LOCPATH=" + platform::ToUtf8(tree.Path()),
                      platform_test::LeakCheckerOptions(tree.Path())},
                     locale.Separator);
  }
}

TEST(ExitCodes, AClosedOrBrokenStandardOutputDoesNotEndTheProgram) {
  for (const TStdout mode : {TStdout::Closed, TStdout::BrokenPipe}) {
    SCOPED_TRACE(mode == TStdout::Closed ? "closed" : "broken pipe");
    for (const auto& [args, exitCode] : {std::pair<std::vector<std::string>, int>{{"-?"}, 0},
                                         {{"?"}, 1},
                                         {{"-test"}, 0}}) {
      SCOPED_TRACE(Joined(args));
      const TRun run = RunTarnwick(args, {}, mode);
      EXPECT_EQ(run.Signal, 0);
      EXPECT_EQ(run.ExitCode, exitCode);
    }
  }
}

// Drive letters and backslashes have no meaning here, but the characters
// are tested as the installer writes them.
TEST(Names, AbsoluteNamesStartWithASlashOrHoldAColon) {
  const struct {
    const char16_t* Name;
    bool Absolute;
  } cases[] = {
      {u"", false},       {u"a.so", false},   {u"sub/a.so", false}, {u"./a.so", false},
      {u"/x/a.so", true}, {u"\\x\\a", true},  {u"C:\\a", true},   {u"x:y", true},
  };
  for (const auto& c : cases) EXPECT_EQ(tarnwick::IsAbsoluteName(c.Name), c.Absolute) << platform::ToUtf8(c.Name);
}

}  // namespace
