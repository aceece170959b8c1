#include "platform/last_error.h"

#include <string.h>

#include <algorithm>
#include <cerrno>

#include "platform/text.h"

namespace platform {

namespace {

// Trivially destructible on purpose: a thread_local with a destructor would
// register a per-thread exit handler that keeps the library that holds it
// from being unloaded by dlclose.
struct TLastError {
  Cardinal Code;
  std::uint32_t DetailLength;
  char16_t Detail[1024];
};

thread_local TLastError LastError{};

std::u16string WithoutTrailingNoise(std::u16string text) {
  while (!text.empty() && (text.back() <= 32 || text.back() == u'.')) text.pop_back();
  return text;
}

}  // namespace

Cardinal GetLastError() { return LastError.Code; }

void SetLastError(Cardinal code, std::u16string detail) {
  LastError.Code = code;
  const std::size_t n = std::min<std::size_t>(detail.size(), std::size(LastError.Detail));
  std::copy_n(detail.data(), n, LastError.Detail);
  LastError.DetailLength = static_cast<std::uint32_t>(n);
}

std::u16string SystemMessage(Cardinal code) {
  if (code == ErrorLoadFailed) return u"The module could not be loaded";
  char buffer[256];
  // The GNU variant returns the message, which need not be in the buffer.
  const char* text = strerror_r(static_cast<int>(code), buffer, sizeof buffer);
  return WithoutTrailingNoise(FromUtf8(text != nullptr ? text : ""));
}

std::u16string LastErrorText() {
  if (LastError.DetailLength != 0)
    return std::u16string(LastError.Detail, LastError.DetailLength);
  return SystemMessage(LastError.Code);
}

}  // namespace platform
