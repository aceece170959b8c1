// Grids of the variant operators: for each kind a value can hold (or each
// pair of them, left operand first) the cell an operator gives it, or
// nothing when the operator refuses the kind.  Grids are built at compile
// time from tables written the way a reader checks them: rows and columns
// of kinds or groups of kinds, one cell per crossing.
#pragma once

#include <array>
#include <cstddef>
#include <initializer_list>
#include <optional>
#include <stdexcept>

#include "variant/pel_variant.h"

namespace variant {

// vtNone .. vtObj: the kinds a value can hold.
inline constexpr std::size_t StorableKindCount = static_cast<std::size_t>(LastSimpleType) + 1;

// An ordered set of storable kinds; a single kind converts to a set of one.
class TKindSet {
 public:
  constexpr TKindSet() = default;
  constexpr TKindSet(TKivType kind) { Add(kind); }  // NOLINT: a kind is a set of one
  constexpr TKindSet(std::initializer_list<TKivType> kinds) {
    for (TKivType kind : kinds) Add(kind);
  }

  // This set's kinds, then the other's that are not in it yet.
  constexpr TKindSet operator|(const TKindSet& other) const {
    TKindSet out = *this;
    for (TKivType kind : other) out.Add(kind);
    return out;
  }
  constexpr bool Contains(TKivType kind) const {
    for (TKivType own : *this)
      if (own == kind) return true;
    return false;
  }
  constexpr const TKivType* begin() const { return FKinds.data(); }
  constexpr const TKivType* end() const { return FKinds.data() + FCount; }
  constexpr std::size_t size() const { return FCount; }

 private:
  constexpr void Add(TKivType kind) {
    if (static_cast<std::size_t>(kind) >= StorableKindCount)
      throw std::logic_error("a kind no value can hold");
    if (!Contains(kind)) FKinds[FCount++] = kind;
  }

  std::array<TKivType, StorableKindCount> FKinds{};
  std::size_t FCount = 0;
};

// Every storable kind, in ordinal order.
inline constexpr TKindSet AllKinds = [] {
  TKindSet all;
  for (std::size_t k = 0; k < StorableKindCount; ++k) all = all | static_cast<TKivType>(k);
  return all;
}();

inline constexpr TKindSet IntegerKinds = {vtByte,   vtSmallint, vtWord,  vtInt32,
                                          vtUInt32, vtInt64,    vtUInt64};
inline constexpr TKindSet UnsignedKinds = {vtByte, vtWord, vtUInt32, vtUInt64};
inline constexpr TKindSet FloatKinds = {vtDouble, vtExtended};
inline constexpr TKindSet TextKinds = {vtChar, vtString, vtANSIChar, vtANSIString};
inline constexpr TKindSet AnsiKinds = {vtANSIChar, vtANSIString};
inline constexpr TKindSet BooleanKinds = {vtBoolean, vtWordBool};

constexpr std::size_t KindIndex(TKivType kind) { return static_cast<std::size_t>(kind); }

// A table cell that another table of the same grid fills ("see the integer
// table").
inline constexpr std::nullopt_t Elsewhere = std::nullopt;

// One cell per storable kind, or refused.
template <class TCell>
class TKindGrid {
 public:
  constexpr TKindGrid& Accept(const TKindSet& kinds, TCell cell) {
    for (TKivType kind : kinds) Fill(kind, cell);
    return *this;
  }
  constexpr const std::optional<TCell>& At(TKivType kind) const { return FCells.at(KindIndex(kind)); }

 private:
  constexpr void Fill(TKivType kind, TCell cell) {
    if (FCells[KindIndex(kind)]) throw std::logic_error("a kind given two cells");
    FCells[KindIndex(kind)] = cell;
  }

  std::array<std::optional<TCell>, StorableKindCount> FCells{};
};

// One cell per (left kind, right kind), or refused.
template <class TCell>
class TKindPairGrid {
 public:
  // Every left kind of `lefts` with every right kind of `rights` gives `cell`.
  constexpr TKindPairGrid& Accept(const TKindSet& lefts, const TKindSet& rights, TCell cell) {
    for (TKivType left : lefts)
      for (TKivType right : rights) Fill(left, right, cell);
    return *this;
  }

  // A table as written: row r, column c gives cells[r][c] to every pair of a
  // kind of rows[r] with a kind of columns[c]; an Elsewhere cell gives none.
  constexpr TKindPairGrid& AcceptGroupTable(
      std::initializer_list<TKindSet> rows, std::initializer_list<TKindSet> columns,
      std::initializer_list<std::initializer_list<std::optional<TCell>>> cells) {
    if (cells.size() != rows.size()) throw std::logic_error("a table row missing");
    const TKindSet* row = rows.begin();
    for (const auto& line : cells) {
      if (line.size() != columns.size()) throw std::logic_error("a table row of the wrong length");
      const TKindSet* column = columns.begin();
      for (const std::optional<TCell>& cell : line) {
        if (cell) Accept(*row, *column, *cell);
        ++column;
      }
      ++row;
    }
    return *this;
  }

  // The same with one kind per row and per column, in the sets' order.
  constexpr TKindPairGrid& AcceptTable(
      const TKindSet& rows, const TKindSet& columns,
      std::initializer_list<std::initializer_list<std::optional<TCell>>> cells) {
    if (cells.size() != rows.size()) throw std::logic_error("a table row missing");
    const TKivType* row = rows.begin();
    for (const auto& line : cells) {
      if (line.size() != columns.size()) throw std::logic_error("a table row of the wrong length");
      const TKivType* column = columns.begin();
      for (const std::optional<TCell>& cell : line) {
        if (cell) Fill(*row, *column, *cell);
        ++column;
      }
      ++row;
    }
    return *this;
  }

  constexpr const std::optional<TCell>& At(TKivType left, TKivType right) const {
    return FCells.at(KindIndex(left)).at(KindIndex(right));
  }

 private:
  constexpr void Fill(TKivType left, TKivType right, TCell cell) {
    std::optional<TCell>& slot = FCells[KindIndex(left)][KindIndex(right)];
    if (slot) throw std::logic_error("a pair of kinds given two cells");
    slot = cell;
  }

  std::array<std::array<std::optional<TCell>, StorableKindCount>, StorableKindCount> FCells{};
};

// The grids most operators have: the kind of the result.
using TResultKindGrid = TKindGrid<TKivType>;
using TResultKindPairGrid = TKindPairGrid<TKivType>;

}  // namespace variant
