#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "operator_support.h"
#include "variant/arithmetic_grids.h"

namespace variant_test {
namespace {

const std::string AddPrefix = "Incompatible type in variant add operator: ";
const std::string SubtractPrefix = "Incompatible type in variant subtract operator: ";

TEST(AddSubtract, EveryPairGivesTheGridsKindOrTheOperatorsMessage) {
  ExpectGrid("+", op_Addition, AddGrid,
             [](TKivType l, TKivType r) { return Refusal(AddPrefix, l, r); });
  ExpectGrid("-", op_Subtraction, SubtractGrid,
             [](TKivType l, TKivType r) { return Refusal(SubtractPrefix, l, r); });
}

TEST(AddSubtract, IntegerOracleOverBoundaryValues) {
  for (TKivType left : IntegerKinds)
    for (TKivType right : IntegerKinds)
      for (const TPelVariant& a : Boundaries(left))
        for (const TPelVariant& b : Boundaries(right)) {
          const TInt128 x = IntegerValue(a);
          const TInt128 y = IntegerValue(b);
          ASSERT_EQ(Describe(a + b), Describe(IntegerOf(*AddGrid.At(left, right), x + y)))
              << Describe(a) << " + " << Describe(b);
          ASSERT_EQ(Describe(a - b), Describe(IntegerOf(*SubtractGrid.At(left, right), x - y)))
              << Describe(a) << " - " << Describe(b);
        }
}

struct TValueCase {
  TPelVariant Result;
  std::string Expected;
};

TEST(AddSubtract, IntegerValues) {
  const TValueCase cases[] = {
      {TPelVariant(std::uint8_t{200}) + TPelVariant(std::uint8_t{100}), "Byte 44"},
      {TPelVariant(std::uint16_t{65535}) + TPelVariant(std::int16_t{1}), "Int32 65536"},
      {TPelVariant(std::int16_t{32767}) + TPelVariant(std::uint8_t{1}), "Smallint -32768"},
      {TPelVariant(std::int32_t{2147483647}) + TPelVariant(std::uint32_t{1}), "Int64 2147483648"},
      {TPelVariant(std::uint32_t{4294967295u}) + TPelVariant(std::uint16_t{1}), "UInt32 0"},
      {TPelVariant(~std::uint64_t{0}) + TPelVariant(std::uint8_t{1}), "UInt64 0"},
      {TPelVariant(std::int16_t{-1}) + TPelVariant(std::uint64_t{1}), "Int64 0"},
      {TPelVariant(std::uint8_t{3}) - TPelVariant(std::uint8_t{5}), "Smallint -2"},
      {TPelVariant(std::uint32_t{0}) - TPelVariant(std::uint32_t{1}), "Int64 -1"},
      {TPelVariant(std::int16_t{-32768}) - TPelVariant(std::uint8_t{1}), "Smallint 32767"},
      {TPelVariant(std::uint16_t{1}) - TPelVariant(std::uint64_t{2}), "UInt64 18446744073709551615"},
      {TPelVariant(std::uint8_t{1}) - TPelVariant(std::uint64_t{2}), "Int64 -1"},
      {TPelVariant(std::uint64_t{1}) - TPelVariant(std::uint16_t{2}), "Int64 -1"},
  };
  for (const TValueCase& c : cases) EXPECT_EQ(Describe(c.Result), c.Expected);
}

TEST(AddSubtract, FloatAndCurrencyValues) {
  const TPelVariant two53plus1(std::int64_t{9007199254740993});
  const TValueCase cases[] = {
      {TPelVariant(std::uint8_t{5}) + Cur(15000), "Currency raw 65000"},
      {Cur(10000) - TPelVariant(std::int32_t{3}), "Currency raw -20000"},
      {TPelVariant(1.0) - Cur(2500), "Double 0.75"},
      {Cur(2500) + Ext(1.0), "Extended 1.25"},
      {TPelVariant(std::uint64_t{1}) + Ext(0.5), "Extended 1.5"},
      {Ext(0.5) + TPelVariant(std::uint64_t{1}), "Extended 1.5"},
      {Cur(15000) - Cur(25000), "Currency raw -10000"},
      // (d1 x 10000 - r2) / 10000, not d1 - r2 / 10000: they differ in the
      // last place.
      {TPelVariant(0.3) - Cur(2997), Describe(TPelVariant(0x1.3a92a30553195p-12))},
      {Cur(2997) - TPelVariant(0.3), Describe(TPelVariant(-0x1.3a92a30553195p-12))},
      // An integer enters with all its 64 bits, and the sum is rounded once.
      {two53plus1 - TPelVariant(9007199254740992.0), "Double 1"},
      {two53plus1 + TPelVariant(0.5), "Double 9007199254740994"},
      // The scaled operand may leave the double range on the way.
      {TPelVariant(1e308) - Cur(10000), "Double 1e+308"},
      // Exact to the end: only the result must fit the raw range.
      {TPelVariant(std::int64_t{922337203685477}) + Cur(5807), "Currency raw 9223372036854775807"},
      {TPelVariant(std::int64_t{-922337203685478}) + Cur(10000),
       "Currency raw -9223372036854770000"},
  };
  for (const TValueCase& c : cases) EXPECT_EQ(Describe(c.Result), c.Expected);
}

TEST(AddSubtract, DateValues) {
  const TPelVariant noon(rtl::TDateTime(43831.5));
  const TValueCase cases[] = {
      {SysDate(700) + TPelVariant(std::int32_t{30}), "Int32 730"},
      {TPelVariant(std::int32_t{30}) + SysDate(700), "Int32 730"},
      {SysDate(730) - SysDate(700), "Int32 30"},
      {SysDate(730) - TPelVariant(std::uint8_t{30}), "Int32 700"},
      {TPelVariant(std::int64_t{4294967296}) + SysDate(1), "Int32 1"},
      {SysDate(std::numeric_limits<std::int32_t>::max()) + TPelVariant(std::uint8_t{1}),
       "Int32 -2147483648"},
      {noon + TPelVariant(std::uint8_t{2}), "DateTime 43833.5"},
      {TPelVariant(rtl::TDateTime(43833.5)) - TPelVariant(std::uint64_t{2}), "DateTime 43831.5"},
  };
  for (const TValueCase& c : cases) EXPECT_EQ(Describe(c.Result), c.Expected);
  EXPECT_EQ(Outcome([&] { return TPelVariant(std::int32_t{2}) + noon; }),
            Refusal(AddPrefix, vtInt32, vtDateTime));
  EXPECT_EQ(Outcome([&] { return TPelVariant(std::int32_t{2}) - SysDate(1); }),
            Refusal(SubtractPrefix, vtInt32, vtSysDate));
}

TEST(AddSubtract, ArithmeticFailures) {
  const double inf = std::numeric_limits<double>::infinity();
  struct TCase {
    std::string Got;
    TOperatorError Error;
  };
  const TCase cases[] = {
      {Outcome([] { return TPelVariant(1e308) + TPelVariant(1e308); }), TOperatorError::FloatOverflow},
      {Outcome([] { return Ext(-1e308) - TPelVariant(1e308); }), TOperatorError::FloatOverflow},
      {Outcome([&] { return TPelVariant(inf) - TPelVariant(inf); }), TOperatorError::FloatInvalid},
      {Outcome([] { return TPelVariant(std::int64_t{1000000000000000}) + Cur(0); }),
       TOperatorError::CurrencyRange},
      {Outcome([] { return TPelVariant(std::int64_t{922337203685477}) + Cur(5808); }),
       TOperatorError::CurrencyRange},
      {Outcome([] { return Cur(std::numeric_limits<std::int64_t>::min()) - Cur(1); }),
       TOperatorError::CurrencyRange},
      {Outcome([] { return Cur(0) - TPelVariant(~std::uint64_t{0}); }), TOperatorError::CurrencyRange},
  };
  for (const TCase& c : cases) EXPECT_EQ(c.Got, Failure(c.Error));
}

TEST(AddSubtract, TextsJoin) {
  const TValueCase cases[] = {
      {TPelVariant(u'a') + TPelVariant(AnsiChar{'b'}), "String ab"},
      {TPelVariant(AnsiChar{'a'}) + TPelVariant(AnsiChar{'b'}), "ANSIString 6162 cp 65001"},
      {Ansi("x") + TPelVariant(u'y'), "String xy"},
      {TPelVariant(u"") + TPelVariant(u'a'), "String a"},
      {TPelVariant(u"é") + Ansi("\xC3\xA9"), "String éé"},
      {Ansi("ab") + Ansi(""), "ANSIString 6162 cp 0"},
  };
  for (const TValueCase& c : cases) EXPECT_EQ(Describe(c.Result), c.Expected);
}

// Texts of one code page join byte by byte; a right text of another code
// page is converted to the left one's first.
TEST(AddSubtract, AnsiTextsOfDifferentCodePagesJoinInTheLeftOnesCodePage) {
  const TPelVariant latin = Ansi("caf\xE9", platform::CodePage1252);
  const TPelVariant utf8 = Ansi("\xC3\xBC\xE6\x97\xA5", platform::CodePageUtf8);  // ü and a CJK day
  const TValueCase cases[] = {
      {latin + utf8, "ANSIString 636166E9FC3F cp 1252"},
      {utf8 + latin, "ANSIString C3BCE697A5636166C3A9 cp 65001"},
      {latin + Ansi("\x81\xE9", platform::CodePage1252), "ANSIString 636166E981E9 cp 1252"},
      {TPelVariant(AnsiChar{'a'}) + latin, "ANSIString 61636166C3A9 cp 65001"},
      {latin + TPelVariant(AnsiChar{'a'}), "ANSIString 636166E961 cp 1252"},
      // The system's code page by name and by number are one code page.
      {Ansi("\xFF") + Ansi("\xFE", platform::CodePageUtf8), "ANSIString FFFE cp 0"},
      {latin + TPelVariant(u"\u20AC"), "String café€"},
  };
  for (const TValueCase& c : cases) EXPECT_EQ(Describe(c.Result), c.Expected);
}

TEST(AddSubtract, UnderACodePage1252SystemAnsiTextsAreInIt) {
  const platform::ScopedAnsiCodePage system(platform::CodePage1252);
  EXPECT_EQ(Describe(TPelVariant(AnsiChar{0xE9}) + Ansi("\xE9", platform::CodePageUtf8)),
            "ANSIString E93F cp 1252");
  EXPECT_EQ(Describe(TPelVariant(AnsiChar{0x80}) + TPelVariant(u'x')), "String €x");
}

}  // namespace
}  // namespace variant_test
