// UTF-16 text helpers, and the conversion to and from the platform's UTF-8.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/types.h"

namespace platform {

// Length of a zero-terminated UTF-16 text; 0 for nil.
std::size_t WideLength(const char16_t* text);

// The text of a zero-terminated UTF-16 buffer; nil gives the empty text.
std::u16string WideFrom(const char16_t* text);

// Writes at most maxChars characters of source into dest, then a terminator
// (dest must hold maxChars + 1 characters).  Nil dest writes nothing.
void WideCopy(char16_t* dest, std::u16string_view source, std::size_t maxChars);

// Writes the whole of source and a terminator.  Nil dest writes nothing.
void WideCopyAll(char16_t* dest, std::u16string_view source);

// ASCII-only case mapping: A-Z <-> a-z, every other character unchanged.
char16_t AsciiUpper(char16_t c);
char16_t AsciiLower(char16_t c);
std::u16string AsciiUpper(std::u16string_view text);
std::u16string AsciiLower(std::u16string_view text);

// Without leading and trailing characters of code 32 or less.
std::u16string Trim(std::u16string_view text);
std::u16string TrimRight(std::u16string_view text);

// Decimal text of a number, with a minus sign when negative.
std::u16string IntToStr(std::int64_t value);

// UTF-16 <-> UTF-8 at the OS boundary, lossless for names read from the OS:
// a byte that is not part of valid UTF-8 becomes U+DC80 + byte and converts
// back to the same byte.  Unpaired surrogates otherwise become U+FFFD.
std::string ToUtf8(std::u16string_view text);
std::u16string FromUtf8(std::string_view text);

// Plain ASCII (or Latin-1) bytes widened one to one; for literals and
// symbol names.
std::u16string FromLatin1(std::string_view text);

}  // namespace platform
