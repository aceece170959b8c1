// Which pairs of kinds the six comparisons accept, and how each accepted pair
// is compared (rows: the left operand, columns: the right one).  The four
// orderings accept the pairs whose route orders its values; equality and
// inequality accept every pair the table lists.  A pair it does not list is
// refused by all six.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <optional>

#include "variant/operator_grid.h"

namespace variant {

enum class TComparisonRoute : std::uint8_t {
  Null,        // equal exactly when both are None
  Numbers,     // by mathematical value, a Currency by its raw count
  DateTimes,   // as date-time numbers
  Texts,       // by their units: bytes, or UTF-16 code units
  Truths,      // by truth value
  Addresses,   // by address
  Interfaces,  // by interface reference; a pointer only when it is nil
  ByteArrays,  // by length and bytes
};

constexpr bool RouteOrders(TComparisonRoute route) {
  return route == TComparisonRoute::Numbers || route == TComparisonRoute::DateTimes ||
         route == TComparisonRoute::Texts;
}

using TComparisonGrid = TKindPairGrid<TComparisonRoute>;

inline constexpr TComparisonGrid ComparisonGrid = [] {
  constexpr std::optional<TComparisonRoute> _ = Elsewhere, N = TComparisonRoute::Null,
                                            n = TComparisonRoute::Numbers,
                                            d = TComparisonRoute::DateTimes,
                                            s = TComparisonRoute::Texts,
                                            b = TComparisonRoute::Truths,
                                            p = TComparisonRoute::Addresses,
                                            i = TComparisonRoute::Interfaces,
                                            x = TComparisonRoute::ByteArrays;
  const std::initializer_list<TKindSet> groups = {
      vtNone,    IntegerKinds, FloatKinds | vtCurrency, vtSysDate, vtSysTime, vtDateTime, TextKinds,
      BooleanKinds, vtPointer, vtObj, vtCOMObj, vtBytes, vtVariant};
  return TComparisonGrid().AcceptGroupTable(groups, groups, {
      // None Int Float+ SDate STime DTime Text Bool Ptr Obj COM Bytes Variant
      //          Curr.
      {N,    N,  N,     N,    N,    N,    N,   N,   N,  N,  N,  N,    N},  // None
      {N,    n,  n,     n,    n,    _,    _,   _,   _,  _,  _,  _,    _},  // integer kinds
      {N,    n,  n,     _,    _,    _,    _,   _,   _,  _,  _,  _,    _},  // float kinds, Currency
      {N,    n,  _,     n,    _,    d,    _,   _,   _,  _,  _,  _,    _},  // SysDate
      {N,    n,  _,     _,    n,    d,    _,   _,   _,  _,  _,  _,    _},  // SysTime
      {N,    _,  _,     d,    d,    d,    _,   _,   _,  _,  _,  _,    _},  // DateTime
      {N,    _,  _,     _,    _,    _,    s,   _,   _,  _,  _,  _,    _},  // text kinds
      {N,    _,  _,     _,    _,    _,    _,   b,   _,  _,  _,  _,    _},  // Boolean kinds
      {N,    _,  _,     _,    _,    _,    _,   _,   p,  p,  i,  _,    _},  // Pointer
      {N,    _,  _,     _,    _,    _,    _,   _,   p,  p,  _,  _,    _},  // Obj
      {N,    _,  _,     _,    _,    _,    _,   _,   i,  _,  i,  _,    _},  // COMObj
      {N,    _,  _,     _,    _,    _,    _,   _,   _,  _,  _,  x,    _},  // Bytes
      {_,    _,  _,     _,    _,    _,    _,   _,   _,  _,  _,  _,    _},  // Variant
  });
}();

// The route of a pair for = and <>; nothing when refused.
constexpr std::optional<TComparisonRoute> EqualityRoute(TKivType left, TKivType right) {
  return ComparisonGrid.At(left, right);
}

// The route of a pair for <, <=, > and >=; nothing when refused.
constexpr std::optional<TComparisonRoute> OrderingRoute(TKivType left, TKivType right) {
  const std::optional<TComparisonRoute> route = EqualityRoute(left, right);
  if (route && RouteOrders(*route)) return route;
  return std::nullopt;
}

}  // namespace variant
