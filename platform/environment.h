// Process environment variables.
#pragma once

#include <optional>
#include <string>

namespace platform {

// The value of a variable, or nothing when it is unset.
std::optional<std::u16string> GetEnvironmentVariable(const std::u16string& name);
// False (EINVAL) for an empty name, a name with "=" and a name or value with a
// zero character.
bool SetEnvironmentVariable(const std::u16string& name, const std::u16string& value);
bool UnsetEnvironmentVariable(const std::u16string& name);

}  // namespace platform
