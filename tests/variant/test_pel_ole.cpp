#include <gtest/gtest.h>

#include <limits>

#include "platform/codepage.h"
#include "platform/ole_variant.h"
#include "variant_samples.h"

namespace variant {
namespace {

using namespace variant::testing;
using platform::TOleVariant;

TEST(PlatformVariant, IsA16ByteRecordThatOwnsItsValues) {
  EXPECT_EQ(sizeof(TOleVariant), 16u);
  TOleVariant text;
  text.SetWideText(platform::VarOleStr, u"abc");
  TOleVariant copy = text;  // texts are copied
  text.SetInteger(1);
  ASSERT_EQ(copy.VarType(), platform::VarOleStr);
  EXPECT_EQ(copy.AsWideText()->Text, u"abc");

  const platform::TDispatchRef object = NewDispatch();
  {
    TOleVariant holder;
    holder.SetDispatch(object.Get());
    TOleVariant second = holder;
    EXPECT_EQ(RefCount(object), 3u);
    second = holder;  // the same reference again
    EXPECT_EQ(RefCount(object), 3u);
    holder.Clear();
    EXPECT_EQ(RefCount(object), 2u);
  }
  EXPECT_EQ(RefCount(object), 1u);

  TOleVariant nil;
  nil.SetDispatch(nullptr);  // never called
  TOleVariant nilCopy = nil;
  EXPECT_EQ(nilCopy.AsDispatch(), nullptr);
}

TEST(PlatformVariant, EveryKindGoesOutWithItsTypeCodeAndComesBack) {
  platform::ScopedAnsiCodePage cp(platform::CodePageUtf8);
  const struct {
    TPelVariant V;
    platform::TVarType Code;
    TKivType Back;  // the kind the platform variant converts back to
  } cases[] = {
      {TPelVariant(), 1, vtNone},
      {std::uint8_t{200}, 17, vtByte},
      {std::int16_t{-2}, 2, vtSmallint},
      {std::uint16_t{65535}, 18, vtWord},
      {std::int32_t{-1}, 3, vtInt32},
      {std::uint32_t{4294967295u}, 19, vtUInt32},
      {SysDate(693596), 3, vtInt32},
      {SysTime(36000000), 3, vtInt32},
      {1.5, 5, vtDouble},
      {2.25L, 5, vtDouble},
      {rtl::TDateTime(0.5), 7, vtDateTime},
      {std::int64_t{-5}, 20, vtInt64},
      {std::numeric_limits<std::uint64_t>::max(), 21, vtUInt64},
      {Currency(-12345), 6, vtCurrency},
      {TBoolean(true), 11, vtBoolean},
      {WordBool(-1), 11, vtBoolean},
      {WordBool(0), 11, vtBoolean},
      {u'A', 0x0102, vtString},
      {u"text", 0x0102, vtString},
      {AnsiChar{0xE9}, 0x0100, vtANSIString},
      {AnsiString("\xE9", platform::CodePage1252), 0x0100, vtANSIString},
      {TBytes{7, 8, 9}, 0x2011, vtNone},  // arrays do not come back
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(Utf8(string(VarTypeNames[c.V.varType])));
    const TOleVariant ole = static_cast<TOleVariant>(c.V);
    EXPECT_EQ(ole.VarType(), c.Code);
    if (c.Back == vtNone && c.Code != 1) continue;
    const TPelVariant back(ole);
    EXPECT_EQ(back.varType, c.Back);
    if (c.Back == vtString || c.Back == vtANSIString) {
      EXPECT_EQ(static_cast<string>(back), static_cast<string>(c.V));
    } else if (c.Back == vtBoolean) {
      EXPECT_EQ(back.vBoolean, static_cast<bool>(static_cast<TBoolean>(c.V)) ? 1 : 0);
    } else if (c.Back != vtNone) {
      // The same value bits at the width of the kind that came back.
      const std::uint64_t mask = ~0ull >> (64 - 8 * _SimpleTypeSize(c.Back));
      EXPECT_EQ(back.vUInt64 & mask, c.V.vUInt64 & mask);
    }
  }
}

TEST(PlatformVariant, ValuesAsTheTypeCodeHoldsThem) {
  EXPECT_EQ(static_cast<TOleVariant>(TPelVariant(TBoolean(true))).AsBoolean(), -1);
  EXPECT_EQ(static_cast<TOleVariant>(WordBool(7)).AsBoolean(), -1);
  EXPECT_EQ(static_cast<TOleVariant>(TPelVariant(Currency(15000))).AsCurrency(), 15000);

  const TOleVariant ansi = static_cast<TOleVariant>(TPelVariant(AnsiString("\xE9", platform::CodePage1252)));
  EXPECT_EQ(ansi.AsAnsiText()->Bytes, "\xE9");
  EXPECT_EQ(ansi.AsAnsiText()->CodePage, platform::CodePage1252);
  EXPECT_EQ(TPelVariant(ansi).vANSIString.CodePage, platform::CodePage1252);

  TBytes bytes{7, 8, 9};
  const TOleVariant array = static_cast<TOleVariant>(TPelVariant(bytes));
  bytes[0] = 1;  // the platform variant holds a copy
  const platform::TSafeArray* a = array.AsArray();
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(a->Dims, 1);
  EXPECT_EQ(a->LowerBound, 0);
  EXPECT_EQ(a->ElementCount(), 3u);
  EXPECT_EQ(a->Data, (std::vector<std::uint8_t>{7, 8, 9}));
  platform::TSafeArray sizeless;
  sizeless.ElementSize = 0;
  sizeless.Data = {1, 2};
  EXPECT_EQ(sizeless.ElementCount(), 0u);  // not a division by zero

  TOleVariant empty;
  EXPECT_TRUE(TPelVariant(empty).IsNULL());
  TOleVariant big;
  big.SetUInt32(3000000000u);  // unsigned, not refused as out of the signed range
  EXPECT_EQ(TPelVariant(big).vUInt32, 3000000000u);
  TOleVariant shortInt;
  shortInt.SetShortInt(-3);
  const TPelVariant small(shortInt);
  EXPECT_EQ(small.varType, vtSmallint);
  EXPECT_EQ(small.vSmallint, -3);
  TOleVariant single;
  single.SetSingle(0.5f);
  EXPECT_EQ(TPelVariant(single).vDouble, 0.5);
  TOleVariant argument;
  argument.SetWideText(platform::VarUStrArg, u"arg");
  EXPECT_EQ(TPelVariant(argument).vString, u"arg");
  argument.SetAnsiText(platform::VarStrArg, "arg", platform::CodePageUtf8);
  EXPECT_EQ(TPelVariant(argument).vANSIString.Bytes, "arg");
}

TEST(PlatformVariant, InterfacesGainOneReferencePerHolder) {
  const platform::TDispatchRef object = NewDispatch();
  TPelVariant v(object);
  EXPECT_EQ(RefCount(object), 2u);
  {
    const TOleVariant ole = static_cast<TOleVariant>(v);
    EXPECT_EQ(ole.VarType(), platform::VarDispatch);
    EXPECT_EQ(RefCount(object), 3u);
    const TPelVariant back(ole);
    EXPECT_EQ(back.varType, vtCOMObj);
    EXPECT_EQ(back.vCOMObj, object);
    EXPECT_EQ(RefCount(object), 4u);
  }
  v.Clear();
  EXPECT_EQ(RefCount(object), 1u);
}

TEST(PlatformVariant, RefusedTypeCodesAreNamedInDecimal) {
  static int target = 0;
  const struct {
    platform::TVarType Code;
    const char* Number;
  } refused[] = {{10, "10"}, {12, "12"}, {13, "13"}, {14, "14"}, {15, "15"}, {22, "22"},
                 {0x2011, "8209"}, {0x2003, "8195"}, {0x4003, "16387"}, {0x6011, "24593"}};
  for (const auto& r : refused) {
    TOleVariant ole;
    if (r.Code & platform::VarByRefFlag)
      ole.SetByRef(r.Code & ~platform::VarByRefFlag, &target);
    else if (r.Code & platform::VarArrayFlag)
      ole.SetArray(r.Code & platform::VarTypeMask, platform::TSafeArray{});
    else if (r.Code == platform::VarUnknown)
      ole.SetUnknown(nullptr);
    else
      ole.SetRaw(r.Code, 0);
    ASSERT_EQ(ole.VarType(), r.Code);
    EXPECT_EQ(ConvertMessage([&] { TPelVariant v(ole); }),
              std::string("Incompatible type in vexlan variant to variant conversion: ") + r.Number);
  }
  for (const TPelVariant& v : {TPelVariant(TPointer(&target)), Raw(vtVariant, 0), Raw(vtObj, 0)})
    EXPECT_EQ(ConvertMessage([&] { (void)static_cast<TOleVariant>(v); }),
              "Incompatible type in variant to vexlan variant conversion: " +
                  Utf8(string(VarTypeNames[v.varType])));
}

}  // namespace
}  // namespace variant
