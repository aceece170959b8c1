#include "variant/pel_variant.h"

#include <gtest/gtest.h>

#include <limits>
#include <thread>
#include <vector>
#include <type_traits>

#include "runtime/exceptions.h"
#include "variant_samples.h"

namespace variant {
namespace {

using namespace variant::testing;

TEST(VarTypeNames, AreTheKindsWithoutTheirPrefix) {
  EXPECT_EQ(VarTypeNames.size(), 27u);
  EXPECT_EQ(VarTypeNames[vtNone], u"None");
  EXPECT_EQ(VarTypeNames[vtWordBool], u"WordBool");
  EXPECT_EQ(VarTypeNames[vtANSIString], u"ANSIString");
  EXPECT_EQ(VarTypeNames[vtObj], u"Obj");
  EXPECT_EQ(VarTypeNames[vtRecord], u"Record");
  EXPECT_EQ(int{vtObj}, 24);
  EXPECT_EQ(int{vtRecord}, 26);
  EXPECT_EQ(sizeof(TKivType), 1u);
}

TEST(TPelVariant, ConstructorsPickTheKindOfThePlainType) {
  int x = 0;
  const struct {
    TPelVariant V;
    TKivType Kind;
  } cases[] = {
      {std::uint8_t{1}, vtByte},
      {std::int16_t{1}, vtSmallint},
      {std::uint16_t{1}, vtWord},
      {1, vtInt32},
      {1u, vtUInt32},
      {1l, vtInt64},
      {1ll, vtInt64},
      {1ul, vtUInt64},
      {1ull, vtUInt64},
      {1.0, vtDouble},
      {1.0f, vtDouble},
      {1.0L, vtExtended},
      {Currency(1), vtCurrency},
      {u'a', vtChar},
      {AnsiChar{'a'}, vtANSIChar},
      {u"a", vtString},
      {string(u"a"), vtString},
      {AnsiString("a"), vtANSIString},
      {TBoolean(true), vtBoolean},
      {TPointer(&x), vtPointer},
      {rtl::TDateTime(1), vtDateTime},
      {TBytes{1}, vtBytes},
      {NewDispatch(), vtCOMObj},
  };
  for (const auto& c : cases) EXPECT_EQ(c.V.varType, c.Kind) << Utf8(string(VarTypeNames[c.Kind]));

  EXPECT_EQ(TPelVariant(std::numeric_limits<long long>::min()).vInt64, std::numeric_limits<long long>::min());
  EXPECT_EQ(TPelVariant(TBoolean(true)).vBoolean, 1);
  EXPECT_EQ(TPelVariant(Currency(-7)).vCurrency, -7);  // the raw count unchanged
  EXPECT_EQ(TPelVariant(AnsiChar{0xE9}).vANSIChar, 0xE9);
  // The one-byte characters, bool and raw addresses make no value.
  static_assert(!std::is_convertible_v<char, TPelVariant>);
  static_assert(!std::is_convertible_v<signed char, TPelVariant>);
  static_assert(!std::is_convertible_v<bool, TPelVariant>);
  static_assert(!std::is_convertible_v<int*, TPelVariant>);
  static_assert(!std::is_convertible_v<const char*, TPelVariant>);
  static_assert(std::is_convertible_v<Boolean, TPelVariant>);  // the one-byte alias is a byte
  EXPECT_EQ(TPelVariant(Boolean{1}).varType, vtByte);
}

TEST(TPelVariant, ExtendedIsRoundedToTheNearestDouble) {
  EXPECT_EQ(TPelVariant(0.1L).vExtended, 0.1);
  EXPECT_EQ(TPelVariant(9007199254740993.0L).vExtended, 9007199254740992.0);  // tie to even
  EXPECT_EQ(TPelVariant(1e-4000L).vExtended, 0.0);
  EXPECT_THROW(TPelVariant(1e400L), rtl::EOverflow);
  EXPECT_EQ(TPelVariant(1.0L).Size(), 8);
}

TEST(TPelVariant, NullIsAllZeroAndClearReleases) {
  TPelVariant v = TPelVariant::Null();
  EXPECT_TRUE(v.IsNULL());
  EXPECT_EQ(v.varType, vtNone);
  EXPECT_EQ(v.vUInt64, 0u);
  EXPECT_EQ(v.Size(), 0);

  const platform::TDispatchRef object = NewDispatch();
  TPelVariant s(u"abc");
  s.vCOMObj = object;  // left over from another kind
  s.vBytes = TBytes{1};
  s.Clear();
  EXPECT_TRUE(s.IsNULL());
  EXPECT_TRUE(s.vString.empty());
  EXPECT_TRUE(s.vBytes.Empty());
  EXPECT_EQ(RefCount(object), 1u);

  // IsNULL looks at the kind only.
  TPelVariant leftover(u"x");
  leftover.varType = vtNone;
  EXPECT_TRUE(leftover.IsNULL());
}

TEST(TPelVariant, AliasesShareTheirFieldsStorage) {
  TPelVariant v(std::int32_t{-2});
  EXPECT_EQ(v.vInteger, -2);
  EXPECT_EQ(v.vCardinal, 0xFFFFFFFEu);
  EXPECT_EQ(v.vByte, 0xFE);  // the low-order byte
  v.vCardinal = 7;
  EXPECT_EQ(v.vInt32, 7);
}

TEST(TPelVariant, SizeOfEveryKind) {
  const Integer sizes[] = {0, 0, 1, 2, 2, 4, 4, 8, 8, 2, 4, 1, 2, 0, 4, 4, 8, 0, 8, 8, 8, 1, 2, 2, 0};
  const std::vector<TPelVariant> samples = OneOfEachKind();  // "12", "ab", {7, 8}
  for (std::size_t k = 0; k < samples.size(); ++k)
    EXPECT_EQ(samples[k].Size(), sizes[k]) << Utf8(string(VarTypeNames[k]));
  EXPECT_EQ(_SimpleTypeSize(vtString), 0);
  EXPECT_EQ(_SimpleTypeSize(vtArray), 0);
  EXPECT_EQ(_SimpleTypeSize(vtCurrency), 8);
}

TEST(TPelVariant, LengthAndElementsOfTextsAndArrays) {
  const TPelVariant text(u"abc");
  EXPECT_EQ(text.Length(), 3);
  EXPECT_EQ(text.Size(), 6);
  const TPelVariant first = text.GetElement(1);
  EXPECT_EQ(first.varType, vtChar);
  EXPECT_EQ(first.vChar, u'a');

  const TPelVariant ansi(AnsiString("xy"));
  EXPECT_EQ(ansi.GetElement(2).varType, vtANSIChar);
  EXPECT_EQ(ansi.GetElement(2).vANSIChar, 'y');

  const TPelVariant bytes(TBytes{7, 8});
  EXPECT_EQ(bytes.GetElement(0).varType, vtByte);
  EXPECT_EQ(bytes.GetElement(0).vByte, 7);
  EXPECT_EQ(TPelVariant(u"").Length(), 0);
  EXPECT_EQ(TPelVariant(TBytes{}).Length(), 0);
}

TEST(TPelVariant, IndexesOutsideTheValueRaiseARangeError) {
  TPelVariant text(u"abc");
  TPelVariant ansi(AnsiString("ab"));
  TPelVariant bytes(TBytes{7, 8});
  const struct {
    TPelVariant* V;
    Integer Index;
  } cases[] = {{&text, 0}, {&text, 4}, {&text, -1}, {&ansi, 0}, {&ansi, 3},
               {&bytes, -1}, {&bytes, 2}, {&bytes, std::numeric_limits<Integer>::min()}};
  for (const auto& c : cases) {
    EXPECT_THROW((void)c.V->GetElement(c.Index), rtl::ERangeError) << c.Index;
    const TPelVariant value = c.V->varType == vtBytes ? TPelVariant(std::uint8_t{1}) : TPelVariant(u'z');
    EXPECT_THROW(c.V->SetElement(c.Index, value), rtl::ERangeError) << c.Index;
  }
  EXPECT_EQ(text.vString, u"abc");
  EXPECT_EQ(bytes.vBytes.ToVector(), (std::vector<std::uint8_t>{7, 8}));
}

TEST(TPelVariant, OtherKindsFailByTheMessageRule) {
  for (const TPelVariant& v : OneOfEachKind()) {
    if (v.varType == vtString || v.varType == vtANSIString || v.varType == vtBytes) continue;
    const std::string name = Utf8(string(VarTypeNames[v.varType]));
    TPelVariant w = v;
    EXPECT_EQ(ConvertMessage([&] { (void)v.Length(); }), "Incompatible type in variant length operator: " + name);
    EXPECT_EQ(ConvertMessage([&] { TPelVariant::SetLength(w, 2); }),
              "Incompatible type in variant SetLength procedure: " + name);
    EXPECT_EQ(ConvertMessage([&] { (void)v.GetElement(1); }), "Incompatible type in get variant element: " + name);
    // The record's kind is tested before the value's.
    EXPECT_EQ(ConvertMessage([&] { w.SetElement(1, TPelVariant(1.5)); }),
              "Incompatible type in set variant element: " + name);
    EXPECT_EQ(w.varType, v.varType);
    EXPECT_EQ(w.vUInt64, v.vUInt64);
  }
}

TEST(TPelVariant, SetElementConvertsTheValueBeforeWritingAnything) {
  TPelVariant bytes(TBytes{7, 8});
  bytes.SetElement(1, TPelVariant(std::int32_t{300}));
  EXPECT_EQ(bytes.vBytes[1], 44);  // the low 8 bits
  EXPECT_EQ(ConvertMessage([&] { bytes.SetElement(0, TPelVariant(1.5)); }),
            "Incompatible type in variant to byte conversion: Double");
  // A bad value is reported even where the index is bad too.
  EXPECT_EQ(ConvertMessage([&] { bytes.SetElement(5, TPelVariant(1.5)); }),
            "Incompatible type in variant to byte conversion: Double");
  EXPECT_EQ(bytes.vBytes.ToVector(), (std::vector<std::uint8_t>{7, 44}));

  TPelVariant text(u"abc");
  text.SetElement(2, TPelVariant(AnsiChar{'X'}));
  EXPECT_EQ(text.vString, u"aXc");
  EXPECT_EQ(ConvertMessage([&] { text.SetElement(1, TPelVariant(u"q")); }),
            "Incompatible type in variant to char conversion: String");
  EXPECT_EQ(text.vString, u"aXc");

  TPelVariant ansi(AnsiString("ab"));
  ansi.SetElement(1, TPelVariant(u'Z'));
  EXPECT_EQ(ansi.vANSIString.Bytes, "Zb");
  EXPECT_EQ(ConvertMessage([&] { ansi.SetElement(1, TPelVariant(std::uint8_t{1})); }),
            "Incompatible type in variant to ansichar conversion: Byte");
}

TEST(TPelVariant, CopiesShareTheArrayButNotTheText) {
  TBytes array{7, 8};
  TPelVariant a(array);
  TPelVariant b = a;
  b.SetElement(0, TPelVariant(std::uint8_t{9}));
  EXPECT_EQ(a.vBytes[0], 9);      // every copy sees it
  EXPECT_EQ(array[0], 9);         // and the array the value was built from
  for (const Integer length : {0, 1, 2, 3}) {
    TPelVariant c = a;
    TPelVariant::SetLength(c, length);
    EXPECT_FALSE(c.vBytes.SharesWith(a.vBytes)) << length;
    EXPECT_EQ(c.Length(), length);
    if (length > 0) {
      c.SetElement(0, TPelVariant(std::uint8_t{1}));
      EXPECT_EQ(a.vBytes[0], 9) << length;
    }
  }
  TPelVariant grown = a;
  TPelVariant::SetLength(grown, 4);
  EXPECT_EQ(grown.vBytes.ToVector(), (std::vector<std::uint8_t>{9, 8, 0, 0}));
  EXPECT_THROW(TPelVariant::SetLength(grown, -1), rtl::ERangeError);
  EXPECT_EQ(grown.Length(), 4);

  TPelVariant s(u"abc");
  TPelVariant t = s;
  t.SetElement(1, TPelVariant(u'x'));
  EXPECT_EQ(s.vString, u"abc");
  TPelVariant::SetLength(t, 5);
  EXPECT_EQ(t.vString, string(u"xbc\0\0", 5));  // added text is zeros
  EXPECT_EQ(s.vString, u"abc");
  TPelVariant::SetLength(t, -1);
  EXPECT_EQ(t.Length(), 0);

  TPelVariant ansi(AnsiString("ab", platform::CodePage1252));
  TPelVariant::SetLength(ansi, 3);
  EXPECT_EQ(ansi.vANSIString.Bytes, std::string("ab\0", 3));
  EXPECT_EQ(ansi.vANSIString.CodePage, platform::CodePage1252);
}

TEST(TPelVariant, AValueAssignedOrMovedOntoItselfKeepsIt) {
  const platform::TDispatchRef object = NewDispatch();
  TPelVariant v(u"abc");
  v.vANSIString = AnsiString("ab", platform::CodePage1252);
  v.vBytes = TBytes{1, 2};
  v.vCOMObj = object;
  TPelVariant& same = v;
  v = same;
  v = std::move(same);
  EXPECT_EQ(v.varType, vtString);
  EXPECT_EQ(v.vString, u"abc");
  EXPECT_EQ(v.vANSIString, AnsiString("ab", platform::CodePage1252));
  EXPECT_EQ(v.vBytes.ToVector(), (std::vector<std::uint8_t>{1, 2}));
  EXPECT_EQ(RefCount(object), 2u);

  // A move onto another record hands everything over, the payload whole.
  TPelVariant moved = TPelVariant(Currency(-1));
  moved = std::move(v);
  EXPECT_EQ(moved.varType, vtString);
  EXPECT_EQ(moved.vString, u"abc");
  EXPECT_EQ(RefCount(object), 2u);
  moved = TPelVariant(Currency(-1));
  EXPECT_EQ(moved.vCurrency, -1);
}

TEST(TPelVariant, CopiesOfOneValueMayLiveOnDifferentThreads) {
  const platform::TDispatchRef object = NewDispatch();
  TPelVariant shared(object);
  shared.vBytes = TBytes{1, 2, 3};
  shared.vString = u"text";
  {
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
      threads.emplace_back([&shared] {
        for (int i = 0; i < 2000; ++i) {
          TPelVariant copy = shared;
          const platform::TDispatchRef ref = static_cast<platform::TDispatchRef>(copy);
          const platform::TOleVariant ole = static_cast<platform::TOleVariant>(copy);
          TPelVariant back(ole);
          back.Clear();
        }
      });
    for (std::thread& t : threads) t.join();
  }
  EXPECT_EQ(RefCount(object), 2u);
}

}  // namespace
}  // namespace variant
