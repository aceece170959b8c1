#include "variant/pel_variant.h"

#include <gtest/gtest.h>

#include <limits>

#include "platform/text.h"

namespace variant {
namespace {

std::string Utf8(const string& text) { return platform::ToUtf8(text); }

// The message of the ELVarConvertError that `action` raises.
template <class F>
std::string ConvertMessage(F action) {
  try {
    action();
  } catch (const ELVarConvertError& e) {
    return Utf8(e.Message());
  }
  return "(nothing raised)";
}

TEST(VarTypeNames, AreTheKindsWithoutTheirPrefix) {
  EXPECT_EQ(VarTypeNames.size(), 27u);
  EXPECT_EQ(VarTypeNames[vtNone], u"None");
  EXPECT_EQ(VarTypeNames[vtANSIString], u"ANSIString");
  EXPECT_EQ(VarTypeNames[vtObj], u"Obj");
  EXPECT_EQ(VarTypeNames[vtRecord], u"Record");
  EXPECT_EQ(int{vtObj}, 24);
  EXPECT_EQ(sizeof(TKivType), 1u);
}

TEST(TPelVariant, NullIsAllZeroAndClearReleases) {
  TPelVariant v = TPelVariant::Null();
  EXPECT_TRUE(v.IsNULL());
  EXPECT_EQ(v.varType, vtNone);
  EXPECT_EQ(v.vUInt64, 0u);
  EXPECT_EQ(v.Size(), 0);

  TPelVariant s(u"abc");
  s.Clear();
  EXPECT_TRUE(s.IsNULL());
  EXPECT_TRUE(s.vString.empty());
}

TEST(TPelVariant, AliasesShareTheirFieldsStorage) {
  TPelVariant v(std::int32_t{-2});
  EXPECT_EQ(v.vInteger, -2);
  EXPECT_EQ(v.vCardinal, 0xFFFFFFFEu);
  EXPECT_EQ(v.vByte, 0xFE);  // the low-order byte
}

TEST(TPelVariant, LengthOfAnotherKindFailsByTheMessageRule) {
  const TPelVariant v(std::int32_t{1});
  EXPECT_EQ(ConvertMessage([&] { (void)v.Length(); }),
            "Incompatible type in variant length operator: Int32");
  TPelVariant w = v;
  EXPECT_EQ(ConvertMessage([&] { TPelVariant::SetLength(w, 2); }),
            "Incompatible type in variant SetLength procedure: Int32");
}

TEST(TPelVariant, ConversionsCutToTheTargetsWidth) {
  EXPECT_EQ(static_cast<std::uint8_t>(TPelVariant(std::int32_t{-1})), 255);
  EXPECT_EQ(static_cast<std::uint64_t>(TPelVariant(std::int64_t{-5})), 0xFFFFFFFFFFFFFFFBu);
  EXPECT_EQ(ConvertMessage([] { (void)static_cast<std::int32_t>(TPelVariant(1.5)); }),
            "Incompatible type in variant to int32 conversion: Double");
}

TEST(TPelVariant, FloatingPointErrorsAreTheRunTimesMathErrors) {
  EXPECT_THROW(TPelVariant(1e400L), rtl::EOverflow);
  EXPECT_EQ(TPelVariant(0.1L).vExtended, 0.1);
  const double nan = std::numeric_limits<double>::quiet_NaN();
  EXPECT_THROW((void)static_cast<Currency>(TPelVariant(nan)), rtl::EInvalidOp);
  EXPECT_THROW((void)static_cast<Currency>(TPelVariant(1e15)), rtl::EInvalidOp);
  EXPECT_EQ(static_cast<Currency>(TPelVariant(0.03125)), Currency(312));
  EXPECT_EQ(static_cast<Currency>(TPelVariant(0.09375)), Currency(938));
}

}  // namespace
}  // namespace variant
