// Zero-padded numbers, the day-number and time-of-day conversions of the
// variant value type, cutting texts, and an unsigned 64-bit number parser.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "platform/types.h"
#include "runtime/date_time.h"

namespace tarnwick {

// A day number: 1 is 0001-01-01 of the proleptic Gregorian calendar,
// rtl::DateDelta (693594) is 1899-12-30.
using TSysDate = Integer;
// A time of day in units of 1/10000 second; TicksPerDay make a day.
using TSysTime = Integer;
inline constexpr TSysTime TicksPerDay = 864000000;

// The decimal text of the number's low 16 bits taken as unsigned, with "0"
// in front up to `width` characters; a longer text is not cut.
string PadNumber(Integer number, Integer width);

// day - 693594 exactly; a day below 1 raises rtl::EConvertError
// "'%d.%d' is not a valid timestamp" with the day and 0.
rtl::TDateTime SysDateToDateTime(TSysDate day);
// The fraction of a day, unchecked: negative values and values of a day or
// more give fractions below 0 or of 1 and more.
rtl::TDateTime SysTimeToDateTime(TSysTime time);

// "dd.mm.yyyy" whatever the regional settings; fails as SysDateToDateTime.
string SysDateToStr(TSysDate day);
// "hh:nn:ss.zzzz", hours not wrapped at 24; a negative part is written as
// its unsigned 16-bit form, so -1 gives "00:00:00.65535".
string SysTimeToStr(TSysTime time);

// The 1-based position of the last exact occurrence of sub in text, 0 when
// there is none; an empty sub gives length(text) + 1.
Integer LastPos(const string& sub, const string& text);

// Cuts rest at the first separator (the last one with fromEnd) and gives the
// part before it (after it with fromEnd), leaving the other part in rest;
// the separator is dropped.  Without a separator the whole rest is the part
// and rest becomes empty.
string SplitStr(string& rest, char16_t separator, bool fromEnd);

// Reads an unsigned 64-bit number: blanks (U+0020), one optional "+", then
// decimal digits, or hexadecimal ones after "$", "x", "X", "0x" or "0X".
// errorPos is 0 when the whole text was read, else the 1-based position of
// the first character not taken (a digit that would overflow counts as not
// taken), or length + 1 when the text ended before any digit.  The value
// read so far is returned in every case.
std::uint64_t ParseUInt64(const string& text, Integer& errorPos);

// A character and its entity text.  Nothing reads the two tables.
template <class TChar>
struct TSymStrOf {
  TChar sym;
  std::basic_string_view<TChar> xml;
};
using TSymStr = TSymStrOf<char16_t>;
using TAnsiSymStr = TSymStrOf<char>;

// The entities, once; each table spells them in its own character type.
#define TARNWICK_XML_SYMBOLS(Entry) \
  Entry('<', "&lt;")                \
  Entry('>', "&gt;")                \
  Entry('&', "&amp;")               \
  Entry('"', "&quot;")              \
  Entry('\'', "&apos;")
#define TARNWICK_WIDE_SYMBOL(sym, xml) {u##sym, u##xml},
#define TARNWICK_ANSI_SYMBOL(sym, xml) {sym, xml},
inline constexpr std::array<TSymStr, 5> XmlSymbols{{TARNWICK_XML_SYMBOLS(TARNWICK_WIDE_SYMBOL)}};
inline constexpr std::array<TAnsiSymStr, 5> AnsiXmlSymbols{{TARNWICK_XML_SYMBOLS(TARNWICK_ANSI_SYMBOL)}};
#undef TARNWICK_WIDE_SYMBOL
#undef TARNWICK_ANSI_SYMBOL
#undef TARNWICK_XML_SYMBOLS

}  // namespace tarnwick
