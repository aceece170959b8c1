// The variant value: a small tagged record that holds a value of one of 25
// kinds, with constructors from the plain types, explicit conversions back,
// and the text and byte-array operations.  Every failure raises
// ELVarConvertError with a message made by one rule (RaiseIncompatible).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/codepage.h"
#include "platform/ole_variant.h"
#include "platform/types.h"
#include "runtime/date_time.h"
#include "runtime/exceptions.h"

namespace variant {

// The kinds in their order, written once: the enumeration and the display
// names are made from this list.
#define VARTYPES_KINDS(Kind) \
  Kind(None)                 \
  Kind(COMObj)               \
  Kind(Byte)                 \
  Kind(Smallint)             \
  Kind(Word)                 \
  Kind(Int32)                \
  Kind(UInt32)               \
  Kind(Double)               \
  Kind(Extended)             \
  Kind(Char)                 \
  Kind(String)               \
  Kind(Boolean)              \
  Kind(WordBool)             \
  Kind(Pointer)              \
  Kind(SysDate)              \
  Kind(SysTime)              \
  Kind(DateTime)             \
  Kind(Variant)              \
  Kind(Int64)                \
  Kind(UInt64)               \
  Kind(Currency)             \
  Kind(ANSIChar)             \
  Kind(ANSIString)           \
  Kind(Bytes)                \
  Kind(Obj)                  \
  Kind(Array)                \
  Kind(Record)

#define VARTYPES_ENUM_ENTRY(Name) vt##Name,
enum TKivType : std::uint8_t { VARTYPES_KINDS(VARTYPES_ENUM_ENTRY) };
#undef VARTYPES_ENUM_ENTRY

// The kinds a record can hold, vtNone to vtObj; vtArray and vtRecord only
// have names.
using TKivSimpleType = TKivType;
inline constexpr TKivType LastSimpleType = vtObj;
inline constexpr std::size_t KindCount = vtRecord + 1;

#define VARTYPES_NAME_ENTRY(Name) u"" #Name,
inline constexpr std::array<std::u16string_view, KindCount> VarTypeNames{
    {VARTYPES_KINDS(VARTYPES_NAME_ENTRY)}};
#undef VARTYPES_NAME_ENTRY

// The groups of kinds.
constexpr bool IsIntegerKind(TKivType k) {
  return k == vtByte || k == vtSmallint || k == vtWord || k == vtInt32 || k == vtUInt32 ||
         k == vtInt64 || k == vtUInt64;
}
constexpr bool IsUnsignedKind(TKivType k) {
  return k == vtByte || k == vtWord || k == vtUInt32 || k == vtUInt64;
}
constexpr bool IsFloatKind(TKivType k) { return k == vtDouble || k == vtExtended; }
constexpr bool IsTextKind(TKivType k) {
  return k == vtChar || k == vtString || k == vtANSIChar || k == vtANSIString;
}
constexpr bool IsAnsiKind(TKivType k) { return k == vtANSIChar || k == vtANSIString; }
constexpr bool IsBooleanKind(TKivType k) { return k == vtBoolean || k == vtWordBool; }

RTL_EXCEPTION_CLASS(ELVarConvertError, rtl::Exception, "")

// The message rule: a prefix ending in ": " and the kind's display name, or
// for two operands the prefix, the left kind, the joiner and the right kind.
string IncompatibleMessage(std::u16string_view prefix, TKivType kind);
string IncompatibleMessage(std::u16string_view prefix, TKivType left, TKivType right,
                           std::u16string_view joiner = u" and ");
[[noreturn]] void RaiseIncompatible(std::u16string_view prefix, TKivType kind);
[[noreturn]] void RaiseIncompatible(std::u16string_view prefix, TKivType left, TKivType right,
                                    std::u16string_view joiner = u" and ");

// The plain types that have no distinct C++ type of their own.  Each is a
// type apart so that constructors and conversions never collide with the
// integer and floating-point ones; conversions give back the type that the
// matching constructor takes.

// A money amount: a signed 64-bit count of ten-thousandths (1.5 is 15000).
struct Currency {
  std::int64_t Raw = 0;
  constexpr Currency() = default;
  constexpr explicit Currency(std::int64_t raw) : Raw(raw) {}
  friend constexpr bool operator==(Currency a, Currency b) { return a.Raw == b.Raw; }
};

// A truth value (vtBoolean).
struct TBoolean {
  bool Value = false;
  constexpr TBoolean() = default;
  constexpr explicit TBoolean(bool value) : Value(value) {}
  constexpr explicit operator bool() const { return Value; }
  friend constexpr bool operator==(TBoolean a, TBoolean b) { return a.Value == b.Value; }
};

// One byte of the system's ANSI code page.
enum class AnsiChar : std::uint8_t {};

// An untyped address (vtPointer).
struct TPointer {
  void* Value = nullptr;
  constexpr TPointer() = default;
  constexpr explicit TPointer(void* value) : Value(value) {}
  friend constexpr bool operator==(TPointer a, TPointer b) { return a.Value == b.Value; }
};

// 8-bit text with the code page it is written in (CodePageAnsi: whatever
// the system's ANSI code page is when it is read).
struct AnsiString {
  std::string Bytes;
  Cardinal CodePage = platform::CodePageAnsi;

  AnsiString() = default;
  explicit AnsiString(std::string bytes, Cardinal codePage = platform::CodePageAnsi)
      : Bytes(std::move(bytes)), CodePage(codePage) {}
  friend bool operator==(const AnsiString& a, const AnsiString& b) {
    return a.Bytes == b.Bytes && a.CodePage == b.CodePage;
  }
};

// A byte array shared by its copies: a write through one is seen through
// every other.  Nil is the empty array.
class TBytes {
 public:
  TBytes() = default;
  TBytes(std::initializer_list<std::uint8_t> bytes);
  explicit TBytes(std::vector<std::uint8_t> bytes);

  Integer Length() const { return FData ? static_cast<Integer>(FData->size()) : 0; }
  bool Empty() const { return Length() == 0; }
  // No bounds check: the index must lie in 0..Length - 1.
  std::uint8_t operator[](std::size_t index) const { return (*FData)[index]; }
  std::uint8_t& operator[](std::size_t index) { return (*FData)[index]; }
  const std::uint8_t* Data() const { return FData ? FData->data() : nullptr; }
  std::vector<std::uint8_t> ToVector() const;

  // Cuts or extends to `length` (new elements 0), with an array of its own
  // first when the array is shared; 0 gives the nil array.
  void SetLength(std::size_t length);
  // Whether two handles hold the same array (two nil handles do).
  bool SharesWith(const TBytes& other) const { return FData == other.FData; }

 private:
  std::shared_ptr<std::vector<std::uint8_t>> FData;
};

// The tagged value.  Only the field of the current kind is meaningful; a
// reference field filled under an earlier kind may stay filled and is
// released with the record.  Copies share the text, array and interface
// references; texts are values, so changing one copy's text never shows in
// another, while the byte array is one array for every holder.
class TPelVariant {
 public:
  TKivSimpleType varType = vtNone;
  string vString;
  AnsiString vANSIString;
  TBytes vBytes;
  platform::TDispatchRef vCOMObj;
  // The 8-byte payload: every field begins at its first byte, a narrower
  // field the low-order part of a wider one.
  union {
    std::uint8_t vByte;
    std::int16_t vSmallint;
    std::uint16_t vWord;
    std::int32_t vInt32;
    std::uint32_t vUInt32;
    std::int64_t vInt64;
    std::uint64_t vUInt64;
    double vDouble;
    double vExtended;  // held in double precision
    std::int64_t vCurrency;  // the raw count
    char16_t vChar;
    std::uint8_t vANSIChar;
    std::uint8_t vBoolean;
    std::int16_t vWordBool;
    void* vPointer;
    std::int32_t vSysDate;
    std::int32_t vSysTime;
    double vDateTime;
    void* vObj;
    std::int32_t vInteger;   // the storage of vInt32
    std::uint32_t vCardinal;  // the storage of vUInt32
  };

  // vtNone, every byte zero.
  TPelVariant() noexcept : vUInt64(0) {}
  TPelVariant(const TPelVariant&) = default;
  TPelVariant(TPelVariant&&) noexcept = default;
  TPelVariant& operator=(const TPelVariant&) = default;
  // A value moved onto itself keeps its text.
  TPelVariant& operator=(TPelVariant&& other) noexcept;
  ~TPelVariant() = default;

  TPelVariant(std::uint8_t v) noexcept;
  TPelVariant(std::int16_t v) noexcept;
  TPelVariant(std::uint16_t v) noexcept;
  TPelVariant(std::int32_t v) noexcept;
  TPelVariant(std::uint32_t v) noexcept;
  TPelVariant(long v) noexcept;
  TPelVariant(long long v) noexcept;
  TPelVariant(unsigned long v) noexcept;
  TPelVariant(unsigned long long v) noexcept;
  TPelVariant(double v) noexcept;
  // Rounded to the nearest double; beyond the double range raises EOverflow.
  TPelVariant(long double v);
  TPelVariant(Currency v) noexcept;
  TPelVariant(char16_t v) noexcept;
  TPelVariant(AnsiChar v) noexcept;
  TPelVariant(string v) noexcept;
  TPelVariant(const char16_t* v);  // nil is the empty text
  TPelVariant(AnsiString v) noexcept;
  TPelVariant(TBoolean v) noexcept;
  TPelVariant(TPointer v) noexcept;
  TPelVariant(rtl::TDateTime v) noexcept;
  TPelVariant(TBytes v) noexcept;
  TPelVariant(platform::TDispatchRef v) noexcept;
  // By the type code; an unaccepted code raises.
  TPelVariant(const platform::TOleVariant& v);

  // No constructor from the one-byte characters, bool or raw addresses:
  // they would silently become integers.
  TPelVariant(char) = delete;
  TPelVariant(signed char) = delete;
  TPelVariant(bool) = delete;
  TPelVariant(const void*) = delete;
  TPelVariant(std::nullptr_t) = delete;

  // The NULL value (NULL itself is a macro in C++).
  static TPelVariant Null() noexcept { return TPelVariant(); }
  void Clear() noexcept { *this = Null(); }
  bool IsNULL() const noexcept { return varType == vtNone; }

  // Code units of a vtString, bytes of a vtANSIString, elements of a vtBytes.
  Integer Length() const;
  static void SetLength(TPelVariant& v, Integer L);
  // Counted from 1 in texts, from 0 in byte arrays; outside raises ERangeError.
  TPelVariant GetElement(Integer Index) const;
  void SetElement(Integer Index, const TPelVariant& Value);
  // Bytes the value occupies; never fails.
  Integer Size() const noexcept;

  // Equality with text interpretation and the ordering test that the
  // comparison operators define.
  bool EqualTI(const TPelVariant& Arg) const;
  bool GreaterThanNL(const TPelVariant& v2) const;

  // The explicit conversions: a kind outside the accepted set raises with
  // the conversion's prefix; values are cut to the target's width.
  explicit operator std::uint8_t() const;
  explicit operator std::int16_t() const;
  explicit operator std::uint16_t() const;
  explicit operator std::int32_t() const;
  explicit operator std::uint32_t() const;
  explicit operator long() const;
  explicit operator long long() const;
  explicit operator unsigned long() const;
  explicit operator unsigned long long() const;
  explicit operator double() const;
  explicit operator long double() const;
  explicit operator Currency() const;
  explicit operator char16_t() const;
  explicit operator AnsiChar() const;
  explicit operator string() const;
  explicit operator AnsiString() const;
  explicit operator TBoolean() const;
  explicit operator TPointer() const;
  explicit operator rtl::TDateTime() const;
  explicit operator TBytes() const;
  explicit operator platform::TDispatchRef() const;
  explicit operator platform::TOleVariant() const;
};

// The arithmetic and logical operators.  Operands are only read; a refused
// kind or pair raises ELVarConvertError naming the left operand's kind
// first.  The C++ operators stand for them where C++ has one (not is ~,
// mod is %; div has none).
TPelVariant op_UnaryNegation(const TPelVariant& v);
TPelVariant op_UnaryPlus(const TPelVariant& v);
TPelVariant op_LogicalNot(const TPelVariant& v);
TPelVariant op_BitwiseAnd(const TPelVariant& v1, const TPelVariant& v2);
TPelVariant op_BitwiseOr(const TPelVariant& v1, const TPelVariant& v2);
TPelVariant op_BitwiseXOR(const TPelVariant& v1, const TPelVariant& v2);
TPelVariant op_Addition(const TPelVariant& v1, const TPelVariant& v2);
TPelVariant op_Subtraction(const TPelVariant& v1, const TPelVariant& v2);
TPelVariant op_Multiply(const TPelVariant& v1, const TPelVariant& v2);
TPelVariant op_Division(const TPelVariant& v1, const TPelVariant& v2);
TPelVariant op_IntDivide(const TPelVariant& v1, const TPelVariant& v2);
TPelVariant op_Modulus(const TPelVariant& v1, const TPelVariant& v2);

inline TPelVariant operator-(const TPelVariant& v) { return op_UnaryNegation(v); }
inline TPelVariant operator+(const TPelVariant& v) { return op_UnaryPlus(v); }
inline TPelVariant operator~(const TPelVariant& v) { return op_LogicalNot(v); }
inline TPelVariant operator&(const TPelVariant& v1, const TPelVariant& v2) {
  return op_BitwiseAnd(v1, v2);
}
inline TPelVariant operator|(const TPelVariant& v1, const TPelVariant& v2) {
  return op_BitwiseOr(v1, v2);
}
inline TPelVariant operator^(const TPelVariant& v1, const TPelVariant& v2) {
  return op_BitwiseXOR(v1, v2);
}
inline TPelVariant operator+(const TPelVariant& v1, const TPelVariant& v2) {
  return op_Addition(v1, v2);
}
inline TPelVariant operator-(const TPelVariant& v1, const TPelVariant& v2) {
  return op_Subtraction(v1, v2);
}
inline TPelVariant operator*(const TPelVariant& v1, const TPelVariant& v2) {
  return op_Multiply(v1, v2);
}
inline TPelVariant operator/(const TPelVariant& v1, const TPelVariant& v2) {
  return op_Division(v1, v2);
}
inline TPelVariant operator%(const TPelVariant& v1, const TPelVariant& v2) {
  return op_Modulus(v1, v2);
}

// The one-byte character rules of the system's ANSI code page: a byte
// becomes one UTF-16 code unit; a code unit becomes one byte where its
// encoded form is one byte, else "?".
char16_t AnsiCharToChar(std::uint8_t byte);
std::uint8_t CharToAnsiChar(char16_t c);
// ANSI text from its own code page; UTF-16 text to the system's ANSI code
// page (the result carries that code page).
string AnsiToString(const AnsiString& text);
AnsiString StringToAnsi(const string& text);

// The fixed size of a kind: 1, 2, 4 or 8, and 0 for every other kind.
Integer _SimpleTypeSize(TKivType kind) noexcept;

// The text parsers; each reads its whole argument and raises with its
// numbered message.
std::int64_t _StrToInt64(const string& text);
std::uint64_t _StrToUInt64(const string& text);
double _StrToDouble(const string& text);
bool _StrToBool(const string& text);

}  // namespace variant
