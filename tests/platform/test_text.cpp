#include "platform/text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <string>

using namespace platform;

namespace {

struct TUtf8Case {
  const char* What;
  std::string Bytes;
  std::u16string Wide;
};

// Bytes -> UTF-16 -> the same bytes, for valid text and for every kind of
// invalid sequence (each invalid byte becomes U+DC80 + byte).
TEST(Utf8, DecodesAndRoundTripsBytesExactly) {
  const TUtf8Case cases[] = {
      {"ascii", "abc/1", u"abc/1"},
      {"two bytes", "\xC3\xA4", u"\u00E4"},
      {"three bytes", "\xE2\x82\xAC", u"\u20AC"},
      {"four bytes", "\xF0\x9F\x98\x80", u"\U0001F600"},
      {"highest", "\xF4\x8F\xBF\xBF", u"\U0010FFFF"},
      {"lone continuation", "a\x80z", u"a\xDC80z"},
      {"lone lead", "\xC3", u"\xDCC3"},
      {"truncated three", "\xE2\x82", u"\xDCE2\xDC82"},
      {"lead then ascii", "\xE2" "A", u"\xDCE2" u"A"},
      {"overlong slash", "\xC0\xAF", u"\xDCC0\xDCAF"},
      {"overlong three", "\xE0\x80\xAF", u"\xDCE0\xDC80\xDCAF"},
      {"encoded surrogate", "\xED\xB2\x80", u"\xDCED\xDCB2\xDC80"},
      {"above U+10FFFF", "\xF4\x90\x80\x80", u"\xDCF4\xDC90\xDC80\xDC80"},
      {"byte FF", "\xFF\xFE", u"\xDCFF\xDCFE"},
      {"zero byte kept", std::string("a\0b", 3), std::u16string(u"a\0b", 3)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.What);
    EXPECT_EQ(FromUtf8(c.Bytes), c.Wide);
    EXPECT_EQ(ToUtf8(c.Wide), c.Bytes);
  }
}

TEST(Utf8, EveryByteValueSurvivesARoundTrip) {
  std::string all;
  for (int i = 0; i < 256; ++i) all += static_cast<char>(i);
  EXPECT_EQ(ToUtf8(FromUtf8(all)), all);
}

TEST(Utf8, UnpairedSurrogatesOutsideTheEscapesBecomeReplacementCharacter) {
  EXPECT_EQ(ToUtf8(u"a\xD800z"), "a\xEF\xBF\xBDz");
  EXPECT_EQ(ToUtf8(u"\xD800"), "\xEF\xBF\xBD");
  EXPECT_EQ(ToUtf8(u"\xDC7F"), "\xEF\xBF\xBD");
  EXPECT_EQ(ToUtf8(u"\xDE00\xD83D"), "\xEF\xBF\xBD\xEF\xBF\xBD");
}

TEST(Text, AsciiCaseMappingLeavesOtherLettersAlone) {
  EXPECT_EQ(AsciiUpper(u"abz@[`{AZ\u00E4\u00FF\u0131"), u"ABZ@[`{AZ\u00E4\u00FF\u0131");
  EXPECT_EQ(AsciiLower(u"ABZ@[`{az\u00C4\u0130"), u"abz@[`{az\u00C4\u0130");
}

TEST(Text, TrimRemovesCodesUpToBlank) {
  const std::u16string withControls = std::u16string(u"\0\t\r\n a b \x1F", 10);
  EXPECT_EQ(Trim(withControls), u"a b");
  EXPECT_EQ(TrimRight(withControls), std::u16string(u"\0\t\r\n a b", 8));
  EXPECT_EQ(Trim(u"\u00A0x\u00A0"), u"\u00A0x\u00A0");  // 160 is not <= 32
  EXPECT_EQ(Trim(u"  \t "), u"");
}

TEST(Text, IntToStrAtTheLimits) {
  EXPECT_EQ(IntToStr(0), u"0");
  EXPECT_EQ(IntToStr(-7), u"-7");
  EXPECT_EQ(IntToStr(std::numeric_limits<std::int32_t>::min()), u"-2147483648");
  EXPECT_EQ(IntToStr(std::numeric_limits<std::int64_t>::min()), u"-9223372036854775808");
  EXPECT_EQ(IntToStr(std::numeric_limits<std::int64_t>::max()), u"9223372036854775807");
}

TEST(Text, WideBuffersHandleNilAndCutAtTheLimit) {
  EXPECT_EQ(WideLength(nullptr), 0u);
  EXPECT_EQ(WideFrom(nullptr), u"");
  WideCopy(nullptr, u"abc", 3);  // must not crash
  WideCopyAll(nullptr, u"abc");

  char16_t buffer[6];
  std::fill(std::begin(buffer), std::end(buffer), u'#');
  WideCopy(buffer, u"abcdef", 3);
  EXPECT_EQ(WideFrom(buffer), u"abc");
  EXPECT_EQ(buffer[4], u'#');  // nothing past the terminator
  WideCopyAll(buffer, u"xyzuv");
  EXPECT_EQ(WideLength(buffer), 5u);
  EXPECT_EQ(WideFrom(buffer), u"xyzuv");
}

TEST(Text, FromLatin1WidensEachByte) {
  EXPECT_EQ(FromLatin1("A\xE4\xFF"), u"A\u00E4\u00FF");
}

}  // namespace
