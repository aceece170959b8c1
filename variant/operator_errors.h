// The arithmetic failures of the variant operators and the exception class
// each one is raised as, written once: the operators raise through
// RaiseOperatorError and the tests read the same table.  None of these is a
// variant conversion error; each carries its class's own message.
#pragma once

#include <array>
#include <cstdint>

#include "runtime/exceptions.h"

namespace variant {

enum class TOperatorError : std::uint8_t {
  FloatOverflow,     // a Double or Extended result beyond the double range
  FloatZeroDivide,   // a zero divisor in real division, a Currency raw 0 too
  FloatInvalid,      // 0 / 0, infinity / infinity, a NaN compared
  CurrencyRange,     // a Currency raw count outside 64 bits, a NaN to Currency,
                     // the negation of the raw -2^63
  IntegerDivByZero,  // div or mod by 0
  IntegerOverflow,   // the one 32-bit quotient that does not fit
};

namespace detail {
template <class E>
[[noreturn]] void RaiseClass() {
  throw E();
}
}  // namespace detail

struct TOperatorErrorRow {
  TOperatorError Error;
  const char* ClassName;
  void (*Raise)();
};

// In the order of the enumeration.
inline constexpr std::array<TOperatorErrorRow, 6> OperatorErrors = {{
    {TOperatorError::FloatOverflow, "EOverflow", &detail::RaiseClass<rtl::EOverflow>},
    {TOperatorError::FloatZeroDivide, "EZeroDivide", &detail::RaiseClass<rtl::EZeroDivide>},
    {TOperatorError::FloatInvalid, "EInvalidOp", &detail::RaiseClass<rtl::EInvalidOp>},
    {TOperatorError::CurrencyRange, "EInvalidOp", &detail::RaiseClass<rtl::EInvalidOp>},
    {TOperatorError::IntegerDivByZero, "EDivByZero", &detail::RaiseClass<rtl::EDivByZero>},
    {TOperatorError::IntegerOverflow, "EIntOverflow", &detail::RaiseClass<rtl::EIntOverflow>},
}};

constexpr const TOperatorErrorRow& OperatorErrorRow(TOperatorError error) {
  return OperatorErrors[static_cast<std::size_t>(error)];
}

constexpr bool OperatorErrorsInOrder() {
  for (std::size_t i = 0; i < OperatorErrors.size(); ++i)
    if (static_cast<std::size_t>(OperatorErrors[i].Error) != i) return false;
  return true;
}
static_assert(OperatorErrorsInOrder(), "one row per error, in the enumeration's order");

// Raises the exception of the table's row for `error`.
[[noreturn]] void RaiseOperatorError(TOperatorError error);

}  // namespace variant
