#include <gtest/gtest.h>

#include <limits>

#include "operator_support.h"
#include "variant/arithmetic_grids.h"

namespace variant_test {
namespace {

TEST(Division, EveryPairGivesTheGridsKindOrTheOperatorsMessage) {
  ExpectGrid("/", op_Division, DivideGrid, [](TKivType l, TKivType r) {
    return Refusal("Incompatible type in variant divide operator: ", l, r);
  });
  ExpectGrid("div", op_IntDivide, IntDivideGrid, [](TKivType l, TKivType r) {
    return Refusal("Incompatible type in variant div operator: ", l, r);
  });
  ExpectGrid("mod", op_Modulus, IntDivideGrid, [](TKivType l, TKivType r) {
    return Refusal("Incompatible type in variant mod operator: ", l, r);
  });
}

// With a UInt64 on either side both operands are 64-bit patterns divided
// unsigned; otherwise the division is exact and truncates toward zero.  The
// quotient or remainder is cut to the grid's kind, and only the 32-bit
// division of -2^31 by -1 fails.
TEST(Division, IntegerOracleOverBoundaryValues) {
  using TUInt128 = unsigned __int128;
  const auto pattern = [](TInt128 value) { return static_cast<TUInt128>(static_cast<std::uint64_t>(value)); };
  for (TKivType left : IntegerKinds)
    for (TKivType right : IntegerKinds) {
      const TKivType kind = *IntDivideGrid.At(left, right);
      for (const TPelVariant& a : Boundaries(left))
        for (const TPelVariant& b : Boundaries(right)) {
          const TInt128 x = IntegerValue(a);
          const TInt128 y = IntegerValue(b);
          if (y == 0) continue;
          std::string quotient, remainder;
          if (left == vtUInt64 || right == vtUInt64) {
            quotient = Describe(IntegerOf(kind, static_cast<TInt128>(pattern(x) / pattern(y))));
            remainder = Describe(IntegerOf(kind, static_cast<TInt128>(pattern(x) % pattern(y))));
          } else if (left == vtInt32 && x == std::numeric_limits<std::int32_t>::min() && y == -1 &&
                     (right == vtInt32 || right == vtSmallint)) {
            quotient = remainder = Failure(TOperatorError::IntegerOverflow);
          } else {
            quotient = Describe(IntegerOf(kind, x / y));
            remainder = Describe(IntegerOf(kind, x % y));
          }
          ASSERT_EQ(Outcome([&] { return op_IntDivide(a, b); }), quotient)
              << Describe(a) << " div " << Describe(b);
          ASSERT_EQ(Outcome([&] { return a % b; }), remainder)
              << Describe(a) << " mod " << Describe(b);
        }
    }
}

struct TValueCase {
  TPelVariant Result;
  std::string Expected;
};

TEST(Division, IntegerValues) {
  const TPelVariant min64(std::numeric_limits<std::int64_t>::min());
  const TPelVariant minus1(std::int64_t{-1});
  const TValueCase cases[] = {
      {op_IntDivide(TPelVariant(std::uint8_t{200}), TPelVariant(std::uint8_t{7})), "Byte 28"},
      {TPelVariant(std::uint8_t{200}) % TPelVariant(std::uint8_t{7}), "Byte 4"},
      {op_IntDivide(TPelVariant(std::uint16_t{10}), TPelVariant(std::uint64_t{3})), "UInt64 3"},
      {op_IntDivide(TPelVariant(std::uint64_t{10}), TPelVariant(std::uint16_t{3})), "Int64 3"},
      {op_IntDivide(TPelVariant(std::int32_t{-7}), TPelVariant(std::int32_t{2})), "Int32 -3"},
      {TPelVariant(std::int32_t{-7}) % TPelVariant(std::int32_t{2}), "Int32 -1"},
      {op_IntDivide(TPelVariant(std::int16_t{-7}), TPelVariant(std::uint64_t{2})),
       "Int64 9223372036854775804"},
      {op_IntDivide(TPelVariant(~std::uint64_t{0}), TPelVariant(std::uint8_t{1})), "Int64 -1"},
      {op_IntDivide(TPelVariant(std::uint32_t{3000000000u}), TPelVariant(std::int32_t{-2})),
       "Int64 -1500000000"},
      {op_IntDivide(min64, minus1), "Int64 -9223372036854775808"},
      {min64 % minus1, "Int64 0"},
      {op_IntDivide(TPelVariant(std::int16_t{-32768}), TPelVariant(std::int16_t{-1})),
       "Smallint -32768"},
  };
  for (const TValueCase& c : cases) EXPECT_EQ(Describe(c.Result), c.Expected);
}

TEST(Division, RealQuotients) {
  const TValueCase cases[] = {
      {TPelVariant(std::int32_t{7}) / TPelVariant(std::int32_t{2}), "Double 3.5"},
      {TPelVariant(std::int32_t{1}) / Ext(4.0), "Extended 0.25"},
      {Cur(10000) / TPelVariant(std::int32_t{3}), "Currency raw 3333"},
      {Cur(20000) / TPelVariant(std::int32_t{3}), "Currency raw 6667"},
      {Cur(625) / Cur(20000), "Currency raw 312"},  // 312.5, ties to even
      {Cur(1875) / Cur(20000), "Currency raw 938"},  // 937.5
      {TPelVariant(std::int32_t{3}) / Cur(15000), "Currency raw 20000"},
      {Cur(10000) / TPelVariant(4.0), "Double 0.25"},
      {TPelVariant(1.0) / Cur(40000), "Double 0.25"},
      {Ext(1.0) / Cur(40000), "Extended 0.25"},
      {TPelVariant(~std::uint64_t{0}) / TPelVariant(std::uint64_t{1}), "Double 1.8446744073709552e+19"},
      // Too small for a double: a subnormal or 0, no error.
      {TPelVariant(0x1p-1000) / TPelVariant(0x1p70), Describe(TPelVariant(0x1p-1070))},
      {TPelVariant(1e-300) / TPelVariant(1e300), "Double 0"},
  };
  for (const TValueCase& c : cases) EXPECT_EQ(Describe(c.Result), c.Expected);
}

TEST(Division, ArithmeticFailures) {
  const double inf = std::numeric_limits<double>::infinity();
  const TPelVariant zero32(std::int32_t{0});
  struct TCase {
    std::string Got;
    TOperatorError Error;
  };
  const TCase cases[] = {
      {Outcome([&] { return op_IntDivide(TPelVariant(std::int32_t{5}), zero32); }),
       TOperatorError::IntegerDivByZero},
      {Outcome([&] { return TPelVariant(std::int32_t{5}) % zero32; }), TOperatorError::IntegerDivByZero},
      {Outcome([] { return op_IntDivide(TPelVariant(std::uint8_t{1}), TPelVariant(std::uint64_t{0})); }),
       TOperatorError::IntegerDivByZero},
      {Outcome([] { return TPelVariant(std::int64_t{1}) % TPelVariant(std::int64_t{0}); }),
       TOperatorError::IntegerDivByZero},
      {Outcome([] {
         return op_IntDivide(TPelVariant(std::numeric_limits<std::int32_t>::min()), TPelVariant(std::int16_t{-1}));
       }),
       TOperatorError::IntegerOverflow},
      {Outcome([] {
         return TPelVariant(std::numeric_limits<std::int32_t>::min()) % TPelVariant(std::int32_t{-1});
       }),
       TOperatorError::IntegerOverflow},
      {Outcome([] { return TPelVariant(1.0) / TPelVariant(0.0); }), TOperatorError::FloatZeroDivide},
      {Outcome([&] { return TPelVariant(std::int32_t{1}) / zero32; }), TOperatorError::FloatZeroDivide},
      {Outcome([] { return Cur(10000) / Cur(0); }), TOperatorError::FloatZeroDivide},
      {Outcome([] { return TPelVariant(1.0) / Cur(0); }), TOperatorError::FloatZeroDivide},
      {Outcome([] { return Cur(10000) / TPelVariant(std::uint8_t{0}); }), TOperatorError::FloatZeroDivide},
      {Outcome([] { return TPelVariant(0.0) / TPelVariant(0.0); }), TOperatorError::FloatInvalid},
      {Outcome([] { return Cur(0) / Cur(0); }), TOperatorError::FloatInvalid},
      {Outcome([&] { return TPelVariant(inf) / Ext(inf); }), TOperatorError::FloatInvalid},
      {Outcome([] { return TPelVariant(1e308) / TPelVariant(1e-10); }), TOperatorError::FloatOverflow},
      {Outcome([] { return Cur(std::numeric_limits<std::int64_t>::max()) / Cur(1); }),
       TOperatorError::CurrencyRange},
      {Outcome([] { return TPelVariant(std::int64_t{1000000000000000}) / Cur(10000); }),
       TOperatorError::CurrencyRange},
  };
  for (const TCase& c : cases) EXPECT_EQ(c.Got, Failure(c.Error));
}

}  // namespace
}  // namespace variant_test
