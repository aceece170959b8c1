#include "installer/sys_utils.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "platform/text.h"
#include "runtime/exceptions.h"

using namespace tarnwick;

namespace {

std::string Utf8(const std::u16string& text) { return platform::ToUtf8(text); }

TEST(ParseUInt64, ValuesAndErrorPositions) {
  const struct {
    std::u16string Text;
    std::uint64_t Value;
    Integer ErrorPos;
  } cases[] = {
      {u"18446744073709551615", UINT64_MAX, 0},
      {u"18446744073709551616", 1844674407370955161u, 20},  // the last digit would overflow
      {u"99999999999999999999", 9999999999999999999u, 20},
      {u"$FFFFFFFFFFFFFFFF", UINT64_MAX, 0},
      {u"$ffffffffffffffff", UINT64_MAX, 0},
      {u"$10000000000000000", 0x1000000000000000u, 18},
      {u"  +42", 42, 0},
      {u"0x1F", 31, 0},
      {u"0X1f", 31, 0},
      {u"x1F", 31, 0},
      {u"X1F", 31, 0},
      {u"12x", 12, 3},
      {u"1 2", 1, 2},
      {u"42 ", 42, 3},            // a trailing blank is not taken either
      {u"1F", 1, 2},              // hexadecimal digits need a prefix
      {u"-1", 0, 1},
      {u"++1", 0, 2},
      {u"+", 0, 2},
      {u"$", 0, 2},
      {u"0x", 0, 3},
      {u"   ", 0, 4},
      {u"\t1", 0, 1},             // only U+0020 counts as a blank
      {u"0", 0, 0},
      {u"007", 7, 0},
      {u"", 0, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(Utf8(c.Text));
    Integer errorPos = -99;
    EXPECT_EQ(ParseUInt64(c.Text, errorPos), c.Value);
    EXPECT_EQ(errorPos, c.ErrorPos);
  }
}

TEST(PadNumber, LowSixteenBitsPaddedNeverCut) {
  const struct {
    Integer Number, Width;
    std::u16string Text;
  } cases[] = {
      {5, 2, u"05"},   {123, 2, u"123"}, {0, 4, u"0000"}, {0, 0, u"0"},
      {70000, 1, u"4464"}, {-1, 2, u"65535"}, {65536, 3, u"000"}, {7, 255, std::u16string(254, u'0') + u"7"},
      {9, -3, u"9"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.Number << " width " << c.Width);
    EXPECT_EQ(PadNumber(c.Number, c.Width), c.Text);
  }
}

TEST(SysDate, ToDateTimeAndText) {
  const struct {
    TSysDate Day;
    double Value;
    std::u16string Text;
  } cases[] = {
      {1, -693593, u"01.01.0001"},
      {693594, 0, u"30.12.1899"},
      {693595, 1, u"31.12.1899"},
      {730120, 36526, u"01.01.2000"},
      {730179, 36585, u"29.02.2000"},
      {3652059, 2958465, u"31.12.9999"},
      {3652060, 2958466, u"01.01.10000"},
      // The year goes through PadNumber's low 16 bits like every part.
      {2147483647, 2147483647.0 - 693594, u"11.07." + PadNumber(5879611, 4)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Day);
    EXPECT_EQ(SysDateToDateTime(c.Day).Value, c.Value);
    EXPECT_EQ(SysDateToStr(c.Day), c.Text);
  }
}

TEST(SysDate, DaysBeforeTheFirstAreNoTimestamp) {
  const struct {
    TSysDate Day;
    std::u16string Message;
  } cases[] = {
      {0, u"'0.0' is not a valid timestamp"},
      {-5, u"'-5.0' is not a valid timestamp"},
      {INT32_MIN, u"'-2147483648.0' is not a valid timestamp"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Day);
    for (const auto& call : {+[](TSysDate d) { SysDateToDateTime(d); },
                             +[](TSysDate d) { SysDateToStr(d); }}) {
      try {
        call(c.Day);
        ADD_FAILURE() << "nothing raised";
      } catch (const rtl::EConvertError& e) {
        EXPECT_EQ(e.Message(), c.Message);
      }
    }
  }
}

TEST(SysTime, ToDateTimeAndText) {
  const struct {
    TSysTime Time;
    double Value;
    std::u16string Text;
  } cases[] = {
      {0, 0.0, u"00:00:00.0000"},
      {432000000, 0.5, u"12:00:00.0000"},
      {TicksPerDay - 1, static_cast<double>((TicksPerDay - 1) / static_cast<long double>(TicksPerDay)),
       u"23:59:59.9999"},
      {TicksPerDay, 1.0, u"24:00:00.0000"},
      {900000000, 900000000 / 864000000.0, u"25:00:00.0000"},
      {1, 1 / 864000000.0, u"00:00:00.0001"},
      {37230500, 37230500 / 864000000.0, u"01:02:03.0500"},
      {-1, -1 / 864000000.0, u"00:00:00.65535"},
      {-36000000, -36000000 / 864000000.0, u"65535:00:00.0000"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Time);
    EXPECT_EQ(SysTimeToDateTime(c.Time).Value, c.Value);
    EXPECT_EQ(SysTimeToStr(c.Time), c.Text);
  }
}

TEST(LastPos, LastExactOccurrence) {
  const struct {
    std::u16string Sub, Text;
    Integer Pos;
  } cases[] = {
      {u",", u"a,b,c", 4}, {u"ab", u"abab", 3}, {u"aa", u"aaa", 2}, {u"abc", u"abc", 1},
      {u"A", u"abc", 0},   {u"abcd", u"abc", 0}, {u"", u"abc", 4},   {u"", u"", 1},
      {u"x", u"", 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(Utf8(c.Sub) + " in " + Utf8(c.Text));
    EXPECT_EQ(LastPos(c.Sub, c.Text), c.Pos);
  }
}

TEST(SplitStr, CutsAtFirstOrLastSeparator) {
  const struct {
    std::u16string Rest;
    bool FromEnd;
    std::u16string Part, Left;
  } cases[] = {
      {u"a,b,c", false, u"a", u"b,c"},
      {u"a,b,c", true, u"c", u"a,b"},
      {u",a", false, u"", u"a"},
      {u"a,", false, u"a", u""},
      {u"a,", true, u"", u"a"},
      {u",", true, u"", u""},
      {u"abc", false, u"abc", u""},
      {u"abc", true, u"abc", u""},
      {u"", false, u"", u""},
      {u"", true, u"", u""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(Utf8(c.Rest) + (c.FromEnd ? " from the end" : ""));
    std::u16string rest = c.Rest;
    EXPECT_EQ(SplitStr(rest, u',', c.FromEnd), c.Part);
    EXPECT_EQ(rest, c.Left);
  }
}

}  // namespace
