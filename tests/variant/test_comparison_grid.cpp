// Every pair of kinds through all six comparisons: the grid held against the
// accepted pairs as the rules state them, then each operator against the
// grid with one value of each kind.
#include "variant/comparison_grids.h"

#include <gtest/gtest.h>

#include <compare>
#include <concepts>
#include <functional>
#include <string>

#include "platform/text.h"
#include "variant/comparisons.h"
#include "variant/pel_variant.h"

namespace {

using namespace variant;

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
      SCOPED_TRACE(platform::ToUtf8(IncompatibleMessage(u"", left, right)));
      const bool orders = OrderingAccepts(left, right);
      EXPECT_EQ(OrderingRoute(left, right).has_value(), orders);
      EXPECT_EQ(EqualityRoute(left, right).has_value(), orders || OnlyEqualityAccepts(left, right));
      // The orderings' table is symmetric.
      EXPECT_EQ(OrderingRoute(right, left).has_value(), orders);
    }
}

TPelVariant OfKind(TKivType kind) {
  static int object = 0;
  TPelVariant v;
  switch (kind) {
    case vtNone: return v;
    case vtCOMObj: return TPelVariant(platform::TDispatchRef());
    case vtByte: return TPelVariant(std::uint8_t{7});
    case vtSmallint: return TPelVariant(std::int16_t{-3});
    case vtWord: return TPelVariant(std::uint16_t{40000});
    case vtInt32: return TPelVariant(5);
    case vtUInt32: return TPelVariant(4000000000u);
    case vtDouble: return TPelVariant(2.5);
    case vtExtended: return TPelVariant(2.5L);
    case vtChar: return TPelVariant(u'a');
    case vtString: return TPelVariant(u"abc");
    case vtBoolean: return TPelVariant(TBoolean(true));
    case vtPointer: return TPelVariant(TPointer(nullptr));  // nil: it meets a COMObj
    case vtDateTime: return TPelVariant(rtl::TDateTime(0.5));
    case vtInt64: return TPelVariant(-9LL);
    case vtUInt64: return TPelVariant(18446744073709551615ULL);
    case vtCurrency: return TPelVariant(Currency(15000));
    case vtANSIChar: return TPelVariant(AnsiChar{'z'});
    case vtANSIString: return TPelVariant(AnsiString("xyz"));
    case vtBytes: return TPelVariant(TBytes{1, 2});
    default: break;
  }
  // The kinds no constructor makes.
  v.varType = kind;
  switch (kind) {
    case vtWordBool: v.vWordBool = -1; break;
    case vtSysDate: v.vSysDate = 693594; break;
    case vtSysTime: v.vSysTime = 432000000; break;
    case vtObj: v.vObj = &object; break;
    default: break;  // vtVariant holds nothing
  }
  return v;
}

struct TComparison {
  const char* Name;
  const char16_t* Prefix;
  bool Ordering;
  std::function<bool(const TPelVariant&, const TPelVariant&)> Apply;
};

const TComparison Comparisons[] = {
    {"==", u"Incompatible type in variant equality comparision: ", false, std::equal_to<TPelVariant>()},
    {"!=", u"Incompatible type in variant not equality comparision: ", false, std::not_equal_to<TPelVariant>()},
    {">", u"Incompatible type in variant greater comparision: ", true, std::greater<TPelVariant>()},
    {">=", u"Incompatible type in variant greater equal comparision: ", true, std::greater_equal<TPelVariant>()},
    {"<", u"Incompatible type in variant lesser comparision: ", true, std::less<TPelVariant>()},
    {"<=", u"Incompatible type in variant lesser equal comparision: ", true, std::less_equal<TPelVariant>()},
};

TEST(ComparisonGrid, EveryOperatorAcceptsItsPairsAndNamesTheOthers) {
  for (TKivType left : AllKinds)
    for (TKivType right : AllKinds) {
      const TPelVariant v1 = OfKind(left), v2 = OfKind(right);
      ASSERT_EQ(v1.varType, left);
      ASSERT_EQ(v2.varType, right);
      for (const TComparison& comparison : Comparisons) {
        const bool accepted = comparison.Ordering ? OrderingRoute(left, right).has_value()
                                                  : EqualityRoute(left, right).has_value();
        const string expected = IncompatibleMessage(comparison.Prefix, left, right);
        SCOPED_TRACE(std::string(comparison.Name) + " " + platform::ToUtf8(expected));
        try {
          comparison.Apply(v1, v2);
          EXPECT_TRUE(accepted);
        } catch (const ELVarConvertError& e) {
          EXPECT_FALSE(accepted);
          EXPECT_EQ(e.Message(), expected);
        }
      }
    }
}

TEST(ComparisonGrid, TheMessageNamesTheLeftOperandFirst) {
  const TPelVariant text(u"x");
  const auto messageOf = [](const std::function<void()>& compare) {
    try {
      compare();
    } catch (const ELVarConvertError& e) {
      return e.Message();
    }
    return string(u"(no error)");
  };
  EXPECT_EQ(messageOf([&] { (void)(5 == text); }),
            u"Incompatible type in variant equality comparision: Int32 and String");
  EXPECT_EQ(messageOf([&] { (void)(text == 5); }),
            u"Incompatible type in variant equality comparision: String and Int32");
  EXPECT_EQ(messageOf([&] { (void)(5 != text); }),
            u"Incompatible type in variant not equality comparision: Int32 and String");
  EXPECT_EQ(messageOf([&] { (void)(text != 5); }),
            u"Incompatible type in variant not equality comparision: String and Int32");
  EXPECT_EQ(messageOf([&] { (void)(5 < text); }),
            u"Incompatible type in variant lesser comparision: Int32 and String");
  EXPECT_EQ(messageOf([&] { (void)(text > 5); }),
            u"Incompatible type in variant greater comparision: String and Int32");
  static_assert(!std::three_way_comparable<TPelVariant>, "no pair of kinds orders by <=>");
}

}  // namespace
