// The result kinds of the unary, bitwise, add, subtract, multiply and
// division operators of the variant, as tables (rows: the left operand,
// columns: the right one).  A kind or pair that no table lists is refused by
// its operator.
#pragma once

#include "variant/operator_grid.h"

namespace variant {

inline constexpr TResultKindGrid NegateGrid = TResultKindGrid()
    .Accept(vtByte, vtSmallint)
    .Accept(vtSmallint, vtSmallint)
    .Accept(vtWord, vtInt32)
    .Accept(vtInt32, vtInt32)
    .Accept(vtUInt32, vtInt64)
    .Accept(vtInt64, vtInt64)
    .Accept(vtUInt64, vtInt64)
    .Accept(vtDouble, vtDouble)
    .Accept(vtExtended, vtExtended)
    .Accept(vtCurrency, vtCurrency);

// Unary plus keeps the kind.
inline constexpr TResultKindGrid PlusGrid = [] {
  TResultKindGrid grid;
  for (TKivType kind : IntegerKinds | FloatKinds | vtCurrency) grid.Accept(kind, kind);
  return grid;
}();

// not keeps the kind.
inline constexpr TResultKindGrid NotGrid = [] {
  TResultKindGrid grid;
  for (TKivType kind : IntegerKinds | BooleanKinds) grid.Accept(kind, kind);
  return grid;
}();

// and, or, xor.  Of two integers the wider kind wins, of two of one width
// the unsigned one; two truth values give a WordBool only from two WordBools.
inline constexpr TResultKindPairGrid BitwiseGrid = TResultKindPairGrid()
    .AcceptTable(IntegerKinds, IntegerKinds, {
        // vtByte    vtSmallint  vtWord    vtInt32   vtUInt32  vtInt64   vtUInt64
        {vtByte,     vtSmallint, vtWord,   vtInt32,  vtUInt32, vtInt64,  vtUInt64},  // vtByte
        {vtSmallint, vtSmallint, vtWord,   vtInt32,  vtUInt32, vtInt64,  vtUInt64},  // vtSmallint
        {vtWord,     vtWord,     vtWord,   vtInt32,  vtUInt32, vtInt64,  vtUInt64},  // vtWord
        {vtInt32,    vtInt32,    vtInt32,  vtInt32,  vtUInt32, vtInt64,  vtUInt64},  // vtInt32
        {vtUInt32,   vtUInt32,   vtUInt32, vtUInt32, vtUInt32, vtInt64,  vtUInt64},  // vtUInt32
        {vtInt64,    vtInt64,    vtInt64,  vtInt64,  vtInt64,  vtInt64,  vtUInt64},  // vtInt64
        {vtUInt64,   vtUInt64,   vtUInt64, vtUInt64, vtUInt64, vtUInt64, vtUInt64},  // vtUInt64
    })
    .AcceptTable(BooleanKinds, BooleanKinds, {
        // vtBoolean vtWordBool
        {vtBoolean,  vtBoolean},   // vtBoolean
        {vtBoolean,  vtWordBool},  // vtWordBool
    });

// The numbers block of add, subtract and multiply: Extended on either side
// wins, then Double, then Currency.
constexpr TResultKindPairGrid AcceptFloatAndCurrency(TResultKindPairGrid grid) {
  return grid.AcceptGroupTable(
      {IntegerKinds, vtDouble, vtExtended, vtCurrency},
      {IntegerKinds, vtDouble, vtExtended, vtCurrency}, {
          // integer  vtDouble    vtExtended  vtCurrency
          {Elsewhere,  vtDouble,   vtExtended, vtCurrency},  // integer kind
          {vtDouble,   vtDouble,   vtExtended, vtDouble},    // vtDouble
          {vtExtended, vtExtended, vtExtended, vtExtended},  // vtExtended
          {vtCurrency, vtDouble,   vtExtended, vtCurrency},  // vtCurrency
      });
}

inline constexpr TResultKindPairGrid AddGrid = AcceptFloatAndCurrency(TResultKindPairGrid()
    .AcceptTable(IntegerKinds, IntegerKinds, {
        // vtByte    vtSmallint  vtWord    vtInt32   vtUInt32  vtInt64   vtUInt64
        {vtByte,     vtSmallint, vtWord,   vtInt32,  vtUInt32, vtInt64,  vtUInt64},  // vtByte
        {vtSmallint, vtSmallint, vtInt32,  vtInt32,  vtInt64,  vtInt64,  vtInt64},   // vtSmallint
        {vtWord,     vtInt32,    vtWord,   vtInt32,  vtUInt32, vtInt64,  vtUInt64},  // vtWord
        {vtInt32,    vtInt32,    vtInt32,  vtInt32,  vtInt64,  vtInt64,  vtInt64},   // vtInt32
        {vtUInt32,   vtInt64,    vtUInt32, vtInt64,  vtUInt32, vtInt64,  vtUInt64},  // vtUInt32
        {vtInt64,    vtInt64,    vtInt64,  vtInt64,  vtInt64,  vtInt64,  vtInt64},   // vtInt64
        {vtUInt64,   vtInt64,    vtUInt64, vtInt64,  vtUInt64, vtInt64,  vtUInt64},  // vtUInt64
    })
    .Accept(vtSysDate, IntegerKinds, vtInt32)
    .Accept(IntegerKinds, vtSysDate, vtInt32)
    .Accept(vtDateTime, IntegerKinds, vtDateTime)
    .AcceptTable(TextKinds, TextKinds, {
        // vtChar  vtString  vtANSIChar    vtANSIString
        {vtString, vtString, vtString,     vtString},      // vtChar
        {vtString, vtString, vtString,     vtString},      // vtString
        {vtString, vtString, vtANSIString, vtANSIString},  // vtANSIChar
        {vtString, vtString, vtANSIString, vtANSIString},  // vtANSIString
    }));

inline constexpr TResultKindPairGrid SubtractGrid = AcceptFloatAndCurrency(TResultKindPairGrid()
    .AcceptTable(IntegerKinds, IntegerKinds, {
        // vtByte    vtSmallint  vtWord    vtInt32   vtUInt32  vtInt64   vtUInt64
        {vtSmallint, vtSmallint, vtInt32,  vtInt32,  vtInt64,  vtInt64,  vtInt64},   // vtByte
        {vtSmallint, vtSmallint, vtInt32,  vtInt32,  vtInt64,  vtInt64,  vtInt64},   // vtSmallint
        {vtInt32,    vtInt32,    vtInt32,  vtInt32,  vtInt64,  vtInt64,  vtUInt64},  // vtWord
        {vtInt32,    vtInt32,    vtInt32,  vtInt32,  vtInt64,  vtInt64,  vtInt64},   // vtInt32
        {vtInt64,    vtInt64,    vtInt64,  vtInt64,  vtInt64,  vtInt64,  vtInt64},   // vtUInt32
        {vtInt64,    vtInt64,    vtInt64,  vtInt64,  vtInt64,  vtInt64,  vtInt64},   // vtInt64
        {vtInt64,    vtInt64,    vtInt64,  vtInt64,  vtInt64,  vtInt64,  vtInt64},   // vtUInt64
    })
    .Accept(vtSysDate, IntegerKinds | vtSysDate, vtInt32)
    .Accept(vtDateTime, IntegerKinds, vtDateTime));

inline constexpr TResultKindPairGrid MultiplyGrid = AcceptFloatAndCurrency(TResultKindPairGrid()
    .AcceptTable(IntegerKinds, IntegerKinds, {
        // vtByte  vtSmallint vtWord    vtInt32  vtUInt32  vtInt64  vtUInt64
        {vtWord,   vtInt32,   vtUInt32, vtInt64, vtUInt64, vtInt64, vtUInt64},  // vtByte
        {vtInt32,  vtInt32,   vtInt32,  vtInt64, vtInt64,  vtInt64, vtInt64},   // vtSmallint
        {vtUInt32, vtInt32,   vtUInt32, vtInt64, vtUInt64, vtInt64, vtUInt64},  // vtWord
        {vtInt64,  vtInt64,   vtInt64,  vtInt64, vtInt64,  vtInt64, vtInt64},   // vtInt32
        {vtUInt64, vtInt64,   vtUInt64, vtInt64, vtUInt64, vtInt64, vtUInt64},  // vtUInt32
        {vtInt64,  vtInt64,   vtInt64,  vtInt64, vtInt64,  vtInt64, vtInt64},   // vtInt64
        {vtUInt64, vtInt64,   vtUInt64, vtInt64, vtUInt64, vtInt64, vtUInt64},  // vtUInt64
    }));

// Real division: two integers give a Double.
inline constexpr TResultKindPairGrid DivideGrid = TResultKindPairGrid()
    .AcceptGroupTable(
        {IntegerKinds, vtDouble, vtExtended, vtCurrency},
        {IntegerKinds, vtDouble, vtExtended, vtCurrency}, {
            // integer  vtDouble    vtExtended  vtCurrency
            {vtDouble,   vtDouble,   vtExtended, vtCurrency},  // integer kind
            {vtDouble,   vtDouble,   vtExtended, vtDouble},    // vtDouble
            {vtExtended, vtExtended, vtExtended, vtExtended},  // vtExtended
            {vtCurrency, vtDouble,   vtExtended, vtCurrency},  // vtCurrency
        });

// div and mod.
inline constexpr TResultKindPairGrid IntDivideGrid = TResultKindPairGrid()
    .AcceptTable(IntegerKinds, IntegerKinds, {
        // vtByte    vtSmallint  vtWord   vtInt32  vtUInt32 vtInt64  vtUInt64
        {vtByte,     vtSmallint, vtInt32, vtInt32, vtInt64, vtInt64, vtInt64},   // vtByte
        {vtSmallint, vtSmallint, vtInt32, vtInt32, vtInt64, vtInt64, vtInt64},   // vtSmallint
        {vtInt32,    vtInt32,    vtInt32, vtInt32, vtInt64, vtInt64, vtUInt64},  // vtWord
        {vtInt32,    vtInt32,    vtInt32, vtInt32, vtInt64, vtInt64, vtInt64},   // vtInt32
        {vtInt64,    vtInt64,    vtInt64, vtInt64, vtInt64, vtInt64, vtInt64},   // vtUInt32
        {vtInt64,    vtInt64,    vtInt64, vtInt64, vtInt64, vtInt64, vtInt64},   // vtInt64
        {vtInt64,    vtInt64,    vtInt64, vtInt64, vtInt64, vtInt64, vtInt64},   // vtUInt64
    });

}  // namespace variant
