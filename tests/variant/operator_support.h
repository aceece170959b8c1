// What the operator tests share: a value of every kind, boundary values of
// the integer kinds, exact integer arithmetic to hold results against, and
// one text for what an operation gave (its result, its refusal or its
// arithmetic failure) so that tables of cases compare strings.
#pragma once

#include <bit>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <string>
#include <vector>

#include "platform/text.h"
#include "runtime/exceptions.h"
#include "variant/operator_errors.h"
#include "variant/operator_grid.h"
#include "variant/pel_variant.h"

namespace variant_test {

using namespace variant;
using TInt128 = __int128;

inline std::string Name(TKivType kind) { return platform::ToUtf8(string(VarTypeNames.at(kind))); }

// A record of `kind` whose payload holds `payload`: how the kinds without a
// constructor (WordBool, SysDate, SysTime, Variant, Obj) are made.
inline TPelVariant OfKind(TKivType kind, std::uint64_t payload = 0) {
  TPelVariant v;
  v.vUInt64 = payload;
  v.varType = kind;
  return v;
}

inline TPelVariant Cur(std::int64_t raw) { return TPelVariant(Currency(raw)); }
inline TPelVariant Ext(double value) { return OfKind(vtExtended, std::bit_cast<std::uint64_t>(value)); }
inline TPelVariant WordBool(std::int16_t value) {
  return OfKind(vtWordBool, static_cast<std::uint16_t>(value));
}
inline TPelVariant SysDate(std::int32_t day) { return OfKind(vtSysDate, static_cast<std::uint32_t>(day)); }
inline TPelVariant SysTime(std::int32_t time) {
  return OfKind(vtSysTime, static_cast<std::uint32_t>(time));
}
inline TPelVariant Date(double value) { return TPelVariant(rtl::TDateTime(value)); }
inline TPelVariant AnsiByte(std::uint8_t byte) { return TPelVariant(static_cast<AnsiChar>(byte)); }
inline TPelVariant Obj(const void* address) {
  return OfKind(vtObj, reinterpret_cast<std::uintptr_t>(address));
}
inline TPelVariant Ansi(std::string bytes, Cardinal codePage = platform::CodePageAnsi) {
  return TPelVariant(AnsiString(std::move(bytes), codePage));
}

// One value of each storable kind, none of them zero, so that every pair
// an operator accepts has a result.
inline TPelVariant Sample(TKivType kind) {
  switch (kind) {
    case vtByte:
      return TPelVariant(std::uint8_t{3});
    case vtSmallint:
      return TPelVariant(std::int16_t{-3});
    case vtWord:
      return TPelVariant(std::uint16_t{3});
    case vtInt32:
      return TPelVariant(std::int32_t{-3});
    case vtUInt32:
      return TPelVariant(std::uint32_t{3});
    case vtInt64:
      return TPelVariant(std::int64_t{-3});
    case vtUInt64:
      return TPelVariant(std::uint64_t{3});
    case vtDouble:
      return TPelVariant(2.5);
    case vtExtended:
      return Ext(2.5);
    case vtCurrency:
      return Cur(15000);
    case vtChar:
      return TPelVariant(u'c');
    case vtString:
      return TPelVariant(u"text");
    case vtANSIChar:
      return TPelVariant(AnsiChar{'a'});
    case vtANSIString:
      return Ansi("ansi");
    case vtBoolean:
      return TPelVariant(TBoolean(true));
    case vtWordBool:
      return WordBool(-1);
    case vtSysDate:
      return SysDate(700);
    case vtSysTime:
      return OfKind(vtSysTime, 1000);
    case vtDateTime:
      return TPelVariant(rtl::TDateTime(43831.5));
    case vtBytes:
      return TPelVariant(TBytes{7, 8});
    default:
      return OfKind(kind);  // None, COMObj, Pointer, Variant, Obj: no value that matters
  }
}

inline std::string Decimal(TInt128 value) {
  if (value == 0) return "0";
  const bool negative = value < 0;
  std::string digits;
  while (value != 0) {
    const int digit = static_cast<int>(value % 10);
    digits.insert(digits.begin(), static_cast<char>('0' + (negative ? -digit : digit)));
    value /= 10;
  }
  return negative ? "-" + digits : digits;
}

inline std::string Number(double value) {
  char text[40];
  std::snprintf(text, sizeof text, "%.17g", value);
  return text;
}

inline std::string Hex(const std::string& bytes) {
  std::string out;
  char pair[4];
  for (unsigned char b : bytes) {
    std::snprintf(pair, sizeof pair, "%02X", b);
    out += pair;
  }
  return out;
}

// The exact value of a value of an integer kind.
inline TInt128 IntegerValue(const TPelVariant& v) {
  switch (v.varType) {
    case vtByte:
      return v.vByte;
    case vtSmallint:
      return v.vSmallint;
    case vtWord:
      return v.vWord;
    case vtInt32:
      return v.vInt32;
    case vtUInt32:
      return v.vUInt32;
    case vtInt64:
      return v.vInt64;
    default:
      return v.vUInt64;
  }
}

struct TIntegerShape {
  int Bits;
  bool bSigned;
};

inline TIntegerShape ShapeOf(TKivType kind) {
  switch (kind) {
    case vtByte:
      return {8, false};
    case vtSmallint:
      return {16, true};
    case vtWord:
      return {16, false};
    case vtInt32:
      return {32, true};
    case vtUInt32:
      return {32, false};
    case vtInt64:
      return {64, true};
    default:
      return {64, false};
  }
}

// An exact value cut to the low bits of an integer kind, read as that kind.
inline TInt128 CutToKind(TInt128 value, TKivType kind) {
  const TIntegerShape shape = ShapeOf(kind);
  const auto modulus = static_cast<unsigned __int128>(1) << shape.Bits;
  auto low = static_cast<unsigned __int128>(value) & (modulus - 1);
  if (shape.bSigned && low >= modulus / 2) return static_cast<TInt128>(low) - static_cast<TInt128>(modulus);
  return static_cast<TInt128>(low);
}

// The value of an integer kind holding `value` cut to the kind.
inline TPelVariant IntegerOf(TKivType kind, TInt128 value) {
  return OfKind(kind, static_cast<std::uint64_t>(value));  // the field reads the low bits
}

// The smallest and largest values of an integer kind and their neighbours,
// 0, 1 and -1 where the kind has it.
inline std::vector<TPelVariant> Boundaries(TKivType kind) {
  const TIntegerShape shape = ShapeOf(kind);
  const TInt128 top = (static_cast<TInt128>(1) << (shape.bSigned ? shape.Bits - 1 : shape.Bits)) - 1;
  const TInt128 bottom = shape.bSigned ? -top - 1 : 0;
  std::vector<TInt128> values = {bottom, bottom + 1, 0, 1, 2, 7, top - 1, top};
  if (shape.bSigned) values.push_back(-1);
  std::vector<TPelVariant> out;
  for (TInt128 value : values) out.push_back(IntegerOf(kind, value));
  return out;
}

// A value as "Kind value": integers and day numbers in decimal, floats and
// dates to 17 digits, Currency as its raw count, texts as their UTF-8 form,
// ANSI texts as hexadecimal bytes and their code page.
inline std::string Describe(const TPelVariant& v) {
  const std::string kind = Name(v.varType);
  switch (v.varType) {
    case vtByte:
    case vtSmallint:
    case vtWord:
    case vtInt32:
    case vtUInt32:
    case vtInt64:
    case vtUInt64:
      return kind + " " + Decimal(IntegerValue(v));
    case vtDouble:
    case vtExtended:
      return kind + " " + Number(v.vDouble);
    case vtDateTime:
      return kind + " " + Number(v.vDateTime);
    case vtCurrency:
      return kind + " raw " + Decimal(v.vCurrency);
    case vtBoolean:
      return kind + " " + std::to_string(v.vBoolean);
    case vtWordBool:
      return kind + " " + std::to_string(v.vWordBool);
    case vtSysDate:
    case vtSysTime:
      return kind + " " + std::to_string(v.vSysDate);
    case vtChar:
      return kind + " " + platform::ToUtf8(string(1, v.vChar));
    case vtString:
      return kind + " " + platform::ToUtf8(v.vString);
    case vtANSIChar:
      return kind + " " + Hex(std::string(1, static_cast<char>(v.vANSIChar)));
    case vtANSIString:
      return kind + " " + Hex(v.vANSIString.Bytes) + " cp " + std::to_string(v.vANSIString.CodePage);
    default:
      return kind;
  }
}

// What an operation gave: `show` of its result, "ELVarConvertError: " and
// the message of a refusal, or the class name of an arithmetic failure.
template <class F, class TShow>
std::string Reported(F operation, TShow show) {
  try {
    return show(operation());
  } catch (const ELVarConvertError& e) {
    return "ELVarConvertError: " + platform::ToUtf8(e.Message());
  } catch (const rtl::Exception& e) {
    return e.ClassName();
  }
}

// Describe of the result, or the failure.
template <class F>
std::string Outcome(F operation) {
  return Reported(operation, [](const TPelVariant& v) { return Describe(v); });
}

// The kind of the result, or the failure.
template <class F>
std::string KindOrFailure(F operation) {
  return Reported(operation, [](const TPelVariant& v) { return Name(v.varType); });
}

// What a comparison gave: "true" or "false", or the failure.
template <class F>
std::string Verdict(F comparison) {
  return Reported(comparison, [](bool result) { return std::string(result ? "true" : "false"); });
}

// The Outcome of a refused pair: the prefix, the left kind, the joiner, the
// right kind.
inline std::string Refusal(const std::string& prefix, TKivType left, TKivType right,
                           const std::string& joiner = " and ") {
  return "ELVarConvertError: " + prefix + Name(left) + joiner + Name(right);
}
inline std::string Refusal(const std::string& prefix, TKivType kind) {
  return "ELVarConvertError: " + prefix + Name(kind);
}

// The Outcome of an arithmetic failure.
inline std::string Failure(TOperatorError error) { return OperatorErrorRow(error).ClassName; }

// Every accepted pair of a binary operator gives the grid's kind, every
// refused pair the refusal `refusal(left, right)` names.
template <class TOperator, class TRefusal>
void ExpectGrid(const char* name, TOperator op, const TResultKindPairGrid& grid, TRefusal refusal) {
  for (TKivType left : AllKinds)
    for (TKivType right : AllKinds) {
      const auto& cell = grid.At(left, right);
      const std::string expected = cell ? Name(*cell) : refusal(left, right);
      EXPECT_EQ(KindOrFailure([&] { return op(Sample(left), Sample(right)); }), expected)
          << name << " " << Name(left) << ", " << Name(right);
    }
}

}  // namespace variant_test
