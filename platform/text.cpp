#include "platform/text.h"

#include <algorithm>

namespace platform {

namespace {

// Escapes for bytes that are not valid UTF-8 (only bytes 0x80..0xFF can be).
constexpr char16_t EscapeBase = 0xDC00;
constexpr char16_t EscapeFirst = 0xDC80;
constexpr char16_t EscapeLast = 0xDCFF;

bool IsHighSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

void AppendUtf16(std::u16string& out, char32_t cp) {
  if (cp < 0x10000) {
    out += static_cast<char16_t>(cp);
  } else {
    cp -= 0x10000;
    out += static_cast<char16_t>(0xD800 + (cp >> 10));
    out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
  }
}

// Length of the well-formed UTF-8 sequence at text[i], 0 when the byte there
// does not start one (overlong forms, encoded surrogates and values above
// U+10FFFF are not well formed).
std::size_t SequenceAt(std::string_view text, std::size_t i, char32_t& cp) {
  const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[i + k]); };
  const unsigned char b0 = byte(0);
  std::size_t length;
  char32_t lowest;
  if (b0 < 0x80) {
    cp = b0;
    return 1;
  } else if (b0 >= 0xC2 && b0 <= 0xDF) {
    length = 2, cp = b0 & 0x1F, lowest = 0x80;
  } else if (b0 >= 0xE0 && b0 <= 0xEF) {
    length = 3, cp = b0 & 0x0F, lowest = 0x800;
  } else if (b0 >= 0xF0 && b0 <= 0xF4) {
    length = 4, cp = b0 & 0x07, lowest = 0x10000;
  } else {
    return 0;
  }
  if (text.size() - i < length) return 0;
  for (std::size_t k = 1; k < length; ++k) {
    const unsigned char b = byte(k);
    if ((b & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (b & 0x3F);
  }
  if (cp < lowest || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
  return length;
}

}  // namespace

std::size_t WideLength(const char16_t* text) {
  if (text == nullptr) return 0;
  std::size_t n = 0;
  while (text[n] != 0) ++n;
  return n;
}

std::u16string WideFrom(const char16_t* text) {
  return text == nullptr ? std::u16string() : std::u16string(text, WideLength(text));
}

void WideCopy(char16_t* dest, std::u16string_view source, std::size_t maxChars) {
  if (dest == nullptr) return;
  const std::size_t n = std::min(source.size(), maxChars);
  std::copy_n(source.data(), n, dest);
  dest[n] = 0;
}

void WideCopyAll(char16_t* dest, std::u16string_view source) {
  WideCopy(dest, source, source.size());
}

char16_t AsciiUpper(char16_t c) { return (c >= u'a' && c <= u'z') ? c - (u'a' - u'A') : c; }
char16_t AsciiLower(char16_t c) { return (c >= u'A' && c <= u'Z') ? c + (u'a' - u'A') : c; }

std::u16string AsciiUpper(std::u16string_view text) {
  std::u16string result(text);
  for (auto& c : result) c = AsciiUpper(c);
  return result;
}

std::u16string AsciiLower(std::u16string_view text) {
  std::u16string result(text);
  for (auto& c : result) c = AsciiLower(c);
  return result;
}

std::u16string Trim(std::u16string_view text) {
  std::size_t first = 0;
  while (first < text.size() && text[first] <= 32) ++first;
  return TrimRight(text.substr(first));
}

std::u16string TrimRight(std::u16string_view text) {
  std::size_t end = text.size();
  while (end > 0 && text[end - 1] <= 32) --end;
  return std::u16string(text.substr(0, end));
}

std::u16string IntToStr(std::int64_t value) {
  // Work on the magnitude as unsigned so that the lowest value has one too.
  std::uint64_t magnitude = value < 0 ? 0 - static_cast<std::uint64_t>(value)
                                      : static_cast<std::uint64_t>(value);
  char16_t digits[24];
  std::size_t n = 0;
  do {
    digits[n++] = static_cast<char16_t>(u'0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);
  if (value < 0) digits[n++] = u'-';
  std::reverse(digits, digits + n);
  return std::u16string(digits, n);
}

std::string ToUtf8(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    if (IsHighSurrogate(c) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) {
      AppendUtf8(out, 0x10000 + ((char32_t(c) - 0xD800) << 10) + (text[i + 1] - 0xDC00));
      ++i;
    } else if (c >= EscapeFirst && c <= EscapeLast) {
      out += static_cast<char>(c - EscapeBase);
    } else if (IsHighSurrogate(c) || IsLowSurrogate(c)) {
      AppendUtf8(out, 0xFFFD);
    } else {
      AppendUtf8(out, c);
    }
  }
  return out;
}

std::u16string FromUtf8(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    char32_t cp;
    const std::size_t length = SequenceAt(text, i, cp);
    if (length == 0) {
      out += static_cast<char16_t>(EscapeBase + static_cast<unsigned char>(text[i]));
      ++i;
    } else {
      AppendUtf16(out, cp);
      i += length;
    }
  }
  return out;
}

std::u16string FromLatin1(std::string_view text) {
  std::u16string out(text.size(), u'\0');
  std::transform(text.begin(), text.end(), out.begin(),
                 [](char c) { return static_cast<char16_t>(static_cast<unsigned char>(c)); });
  return out;
}

}  // namespace platform
