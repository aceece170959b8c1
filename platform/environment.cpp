#include "platform/environment.h"

#include <stdlib.h>

#include <cerrno>
#include <mutex>

#include "platform/last_error.h"
#include "platform/os_name.h"
#include "platform/text.h"

namespace platform {

namespace {

// getenv and setenv are not safe against each other; every use in this
// process goes through here.
std::mutex& EnvironmentLock() {
  static std::mutex lock;
  return lock;
}

bool ToVariableName(const std::u16string& name, std::string& osName) {
  if (name.empty() || name.find(u'=') != std::u16string::npos) {
    SetLastError(EINVAL);
    return false;
  }
  return ToOsName(name, osName);
}

}  // namespace

std::optional<std::u16string> GetEnvironmentVariable(const std::u16string& name) {
  std::string osName;
  if (!ToVariableName(name, osName)) return std::nullopt;
  const std::lock_guard guard(EnvironmentLock());
  const char* value = ::getenv(osName.c_str());
  if (value == nullptr) {
    SetLastError(ENOENT);
    return std::nullopt;
  }
  return FromUtf8(value);
}

bool SetEnvironmentVariable(const std::u16string& name, const std::u16string& value) {
  std::string osName, osValue;
  if (!ToVariableName(name, osName) || !ToOsName(value, osValue)) return false;
  const std::lock_guard guard(EnvironmentLock());
  return ::setenv(osName.c_str(), osValue.c_str(), 1) == 0 || FailWithErrno();
}

bool UnsetEnvironmentVariable(const std::u16string& name) {
  std::string osName;
  if (!ToVariableName(name, osName)) return false;
  const std::lock_guard guard(EnvironmentLock());
  return ::unsetenv(osName.c_str()) == 0 || FailWithErrno();
}

}  // namespace platform
