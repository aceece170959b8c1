#include <gtest/gtest.h>

#include "operator_support.h"
#include "variant/arithmetic_grids.h"

namespace variant_test {
namespace {

struct TBitwiseCase {
  const char* Name;
  TPelVariant (*Op)(const TPelVariant&, const TPelVariant&);
  std::string BitwisePrefix;
  std::string BitwiseJoiner;
  std::string BooleanPrefix;
  TInt128 (*Exact)(TInt128, TInt128);
};

const TBitwiseCase Operators[] = {
    {"and", op_BitwiseAnd, "Incompatible type in variant bitwise AND operator: ", " and ",
     "Incompatible type in variant AND operator: ", [](TInt128 a, TInt128 b) { return a & b; }},
    {"or", op_BitwiseOr, "Incompatible type in variant bitwise OR operator: ", " OR ",
     "Incompatible type in variant OR operator: ", [](TInt128 a, TInt128 b) { return a | b; }},
    {"xor", op_BitwiseXOR, "Incompatible type in variant bitwise XOR operator: ", " XOR ",
     "Incompatible type in variant XOR operator: ", [](TInt128 a, TInt128 b) { return a ^ b; }},
};

// A truth value on the left earns the Boolean message, anything else the
// bitwise one with its operator's joiner.
TEST(BitwiseOperators, EveryPairGivesTheGridsKindOrTheMessageOfItsLeftOperand) {
  for (const TBitwiseCase& c : Operators)
    ExpectGrid(c.Name, c.Op, BitwiseGrid, [&](TKivType left, TKivType right) {
      return BooleanKinds.Contains(left) ? Refusal(c.BooleanPrefix, left, right)
                                         : Refusal(c.BitwisePrefix, left, right, c.BitwiseJoiner);
    });
}

TEST(BitwiseOperators, MessagesNameTheLeftKindFirst) {
  const TPelVariant i(std::int32_t{1});
  const TPelVariant d(1.0);
  const TPelVariant b(TBoolean(true));
  EXPECT_EQ(Outcome([&] { return i | d; }),
            "ELVarConvertError: Incompatible type in variant bitwise OR operator: Int32 OR Double");
  EXPECT_EQ(Outcome([&] { return d | i; }),
            "ELVarConvertError: Incompatible type in variant bitwise OR operator: Double OR Int32");
  EXPECT_EQ(Outcome([&] { return b | i; }),
            "ELVarConvertError: Incompatible type in variant OR operator: Boolean and Int32");
  EXPECT_EQ(Outcome([&] { return i & b; }),
            "ELVarConvertError: Incompatible type in variant bitwise AND operator: Int32 and Boolean");
  EXPECT_EQ(Outcome([&] { return TPelVariant() & TPelVariant(); }),
            "ELVarConvertError: Incompatible type in variant bitwise AND operator: None and None");
  EXPECT_EQ(Outcome([&] { return Cur(1) ^ i; }),
            "ELVarConvertError: Incompatible type in variant bitwise XOR operator: Currency XOR Int32");
}

TEST(BitwiseOperators, Values) {
  struct TCase {
    TPelVariant Result;
    std::string Expected;
  };
  const TCase cases[] = {
      {TPelVariant(std::int16_t{-1}) & TPelVariant(std::uint16_t{255}), "Word 255"},
      {TPelVariant(std::int16_t{-1}) & TPelVariant(std::uint32_t{5}), "UInt32 5"},
      {TPelVariant(std::uint16_t{65535}) & TPelVariant(std::int32_t{-1}), "Int32 65535"},
      {TPelVariant(std::uint8_t{240}) | TPelVariant(std::int16_t{-256}), "Smallint -16"},
      {TPelVariant(std::int32_t{-1}) ^ TPelVariant(std::uint64_t{0}), "UInt64 18446744073709551615"},
      {TPelVariant(std::uint32_t{1}) | TPelVariant(std::int64_t{2}), "Int64 3"},
      {TPelVariant(std::int32_t{-1}) | TPelVariant(std::uint32_t{0}), "UInt32 4294967295"},
      {TPelVariant(TBoolean(true)) & WordBool(0), "Boolean 0"},
      {WordBool(-1) | WordBool(0), "WordBool -1"},
      {WordBool(7) ^ WordBool(-1), "WordBool 0"},
      {WordBool(7) & WordBool(1), "WordBool -1"},  // both true, whatever their bits
      {TPelVariant(TBoolean(true)) ^ TPelVariant(TBoolean(false)), "Boolean 1"},
  };
  for (const TCase& c : cases) EXPECT_EQ(Describe(c.Result), c.Expected);
}

// Against exact arithmetic: both operands by their values, the result cut to
// the grid's kind.
TEST(BitwiseOperators, IntegerOracleOverBoundaryValues) {
  for (const TBitwiseCase& c : Operators)
    for (TKivType left : IntegerKinds)
      for (TKivType right : IntegerKinds) {
        const TKivType kind = *BitwiseGrid.At(left, right);
        for (const TPelVariant& a : Boundaries(left))
          for (const TPelVariant& b : Boundaries(right))
            ASSERT_EQ(Describe(c.Op(a, b)),
                      Describe(IntegerOf(kind, c.Exact(IntegerValue(a), IntegerValue(b)))))
                << Describe(a) << " " << c.Name << " " << Describe(b);
      }
}

}  // namespace
}  // namespace variant_test
