#include "platform/codepage.h"

#include <array>
#include <atomic>

#include "platform/text.h"

namespace platform {

namespace {

// 0 = no override.
std::atomic<Cardinal>& AnsiOverride() {
  static std::atomic<Cardinal> value{0};
  return value;
}

// Bytes 0x80..0x9F of code page 1252; every other byte is its own code.
// The five bytes the code page leaves undefined map to the control
// character of the same value, so that every byte survives a round trip.
constexpr std::array<char16_t, 32> Cp1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80..87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 88..8F
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90..97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 98..9F
};

char16_t Cp1252ToWide(unsigned char byte) {
  return (byte >= 0x80 && byte <= 0x9F) ? Cp1252High[byte - 0x80] : byte;
}

// The byte for a character, or '?' when code page 1252 has none.
char WideToCp1252(char16_t c) {
  if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return static_cast<char>(c);
  for (std::size_t i = 0; i < Cp1252High.size(); ++i)
    if (Cp1252High[i] == c) return static_cast<char>(0x80 + i);
  return '?';
}

Cardinal Resolve(Cardinal codePage) {
  return codePage == CodePageAnsi ? AnsiCodePage() : codePage;
}

}  // namespace

Cardinal AnsiCodePage() {
  const Cardinal value = AnsiOverride().load();
  return value == 0 ? CodePageUtf8 : value;
}

ScopedAnsiCodePage::ScopedAnsiCodePage(Cardinal codePage)
    : FPrevious(AnsiOverride().exchange(codePage)) {}

ScopedAnsiCodePage::~ScopedAnsiCodePage() { AnsiOverride().store(FPrevious); }

std::u16string MultiByteToWide(Cardinal codePage, std::string_view text) {
  if (Resolve(codePage) == CodePageUtf8) return FromUtf8(text);
  std::u16string out(text.size(), u'\0');
  for (std::size_t i = 0; i < text.size(); ++i)
    out[i] = Cp1252ToWide(static_cast<unsigned char>(text[i]));
  return out;
}

std::string WideToMultiByte(Cardinal codePage, std::u16string_view text) {
  if (Resolve(codePage) == CodePageUtf8) return ToUtf8(text);
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    // A surrogate pair is one character, so it becomes one '?'.
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF)
      ++i;
    out += WideToCp1252(c);
  }
  return out;
}

}  // namespace platform
