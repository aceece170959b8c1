// Every pair of kinds through all six comparisons: the grid held against the
// accepted pairs as the rules state them, then each operator against the
// grid with one value of each kind.
#include "variant/comparison_grids.h"

#include <gtest/gtest.h>

#include <compare>
#include <concepts>
#include <functional>
#include <string>

#include "operator_support.h"
#include "variant/comparisons.h"

namespace {

using namespace variant_test;

// The pairs the four orderings accept, by the kind of the left operand.
bool OrderingAccepts(TKivType left, TKivType right) {
  const TKindSet numbers = IntegerKinds | FloatKinds | vtCurrency;
  if (IntegerKinds.Contains(left)) return (numbers | TKindSet{vtSysDate, vtSysTime}).Contains(right);
  if (numbers.Contains(left)) return numbers.Contains(right);
  if (left == vtSysDate) return (IntegerKinds | TKindSet{vtSysDate, vtDateTime}).Contains(right);
  if (left == vtSysTime) return (IntegerKinds | TKindSet{vtSysTime, vtDateTime}).Contains(right);
  if (left == vtDateTime) return TKindSet{vtSysDate, vtSysTime, vtDateTime}.Contains(right);
  if (TextKinds.Contains(left)) return TextKinds.Contains(right);
  return false;
}

// The pairs that only = and <> accept.
bool OnlyEqualityAccepts(TKivType left, TKivType right) {
  const TKindSet addresses = {vtPointer, vtObj};
  if (left == vtNone) return true;
  if (right == vtNone) return left != vtVariant;
  return (BooleanKinds.Contains(left) && BooleanKinds.Contains(right)) ||
         (addresses.Contains(left) && addresses.Contains(right)) ||
         (left == vtCOMObj && (right == vtCOMObj || right == vtPointer)) ||
         (left == vtPointer && right == vtCOMObj) || (left == vtBytes && right == vtBytes);
}

TEST(ComparisonGrid, AcceptsExactlyThePairsTheRulesName) {
  for (TKivType left : AllKinds)
    for (TKivType right : AllKinds) {
      SCOPED_TRACE(Name(left) + " and " + Name(right));
      const bool orders = OrderingAccepts(left, right);
      EXPECT_EQ(OrderingRoute(left, right).has_value(), orders);
      EXPECT_EQ(EqualityRoute(left, right).has_value(), orders || OnlyEqualityAccepts(left, right));
      // The orderings' table is symmetric.
      EXPECT_EQ(OrderingRoute(right, left).has_value(), orders);
    }
}

struct TComparison {
  const char* Name;
  const char* Prefix;
  bool bOrdering;
  std::function<bool(const TPelVariant&, const TPelVariant&)> Apply;
};

const TComparison Comparisons[] = {
    {"==", "Incompatible type in variant equality comparision: ", false, std::equal_to<TPelVariant>()},
    {"!=", "Incompatible type in variant not equality comparision: ", false,
     std::not_equal_to<TPelVariant>()},
    {">", "Incompatible type in variant greater comparision: ", true, std::greater<TPelVariant>()},
    {">=", "Incompatible type in variant greater equal comparision: ", true,
     std::greater_equal<TPelVariant>()},
    {"<", "Incompatible type in variant lesser comparision: ", true, std::less<TPelVariant>()},
    {"<=", "Incompatible type in variant lesser equal comparision: ", true,
     std::less_equal<TPelVariant>()},
};

TEST(ComparisonGrid, EveryOperatorAcceptsItsPairsAndNamesTheOthers) {
  for (TKivType left : AllKinds)
    for (TKivType right : AllKinds) {
      const TPelVariant v1 = Sample(left), v2 = Sample(right);
      for (const TComparison& comparison : Comparisons) {
        const bool accepted = comparison.bOrdering ? OrderingRoute(left, right).has_value()
                                                   : EqualityRoute(left, right).has_value();
        const std::string verdict = Verdict([&] { return comparison.Apply(v1, v2); });
        if (accepted)
          EXPECT_TRUE(verdict == "true" || verdict == "false") << verdict;
        else
          EXPECT_EQ(verdict, Refusal(comparison.Prefix, left, right));
      }
    }
}

TEST(ComparisonGrid, TheMessageNamesTheLeftOperandFirst) {
  const TPelVariant text(u"x");
  EXPECT_EQ(Verdict([&] { return 5 == text; }),
            Refusal("Incompatible type in variant equality comparision: ", vtInt32, vtString));
  EXPECT_EQ(Verdict([&] { return text == 5; }),
            Refusal("Incompatible type in variant equality comparision: ", vtString, vtInt32));
  EXPECT_EQ(Verdict([&] { return 5 != text; }),
            Refusal("Incompatible type in variant not equality comparision: ", vtInt32, vtString));
  EXPECT_EQ(Verdict([&] { return text != 5; }),
            Refusal("Incompatible type in variant not equality comparision: ", vtString, vtInt32));
  EXPECT_EQ(Verdict([&] { return 5 < text; }),
            Refusal("Incompatible type in variant lesser comparision: ", vtInt32, vtString));
  EXPECT_EQ(Verdict([&] { return text > 5; }),
            Refusal("Incompatible type in variant greater comparision: ", vtString, vtInt32));
}

// Each of the six is a function of its own, so none is rewritten from another
// or called with its operands reversed; and no pair of kinds orders by <=>.
using TComparisonFunction = bool (*)(const TPelVariant&, const TPelVariant&);
[[maybe_unused]] constexpr TComparisonFunction DeclaredComparisons[] = {
    &operator==, &operator!=, &operator<, &operator<=, &operator>, &operator>=};
static_assert(!std::three_way_comparable<TPelVariant>);

}  // namespace
