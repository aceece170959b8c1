// Code-page conversion between 8-bit text and UTF-16.
#pragma once

#include <string>
#include <string_view>

#include "platform/types.h"

namespace platform {

inline constexpr Cardinal CodePageUtf8 = 65001;
inline constexpr Cardinal CodePage1252 = 1252;
// Stands for whatever AnsiCodePage() currently is.
inline constexpr Cardinal CodePageAnsi = 0;

// The system's ANSI code page: UTF-8 here, unless a ScopedAnsiCodePage
// overrides it for the process.
Cardinal AnsiCodePage();

// Overrides the process-wide ANSI code page while it lives (tests only).
class ScopedAnsiCodePage {
 public:
  explicit ScopedAnsiCodePage(Cardinal codePage);
  ~ScopedAnsiCodePage();
  ScopedAnsiCodePage(const ScopedAnsiCodePage&) = delete;
  ScopedAnsiCodePage& operator=(const ScopedAnsiCodePage&) = delete;

 private:
  Cardinal FPrevious;
};

// Supported code pages: 65001 and 1252 (an unknown one is treated as 1252;
// CodePageAnsi is resolved first).  65001 converts like ToUtf8/FromUtf8, so
// invalid bytes survive a round trip.  A character that code page 1252
// cannot encode becomes "?".
std::u16string MultiByteToWide(Cardinal codePage, std::string_view text);
std::string WideToMultiByte(Cardinal codePage, std::u16string_view text);

}  // namespace platform
