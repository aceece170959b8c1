#include "variant/comparison_rules.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <type_traits>

#include "platform/codepage.h"
#include "platform/float_env.h"
#include "variant/float_scope.h"
#include "variant/operator_errors.h"

namespace variant {

namespace {

// ---- numbers ---------------------------------------------------------------

// A number as the comparisons see it: every integer kind, float kind, day
// number and time of day exactly as a long double, a Currency by its raw
// count.
struct TNumber {
  bool IsCurrency;
  long double Value;
  std::int64_t Raw;
};

TNumber NumberOf(const TPelVariant& v) {
  switch (v.varType) {
    case vtByte: return {false, static_cast<long double>(v.vByte), 0};
    case vtSmallint: return {false, static_cast<long double>(v.vSmallint), 0};
    case vtWord: return {false, static_cast<long double>(v.vWord), 0};
    case vtInt32: return {false, static_cast<long double>(v.vInt32), 0};
    case vtUInt32: return {false, static_cast<long double>(v.vUInt32), 0};
    case vtInt64: return {false, static_cast<long double>(v.vInt64), 0};
    // Widened with an x87 addition of 2^64 above 2^63: only in a float scope
    // is that exact.
    case vtUInt64: return {false, static_cast<long double>(platform::FloatBarrier(v.vUInt64)), 0};
    case vtSysDate: return {false, static_cast<long double>(v.vSysDate), 0};
    case vtSysTime: return {false, static_cast<long double>(v.vSysTime), 0};
    case vtDouble: return {false, static_cast<long double>(v.vDouble), 0};
    case vtExtended: return {false, static_cast<long double>(v.vExtended), 0};
    default: return {true, 0.0L, v.vCurrency};
  }
}

[[noreturn]] void RaiseUnordered() { RaiseOperatorError(TOperatorError::FloatInvalid); }

std::weak_ordering OrderOf(long double a, long double b) {
  if (std::isnan(a) || std::isnan(b)) RaiseUnordered();
  return a < b ? std::weak_ordering::less
               : (a > b ? std::weak_ordering::greater : std::weak_ordering::equivalent);
}

// The other number times 10000 in extended precision against the raw count.
long double ScaledToCurrency(TFloatScope& scope, long double value) {
  if (std::isnan(value)) RaiseUnordered();
  return scope.Step(platform::FloatBarrier(value) * 10000.0L);
}

std::weak_ordering CompareNumbers(const TPelVariant& v1, const TPelVariant& v2) {
  // The caller's unit may round to 53 bits or trap: the values are made in
  // the scope.
  TFloatScope scope;
  const TNumber a = NumberOf(v1), b = NumberOf(v2);
  if (a.IsCurrency && b.IsCurrency) return a.Raw <=> b.Raw;
  if (a.IsCurrency) return OrderOf(static_cast<long double>(a.Raw), ScaledToCurrency(scope, b.Value));
  if (b.IsCurrency) return OrderOf(ScaledToCurrency(scope, a.Value), static_cast<long double>(b.Raw));
  return OrderOf(a.Value, b.Value);
}

// ---- date-times ------------------------------------------------------------

// The conversion to TDateTime takes exactly these three kinds.
double DateTimeOf(const TPelVariant& v) { return static_cast<rtl::TDateTime>(v).Value; }

std::weak_ordering CompareDateTimes(const TPelVariant& v1, const TPelVariant& v2) {
  const double a = DateTimeOf(v1);  // the left day fails first
  const double b = DateTimeOf(v2);
  return OrderOf(a, b);
}

// ---- texts -----------------------------------------------------------------

template <class TUnit>
std::weak_ordering CompareUnits(std::basic_string_view<TUnit> a, std::basic_string_view<TUnit> b) {
  using TUnsigned = std::make_unsigned_t<TUnit>;
  const std::size_t common = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < common; ++i) {
    const auto x = static_cast<TUnsigned>(a[i]), y = static_cast<TUnsigned>(b[i]);
    if (x != y) return x < y ? std::weak_ordering::less : std::weak_ordering::greater;
  }
  return a.size() <=> b.size();
}

// The code page of an ANSI operand; a vtANSIChar is in the system's.
Cardinal CodePageOf(const TPelVariant& v) {
  const Cardinal codePage = v.varType == vtANSIChar ? platform::CodePageAnsi : v.vANSIString.CodePage;
  return codePage == platform::CodePageAnsi ? platform::AnsiCodePage() : codePage;
}

std::string_view BytesOf(const TPelVariant& v) {
  if (v.varType == vtANSIChar) return {reinterpret_cast<const char*>(&v.vANSIChar), 1};
  return v.vANSIString.Bytes;
}

string WideTextOf(const TPelVariant& v) {
  switch (v.varType) {
    case vtChar: return string(1, v.vChar);
    case vtString: return v.vString;
    case vtANSIChar: return string(1, AnsiCharToChar(v.vANSIChar));
    default: return AnsiToString(v.vANSIString);
  }
}

std::weak_ordering CompareTexts(const TPelVariant& v1, const TPelVariant& v2) {
  // Bytes of one code page are compared as they are.  Bytes of two code
  // pages mean nothing to each other, so those go to UTF-16 like the rest.
  if (IsAnsiKind(v1.varType) && IsAnsiKind(v2.varType) && CodePageOf(v1) == CodePageOf(v2))
    return CompareUnits(BytesOf(v1), BytesOf(v2));
  return CompareUnits<char16_t>(WideTextOf(v1), WideTextOf(v2));
}

// ---- the kinds that are only equal or not ----------------------------------

bool TruthOf(const TPelVariant& v) {
  return v.varType == vtBoolean ? v.vBoolean != 0 : v.vWordBool != 0;
}

const void* AddressOf(const TPelVariant& v) { return v.varType == vtPointer ? v.vPointer : v.vObj; }

bool SameBytes(const TBytes& a, const TBytes& b) {
  return a.Length() == b.Length() &&
         (a.Empty() || std::memcmp(a.Data(), b.Data(), static_cast<std::size_t>(a.Length())) == 0);
}

}  // namespace

std::weak_ordering CompareShared(const TPelVariant& v1, const TPelVariant& v2,
                                 TComparisonRoute route) {
  switch (route) {
    case TComparisonRoute::Numbers: return CompareNumbers(v1, v2);
    case TComparisonRoute::DateTimes: return CompareDateTimes(v1, v2);
    default: return CompareTexts(v1, v2);
  }
}

std::optional<bool> EqualShared(const TPelVariant& v1, const TPelVariant& v2,
                                TComparisonRoute route) {
  switch (route) {
    case TComparisonRoute::Null: return v1.varType == vtNone && v2.varType == vtNone;
    case TComparisonRoute::Truths: return TruthOf(v1) == TruthOf(v2);
    case TComparisonRoute::Addresses: return AddressOf(v1) == AddressOf(v2);
    case TComparisonRoute::Interfaces: {
      if (v1.varType == vtCOMObj && v2.varType == vtCOMObj) return v1.vCOMObj == v2.vCOMObj;
      const TPelVariant& pointer = v1.varType == vtPointer ? v1 : v2;
      const TPelVariant& object = v1.varType == vtPointer ? v2 : v1;
      if (pointer.vPointer != nullptr) return std::nullopt;
      return !object.vCOMObj;
    }
    case TComparisonRoute::ByteArrays: return SameBytes(v1.vBytes, v2.vBytes);
    default: return CompareShared(v1, v2, route) == std::weak_ordering::equivalent;
  }
}

void RaiseComparisonRefused(const char16_t* prefix, const TPelVariant& v1, const TPelVariant& v2) {
  RaiseIncompatible(prefix, v1.varType, v2.varType);
}

}  // namespace variant
