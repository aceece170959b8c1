#include "platform/ole_variant.h"

#include <memory>

namespace platform {

namespace {

enum class TOwned { Nothing, WideText, AnsiText, Interface, Array };

TOwned OwnedBy(TVarType varType) {
  if (varType & VarByRefFlag) return TOwned::Nothing;
  if (varType & VarArrayFlag) return TOwned::Array;
  switch (varType) {
    case VarOleStr:
    case VarUString:
    case VarUStrArg:
      return TOwned::WideText;
    case VarString:
    case VarStrArg:
      return TOwned::AnsiText;
    case VarDispatch:
    case VarUnknown:
      return TOwned::Interface;
    default:
      return TOwned::Nothing;
  }
}

// The record's owned values are plain pointers in its 8 value bytes; these
// hand them over to and back from unique_ptr.
template <class T>
T* Adopt(T value) {
  return std::make_unique<T>(std::move(value)).release();
}
template <class T>
void Dispose(T* value) {
  std::unique_ptr<T>{value};
}

}  // namespace

TOleVariant::TOleVariant(const TOleVariant& other) : TOleVariant() { *this = other; }

TOleVariant& TOleVariant::operator=(const TOleVariant& other) {
  if (this == &other) return *this;
  // Copy first: a failed allocation leaves this record as it was.
  decltype(FValue) value = other.FValue;
  switch (OwnedBy(other.FVarType)) {
    case TOwned::WideText:
      value.Wide = Adopt(*other.FValue.Wide);
      break;
    case TOwned::AnsiText:
      value.Ansi = Adopt(*other.FValue.Ansi);
      break;
    case TOwned::Array:
      value.Array = Adopt(*other.FValue.Array);
      break;
    case TOwned::Interface:
      if (IUnknown* intf = other.Interface()) intf->AddRef();
      break;
    case TOwned::Nothing:
      break;
  }
  Clear();
  FVarType = other.FVarType;
  FValue = value;
  return *this;
}

void TOleVariant::Clear() noexcept {
  switch (OwnedBy(FVarType)) {
    case TOwned::WideText:
      Dispose(FValue.Wide);
      break;
    case TOwned::AnsiText:
      Dispose(FValue.Ansi);
      break;
    case TOwned::Array:
      Dispose(FValue.Array);
      break;
    case TOwned::Interface:
      if (IUnknown* intf = Interface()) intf->Release();
      break;
    case TOwned::Nothing:
      break;
  }
  FVarType = VarEmpty;
  FValue.Int64 = 0;
}

IUnknown* TOleVariant::Interface() const noexcept {
  if (FVarType == VarDispatch) return FValue.Dispatch;
  return FValue.Unknown;
}

void TOleVariant::Become(TVarType varType) noexcept {
  Clear();
  FVarType = varType;
}

void TOleVariant::SetNull() noexcept { Become(VarNull); }
void TOleVariant::SetSmallint(std::int16_t v) noexcept {
  Become(VarSmallint);
  FValue.Int16 = v;
}
void TOleVariant::SetInteger(std::int32_t v) noexcept {
  Become(VarInteger);
  FValue.Int32 = v;
}
void TOleVariant::SetSingle(float v) noexcept {
  Become(VarSingle);
  FValue.Single = v;
}
void TOleVariant::SetDouble(double v) noexcept {
  Become(VarDouble);
  FValue.Double = v;
}
void TOleVariant::SetCurrency(std::int64_t raw) noexcept {
  Become(VarCurrency);
  FValue.Int64 = raw;
}
void TOleVariant::SetDate(double v) noexcept {
  Become(VarDate);
  FValue.Double = v;
}
void TOleVariant::SetBoolean(std::int16_t v) noexcept {
  Become(VarBoolean);
  FValue.Int16 = v;
}
void TOleVariant::SetShortInt(std::int8_t v) noexcept {
  Become(VarShortInt);
  FValue.Int8 = v;
}
void TOleVariant::SetByte(std::uint8_t v) noexcept {
  Become(VarByte);
  FValue.UInt8 = v;
}
void TOleVariant::SetWord(std::uint16_t v) noexcept {
  Become(VarWord);
  FValue.UInt16 = v;
}
void TOleVariant::SetUInt32(std::uint32_t v) noexcept {
  Become(VarUInt32);
  FValue.UInt32 = v;
}
void TOleVariant::SetInt64(std::int64_t v) noexcept {
  Become(VarInt64);
  FValue.Int64 = v;
}
void TOleVariant::SetUInt64(std::uint64_t v) noexcept {
  Become(VarUInt64);
  FValue.UInt64 = v;
}

void TOleVariant::SetWideText(TVarType varType, std::u16string text) {
  TOleWideText* value = Adopt(TOleWideText{std::move(text)});
  Become(varType);
  FValue.Wide = value;
}

void TOleVariant::SetAnsiText(TVarType varType, std::string bytes, Cardinal codePage) {
  TOleAnsiText* value = Adopt(TOleAnsiText{std::move(bytes), codePage});
  Become(varType);
  FValue.Ansi = value;
}

void TOleVariant::SetDispatch(IDispatch* intf) noexcept {
  if (intf) intf->AddRef();
  Become(VarDispatch);
  FValue.Dispatch = intf;
}

void TOleVariant::SetUnknown(IUnknown* intf) noexcept {
  if (intf) intf->AddRef();
  Become(VarUnknown);
  FValue.Unknown = intf;
}

void TOleVariant::SetArray(TVarType elementType, TSafeArray array) {
  array.Dims = 1;
  TSafeArray* value = Adopt(std::move(array));
  Become(static_cast<TVarType>(VarArrayFlag | (elementType & VarTypeMask)));
  FValue.Array = value;
}

void TOleVariant::SetByRef(TVarType valueType, void* address) noexcept {
  Become(static_cast<TVarType>(VarByRefFlag | valueType));
  FValue.ByRef = address;
}

void TOleVariant::SetRaw(TVarType varType, std::uint64_t bits) noexcept {
  // Only codes that own nothing: anything else would be freed as a pointer.
  Become(OwnedBy(varType) == TOwned::Nothing ? varType : VarEmpty);
  FValue.UInt64 = bits;
}

}  // namespace platform
