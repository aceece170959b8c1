#include "variant/operator_values.h"

#include <limits>
#include <stdexcept>

#include "variant/operator_errors.h"

namespace variant::operators {

std::uint64_t WidenedBits(const TPelVariant& v) {
  switch (v.varType) {
    case vtByte:
      return v.vByte;
    case vtSmallint:
      return static_cast<std::uint64_t>(static_cast<std::int64_t>(v.vSmallint));
    case vtWord:
      return v.vWord;
    case vtInt32:
      return static_cast<std::uint64_t>(static_cast<std::int64_t>(v.vInt32));
    case vtUInt32:
      return v.vUInt32;
    case vtInt64:
      return static_cast<std::uint64_t>(v.vInt64);
    case vtUInt64:
      return v.vUInt64;
    default:
      throw std::logic_error("not an integer kind");
  }
}

TInt128 ExactValue(const TPelVariant& v) {
  if (v.varType == vtUInt64) return static_cast<TInt128>(v.vUInt64);
  return static_cast<TInt128>(static_cast<std::int64_t>(WidenedBits(v)));
}

TPelVariant IntegerOfKind(TKivType kind, std::uint64_t bits) {
  // Conversions to narrower and to signed types keep the low bits.
  switch (kind) {
    case vtByte:
      return TPelVariant(static_cast<std::uint8_t>(bits));
    case vtSmallint:
      return TPelVariant(static_cast<std::int16_t>(bits));
    case vtWord:
      return TPelVariant(static_cast<std::uint16_t>(bits));
    case vtInt32:
      return TPelVariant(static_cast<std::int32_t>(bits));
    case vtUInt32:
      return TPelVariant(static_cast<std::uint32_t>(bits));
    case vtInt64:
      return TPelVariant(static_cast<long long>(bits));
    case vtUInt64:
      return TPelVariant(static_cast<unsigned long long>(bits));
    default:
      throw std::logic_error("not an integer kind");
  }
}

TPelVariant FloatOfKind(TKivType kind, double value) {
  TPelVariant result(value);
  result.varType = kind;  // vExtended is held in vDouble's storage
  return result;
}

TPelVariant CurrencyOfRaw(TInt128 raw) {
  if (raw < std::numeric_limits<std::int64_t>::min() ||
      raw > std::numeric_limits<std::int64_t>::max())
    RaiseOperatorError(TOperatorError::CurrencyRange);
  return TPelVariant(Currency(static_cast<std::int64_t>(raw)));
}

TPelVariant TruthOfKind(TKivType kind, bool value) {
  if (kind == vtWordBool) {
    TPelVariant result;
    result.varType = vtWordBool;
    result.vWordBool = value ? -1 : 0;
    return result;
  }
  return TPelVariant(TBoolean(value));
}

bool TruthOf(const TPelVariant& v) { return v.varType == vtWordBool ? v.vWordBool != 0 : v.vBoolean != 0; }

long double ExtendedOf(const TPelVariant& v) {
  if (IsFloatKind(v.varType)) return platform::FloatBarrier(static_cast<long double>(v.vDouble));
  // A 64-bit significand holds every integer kind exactly.
  if (v.varType == vtUInt64) return platform::FloatBarrier(static_cast<long double>(v.vUInt64));
  return platform::FloatBarrier(static_cast<long double>(static_cast<std::int64_t>(WidenedBits(v))));
}

long double CurrencyRawOf(const TPelVariant& v) {
  return platform::FloatBarrier(static_cast<long double>(v.vCurrency));
}

TKivType ResultKindOf(const TResultKindPairGrid& grid, const TPelVariant& v1,
                      const TPelVariant& v2, std::u16string_view prefix,
                      std::u16string_view joiner) {
  const auto& cell = grid.At(v1.varType, v2.varType);
  if (!cell) RaiseIncompatible(prefix, v1.varType, v2.varType, joiner);
  return *cell;
}

TKivType ResultKindOf(const TResultKindGrid& grid, const TPelVariant& v,
                      std::u16string_view prefix) {
  const auto& cell = grid.At(v.varType);
  if (!cell) RaiseIncompatible(prefix, v.varType);
  return *cell;
}

}  // namespace variant::operators
