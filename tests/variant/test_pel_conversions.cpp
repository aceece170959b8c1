#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <set>

#include "platform/codepage.h"
#include "runtime/exceptions.h"
#include "variant_samples.h"

namespace variant {
namespace {

using namespace variant::testing;

constexpr std::uint64_t Two63 = std::uint64_t{1} << 63;

struct TTarget {
  const char* Name;
  const char* Prefix;
  std::set<TKivType> Accepted;
  std::function<void(const TPelVariant&)> Convert;
};

const std::set<TKivType> IntegerKinds = {vtByte, vtSmallint, vtWord, vtInt32, vtUInt32, vtInt64, vtUInt64};

std::set<TKivType> Plus(std::set<TKivType> kinds, std::initializer_list<TKivType> more) {
  kinds.insert(more);
  return kinds;
}

std::set<TKivType> AllBut(std::initializer_list<TKivType> refused) {
  std::set<TKivType> kinds;
  for (int k = vtNone; k <= LastSimpleType; ++k) kinds.insert(static_cast<TKivType>(k));
  for (TKivType k : refused) kinds.erase(k);
  return kinds;
}

template <class T>
std::function<void(const TPelVariant&)> To() {
  return [](const TPelVariant& v) { (void)static_cast<T>(v); };
}

std::vector<TTarget> Targets() {
  const std::set<TKivType> integers = Plus(IntegerKinds, {vtSysDate, vtSysTime});
  const std::set<TKivType> numbers =
      Plus(IntegerKinds, {vtDouble, vtExtended, vtSysDate, vtSysTime, vtDateTime, vtCurrency});
  const std::set<TKivType> texts = AllBut({vtCOMObj, vtPointer, vtVariant, vtBytes, vtObj});
  return {
      {"byte", "Incompatible type in variant to byte conversion: ", integers, To<std::uint8_t>()},
      {"smallint", "Incompatible type in variant to smallint conversion: ", integers, To<std::int16_t>()},
      {"word", "Incompatible type in variant to word conversion: ", integers, To<std::uint16_t>()},
      {"int32", "Incompatible type in variant to int32 conversion: ", integers, To<std::int32_t>()},
      {"uint32", "Incompatible type in variant to uint32 conversion: ", integers, To<std::uint32_t>()},
      {"long", "Incompatible type in variant to int64 conversion: ", integers, To<long>()},
      {"long long", "Incompatible type in variant to int64 conversion: ", integers, To<long long>()},
      {"unsigned long", "Incompatible type in variant to uint64 conversion: ", integers, To<unsigned long>()},
      {"unsigned long long", "Incompatible type in variant to uint64 conversion: ", integers,
       To<unsigned long long>()},
      {"double", "Incompatible type in variant to double conversion: ", numbers, To<double>()},
      {"extended", "Incompatible type in variant to extended conversion: ", numbers, To<long double>()},
      {"currency", "Incompatible type in variant to currency conversion: ", numbers, To<Currency>()},
      {"char", "Incompatible type in variant to char conversion: ", {vtChar, vtANSIChar}, To<char16_t>()},
      {"ansichar", "Incompatible type in variant to ansichar conversion: ", {vtChar, vtANSIChar},
       To<AnsiChar>()},
      {"string", "Incompatible type in variant to string conversion: ", texts, To<string>()},
      {"ansistring", "Incompatible type in variant to ansistring conversion: ", texts, To<AnsiString>()},
      {"boolean", "Incompatible type in variant to boolean conversion: ", {vtBoolean, vtWordBool},
       To<TBoolean>()},
      {"pointer", "Incompatible type in variant to pointer conversion: ", {vtPointer, vtObj}, To<TPointer>()},
      {"datetime", "Incompatible type in variant to datetime conversion: ", {vtSysDate, vtSysTime, vtDateTime},
       To<rtl::TDateTime>()},
      {"bytes", "Incompatible type in variant to Tbytes conversion: ", {vtString, vtANSIString, vtBytes},
       To<TBytes>()},
      {"dispatch", "Incompatible type in variant to COMObject conversion: ", {vtCOMObj},
       To<platform::TDispatchRef>()},
      {"platform variant", "Incompatible type in variant to vexlan variant conversion: ",
       AllBut({vtPointer, vtVariant, vtObj}), To<platform::TOleVariant>()},
  };
}

TEST(Conversions, AcceptTheirKindsAndRefuseEveryOtherByName) {
  const std::vector<TPelVariant> samples = OneOfEachKind();
  ASSERT_EQ(samples.size(), std::size_t{LastSimpleType} + 1);
  for (const TTarget& target : Targets()) {
    for (const TPelVariant& v : samples) {
      SCOPED_TRACE(std::string(target.Name) + " from " + Utf8(string(VarTypeNames[v.varType])));
      const TPelVariant before = v;
      const std::string message = ConvertMessage([&] { target.Convert(v); });
      if (target.Accepted.count(v.varType))
        EXPECT_EQ(message, "(nothing raised)");
      else
        EXPECT_EQ(message, target.Prefix + Utf8(string(VarTypeNames[v.varType])));
      EXPECT_EQ(v.varType, before.varType);
      EXPECT_EQ(v.vUInt64, before.vUInt64);
    }
  }
}

TEST(Conversions, IntegersAreTakenAtTheirOwnWidthThenCut) {
  const struct {
    TPelVariant V;
    std::uint8_t Byte;
    std::int16_t Smallint;
    std::uint16_t Word;
    std::int32_t Int32;
    std::uint32_t UInt32;
    std::int64_t Int64;
    std::uint64_t UInt64;
  } cases[] = {
      {std::uint8_t{200}, 200, 200, 200, 200, 200, 200, 200},
      {std::int16_t{-1}, 255, -1, 65535, -1, 4294967295u, -1, ~0ull},
      {std::uint16_t{65535}, 255, -1, 65535, 65535, 65535, 65535, 65535},
      {std::int32_t{-1}, 255, -1, 65535, -1, 4294967295u, -1, ~0ull},
      {std::uint32_t{4294967295u}, 255, -1, 65535, -1, 4294967295u, 4294967295, 4294967295u},
      {std::int64_t{-5}, 251, -5, 65531, -5, 4294967291u, -5, ~0ull - 4},
      {std::uint64_t{1} << 32, 0, 0, 0, 0, 0, 4294967296, 4294967296},
      {Two63, 0, 0, 0, 0, 0, std::numeric_limits<std::int64_t>::min(), Two63},
      {SysDate(-2), 254, -2, 65534, -2, 4294967294u, -2, ~0ull - 1},
      {SysTime(864000000), 0x00, -26624, 38912, 864000000, 864000000, 864000000, 864000000},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.UInt64);
    EXPECT_EQ(static_cast<std::uint8_t>(c.V), c.Byte);
    EXPECT_EQ(static_cast<std::int16_t>(c.V), c.Smallint);
    EXPECT_EQ(static_cast<std::uint16_t>(c.V), c.Word);
    EXPECT_EQ(static_cast<std::int32_t>(c.V), c.Int32);
    EXPECT_EQ(static_cast<std::uint32_t>(c.V), c.UInt32);
    EXPECT_EQ(static_cast<std::int64_t>(c.V), c.Int64);
    EXPECT_EQ(static_cast<long long>(c.V), c.Int64);
    EXPECT_EQ(static_cast<std::uint64_t>(c.V), c.UInt64);
    EXPECT_EQ(static_cast<unsigned long long>(c.V), c.UInt64);
  }
}

TEST(Conversions, NumbersInExtendedPrecisionRoundedOnceToDouble) {
  const std::uint64_t max = ~0ull;
  const std::int64_t two53plus1 = (std::int64_t{1} << 53) + 1;
  const struct {
    TPelVariant V;
    double Double;
    long double Extended;
  } cases[] = {
      {std::uint8_t{200}, 200, 200},
      {std::int32_t{-1}, -1, -1},
      {max, 18446744073709551616.0, 18446744073709551615.0L},
      {two53plus1, 9007199254740992.0, 9007199254740993.0L},  // the tie goes to even
      {1.5, 1.5, 1.5L},
      {0.1L, 0.1, static_cast<long double>(0.1)},  // held as a double
      {rtl::TDateTime(0.5), 0.5, 0.5L},
      {SysDate(2), 2, 2},  // the day number, not a date-time value
      {SysTime(36000000), 36000000, 36000000},
      {Currency(12345), 1.2345, 12345.0L / 10000.0L},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(Utf8(string(VarTypeNames[c.V.varType])));
    EXPECT_EQ(static_cast<double>(c.V), c.Double);
    EXPECT_EQ(static_cast<long double>(c.V), c.Extended);
  }
}

TEST(Conversions, CurrencyRoundsHalvesToEvenWithinTheRawRange) {
  const struct {
    TPelVariant V;
    std::int64_t Raw;
  } cases[] = {
      {1.5, 15000},
      {0.03125, 312},  // 312.5
      {0.09375, 938},  // 937.5
      {-0.03125, -312},
      {0.00015, 1},  // the double nearest 0.00015 lies below it: no tie
      {SysDate(3), 30000},
      {std::int32_t{-7}, -70000},
      {Currency(-12345), -12345},
      {Currency(std::numeric_limits<std::int64_t>::min()), std::numeric_limits<std::int64_t>::min()},
      {922337203685477.0, 9223372036854770000},
      {std::int64_t{-922337203685477}, -9223372036854770000},
  };
  for (const auto& c : cases) EXPECT_EQ(static_cast<Currency>(c.V).Raw, c.Raw) << static_cast<double>(c.V);

  const double inf = std::numeric_limits<double>::infinity();
  for (const TPelVariant& v : {TPelVariant(922337203685478.0), TPelVariant(std::int64_t{922337203685478}),
                               TPelVariant(std::uint64_t{~0ull}), TPelVariant(inf),
                               TPelVariant(std::numeric_limits<double>::quiet_NaN())})
    EXPECT_THROW((void)static_cast<Currency>(v), rtl::EInvalidOp) << static_cast<double>(v);
}

TEST(Conversions, OneByteCharactersFollowTheAnsiCodePage) {
  const struct {
    Cardinal CodePage;
    std::uint8_t Ansi;
    char16_t Wide;         // the byte as a UTF-16 character
    std::uint8_t Back;     // that character as an ANSI character
  } bytes[] = {
      {platform::CodePageUtf8, 'a', u'a', 'a'},
      {platform::CodePageUtf8, 0xE9, 0xDCE9, 0xE9},  // lossless: the raw byte
      {platform::CodePageUtf8, 0x80, 0xDC80, 0x80},
      {platform::CodePage1252, 0xE9, 0x00E9, 0xE9},
      {platform::CodePage1252, 0x80, 0x20AC, 0x80},
  };
  for (const auto& c : bytes) {
    platform::ScopedAnsiCodePage cp(c.CodePage);
    const char16_t wide = static_cast<char16_t>(TPelVariant(AnsiChar{c.Ansi}));
    EXPECT_EQ(wide, c.Wide) << c.CodePage << " " << int{c.Ansi};
    EXPECT_EQ(static_cast<std::uint8_t>(static_cast<AnsiChar>(TPelVariant(wide))), c.Back);
  }
  const struct {
    Cardinal CodePage;
    char16_t Wide;
    std::uint8_t Ansi;
  } characters[] = {
      {platform::CodePageUtf8, u'\u007F', 0x7F},
      {platform::CodePageUtf8, u'\u00E9', '?'},  // two bytes in UTF-8
      {platform::CodePageUtf8, char16_t{0xD800}, '?'},  // a lone surrogate outside the raw bytes
      {platform::CodePage1252, u'\u00E9', 0xE9},
      {platform::CodePage1252, u'\u4E00', '?'},
  };
  for (const auto& c : characters) {
    platform::ScopedAnsiCodePage cp(c.CodePage);
    EXPECT_EQ(static_cast<std::uint8_t>(static_cast<AnsiChar>(TPelVariant(c.Wide))), c.Ansi)
        << c.CodePage << " " << int{c.Wide};
    EXPECT_EQ(static_cast<char16_t>(TPelVariant(c.Wide)), c.Wide);
  }
}

TEST(Conversions, BooleansAddressesDatesAndInterfaces) {
  EXPECT_TRUE(static_cast<bool>(static_cast<TBoolean>(WordBool(-1))));
  EXPECT_TRUE(static_cast<bool>(static_cast<TBoolean>(WordBool(256))));  // all 16 bits count
  EXPECT_FALSE(static_cast<bool>(static_cast<TBoolean>(WordBool(0))));
  EXPECT_FALSE(static_cast<bool>(static_cast<TBoolean>(TPelVariant(TBoolean(false)))));
  TPelVariant odd = Raw(vtBoolean, 2);  // a byte other than 0 and 1 is true
  EXPECT_TRUE(static_cast<bool>(static_cast<TBoolean>(odd)));

  int x = 0;
  EXPECT_EQ(static_cast<TPointer>(TPelVariant(TPointer(&x))).Value, &x);
  TPelVariant obj = Raw(vtObj, 0);
  obj.vObj = &x;
  EXPECT_EQ(static_cast<TPointer>(obj).Value, &x);

  EXPECT_EQ(static_cast<rtl::TDateTime>(TPelVariant(rtl::TDateTime(1.25))).Value, 1.25);
  EXPECT_EQ(static_cast<rtl::TDateTime>(SysDate(693596)).Value, 2.0);  // 1900-01-01
  EXPECT_EQ(static_cast<rtl::TDateTime>(SysTime(432000000)).Value, 0.5);
  EXPECT_THROW((void)static_cast<rtl::TDateTime>(SysDate(0)), rtl::EConvertError);

  const platform::TDispatchRef object = NewDispatch();
  const TPelVariant holder(object);
  EXPECT_EQ(RefCount(object), 2u);
  {
    const platform::TDispatchRef again = static_cast<platform::TDispatchRef>(holder);
    EXPECT_EQ(again, object);
    EXPECT_EQ(RefCount(object), 3u);
  }
  EXPECT_EQ(RefCount(object), 2u);
}

TEST(Conversions, ByteArraysShareOnlyTheArrayItself) {
  TBytes bytes{1, 2};
  const TPelVariant v(bytes);
  TBytes same = static_cast<TBytes>(v);
  EXPECT_TRUE(same.SharesWith(bytes));
  same[0] = 9;
  EXPECT_EQ(v.vBytes[0], 9);

  EXPECT_EQ(static_cast<TBytes>(TPelVariant(u"AB")).ToVector(), (std::vector<std::uint8_t>{65, 66}));
  EXPECT_EQ(static_cast<TBytes>(TPelVariant(u"\u00E9")).ToVector(), (std::vector<std::uint8_t>{0xC3, 0xA9}));
  {
    platform::ScopedAnsiCodePage cp(platform::CodePage1252);
    EXPECT_EQ(static_cast<TBytes>(TPelVariant(u"\u00E9")).ToVector(), (std::vector<std::uint8_t>{0xE9}));
  }
  const TPelVariant ansi(AnsiString("\x01\xFF"));
  EXPECT_EQ(static_cast<TBytes>(ansi).ToVector(), (std::vector<std::uint8_t>{1, 255}));
  EXPECT_TRUE(static_cast<TBytes>(TPelVariant(u"")).Empty());
}

}  // namespace
}  // namespace variant
