#include "variant/pel_variant.h"

#include "variant/float_scope.h"

namespace variant {

string IncompatibleMessage(std::u16string_view prefix, TKivType kind) {
  string message(prefix);
  message += VarTypeNames.at(kind);
  return message;
}

string IncompatibleMessage(std::u16string_view prefix, TKivType left, TKivType right,
                           std::u16string_view joiner) {
  string message = IncompatibleMessage(prefix, left);
  message += joiner;
  message += VarTypeNames.at(right);
  return message;
}

void RaiseIncompatible(std::u16string_view prefix, TKivType kind) {
  throw ELVarConvertError(IncompatibleMessage(prefix, kind));
}

void RaiseIncompatible(std::u16string_view prefix, TKivType left, TKivType right,
                       std::u16string_view joiner) {
  throw ELVarConvertError(IncompatibleMessage(prefix, left, right, joiner));
}

TBytes::TBytes(std::initializer_list<std::uint8_t> bytes) : TBytes(std::vector<std::uint8_t>(bytes)) {}

TBytes::TBytes(std::vector<std::uint8_t> bytes) {
  if (!bytes.empty()) FData = std::make_shared<std::vector<std::uint8_t>>(std::move(bytes));
}

std::vector<std::uint8_t> TBytes::ToVector() const {
  return FData ? *FData : std::vector<std::uint8_t>();
}

void TBytes::SetLength(std::size_t length) {
  if (length == 0) {
    FData.reset();
    return;
  }
  if (!FData || FData.use_count() > 1) {
    std::vector<std::uint8_t> own = ToVector();
    own.resize(length, 0);
    FData = std::make_shared<std::vector<std::uint8_t>>(std::move(own));
    return;
  }
  FData->resize(length, 0);
}

TPelVariant& TPelVariant::operator=(TPelVariant&& other) noexcept {
  // The text members would empty themselves on a move onto themselves.
  if (this == &other) return *this;
  varType = other.varType;
  vString = std::move(other.vString);
  vANSIString = std::move(other.vANSIString);
  vBytes = std::move(other.vBytes);
  vCOMObj = std::move(other.vCOMObj);
  vUInt64 = other.vUInt64;  // the whole payload
  return *this;
}

// Each constructor sets the kind and that kind's field only.
TPelVariant::TPelVariant(std::uint8_t v) noexcept : varType(vtByte), vUInt64(0) { vByte = v; }
TPelVariant::TPelVariant(std::int16_t v) noexcept : varType(vtSmallint), vUInt64(0) { vSmallint = v; }
TPelVariant::TPelVariant(std::uint16_t v) noexcept : varType(vtWord), vUInt64(0) { vWord = v; }
TPelVariant::TPelVariant(std::int32_t v) noexcept : varType(vtInt32), vUInt64(0) { vInt32 = v; }
TPelVariant::TPelVariant(std::uint32_t v) noexcept : varType(vtUInt32), vUInt64(0) { vUInt32 = v; }
TPelVariant::TPelVariant(long v) noexcept : varType(vtInt64), vInt64(v) {}
TPelVariant::TPelVariant(long long v) noexcept : varType(vtInt64), vInt64(v) {}
TPelVariant::TPelVariant(unsigned long v) noexcept : varType(vtUInt64), vUInt64(v) {}
TPelVariant::TPelVariant(unsigned long long v) noexcept : varType(vtUInt64), vUInt64(v) {}
TPelVariant::TPelVariant(double v) noexcept : varType(vtDouble), vDouble(v) {}

TPelVariant::TPelVariant(long double v) : varType(vtExtended), vUInt64(0) {
  TFloatScope fp;
  vExtended = fp.ToDouble(v);
}

TPelVariant::TPelVariant(Currency v) noexcept : varType(vtCurrency), vCurrency(v.Raw) {}
TPelVariant::TPelVariant(char16_t v) noexcept : varType(vtChar), vUInt64(0) { vChar = v; }
TPelVariant::TPelVariant(AnsiChar v) noexcept : varType(vtANSIChar), vUInt64(0) {
  vANSIChar = static_cast<std::uint8_t>(v);
}
TPelVariant::TPelVariant(string v) noexcept : varType(vtString), vString(std::move(v)), vUInt64(0) {}
TPelVariant::TPelVariant(const char16_t* v) : TPelVariant(v ? string(v) : string()) {}
TPelVariant::TPelVariant(AnsiString v) noexcept
    : varType(vtANSIString), vANSIString(std::move(v)), vUInt64(0) {}
TPelVariant::TPelVariant(TBoolean v) noexcept : varType(vtBoolean), vUInt64(0) {
  vBoolean = v.Value ? 1 : 0;
}
TPelVariant::TPelVariant(TPointer v) noexcept : varType(vtPointer), vPointer(v.Value) {}
TPelVariant::TPelVariant(rtl::TDateTime v) noexcept : varType(vtDateTime), vDateTime(v.Value) {}
TPelVariant::TPelVariant(TBytes v) noexcept : varType(vtBytes), vBytes(std::move(v)), vUInt64(0) {}
TPelVariant::TPelVariant(platform::TDispatchRef v) noexcept
    : varType(vtCOMObj), vCOMObj(std::move(v)), vUInt64(0) {}

Integer TPelVariant::Length() const {
  switch (varType) {
    case vtString:
      return static_cast<Integer>(vString.size());
    case vtANSIString:
      return static_cast<Integer>(vANSIString.Bytes.size());
    case vtBytes:
      return vBytes.Length();
    default:
      RaiseIncompatible(u"Incompatible type in variant length operator: ", varType);
  }
}

void TPelVariant::SetLength(TPelVariant& v, Integer L) {
  switch (v.varType) {
    case vtString:
      // Text that is added is zeros.
      v.vString.resize(L > 0 ? static_cast<std::size_t>(L) : 0, u'\0');
      return;
    case vtANSIString:
      v.vANSIString.Bytes.resize(L > 0 ? static_cast<std::size_t>(L) : 0, '\0');
      return;
    case vtBytes:
      if (L < 0) throw rtl::ERangeError();
      v.vBytes.SetLength(static_cast<std::size_t>(L));
      return;
    default:
      RaiseIncompatible(u"Incompatible type in variant SetLength procedure: ", v.varType);
  }
}

namespace {

// Text elements count from 1, array elements from 0.
void CheckIndex(Integer index, Integer first, Integer length) {
  if (index < first || index - first >= length) throw rtl::ERangeError();
}

}  // namespace

TPelVariant TPelVariant::GetElement(Integer Index) const {
  switch (varType) {
    case vtString:
      CheckIndex(Index, 1, Length());
      return TPelVariant(vString[static_cast<std::size_t>(Index - 1)]);
    case vtANSIString:
      CheckIndex(Index, 1, Length());
      return TPelVariant(AnsiChar{static_cast<std::uint8_t>(vANSIString.Bytes[static_cast<std::size_t>(Index - 1)])});
    case vtBytes:
      CheckIndex(Index, 0, Length());
      return TPelVariant(vBytes[static_cast<std::size_t>(Index)]);
    default:
      RaiseIncompatible(u"Incompatible type in get variant element: ", varType);
  }
}

void TPelVariant::SetElement(Integer Index, const TPelVariant& Value) {
  // The kind first, then the value's conversion, then the index: nothing is
  // written before all three passed.
  switch (varType) {
    case vtString: {
      const char16_t c = static_cast<char16_t>(Value);
      CheckIndex(Index, 1, Length());
      vString[static_cast<std::size_t>(Index - 1)] = c;
      return;
    }
    case vtANSIString: {
      const AnsiChar c = static_cast<AnsiChar>(Value);
      CheckIndex(Index, 1, Length());
      vANSIString.Bytes[static_cast<std::size_t>(Index - 1)] = static_cast<char>(c);
      return;
    }
    case vtBytes: {
      const std::uint8_t b = static_cast<std::uint8_t>(Value);
      CheckIndex(Index, 0, Length());
      vBytes[static_cast<std::size_t>(Index)] = b;
      return;
    }
    default:
      RaiseIncompatible(u"Incompatible type in set variant element: ", varType);
  }
}

Integer _SimpleTypeSize(TKivType kind) noexcept {
  switch (kind) {
    case vtByte:
    case vtBoolean:
    case vtANSIChar:
      return 1;
    case vtSmallint:
    case vtWord:
    case vtChar:
    case vtWordBool:
      return 2;
    case vtInt32:
    case vtUInt32:
    case vtSysDate:
    case vtSysTime:
      return 4;
    case vtDouble:
    case vtExtended:
    case vtDateTime:
    case vtInt64:
    case vtUInt64:
    case vtCurrency:
      return 8;
    default:
      return 0;
  }
}

Integer TPelVariant::Size() const noexcept {
  switch (varType) {
    case vtString:
      return static_cast<Integer>(vString.size() * 2);
    case vtANSIString:
      return static_cast<Integer>(vANSIString.Bytes.size());
    case vtBytes:
      return vBytes.Length();
    default:
      return _SimpleTypeSize(varType);
  }
}

}  // namespace variant
