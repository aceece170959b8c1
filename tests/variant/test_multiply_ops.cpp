#include <gtest/gtest.h>

#include <limits>

#include "operator_support.h"
#include "variant/arithmetic_grids.h"

namespace variant_test {
namespace {

TEST(Multiply, EveryPairGivesTheGridsKindOrTheOperatorsMessage) {
  ExpectGrid("*", op_Multiply, MultiplyGrid, [](TKivType l, TKivType r) {
    return Refusal("Incompatible type in variant multiply operator: ", l, r);
  });
}

TEST(Multiply, IntegerOracleOverBoundaryValues) {
  using TUInt128 = unsigned __int128;
  for (TKivType left : IntegerKinds)
    for (TKivType right : IntegerKinds)
      for (const TPelVariant& a : Boundaries(left))
        for (const TPelVariant& b : Boundaries(right)) {
          // Two 64-bit values can need 128 bits and a sign: wrap at 128.
          const auto product = static_cast<TInt128>(static_cast<TUInt128>(IntegerValue(a)) *
                                                    static_cast<TUInt128>(IntegerValue(b)));
          ASSERT_EQ(Describe(a * b), Describe(IntegerOf(*MultiplyGrid.At(left, right), product)))
              << Describe(a) << " * " << Describe(b);
        }
}

struct TValueCase {
  TPelVariant Result;
  std::string Expected;
};

TEST(Multiply, Values) {
  const TValueCase cases[] = {
      {TPelVariant(std::uint8_t{255}) * TPelVariant(std::uint8_t{255}), "Word 65025"},
      {TPelVariant(std::int16_t{-32768}) * TPelVariant(std::int16_t{-32768}), "Int32 1073741824"},
      {TPelVariant(std::uint16_t{65535}) * TPelVariant(std::uint16_t{65535}), "UInt32 4294836225"},
      {TPelVariant(std::int32_t{65536}) * TPelVariant(std::int32_t{65536}), "Int64 4294967296"},
      {TPelVariant(std::uint8_t{2}) * TPelVariant(std::int32_t{-3}), "Int64 -6"},
      {TPelVariant(std::int32_t{-1}) * TPelVariant(std::uint32_t{4294967295u}), "Int64 -4294967295"},
      {TPelVariant(std::uint32_t{4294967295u}) * TPelVariant(std::uint32_t{4294967295u}),
       "UInt64 18446744065119617025"},
      {TPelVariant(std::int64_t{4294967296}) * TPelVariant(std::int64_t{4294967296}), "Int64 0"},
      {TPelVariant(~std::uint64_t{0}) * TPelVariant(std::int32_t{-1}), "Int64 1"},
      {TPelVariant(std::uint64_t{2}) * TPelVariant(std::uint16_t{3}), "UInt64 6"},
      {TPelVariant(std::uint64_t{2}) * TPelVariant(std::int16_t{3}), "Int64 6"},
      {Cur(25000) * TPelVariant(std::int32_t{4}), "Currency raw 100000"},
      {TPelVariant(std::int32_t{4}) * Cur(25000), "Currency raw 100000"},
      {Cur(1) * TPelVariant(std::numeric_limits<std::int64_t>::min()),
       "Currency raw -9223372036854775808"},
      {Cur(20000) * TPelVariant(0.25), "Double 0.5"},
      {TPelVariant(1.5) * Ext(2.0), "Extended 3"},
      {TPelVariant(std::uint64_t{3}) * TPelVariant(0.5), "Double 1.5"},
  };
  for (const TValueCase& c : cases) EXPECT_EQ(Describe(c.Result), c.Expected);
}

// The raw product in extended precision, divided by 10000, rounded to a
// whole raw count, ties to even.
TEST(Multiply, CurrencyTimesCurrencyRoundsInExtendedPrecision) {
  const TValueCase cases[] = {
      {Cur(15000) * Cur(20000), "Currency raw 30000"},
      {Cur(3) * Cur(5000), "Currency raw 2"},   // 1.5
      {Cur(1) * Cur(5000), "Currency raw 0"},   // 0.5
      {Cur(5) * Cur(5000), "Currency raw 2"},   // 2.5
      {Cur(-3) * Cur(5000), "Currency raw -2"},
      // Exactly 1000000016639999999.4999; the extended product has dropped
      // the low digits already.
      {Cur(100000001667) * Cur(99999999997), "Currency raw 1000000016640000000"},
  };
  for (const TValueCase& c : cases) EXPECT_EQ(Describe(c.Result), c.Expected);
}

TEST(Multiply, ArithmeticFailures) {
  constexpr std::int64_t maxRaw = std::numeric_limits<std::int64_t>::max();
  struct TCase {
    std::string Got;
    TOperatorError Error;
  };
  const TCase cases[] = {
      {Outcome([] { return TPelVariant(1e200) * TPelVariant(1e200); }), TOperatorError::FloatOverflow},
      {Outcome([] { return Cur(maxRaw) * TPelVariant(1e300); }), TOperatorError::FloatOverflow},
      {Outcome([] { return Cur(9223372036854770000) * TPelVariant(std::int32_t{10}); }),
       TOperatorError::CurrencyRange},
      {Outcome([] { return Cur(-1) * TPelVariant(std::numeric_limits<std::int64_t>::min()); }),
       TOperatorError::CurrencyRange},
      {Outcome([] { return Cur(maxRaw) * TPelVariant(~std::uint64_t{0}); }),
       TOperatorError::CurrencyRange},
      {Outcome([] { return Cur(maxRaw) * Cur(20000); }), TOperatorError::CurrencyRange},
  };
  for (const TCase& c : cases) EXPECT_EQ(c.Got, Failure(c.Error));
}

}  // namespace
}  // namespace variant_test
