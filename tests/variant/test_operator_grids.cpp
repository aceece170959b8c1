// The grids against the rules their tables follow, so that a cell copied
// wrong shows up as a broken rule.
#include "variant/arithmetic_grids.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>

#include "platform/text.h"

namespace variant {
namespace {

struct TIntegerShape {
  int Bits;
  bool bSigned;
};

const std::map<TKivType, TIntegerShape> Shapes = {
    {vtByte, {8, false}},   {vtSmallint, {16, true}}, {vtWord, {16, false}},
    {vtInt32, {32, true}},  {vtUInt32, {32, false}},  {vtInt64, {64, true}},
    {vtUInt64, {64, false}},
};

TKivType IntegerKind(int bits, bool isSigned) {
  for (const auto& [kind, shape] : Shapes)
    if (shape.Bits == bits && shape.bSigned == isSigned) return kind;
  return vtNone;  // no 8-bit signed kind
}

// Bits a signed kind needs to hold every value of the kind.
int SignedBitsFor(TIntegerShape s) { return s.bSigned ? s.Bits : s.Bits + 1; }

std::string Name(TKivType kind) { return platform::ToUtf8(string(VarTypeNames[kind])); }

std::string Cell(const TResultKindPairGrid& grid, TKivType a, TKivType b) {
  const auto& cell = grid.At(a, b);
  return cell ? Name(*cell) : "refused";
}

// Of two widths the wider wins; of one width the unsigned kind.
TKivType BitwiseRule(TIntegerShape a, TIntegerShape b) {
  if (a.Bits != b.Bits) return IntegerKind(std::max(a.Bits, b.Bits), (a.Bits > b.Bits ? a : b).bSigned);
  return IntegerKind(a.Bits, a.bSigned && b.bSigned);
}

// Two unsigned: the wider unsigned; two signed: the wider signed; mixed: the
// narrowest signed kind holding both ranges, Int64 beyond 64 bits.
TKivType AddRule(TIntegerShape a, TIntegerShape b) {
  if (!a.bSigned && !b.bSigned) return IntegerKind(std::max(a.Bits, b.Bits), false);
  const int need = std::max(SignedBitsFor(a), SignedBitsFor(b));
  for (int bits : {16, 32, 64})
    if (bits >= need) return IntegerKind(bits, true);
  return vtInt64;
}

// The narrowest signed kind of at least 16 bits holding both ranges, Int64
// at most; Word - UInt64 alone is a UInt64.
TKivType SubtractRule(TIntegerShape a, TIntegerShape b) {
  if (a.Bits == 16 && !a.bSigned && b.Bits == 64 && !b.bSigned) return vtUInt64;
  const int need = std::max(SignedBitsFor(a), SignedBitsFor(b));
  for (int bits : {16, 32, 64})
    if (bits >= need) return IntegerKind(bits, true);
  return vtInt64;
}

// Twice the wider width, 64 at most; unsigned only from two unsigned kinds.
TKivType MultiplyRule(TIntegerShape a, TIntegerShape b) {
  return IntegerKind(std::min(2 * std::max(a.Bits, b.Bits), 64), a.bSigned || b.bSigned);
}

// div and mod: as subtract, but Byte with Byte stays a Byte.
TKivType IntDivideRule(TIntegerShape a, TIntegerShape b) {
  if (a.Bits == 8 && b.Bits == 8) return vtByte;
  return SubtractRule(a, b);
}

TEST(OperatorGrids, IntegerTablesFollowTheirRules) {
  struct TCase {
    const char* Name;
    const TResultKindPairGrid& Grid;
    TKivType (*Rule)(TIntegerShape, TIntegerShape);
  };
  const TCase cases[] = {
      {"bitwise", BitwiseGrid, BitwiseRule},   {"add", AddGrid, AddRule},
      {"subtract", SubtractGrid, SubtractRule}, {"multiply", MultiplyGrid, MultiplyRule},
      {"div and mod", IntDivideGrid, IntDivideRule},
  };
  for (const TCase& c : cases)
    for (const auto& [a, shapeA] : Shapes)
      for (const auto& [b, shapeB] : Shapes)
        EXPECT_EQ(Cell(c.Grid, a, b), Name(c.Rule(shapeA, shapeB)))
            << c.Name << ": " << Name(a) << " with " << Name(b);
}

TEST(OperatorGrids, NumbersWithFloatsOrCurrencyTakeTheStrongestKind) {
  const TKindSet numbers = IntegerKinds | FloatKinds | vtCurrency;
  const auto strongest = [](TKivType a, TKivType b, TKivType ofTwoIntegers) {
    for (TKivType kind : {vtExtended, vtDouble, vtCurrency})
      if (a == kind || b == kind) return kind;
    return ofTwoIntegers;
  };
  for (TKivType a : numbers)
    for (TKivType b : numbers) {
      const std::string pair = Name(a) + " with " + Name(b);
      if (!IntegerKinds.Contains(a) || !IntegerKinds.Contains(b)) {
        EXPECT_EQ(Cell(AddGrid, a, b), Name(strongest(a, b, vtNone))) << pair;
        EXPECT_EQ(Cell(SubtractGrid, a, b), Name(strongest(a, b, vtNone))) << pair;
        EXPECT_EQ(Cell(MultiplyGrid, a, b), Name(strongest(a, b, vtNone))) << pair;
        EXPECT_EQ(Cell(IntDivideGrid, a, b), "refused") << pair;
        EXPECT_EQ(Cell(BitwiseGrid, a, b), "refused") << pair;
      }
      EXPECT_EQ(Cell(DivideGrid, a, b), Name(strongest(a, b, vtDouble))) << pair;
    }
}

// The operands each operator accepts at all, per left kind.
TEST(OperatorGrids, AcceptedPairsAreThoseOfTheDispatchTables) {
  const TKindSet numbers = IntegerKinds | FloatKinds | vtCurrency;
  struct TRow {
    TKindSet Lefts;
    TKindSet AddRights;
    TKindSet SubtractRights;
  };
  const TRow rows[] = {
      {IntegerKinds, numbers | vtSysDate, numbers},
      {FloatKinds | vtCurrency, numbers, numbers},
      {vtSysDate, IntegerKinds, IntegerKinds | vtSysDate},
      {vtDateTime, IntegerKinds, IntegerKinds},
      {TextKinds, TextKinds, {}},
  };
  for (TKivType a : AllKinds)
    for (TKivType b : AllKinds) {
      bool add = false, subtract = false;
      for (const TRow& row : rows)
        if (row.Lefts.Contains(a)) {
          add = row.AddRights.Contains(b);
          subtract = row.SubtractRights.Contains(b);
        }
      const bool numeric = numbers.Contains(a) && numbers.Contains(b);
      const bool integers = IntegerKinds.Contains(a) && IntegerKinds.Contains(b);
      const bool truths = BooleanKinds.Contains(a) && BooleanKinds.Contains(b);
      const std::string pair = Name(a) + " with " + Name(b);
      EXPECT_EQ(AddGrid.At(a, b).has_value(), add) << pair;
      EXPECT_EQ(SubtractGrid.At(a, b).has_value(), subtract) << pair;
      EXPECT_EQ(MultiplyGrid.At(a, b).has_value(), numeric) << pair;
      EXPECT_EQ(DivideGrid.At(a, b).has_value(), numeric) << pair;
      EXPECT_EQ(IntDivideGrid.At(a, b).has_value(), integers) << pair;
      EXPECT_EQ(BitwiseGrid.At(a, b).has_value(), integers || truths) << pair;
    }
}

TEST(OperatorGrids, TextsJoinAsAnsiOnlyWhenBothAreAnsi) {
  for (TKivType a : TextKinds)
    for (TKivType b : TextKinds)
      EXPECT_EQ(Cell(AddGrid, a, b),
                Name(AnsiKinds.Contains(a) && AnsiKinds.Contains(b) ? vtANSIString : vtString));
}

}  // namespace
}  // namespace variant
