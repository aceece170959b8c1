// Process environment variables.
#pragma once

#include <optional>
#include <string>

namespace platform {

// The value of a variable, or nothing when it is unset.
std::optional<std::u16string> GetEnvironmentVariable(const std::u16string& name);
bool SetEnvironmentVariable(const std::u16string& name, const std::u16string& value);

}  // namespace platform
