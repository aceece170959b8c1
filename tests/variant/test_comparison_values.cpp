// The values the comparisons give: numbers of every width and sign, Currency,
// dates and times, texts of both widths and of two code pages, the kinds
// that are only equal or not, NaN, EqualTI and GreaterThanNL.
#include <gtest/gtest.h>

#include <cmath>
#include <compare>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "operator_support.h"
#include "platform/codepage.h"
#include "runtime/exceptions.h"
#include "variant/comparison_grids.h"
#include "variant/comparisons.h"

namespace {

using namespace variant_test;
using std::weak_ordering;

struct TOrderCase {
  TPelVariant A, B;
  weak_ordering Expected;
};

// All six operators agree with the one order of the pair.
void ExpectOrder(const TOrderCase& c) {
  SCOPED_TRACE(Describe(c.A) + " against " + Describe(c.B));
  EXPECT_EQ(c.A == c.B, c.Expected == 0);
  EXPECT_EQ(c.A != c.B, c.Expected != 0);
  EXPECT_EQ(c.A < c.B, c.Expected < 0);
  EXPECT_EQ(c.A <= c.B, c.Expected <= 0);
  EXPECT_EQ(c.A > c.B, c.Expected > 0);
  EXPECT_EQ(c.A >= c.B, c.Expected >= 0);
}

constexpr weak_ordering Less = weak_ordering::less, Same = weak_ordering::equivalent,
                        More = weak_ordering::greater;
constexpr std::uint64_t UInt64Max = std::numeric_limits<std::uint64_t>::max();
constexpr double TwoTo53 = 9007199254740992.0, TwoTo64 = 18446744073709551616.0;

TEST(ComparisonValues, NumbersByTheirMathematicalValue) {
  const TOrderCase cases[] = {
      {TPelVariant(-1), TPelVariant(4294967295u), Less},
      {TPelVariant(4294967295u), TPelVariant(-1), More},
      {TPelVariant(std::int16_t{-1}), TPelVariant(0ULL), Less},
      {TPelVariant(-1LL), TPelVariant(UInt64Max), Less},
      {TPelVariant(UInt64Max), TPelVariant(-1LL), More},
      {TPelVariant(1LL), TPelVariant(1ULL << 63), Less},
      {TPelVariant(1ULL << 63), TPelVariant(1LL), More},
      {TPelVariant(5LL), TPelVariant(5ULL), Same},
      {TPelVariant(std::int64_t{-9223372036854775807 - 1}), TPelVariant(0ULL), Less},
      {TPelVariant(std::uint8_t{200}), TPelVariant(200.0), Same},
      {TPelVariant(std::uint16_t{40000}), SysDate(40000), Same},
      {SysDate(40000), TPelVariant(std::uint16_t{40000}), Same},
      {SysDate(10), TPelVariant(std::uint8_t{9}), More},
      {SysDate(-1), TPelVariant(4294967295u), Less},
      {SysTime(5), SysTime(7), Less},
      // The integer is not rounded to a double first.
      {TPelVariant(9007199254740993LL), TPelVariant(TwoTo53), More},
      {TPelVariant(TwoTo53), TPelVariant(9007199254740993LL), Less},
      {TPelVariant(UInt64Max), TPelVariant(TwoTo64), Less},
      {TPelVariant(UInt64Max), Ext(TwoTo64), Less},
      {Ext(2.5), TPelVariant(2.5), Same},
      {TPelVariant(-0.0), TPelVariant(0.0), Same},
      {TPelVariant(-std::numeric_limits<double>::infinity()), TPelVariant(-(1LL << 62)), Less},
      // Currency: the other number times 10000 against the raw count.
      {Cur(5000), TPelVariant(0.5), Same},
      {Cur(1000), TPelVariant(0.1), Less},
      {TPelVariant(0.1), Cur(1000), More},
      {Cur(15000), TPelVariant(std::uint8_t{1}), More},
      {Cur(30000), TPelVariant(3), Same},
      {Cur(-1), TPelVariant(0ULL), Less},
      {Cur(std::numeric_limits<std::int64_t>::max()), TPelVariant(UInt64Max), Less},
      {Cur(9223372036854770000), TPelVariant(922337203685477LL), Same},
      {Cur(1), Cur(2), Less},
  };
  for (const TOrderCase& c : cases) ExpectOrder(c);
}

// Sets the x87 precision to 53 bits while it lives, as a host may.
class TDoublePrecisionUnit {
 public:
  TDoublePrecisionUnit() {
    asm volatile("fnstcw %0" : "=m"(FSaved));
    const std::uint16_t word = static_cast<std::uint16_t>((FSaved & ~0x0300u) | 0x0200u);
    asm volatile("fldcw %0" : : "m"(word));
  }
  ~TDoublePrecisionUnit() { asm volatile("fldcw %0" : : "m"(FSaved)); }

 private:
  std::uint16_t FSaved = 0;
};

TEST(ComparisonValues, NumbersCompareInExtendedPrecisionWhateverTheCallerSet) {
  TDoublePrecisionUnit precision;
  // 922337203685477 x 10000 needs 63 bits: rounded to 53 it falls below.
  ExpectOrder({Cur(9223372036854770000), TPelVariant(922337203685477LL), Same});
  ExpectOrder({TPelVariant(922337203685477LL), Cur(9223372036854770001), Less});
  // A UInt64 above 2^63 is widened with an addition that 53 bits would round.
  ExpectOrder({TPelVariant(UInt64Max), TPelVariant(TwoTo64), Less});
  ExpectOrder({TPelVariant(TwoTo64), TPelVariant(UInt64Max - 1), More});
}

// Sets rounding upward in both units while it lives, as a host may.
class TUpwardRoundingUnits {
 public:
  TUpwardRoundingUnits() {
    asm volatile("fnstcw %0" : "=m"(FSavedX87));
    asm volatile("stmxcsr %0" : "=m"(FSavedMxcsr));
    const std::uint16_t x87 = static_cast<std::uint16_t>((FSavedX87 & ~0x0C00u) | 0x0800u);
    const std::uint32_t mxcsr = (FSavedMxcsr & ~0x6000u) | 0x4000u;
    asm volatile("fldcw %0" : : "m"(x87));
    asm volatile("ldmxcsr %0" : : "m"(mxcsr));
  }
  ~TUpwardRoundingUnits() {
    asm volatile("fldcw %0" : : "m"(FSavedX87));
    asm volatile("ldmxcsr %0" : : "m"(FSavedMxcsr));
  }

 private:
  std::uint16_t FSavedX87 = 0;
  std::uint32_t FSavedMxcsr = 0;
};

TEST(ComparisonValues, ATimeOfDayBecomesTheNearestDateTimeWhateverTheCallerSet) {
  // 1 / 864000000, rounded to nearest; rounded upward it is one unit more.
  constexpr double Nearest = 0x1.3e254e465d72cp-30;
  TUpwardRoundingUnits upward;
  EXPECT_EQ(static_cast<rtl::TDateTime>(SysTime(1)).Value, Nearest);
  ExpectOrder({SysTime(1), Date(Nearest), Same});
}

TEST(ComparisonValues, DatesAndTimesAsDateTimeNumbers) {
  const TOrderCase cases[] = {
      {SysDate(693594), Date(0), Same},
      {Date(0), SysDate(693594), Same},
      {SysDate(693595), Date(0.5), More},
      {SysDate(1), Date(-693593), Same},
      {SysTime(432000000), Date(0.5), Same},
      {Date(0.5), SysTime(432000001), Less},
      {Date(-1.25), Date(-1.5), More},
  };
  for (const TOrderCase& c : cases) ExpectOrder(c);
}

TEST(ComparisonValues, ADayWithoutADateTimeFailsAsTheDateConversion) {
  const TPelVariant day0 = SysDate(0), zero = Date(0);
  EXPECT_THROW((void)(day0 == zero), rtl::EConvertError);
  EXPECT_THROW((void)(zero < day0), rtl::EConvertError);
  EXPECT_THROW((void)(day0 >= zero), rtl::EConvertError);
  // Against a number the day is a plain integer.
  EXPECT_TRUE(day0 == TPelVariant(0));
}

TEST(ComparisonValues, TextsByTheirUnits) {
  const TOrderCase cases[] = {
      {TPelVariant(u"a"), TPelVariant(u"B"), More},
      {TPelVariant(u"a"), TPelVariant(u"A"), More},
      {TPelVariant(u"A"), TPelVariant(u"AB"), Less},
      {TPelVariant(u""), TPelVariant(u"A"), Less},
      {TPelVariant(u""), TPelVariant(u""), Same},
      {TPelVariant(u'A'), TPelVariant(u"A"), Same},
      {TPelVariant(u'a'), TPelVariant(u"a"), Same},
      {TPelVariant(u'a'), TPelVariant(u"ab"), Less},
      {TPelVariant(u'\u00E9'), TPelVariant(u"z"), More},
      // Code units decide, not code points.
      {TPelVariant(u"\uFFFF"), TPelVariant(u"\U00010000"), More},
      // A unit 0 is a unit like any other.
      {TPelVariant(string(u"a\0b", 3)), TPelVariant(u"a"), More},
      {TPelVariant(string(u"a\0", 2)), TPelVariant(u"a\1"), Less},
      {Ansi("abc"), TPelVariant(u"abc"), Same},
      {TPelVariant(u"abc"), Ansi("abd"), Less},
      {AnsiByte('5'), TPelVariant(u'5'), Same},
      // Bytes of one code page as unsigned bytes.
      {Ansi("\xC3\xA9"), Ansi("z"), More},
      {Ansi("a"), AnsiByte(0xFF), Less},
      {Ansi(std::string("a\0", 2)), Ansi("a"), More},
  };
  for (const TOrderCase& c : cases) ExpectOrder(c);
}

TEST(ComparisonValues, AnsiTextsOfTheAnsiCodePage1252) {
  platform::ScopedAnsiCodePage codePage(platform::CodePage1252);
  const TOrderCase cases[] = {
      // ANSI against ANSI: bytes.
      {Ansi("\x80", platform::CodePage1252), AnsiByte(0xFF), Less},
      {AnsiByte(0xE9), Ansi("z", platform::CodePage1252), More},
      {Ansi("\x80"), AnsiByte(0x80), Same},
      // Against UTF-16 the byte 0x80 is U+20AC.
      {Ansi("\x80", platform::CodePage1252), TPelVariant(u'\u00FF'), More},
      {AnsiByte(0x80), TPelVariant(u"\u20AC"), Same},
      {AnsiByte(0xE9), TPelVariant(u'\u00E9'), Same},
  };
  for (const TOrderCase& c : cases) ExpectOrder(c);
}

TEST(ComparisonValues, AnsiTextsOfTwoCodePagesCompareAsUtf16) {
  // The system's ANSI code page is UTF-8 here.
  const TPelVariant eAcute1252 = Ansi("\xE9", platform::CodePage1252);
  const TPelVariant euro1252 = Ansi("\x80", platform::CodePage1252);
  const TOrderCase cases[] = {
      {eAcute1252, Ansi("\xC3\xA9", platform::CodePageUtf8), Same},
      {eAcute1252, Ansi("\xC3\xA9"), Same},
      // U+20AC against U+00E9; as bytes 0x80 would be below 0xC3.
      {euro1252, Ansi("\xC3\xA9", platform::CodePageUtf8), More},
      {Ansi("\xC3\xA9", platform::CodePageUtf8), euro1252, Less},
      // A single byte of the UTF-8 code page is not a character there.
      {AnsiByte(0xE9), eAcute1252, More},
      {AnsiByte('z'), eAcute1252, Less},
      // The ANSI code page named or meant: one code page, bytes.
      {Ansi("\xE9", platform::CodePageUtf8), Ansi("\xC3\xA9"), More},
  };
  for (const TOrderCase& c : cases) ExpectOrder(c);
}

struct TFakeDispatch : platform::TRefCounted<platform::IDispatch> {};

platform::TDispatchRef NewDispatch() { return platform::TDispatchRef(new TFakeDispatch); }

TEST(ComparisonValues, KindsThatAreOnlyEqualOrNot) {
  int x = 0, y = 0;
  const platform::TDispatchRef first = NewDispatch(), second = NewDispatch();
  const TBytes shared{1, 2};
  const struct {
    TPelVariant A, B;
    bool Equal;
  } cases[] = {
      {TPelVariant(), TPelVariant(), true},
      {TPelVariant(), OfKind(vtVariant), false},
      {TPelVariant(0), TPelVariant(), false},
      {TPelVariant(), TPelVariant(u""), false},
      {TPelVariant(u""), TPelVariant(), false},
      {TPelVariant(TBytes{}), TPelVariant(), false},
      {TPelVariant(TBoolean(true)), WordBool(-1), true},
      {WordBool(1), WordBool(-1), true},
      {WordBool(-1), TPelVariant(TBoolean(true)), true},
      {TPelVariant(TBoolean(false)), WordBool(0), true},
      {TPelVariant(TBoolean(false)), TPelVariant(TBoolean(true)), false},
      {WordBool(0), WordBool(2), false},
      {TPelVariant(TPointer(&x)), Obj(&x), true},
      {Obj(&x), TPelVariant(TPointer(&x)), true},
      {TPelVariant(TPointer(&x)), TPelVariant(TPointer(&y)), false},
      {Obj(&x), Obj(&y), false},
      {TPelVariant(TPointer(nullptr)), TPelVariant(platform::TDispatchRef()), true},
      {TPelVariant(platform::TDispatchRef()), TPelVariant(TPointer(nullptr)), true},
      {TPelVariant(first), TPelVariant(TPointer(nullptr)), false},
      {TPelVariant(platform::TDispatchRef()), TPelVariant(platform::TDispatchRef()), true},
      {TPelVariant(first), TPelVariant(first), true},
      {TPelVariant(first), TPelVariant(second), false},
      {TPelVariant(TBytes{}), TPelVariant(TBytes{}), true},
      {TPelVariant(TBytes{1, 2}), TPelVariant(TBytes{1, 2, 3}), false},
      {TPelVariant(TBytes{1, 2}), TPelVariant(TBytes{1, 2}), true},
      {TPelVariant(TBytes{1, 2}), TPelVariant(TBytes{1, 3}), false},
      {TPelVariant(shared), TPelVariant(shared), true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(Describe(c.A) + " against " + Describe(c.B));
    EXPECT_EQ(c.A == c.B, c.Equal);
    EXPECT_EQ(c.A != c.B, !c.Equal);
  }
}

constexpr const char* EqualityPrefix = "Incompatible type in variant equality comparision: ";

TEST(ComparisonValues, APointerThatIsNotNilRefusesAnInterface) {
  int x = 0;
  const TPelVariant pointer{TPointer(&x)}, empty{platform::TDispatchRef()}, full{NewDispatch()};
  EXPECT_EQ(Verdict([&] { return pointer == empty; }),
            Refusal(EqualityPrefix, vtPointer, vtCOMObj));
  EXPECT_EQ(Verdict([&] { return full == pointer; }),
            Refusal(EqualityPrefix, vtCOMObj, vtPointer));
  EXPECT_EQ(Verdict([&] { return pointer != full; }),
            Refusal("Incompatible type in variant not equality comparision: ", vtPointer, vtCOMObj));
  EXPECT_EQ(Verdict([&] { return OfKind(vtVariant) == TPelVariant(); }),
            Refusal(EqualityPrefix, vtVariant, vtNone));
}

TEST(ComparisonValues, ANaNFailsEveryComparisonAsAnInvalidOperation) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const std::pair<TPelVariant, TPelVariant> pairs[] = {
      {TPelVariant(nan), TPelVariant(1.0)},
      {TPelVariant(nan), TPelVariant(nan)},
      {TPelVariant(1), TPelVariant(nan)},
      {TPelVariant(UInt64Max), Ext(nan)},
      {Cur(0), TPelVariant(nan)},
      {Ext(nan), Cur(0)},
      {Date(nan), Date(0)},
      {SysDate(1), Date(nan)},
      {SysTime(0), Date(nan)},
  };
  const std::string invalid = Failure(TOperatorError::FloatInvalid);
  for (const auto& [a, b] : pairs) {
    SCOPED_TRACE(Describe(a) + " against " + Describe(b));
    EXPECT_EQ(Verdict([&] { return a == b; }), invalid);
    EXPECT_EQ(Verdict([&] { return a != b; }), invalid);
    EXPECT_EQ(Verdict([&] { return a < b; }), invalid);
    EXPECT_EQ(Verdict([&] { return a <= b; }), invalid);
    EXPECT_EQ(Verdict([&] { return a > b; }), invalid);
    EXPECT_EQ(Verdict([&] { return a >= b; }), invalid);
  }
  // A refused pair is refused before anything is looked at.
  EXPECT_THROW((void)(Date(nan) == TPelVariant(nan)), ELVarConvertError);
}

// Over a pool of values of every ordered kind: each pair has one order, seen
// the same from both sides, and = and <> agree with it.
TEST(ComparisonValues, OrderPropertiesOverAPool) {
  const std::vector<TPelVariant> pool = {
      TPelVariant(-1), TPelVariant(0), TPelVariant(5), TPelVariant(4294967295u),
      TPelVariant(std::uint8_t{200}), TPelVariant(std::int16_t{-32768}), TPelVariant(std::uint16_t{40000}),
      TPelVariant(std::int64_t{-9223372036854775807 - 1}), TPelVariant(9007199254740993LL),
      TPelVariant(UInt64Max), TPelVariant(1ULL << 63), TPelVariant(0.1), TPelVariant(0.5),
      TPelVariant(-0.0), TPelVariant(TwoTo53), TPelVariant(TwoTo64), Ext(2.5),
      TPelVariant(std::numeric_limits<double>::infinity()), Cur(1000), Cur(5000),
      Cur(std::numeric_limits<std::int64_t>::min()), SysDate(10), SysDate(693594),
      SysTime(432000000), Date(0), Date(0.5), Date(-1.25), TPelVariant(u""), TPelVariant(u"a"),
      TPelVariant(u"A"), TPelVariant(u"AB"), TPelVariant(u"\uFFFF"), TPelVariant(u"\U00010000"),
      TPelVariant(u'a'), TPelVariant(u'\u00E9'), AnsiByte('z'), AnsiByte(0xE9), Ansi("z"),
      Ansi("\x80", platform::CodePage1252), Ansi("\xC3\xA9"), Ansi("\xE9", platform::CodePage1252)};
  int ordered = 0;
  for (const TPelVariant& a : pool)
    for (const TPelVariant& b : pool) {
      if (!OrderingRoute(a.varType, b.varType)) continue;
      ++ordered;
      SCOPED_TRACE(Describe(a) + " against " + Describe(b));
      const bool less = a < b, equal = a == b, greater = a > b;
      EXPECT_EQ(int(less) + int(equal) + int(greater), 1);
      EXPECT_EQ(a != b, !equal);
      EXPECT_EQ(greater, b < a);
      EXPECT_EQ(a >= b, greater || equal);
      EXPECT_EQ(a <= b, less || equal);
      EXPECT_EQ(a <= b, b >= a);
      EXPECT_EQ(equal, b == a);
    }
  EXPECT_GT(ordered, 500);
}

struct TEqualTICase {
  TPelVariant S, Arg;
  bool Equal;
};

void ExpectEqualTI(const TEqualTICase& c) {
  SCOPED_TRACE(Describe(c.S) + " against " + Describe(c.Arg));
  EXPECT_EQ(c.S.EqualTI(c.Arg), c.Equal);
}

TEST(ComparisonValues, EqualTIOfTwoTextsOrOfNoTextIsEquality) {
  const TEqualTICase cases[] = {
      {TPelVariant(u"a"), Ansi("a"), true},
      {TPelVariant(u"a"), TPelVariant(u"A"), false},
      {TPelVariant(u"1"), TPelVariant(u"1.0"), false},
      {TPelVariant(3), TPelVariant(3.0), true},
      {Cur(1000), TPelVariant(0.1), false},
      // Kinds no parser reads leave the text as it is.
      {TPelVariant(u"x"), TPelVariant(), false},
      {TPelVariant(), TPelVariant(u""), false},
  };
  for (const TEqualTICase& c : cases) ExpectEqualTI(c);
}

TEST(ComparisonValues, EqualTIReadsTheTextAsTheOtherKind) {
  const TEqualTICase cases[] = {
      {TPelVariant(u"42"), TPelVariant(std::uint8_t{42}), true},
      {TPelVariant(std::uint8_t{42}), TPelVariant(u"42"), true},
      {TPelVariant(u" $2A"), TPelVariant(42), true},
      {TPelVariant(u"40000"), SysDate(40000), true},
      {TPelVariant(u"-1"), TPelVariant(4294967295u), false},
      {TPelVariant(u"18446744073709551615"), TPelVariant(UInt64Max), true},
      {TPelVariant(u"true"), WordBool(-1), true},
      {TPelVariant(u"TRUE"), WordBool(-1), true},
      {WordBool(-1), TPelVariant(u"True"), true},
      {TPelVariant(u"false"), TPelVariant(TBoolean(true)), false},
      {TPelVariant(u"1.5"), Cur(15000), true},
      {TPelVariant(u"0.1"), Cur(1000), false},
      {TPelVariant(u"3"), Date(3), true},
      {Date(3), Ansi("3"), true},
      {AnsiByte('5'), TPelVariant(5), true},
      {TPelVariant(u'7'), TPelVariant(7.0), true},
  };
  for (const TEqualTICase& c : cases) ExpectEqualTI(c);
}

TEST(ComparisonValues, EqualTIFailsWithTheParserOrTheEqualityMessageTextFirst) {
  const auto failure = [](const TPelVariant& s, const TPelVariant& arg) {
    return Verdict([&] { return s.EqualTI(arg); });
  };
  EXPECT_EQ(failure(TPelVariant(u"abc"), TPelVariant(1)),
            "ELVarConvertError: (113972) Error converting _StrToInt64. Val: abc");
  EXPECT_EQ(failure(TPelVariant(1), TPelVariant(u"abc")),
            "ELVarConvertError: (113972) Error converting _StrToInt64. Val: abc");
  EXPECT_EQ(failure(TPelVariant(u"-1"), TPelVariant(UInt64Max)),
            "ELVarConvertError: (436323) Error converting _StrToUInt64. Val: -1");
  EXPECT_EQ(failure(TPelVariant(u"1,5"), TPelVariant(1.5)),
            "ELVarConvertError: (733168) Error converting _StrToDouble. Val: 1,5");
  const TPelVariant bytes{TBytes{1}};
  EXPECT_EQ(failure(bytes, TPelVariant(u"x")), Refusal(EqualityPrefix, vtString, vtBytes));
  EXPECT_EQ(failure(TPelVariant(u"x"), bytes), Refusal(EqualityPrefix, vtString, vtBytes));
  EXPECT_EQ(failure(TPelVariant(5), bytes), Refusal(EqualityPrefix, vtInt32, vtBytes));
}

TEST(ComparisonValues, GreaterThanNLPutsNullBelowEverything) {
  const TPelVariant null, five{5}, four{std::uint8_t{4}}, bytes{TBytes{1}};
  EXPECT_FALSE(null.GreaterThanNL(null));
  EXPECT_FALSE(null.GreaterThanNL(five));
  EXPECT_TRUE(five.GreaterThanNL(null));
  EXPECT_TRUE(bytes.GreaterThanNL(null));
  EXPECT_FALSE(null.GreaterThanNL(bytes));
  EXPECT_TRUE(five.GreaterThanNL(four));
  EXPECT_FALSE(four.GreaterThanNL(five));
  EXPECT_FALSE(five.GreaterThanNL(five));
  EXPECT_EQ(Verdict([&] { return bytes.GreaterThanNL(five); }),
            Refusal("Incompatible type in variant greater comparision: ", vtBytes, vtInt32));
}

}  // namespace
