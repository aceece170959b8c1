#include "runtime/str_to_int.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <optional>
#include <string>

#include "platform/text.h"

namespace {

TEST(TryStrToInt, ReadsTheRunTimesForms) {
  const struct {
    std::u16string Text;
    std::optional<Integer> Value;  // nothing: no integer
  } cases[] = {
      {u"0", 0},
      {u"1", 1},
      {u"+1", 1},
      {u"-1", -1},
      {u"   42", 42},
      {u"007", 7},
      {u"2147483647", 2147483647},
      {u"-2147483648", -2147483647 - 1},
      {u"-0000000002147483648", -2147483647 - 1},
      {u"$10", 16},
      {u"x1f", 31},
      {u"X1F", 31},
      {u"0x10", 16},
      {u"0X10", 16},
      {u"-$10", -16},
      {u" +0xA", 10},
      {u"$7FFFFFFF", 2147483647},
      {u"$80000000", -2147483647 - 1},
      {u"$FFFFFFFF", -1},
      {u"-$FFFFFFFF", 1},
      {u"0x0000000001", 1},  // leading zeros hold no bits
      // Not integers.
      {u"", std::nullopt},
      {u"   ", std::nullopt},
      {u"+", std::nullopt},
      {u"-", std::nullopt},
      {u"$", std::nullopt},
      {u"0x", std::nullopt},
      {u"1 ", std::nullopt},
      {u"1x", std::nullopt},
      {u"\t1", std::nullopt},   // blanks are U+0020 only
      {u"\u00A01", std::nullopt},
      {u"- 1", std::nullopt},
      {u"--1", std::nullopt},
      {u"$-1", std::nullopt},
      {u"0x-1", std::nullopt},
      {u"1.0", std::nullopt},
      {u"1e3", std::nullopt},
      {u"12a", std::nullopt},
      {u"$G", std::nullopt},
      {u"\uFF11", std::nullopt},  // a fullwidth digit is no digit
      // Too large for 32 bits: never wrapped.
      {u"2147483648", std::nullopt},
      {u"-2147483649", std::nullopt},
      {u"99999999999", std::nullopt},
      {u"4294967297", std::nullopt},
      {u"0x100000001", std::nullopt},
      {u"$100000000", std::nullopt},
      {u"-0x100000001", std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(platform::ToUtf8(c.Text));
    Integer value = 12345;
    EXPECT_EQ(rtl::TryStrToInt(c.Text, value), c.Value.has_value());
    EXPECT_EQ(value, c.Value.value_or(12345));  // a failure leaves the value
  }
}

TEST(TryStrToInt64, TheSameRulesAt64Bits) {
  const std::int64_t min = std::numeric_limits<std::int64_t>::min();
  const struct {
    std::u16string Text;
    std::optional<std::int64_t> Value;
  } cases[] = {
      {u"9223372036854775807", std::numeric_limits<std::int64_t>::max()},
      {u"-9223372036854775808", min},
      {u"$FFFFFFFFFFFFFFFF", -1},
      {u"-$FFFFFFFFFFFFFFFF", 1},
      {u"0x8000000000000000", min},
      {u"  +x7f", 127},
      {u"9223372036854775808", std::nullopt},
      {u"-9223372036854775809", std::nullopt},
      {u"18446744073709551616", std::nullopt},  // would wrap to 0
      {u"$10000000000000000", std::nullopt},
      {u"0x1FFFFFFFFFFFFFFFF", std::nullopt},
      {u"", std::nullopt},
      {u"1 ", std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(platform::ToUtf8(c.Text));
    std::int64_t value = 12345;
    EXPECT_EQ(rtl::TryStrToInt64(c.Text, value), c.Value.has_value());
    EXPECT_EQ(value, c.Value.value_or(12345));
  }
}

}  // namespace
