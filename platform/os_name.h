// Inside the layer only: a name in the form the OS takes it.
#pragma once

#include <string>
#include <string_view>

namespace platform {

// The UTF-8 form of a file name or similar; false (last error EINVAL) when
// it holds a zero character, at which the OS would silently cut it.
bool ToOsName(std::u16string_view name, std::string& osName);

// Sets the last error from errno and answers false.
bool FailWithErrno();

}  // namespace platform
