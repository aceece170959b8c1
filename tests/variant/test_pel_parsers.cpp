#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>

#include "platform/regional_settings.h"
#include "runtime/exceptions.h"
#include "variant_samples.h"

namespace variant {
namespace {

using namespace variant::testing;

TEST(StrToInt64, DecimalInRangeOrAtMost64BitsOfHexadecimal) {
  const std::int64_t min = std::numeric_limits<std::int64_t>::min();
  const struct {
    const char16_t* Text;
    std::optional<std::int64_t> Value;
  } cases[] = {
      {u"  -42", -42},
      {u"$FF", 255},
      {u"0x10", 16},
      {u"x1f", 31},
      {u"+7", 7},
      {u"9223372036854775807", std::numeric_limits<std::int64_t>::max()},
      {u"-9223372036854775808", min},
      {u"$FFFFFFFFFFFFFFFF", -1},
      {u"$8000000000000000", min},
      {u"-$1", -1},  // the sign negates the 64-bit pattern
      {u"-0x8000000000000000", min},
      {u"$0000000000000001", 1},            // 16 digits, leading zeros included
      {u"$00000000000000001", std::nullopt},  // 17 digits, although all but one are zeros
      {u"0x00000000000000001", std::nullopt},
      {u"", std::nullopt},
      {u"42 ", std::nullopt},
      {u"9223372036854775808", std::nullopt},
      {u"-9223372036854775809", std::nullopt},
      {u"$10000000000000000", std::nullopt},  // 17 digits of value
      {u"99999999999999999999", std::nullopt},
      {u"0x", std::nullopt},
      {u"-", std::nullopt},
      {u"\t1", std::nullopt},
      {u"1.0", std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(Utf8(c.Text));
    if (c.Value) {
      EXPECT_EQ(_StrToInt64(c.Text), *c.Value);
    } else {
      EXPECT_EQ(ConvertMessage([&] { _StrToInt64(c.Text); }),
                "(113972) Error converting _StrToInt64. Val: " + Utf8(c.Text));
    }
  }
}

TEST(StrToUInt64, TheWholeTextOrTheNumberedMessage) {
  EXPECT_EQ(_StrToUInt64(u"18446744073709551615"), std::numeric_limits<std::uint64_t>::max());
  EXPECT_EQ(_StrToUInt64(u" +0xFF"), 255u);
  for (const char16_t* bad : {u"", u"-1", u"18446744073709551616", u"12a", u"1 "})
    EXPECT_EQ(ConvertMessage([&] { _StrToUInt64(bad); }),
              "(436323) Error converting _StrToUInt64. Val: " + Utf8(bad));
}

TEST(StrToDouble, APointWhateverTheSettingsRoundedOnce) {
  platform::TRegionalSettings comma;
  comma.DecimalSeparator = u',';
  platform::ScopedRegionalSettings settings(comma);
  const struct {
    const char16_t* Text;
    std::optional<double> Value;
  } cases[] = {
      {u"1.5e3", 1500},
      {u"-.5", -0.5},
      {u"5.", 5},
      {u".5", 0.5},
      {u"  +2", 2},
      {u"1E-2", 0.01},
      {u"0.1", 0.1},
      {u"9007199254740993", 9007199254740992.0},  // the tie to even, once
      {u"1e-400", 0},                             // below the range: 0
      {u"4e-320", 4e-320},                        // a subnormal
      {u"-1e-99999", -0.0},
      {u"1,5", std::nullopt},
      {u".", std::nullopt},
      {u"1e", std::nullopt},
      {u"1e+", std::nullopt},
      {u"", std::nullopt},
      {u"e5", std::nullopt},
      {u"1.5 ", std::nullopt},
      {u"inf", std::nullopt},
      {u"nan", std::nullopt},
      {u"0x10", std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(Utf8(c.Text));
    if (c.Value) {
      const double value = _StrToDouble(c.Text);
      EXPECT_EQ(value, *c.Value);
      EXPECT_EQ(std::signbit(value), std::signbit(*c.Value));
    } else {
      EXPECT_EQ(ConvertMessage([&] { _StrToDouble(c.Text); }),
                "(733168) Error converting _StrToDouble. Val: " + Utf8(c.Text));
    }
  }
  EXPECT_THROW(_StrToDouble(u"1e400"), rtl::EOverflow);
  EXPECT_THROW(_StrToDouble(u"-1e99999"), rtl::EOverflow);
}

TEST(StrToBool, TrueOrFalseInAnyLetterCase) {
  EXPECT_TRUE(_StrToBool(u"true"));
  EXPECT_TRUE(_StrToBool(u"True"));
  EXPECT_FALSE(_StrToBool(u"FALSE"));
  for (const char16_t* bad : {u" true", u"1", u"", u"yes", u"true "})
    EXPECT_EQ(ConvertMessage([&] { _StrToBool(bad); }),
              "(284519) Error converting _StrToBool. Val: " + Utf8(bad));
}

}  // namespace
}  // namespace variant
