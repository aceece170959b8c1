// The calling thread's last error, as every failing layer call leaves it.
#pragma once

#include <string>

#include "platform/types.h"

namespace platform {

// Codes are errno values; a loader failure without one uses ErrorLoadFailed.
inline constexpr Cardinal ErrorSuccess = 0;
inline constexpr Cardinal ErrorLoadFailed = 0x10000;  // text kept from the loader

Cardinal GetLastError();
// Sets the code; detail (for example the loader's own text) is what
// LastErrorText reports for this code until the next SetLastError.
void SetLastError(Cardinal code, std::u16string detail = {});

// The system's message for a code, trailing characters of code 32 or less and
// trailing full stops removed.
std::u16string SystemMessage(Cardinal code);
// The message of the thread's last error: its detail when one was set, else
// SystemMessage of its code.
std::u16string LastErrorText();

}  // namespace platform
