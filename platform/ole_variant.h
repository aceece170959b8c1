// The platform variant: the 16-byte automation record with its type codes,
// the one-dimensional arrays it can hold, and the reference-counted
// automation interfaces.  Our own layout of the record; no platform header.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "platform/types.h"

namespace platform {

// Type codes.  The low 12 bits name the value; ArrayFlag marks an array of
// it, ByRefFlag a value held elsewhere.
using TVarType = std::uint16_t;
inline constexpr TVarType VarEmpty = 0;
inline constexpr TVarType VarNull = 1;
inline constexpr TVarType VarSmallint = 2;
inline constexpr TVarType VarInteger = 3;
inline constexpr TVarType VarSingle = 4;
inline constexpr TVarType VarDouble = 5;
inline constexpr TVarType VarCurrency = 6;
inline constexpr TVarType VarDate = 7;
inline constexpr TVarType VarOleStr = 8;
inline constexpr TVarType VarDispatch = 9;
inline constexpr TVarType VarError = 10;
inline constexpr TVarType VarBoolean = 11;
inline constexpr TVarType VarVariant = 12;
inline constexpr TVarType VarUnknown = 13;
inline constexpr TVarType VarDecimal = 14;
inline constexpr TVarType VarShortInt = 16;
inline constexpr TVarType VarByte = 17;
inline constexpr TVarType VarWord = 18;
inline constexpr TVarType VarUInt32 = 19;
inline constexpr TVarType VarInt64 = 20;
inline constexpr TVarType VarUInt64 = 21;
inline constexpr TVarType VarStrArg = 0x0048;
inline constexpr TVarType VarUStrArg = 0x004A;
inline constexpr TVarType VarString = 0x0100;
inline constexpr TVarType VarUString = 0x0102;
inline constexpr TVarType VarTypeMask = 0x0FFF;
inline constexpr TVarType VarArrayFlag = 0x2000;
inline constexpr TVarType VarByRefFlag = 0x4000;

// The reference-counted interfaces.  A holder calls AddRef for each
// reference it keeps and Release when it lets go of it.
struct IUnknown {
  virtual Cardinal AddRef() noexcept = 0;
  virtual Cardinal Release() noexcept = 0;

 protected:
  ~IUnknown() = default;
};
struct IDispatch : IUnknown {
 protected:
  ~IDispatch() = default;
};

// An implementation base: the count is atomic, so references may be taken
// and dropped on any thread; the object ends with its last reference.
template <class TInterface>
class TRefCounted : public TInterface {
 public:
  TRefCounted() = default;
  TRefCounted(const TRefCounted&) = delete;
  TRefCounted& operator=(const TRefCounted&) = delete;
  Cardinal AddRef() noexcept override { return FCount.fetch_add(1, std::memory_order_relaxed) + 1; }
  Cardinal Release() noexcept override {
    const Cardinal left = FCount.fetch_sub(1, std::memory_order_acq_rel) - 1;
    if (left == 0) delete this;
    return left;
  }
  Cardinal RefCount() const noexcept { return FCount.load(); }

 protected:
  virtual ~TRefCounted() = default;

 private:
  std::atomic<Cardinal> FCount{0};
};

// One reference to an interface, or none.  Copies add a reference, the end
// of the holder releases it; a nil interface is never called.
template <class TInterface>
class TInterfaceRef {
 public:
  TInterfaceRef() noexcept = default;
  // Takes a new reference to `intf`.
  explicit TInterfaceRef(TInterface* intf) noexcept : FIntf(intf) {
    if (FIntf) FIntf->AddRef();
  }
  TInterfaceRef(const TInterfaceRef& other) noexcept : TInterfaceRef(other.FIntf) {}
  TInterfaceRef(TInterfaceRef&& other) noexcept : FIntf(std::exchange(other.FIntf, nullptr)) {}
  TInterfaceRef& operator=(TInterfaceRef other) noexcept {
    std::swap(FIntf, other.FIntf);
    return *this;
  }
  ~TInterfaceRef() {
    if (FIntf) FIntf->Release();
  }
  TInterface* Get() const noexcept { return FIntf; }
  TInterface* operator->() const noexcept { return FIntf; }
  explicit operator bool() const noexcept { return FIntf != nullptr; }
  friend bool operator==(const TInterfaceRef& a, const TInterfaceRef& b) { return a.FIntf == b.FIntf; }

 private:
  TInterface* FIntf = nullptr;
};
using TDispatchRef = TInterfaceRef<IDispatch>;

// A new object of class T (a TRefCounted) and the first reference to it.
template <class TInterface, class T, class... TArgs>
TInterfaceRef<TInterface> NewInterface(TArgs&&... args) {
  return TInterfaceRef<TInterface>(new T(std::forward<TArgs>(args)...));
}

// The array of a variant: one dimension with its lower bound, elements of
// one size.
struct TSafeArray {
  std::uint16_t Dims = 1;
  std::uint32_t ElementSize = 1;
  Integer LowerBound = 0;
  std::vector<std::uint8_t> Data;  // ElementSize bytes per element

  // An array of elements of no size holds none.
  std::uint32_t ElementCount() const {
    return ElementSize == 0 ? 0 : static_cast<std::uint32_t>(Data.size() / ElementSize);
  }
};

// The text values.  A UTF-16 text (VarOleStr, VarUString, VarUStrArg) and an
// 8-bit one that keeps its code page (VarString, VarStrArg).
struct TOleWideText {
  std::u16string Text;
};
struct TOleAnsiText {
  std::string Bytes;
  Cardinal CodePage = 0;
};

// The 16-byte record: type code, three reserved words, then the value.  It
// owns what its type code says it holds (texts, arrays, an interface
// reference), unless the value is by reference; copies copy the texts and
// arrays and add a reference to an interface.
class TOleVariant {
 public:
  TOleVariant() noexcept { FValue.Int64 = 0; }
  TOleVariant(const TOleVariant& other);
  TOleVariant& operator=(const TOleVariant& other);
  ~TOleVariant() { Clear(); }

  TVarType VarType() const noexcept { return FVarType; }
  // Back to VarEmpty, releasing what the record owned.
  void Clear() noexcept;

  // Setters: each clears the record first.
  void SetNull() noexcept;
  void SetSmallint(std::int16_t v) noexcept;
  void SetInteger(std::int32_t v) noexcept;
  void SetSingle(float v) noexcept;
  void SetDouble(double v) noexcept;
  void SetCurrency(std::int64_t raw) noexcept;
  void SetDate(double v) noexcept;
  void SetBoolean(std::int16_t v) noexcept;  // -1 true, 0 false as written
  void SetShortInt(std::int8_t v) noexcept;
  void SetByte(std::uint8_t v) noexcept;
  void SetWord(std::uint16_t v) noexcept;
  void SetUInt32(std::uint32_t v) noexcept;
  void SetInt64(std::int64_t v) noexcept;
  void SetUInt64(std::uint64_t v) noexcept;
  // varType VarOleStr, VarUString or VarUStrArg.
  void SetWideText(TVarType varType, std::u16string text);
  // varType VarString or VarStrArg.
  void SetAnsiText(TVarType varType, std::string bytes, Cardinal codePage);
  void SetDispatch(IDispatch* intf) noexcept;  // one more reference
  void SetUnknown(IUnknown* intf) noexcept;    // one more reference
  // An array of elementType (a one-dimensional copy of `array`).
  void SetArray(TVarType elementType, TSafeArray array);
  // A value held elsewhere; the record never owns it.
  void SetByRef(TVarType valueType, void* address) noexcept;
  // Any other code with its raw 8-byte value (error codes, decimals' low part).
  void SetRaw(TVarType varType, std::uint64_t bits) noexcept;

  // Getters read the value as the type code says; the caller checks it first.
  std::int16_t AsSmallint() const noexcept { return FValue.Int16; }
  std::int32_t AsInteger() const noexcept { return FValue.Int32; }
  std::uint32_t AsUInt32() const noexcept { return FValue.UInt32; }
  float AsSingle() const noexcept { return FValue.Single; }
  double AsDouble() const noexcept { return FValue.Double; }
  std::int64_t AsCurrency() const noexcept { return FValue.Int64; }
  double AsDate() const noexcept { return FValue.Double; }
  std::int16_t AsBoolean() const noexcept { return FValue.Int16; }
  std::int8_t AsShortInt() const noexcept { return FValue.Int8; }
  std::uint8_t AsByte() const noexcept { return FValue.UInt8; }
  std::uint16_t AsWord() const noexcept { return FValue.UInt16; }
  std::int64_t AsInt64() const noexcept { return FValue.Int64; }
  std::uint64_t AsUInt64() const noexcept { return FValue.UInt64; }
  const TOleWideText* AsWideText() const noexcept { return FValue.Wide; }
  const TOleAnsiText* AsAnsiText() const noexcept { return FValue.Ansi; }
  IDispatch* AsDispatch() const noexcept { return FValue.Dispatch; }
  const TSafeArray* AsArray() const noexcept { return FValue.Array; }
  void* AsByRef() const noexcept { return FValue.ByRef; }

 private:
  void Become(TVarType varType) noexcept;
  IUnknown* Interface() const noexcept;

  TVarType FVarType = VarEmpty;
  std::uint16_t FReserved1 = 0;
  std::uint16_t FReserved2 = 0;
  std::uint16_t FReserved3 = 0;
  union {
    std::int8_t Int8;
    std::uint8_t UInt8;
    std::int16_t Int16;
    std::uint16_t UInt16;
    std::int32_t Int32;
    std::uint32_t UInt32;
    std::int64_t Int64;
    std::uint64_t UInt64;
    float Single;
    double Double;
    TOleWideText* Wide;
    TOleAnsiText* Ansi;
    IDispatch* Dispatch;
    IUnknown* Unknown;
    TSafeArray* Array;
    void* ByRef;
  } FValue;
};
static_assert(sizeof(TOleVariant) == 16, "the platform variant is a 16-byte record");

}  // namespace platform
