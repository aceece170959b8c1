// The explicit conversions of the variant value to the plain types.
#include "installer/sys_utils.h"
#include "platform/codepage.h"
#include "variant/float_scope.h"
#include "variant/pel_variant.h"

namespace variant {

namespace {

// The value of an integer kind, vtSysDate or vtSysTime at its own width,
// zero- or sign-extended to 64 bits; the targets keep their low bits.
std::uint64_t IntegerBits(const TPelVariant& v, std::u16string_view prefix) {
  switch (v.varType) {
    case vtByte:
      return v.vByte;
    case vtSmallint:
      return static_cast<std::uint64_t>(std::int64_t{v.vSmallint});
    case vtWord:
      return v.vWord;
    case vtInt32:
      return static_cast<std::uint64_t>(std::int64_t{v.vInt32});
    case vtUInt32:
      return v.vUInt32;
    case vtInt64:
      return static_cast<std::uint64_t>(v.vInt64);
    case vtUInt64:
      return v.vUInt64;
    case vtSysDate:
      return static_cast<std::uint64_t>(std::int64_t{v.vSysDate});
    case vtSysTime:
      return static_cast<std::uint64_t>(std::int64_t{v.vSysTime});
    default:
      RaiseIncompatible(prefix, v.varType);
  }
}

constexpr std::u16string_view ByteFailure = u"Incompatible type in variant to byte conversion: ";
constexpr std::u16string_view SmallintFailure = u"Incompatible type in variant to smallint conversion: ";
constexpr std::u16string_view WordFailure = u"Incompatible type in variant to word conversion: ";
constexpr std::u16string_view Int32Failure = u"Incompatible type in variant to int32 conversion: ";
constexpr std::u16string_view UInt32Failure = u"Incompatible type in variant to uint32 conversion: ";
constexpr std::u16string_view Int64Failure = u"Incompatible type in variant to int64 conversion: ";
constexpr std::u16string_view UInt64Failure = u"Incompatible type in variant to uint64 conversion: ";
constexpr std::u16string_view DoubleFailure = u"Incompatible type in variant to double conversion: ";
constexpr std::u16string_view ExtendedFailure = u"Incompatible type in variant to extended conversion: ";
constexpr std::u16string_view CurrencyFailure = u"Incompatible type in variant to currency conversion: ";
constexpr std::u16string_view CharFailure = u"Incompatible type in variant to char conversion: ";
constexpr std::u16string_view AnsiCharFailure = u"Incompatible type in variant to ansichar conversion: ";
constexpr std::u16string_view BooleanFailure = u"Incompatible type in variant to boolean conversion: ";
constexpr std::u16string_view PointerFailure = u"Incompatible type in variant to pointer conversion: ";
constexpr std::u16string_view DateTimeFailure = u"Incompatible type in variant to datetime conversion: ";
constexpr std::u16string_view BytesFailure = u"Incompatible type in variant to Tbytes conversion: ";
constexpr std::u16string_view DispatchFailure = u"Incompatible type in variant to COMObject conversion: ";

// The value in extended precision, for the kinds that double, extended and
// Currency accept; the scope sets the precision for the Currency division.
long double ExtendedValue(const TPelVariant& v, std::u16string_view prefix, TFloatScope& fp) {
  switch (v.varType) {
    case vtByte:
    case vtWord:
    case vtUInt32:
    case vtUInt64:
      return static_cast<long double>(IntegerBits(v, prefix));
    case vtSmallint:
    case vtInt32:
    case vtInt64:
    case vtSysDate:
    case vtSysTime:
      return static_cast<long double>(static_cast<std::int64_t>(IntegerBits(v, prefix)));
    case vtDouble:
    case vtExtended:
    case vtDateTime:
      return v.vDouble;
    case vtCurrency:
      return fp.Step(platform::FloatBarrier(static_cast<long double>(v.vCurrency)) / 10000.0L);
    default:
      RaiseIncompatible(prefix, v.varType);
  }
}

}  // namespace

TPelVariant::operator std::uint8_t() const { return static_cast<std::uint8_t>(IntegerBits(*this, ByteFailure)); }
TPelVariant::operator std::int16_t() const { return static_cast<std::int16_t>(IntegerBits(*this, SmallintFailure)); }
TPelVariant::operator std::uint16_t() const { return static_cast<std::uint16_t>(IntegerBits(*this, WordFailure)); }
TPelVariant::operator std::int32_t() const { return static_cast<std::int32_t>(IntegerBits(*this, Int32Failure)); }
TPelVariant::operator std::uint32_t() const { return static_cast<std::uint32_t>(IntegerBits(*this, UInt32Failure)); }
TPelVariant::operator long() const { return static_cast<long>(IntegerBits(*this, Int64Failure)); }
TPelVariant::operator long long() const { return static_cast<long long>(IntegerBits(*this, Int64Failure)); }
TPelVariant::operator unsigned long() const { return IntegerBits(*this, UInt64Failure); }
TPelVariant::operator unsigned long long() const { return IntegerBits(*this, UInt64Failure); }

TPelVariant::operator double() const {
  TFloatScope fp;
  return fp.ToDouble(ExtendedValue(*this, DoubleFailure, fp));
}

TPelVariant::operator long double() const {
  TFloatScope fp;
  return ExtendedValue(*this, ExtendedFailure, fp);
}

TPelVariant::operator Currency() const {
  TFloatScope fp;
  if (varType == vtCurrency) return Currency(vCurrency);
  const long double value = ExtendedValue(*this, CurrencyFailure, fp);
  return Currency(fp.RoundToInt64(fp.Step(platform::FloatBarrier(value) * 10000.0L)));
}

char16_t AnsiCharToChar(std::uint8_t byte) {
  const char in = static_cast<char>(byte);
  const string wide = platform::MultiByteToWide(platform::CodePageAnsi, std::string_view(&in, 1));
  return wide.size() == 1 ? wide[0] : u'\0';
}

std::uint8_t CharToAnsiChar(char16_t c) {
  const std::string bytes = platform::WideToMultiByte(platform::CodePageAnsi, std::u16string_view(&c, 1));
  return bytes.size() == 1 ? static_cast<std::uint8_t>(bytes[0]) : std::uint8_t{'?'};
}

string AnsiToString(const AnsiString& text) {
  return platform::MultiByteToWide(text.CodePage, text.Bytes);
}

AnsiString StringToAnsi(const string& text) {
  return AnsiString(platform::WideToMultiByte(platform::CodePageAnsi, text), platform::AnsiCodePage());
}

TPelVariant::operator char16_t() const {
  switch (varType) {
    case vtChar:
      return vChar;
    case vtANSIChar:
      return AnsiCharToChar(vANSIChar);
    default:
      RaiseIncompatible(CharFailure, varType);
  }
}

TPelVariant::operator AnsiChar() const {
  switch (varType) {
    case vtANSIChar:
      return AnsiChar{vANSIChar};
    case vtChar:
      return AnsiChar{CharToAnsiChar(vChar)};
    default:
      RaiseIncompatible(AnsiCharFailure, varType);
  }
}

TPelVariant::operator TBoolean() const {
  switch (varType) {
    case vtBoolean:
      return TBoolean(vBoolean != 0);
    case vtWordBool:
      return TBoolean(vWordBool != 0);
    default:
      RaiseIncompatible(BooleanFailure, varType);
  }
}

TPelVariant::operator TPointer() const {
  switch (varType) {
    case vtPointer:
      return TPointer(vPointer);
    case vtObj:
      return TPointer(vObj);
    default:
      RaiseIncompatible(PointerFailure, varType);
  }
}

TPelVariant::operator rtl::TDateTime() const {
  switch (varType) {
    case vtDateTime:
      return rtl::TDateTime(vDateTime);
    case vtSysDate:
      return tarnwick::SysDateToDateTime(vSysDate);
    case vtSysTime: {
      // An extended-precision division: in the scope, whatever rounding the
      // caller set.
      TFloatScope fp;
      return tarnwick::SysTimeToDateTime(vSysTime);
    }
    default:
      RaiseIncompatible(DateTimeFailure, varType);
  }
}

TPelVariant::operator TBytes() const {
  switch (varType) {
    case vtBytes:
      return vBytes;
    case vtANSIString:
      return TBytes(std::vector<std::uint8_t>(vANSIString.Bytes.begin(), vANSIString.Bytes.end()));
    case vtString: {
      const std::string bytes = StringToAnsi(vString).Bytes;
      return TBytes(std::vector<std::uint8_t>(bytes.begin(), bytes.end()));
    }
    default:
      RaiseIncompatible(BytesFailure, varType);
  }
}

TPelVariant::operator platform::TDispatchRef() const {
  if (varType != vtCOMObj) RaiseIncompatible(DispatchFailure, varType);
  return vCOMObj;
}

}  // namespace variant
