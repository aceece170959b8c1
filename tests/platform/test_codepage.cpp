#include "platform/codepage.h"

#include <gtest/gtest.h>

#include <string>

using namespace platform;

namespace {

struct TCp1252Case {
  unsigned char Byte;
  char16_t Wide;
};

TEST(CodePage1252, TableEdgesBothWays) {
  const TCp1252Case cases[] = {
      {0x00, 0x0000}, {0x7F, 0x007F}, {0x80, 0x20AC}, {0x82, 0x201A}, {0x8A, 0x0160},
      {0x8C, 0x0152}, {0x8E, 0x017D}, {0x91, 0x2018}, {0x99, 0x2122}, {0x9C, 0x0153},
      {0x9E, 0x017E}, {0x9F, 0x0178}, {0xA0, 0x00A0}, {0xFF, 0x00FF},
      // Undefined in the code page: carried as the control of the same value.
      {0x81, 0x0081}, {0x8D, 0x008D}, {0x8F, 0x008F}, {0x90, 0x0090}, {0x9D, 0x009D},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.Byte));
    const std::string byte(1, static_cast<char>(c.Byte));
    EXPECT_EQ(MultiByteToWide(CodePage1252, byte), std::u16string(1, c.Wide));
    EXPECT_EQ(WideToMultiByte(CodePage1252, std::u16string(1, c.Wide)), byte);
  }
}

TEST(CodePage1252, EveryByteRoundTrips) {
  std::string all;
  for (int i = 0; i < 256; ++i) all += static_cast<char>(i);
  const std::u16string wide = MultiByteToWide(CodePage1252, all);
  ASSERT_EQ(wide.size(), 256u);
  EXPECT_EQ(WideToMultiByte(CodePage1252, wide), all);
}

TEST(CodePage1252, UnencodableCharacterBecomesOneQuestionMark) {
  // C1 controls that 1252 maps elsewhere, other scripts, a surrogate pair.
  EXPECT_EQ(WideToMultiByte(CodePage1252, u"a\u0080b"), "a?b");
  EXPECT_EQ(WideToMultiByte(CodePage1252, u"\u0100\u20AD\u4E2D"), "???");
  EXPECT_EQ(WideToMultiByte(CodePage1252, u"x\U0001F600y"), "x?y");
  EXPECT_EQ(WideToMultiByte(CodePage1252, u"\xD800"), "?");
}

TEST(CodePage, AnsiIsUtf8UnlessOverriddenForAScope) {
  EXPECT_EQ(AnsiCodePage(), CodePageUtf8);
  {
    ScopedAnsiCodePage cp1252(CodePage1252);
    EXPECT_EQ(AnsiCodePage(), CodePage1252);
    EXPECT_EQ(MultiByteToWide(CodePageAnsi, "\x80"), u"\u20AC");
    EXPECT_EQ(WideToMultiByte(CodePageAnsi, u"\u20AC"), "\x80");
    {
      ScopedAnsiCodePage utf8(CodePageUtf8);
      EXPECT_EQ(AnsiCodePage(), CodePageUtf8);
    }
    EXPECT_EQ(AnsiCodePage(), CodePage1252);
  }
  EXPECT_EQ(AnsiCodePage(), CodePageUtf8);
  EXPECT_EQ(MultiByteToWide(CodePageAnsi, "\xE2\x82\xAC"), u"\u20AC");
}

TEST(CodePage, Utf8ConversionKeepsInvalidBytesAndUnknownPagesAct1252) {
  EXPECT_EQ(WideToMultiByte(CodePageUtf8, MultiByteToWide(CodePageUtf8, "a\xFF\xC3")),
            "a\xFF\xC3");
  EXPECT_EQ(MultiByteToWide(CodePageUtf8, "\xC3\xA4"), u"\u00E4");
  EXPECT_EQ(MultiByteToWide(866, "\x80"), u"\u20AC");
}

}  // namespace
