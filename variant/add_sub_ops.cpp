// Add and subtract: numbers, days added to or taken off a date, and (add
// only) two texts joined.
#include <cstdint>
#include <string>

#include "platform/codepage.h"
#include "variant/arithmetic_grids.h"
#include "variant/operator_values.h"

namespace variant {

using namespace operators;

namespace {

struct TAdditive {
  const TResultKindPairGrid& Grid;
  std::u16string_view Prefix;
  bool bSubtract;

  template <class T>
  T Apply(T a, T b) const {
    return bSubtract ? a - b : a + b;
  }
};

constexpr TAdditive Addition = {AddGrid, u"Incompatible type in variant add operator: ", false};
constexpr TAdditive Subtraction = {SubtractGrid, u"Incompatible type in variant subtract operator: ",
                                   true};

// A day number with the low 32 bits of an integer or another day number,
// wrapping at 32 bits.
TPelVariant DayArithmetic(const TAdditive& op, const TPelVariant& v1, const TPelVariant& v2) {
  const auto low32 = [](const TPelVariant& v) {
    return v.varType == vtSysDate ? static_cast<std::uint32_t>(v.vSysDate)
                                  : static_cast<std::uint32_t>(WidenedBits(v));
  };
  return IntegerOfKind(vtInt32, op.Apply(low32(v1), low32(v2)));
}

// Whole days on a date and time: the time of day stays.
TPelVariant DateTimeArithmetic(const TAdditive& op, const TPelVariant& v1, const TPelVariant& v2) {
  const double days = static_cast<double>(v2);
  TFloatScope fp;
  const long double sum = fp.Step(op.Apply(platform::FloatBarrier(static_cast<long double>(v1.vDateTime)),
                                           platform::FloatBarrier(static_cast<long double>(days))));
  return TPelVariant(rtl::TDateTime(fp.ToDouble(sum)));
}

// Exact in 128 bits; only the end result must fit the raw range.
TPelVariant CurrencyArithmetic(const TAdditive& op, const TPelVariant& v1, const TPelVariant& v2) {
  const auto raw = [](const TPelVariant& v) {
    return v.varType == vtCurrency ? TInt128{v.vCurrency} : ExactValue(v) * 10000;
  };
  return CurrencyOfRaw(op.Apply(raw(v1), raw(v2)));
}

// Each step in extended precision, in the order written, rounded to double
// once: a Currency enters as (x * 10000 +- raw) / 10000, not as raw / 10000.
TPelVariant FloatArithmetic(const TAdditive& op, TKivType kind, const TPelVariant& v1,
                            const TPelVariant& v2) {
  TFloatScope fp;
  long double value;
  if (v2.varType == vtCurrency) {
    const long double scaled = fp.Step(ExtendedOf(v1) * 10000.0L);
    value = fp.Step(fp.Step(op.Apply(scaled, CurrencyRawOf(v2))) / 10000.0L);
  } else if (v1.varType == vtCurrency) {
    const long double scaled = fp.Step(ExtendedOf(v2) * 10000.0L);
    value = fp.Step(fp.Step(op.Apply(CurrencyRawOf(v1), scaled)) / 10000.0L);
  } else {
    value = fp.Step(op.Apply(ExtendedOf(v1), ExtendedOf(v2)));
  }
  return FloatOfKind(kind, fp.ToDouble(value));
}

string WideText(const TPelVariant& v) {
  switch (v.varType) {
    case vtChar:
      return string(1, v.vChar);
    case vtString:
      return v.vString;
    case vtANSIChar:
      return string(1, AnsiCharToChar(v.vANSIChar));
    default:
      return AnsiToString(v.vANSIString);
  }
}

AnsiString AnsiText(const TPelVariant& v) {
  if (v.varType == vtANSIChar)
    return AnsiString(std::string(1, static_cast<char>(v.vANSIChar)), platform::AnsiCodePage());
  return v.vANSIString;
}

Cardinal Resolved(Cardinal codePage) {
  return codePage == platform::CodePageAnsi ? platform::AnsiCodePage() : codePage;
}

// Texts of one code page are joined byte by byte.  A right text of another
// code page is first converted to the left one's through UTF-16, so that
// the result is in one encoding ("?" where the left one has no character).
TPelVariant AnsiJoin(const TPelVariant& v1, const TPelVariant& v2) {
  AnsiString left = AnsiText(v1);
  const AnsiString right = AnsiText(v2);
  if (Resolved(left.CodePage) == Resolved(right.CodePage)) {
    left.Bytes += right.Bytes;
  } else {
    left.Bytes += platform::WideToMultiByte(left.CodePage,
                                            platform::MultiByteToWide(right.CodePage, right.Bytes));
  }
  return TPelVariant(std::move(left));
}

TPelVariant Additive(const TAdditive& op, const TPelVariant& v1, const TPelVariant& v2) {
  const TKivType kind = ResultKindOf(op.Grid, v1, v2, op.Prefix);
  if (IsIntegerKind(v1.varType) && IsIntegerKind(v2.varType))
    return IntegerOfKind(kind, op.Apply(WidenedBits(v1), WidenedBits(v2)));
  if (v1.varType == vtSysDate || v2.varType == vtSysDate) return DayArithmetic(op, v1, v2);
  if (v1.varType == vtDateTime) return DateTimeArithmetic(op, v1, v2);
  if (kind == vtANSIString) return AnsiJoin(v1, v2);
  if (kind == vtString) return TPelVariant(WideText(v1) + WideText(v2));
  if (kind == vtCurrency) return CurrencyArithmetic(op, v1, v2);
  return FloatArithmetic(op, kind, v1, v2);
}

}  // namespace

TPelVariant op_Addition(const TPelVariant& v1, const TPelVariant& v2) {
  return Additive(Addition, v1, v2);
}

TPelVariant op_Subtraction(const TPelVariant& v1, const TPelVariant& v2) {
  return Additive(Subtraction, v1, v2);
}

}  // namespace variant
