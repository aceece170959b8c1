#include <gtest/gtest.h>

#include <limits>

#include "operator_support.h"
#include "variant/arithmetic_grids.h"

namespace variant_test {
namespace {

TEST(UnaryOperators, EveryKindGivesTheGridsKindOrTheOperatorsMessage) {
  struct TCase {
    const char* Name;
    TPelVariant (*Op)(const TPelVariant&);
    const TResultKindGrid& Grid;
    std::string Prefix;
  };
  const TCase cases[] = {
      {"negate", op_UnaryNegation, NegateGrid, "Incompatible type in variant negate operator: "},
      {"plus", op_UnaryPlus, PlusGrid, "Incompatible type in variant positive operator: "},
      {"not", op_LogicalNot, NotGrid, "Incompatible type in variant NOT operator: "},
  };
  for (const TCase& c : cases)
    for (TKivType kind : AllKinds) {
      const auto& cell = c.Grid.At(kind);
      EXPECT_EQ(KindOrFailure([&] { return c.Op(Sample(kind)); }),
                cell ? Name(*cell) : Refusal(c.Prefix, kind))
          << c.Name << " " << Name(kind);
    }
}

TEST(UnaryOperators, Values) {
  constexpr auto min64 = std::numeric_limits<std::int64_t>::min();
  struct TCase {
    TPelVariant Result;
    std::string Expected;
  };
  const TCase cases[] = {
      {-TPelVariant(std::uint8_t{200}), "Smallint -200"},
      {-TPelVariant(std::uint8_t{0}), "Smallint 0"},
      {-TPelVariant(std::int16_t{-32768}), "Smallint -32768"},
      {-TPelVariant(std::uint16_t{65535}), "Int32 -65535"},
      {-TPelVariant(std::int32_t{std::numeric_limits<std::int32_t>::min()}), "Int32 -2147483648"},
      {-TPelVariant(std::uint32_t{4294967295u}), "Int64 -4294967295"},
      {-TPelVariant(std::uint32_t{1}), "Int64 -1"},
      {-TPelVariant(std::int64_t{min64}), "Int64 -9223372036854775808"},
      {-TPelVariant(std::uint64_t{1}), "Int64 -1"},
      {-TPelVariant(std::uint64_t{1} << 63), "Int64 -9223372036854775808"},
      {-TPelVariant(std::uint64_t{0}), "Int64 0"},
      {-TPelVariant(0.0), "Double -0"},
      {-Ext(1.5), "Extended -1.5"},
      {-Cur(15000), "Currency raw -15000"},
      {+Cur(15000), "Currency raw 15000"},
      {+TPelVariant(std::uint64_t{7}), "UInt64 7"},
      {~TPelVariant(std::uint8_t{15}), "Byte 240"},
      {~TPelVariant(std::int32_t{5}), "Int32 -6"},
      {~TPelVariant(std::uint64_t{0}), "UInt64 18446744073709551615"},
      {~TPelVariant(std::int16_t{0}), "Smallint -1"},
      {~TPelVariant(std::uint16_t{0}), "Word 65535"},
      {~TPelVariant(TBoolean(false)), "Boolean 1"},
      {~TPelVariant(TBoolean(true)), "Boolean 0"},
      {~WordBool(0), "WordBool -1"},
      {~WordBool(7), "WordBool 0"},
  };
  for (const TCase& c : cases) EXPECT_EQ(Describe(c.Result), c.Expected);
}

// Against exact arithmetic: minus the value and every bit inverted (-x - 1),
// cut to the grid's kind.
TEST(UnaryOperators, IntegerOracleOverBoundaryValues) {
  for (TKivType kind : IntegerKinds)
    for (const TPelVariant& v : Boundaries(kind)) {
      const TInt128 x = IntegerValue(v);
      EXPECT_EQ(Describe(-v), Describe(IntegerOf(*NegateGrid.At(kind), -x))) << Describe(v);
      EXPECT_EQ(Describe(~v), Describe(IntegerOf(kind, -x - 1))) << Describe(v);
      EXPECT_EQ(Describe(+v), Describe(v));
    }
}

TEST(UnaryOperators, NegatingTheSmallestCurrencyIsAnInvalidOperation) {
  const TPelVariant v = Cur(std::numeric_limits<std::int64_t>::min());
  EXPECT_EQ(Outcome([&] { return -v; }), Failure(TOperatorError::CurrencyRange));
  EXPECT_EQ(Outcome([&] { return -Cur(std::numeric_limits<std::int64_t>::min() + 1); }),
            "Currency raw 9223372036854775807");
}

}  // namespace
}  // namespace variant_test
