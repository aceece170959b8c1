#include "platform/regular_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/descriptor_io.h"
#include "platform/last_error.h"
#include "platform/os_name.h"

namespace platform {

bool ReadRegularFile(const std::u16string& path, std::string& contents) {
  contents.clear();
  std::string name;
  if (!ToOsName(path, name)) return false;
  // Opening a FIFO without O_NONBLOCK would wait for a writer.
  const TFd fd(::open(name.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
  if (!fd.Valid()) return FailWithErrno();
  struct stat st;
  if (::fstat(fd.Get(), &st) != 0) return FailWithErrno();
  if (!S_ISREG(st.st_mode)) {
    SetLastError(EINVAL);
    return false;
  }
  if (ReadAll(fd.Get(), contents)) return true;
  contents.clear();
  return FailWithErrno();
}

}  // namespace platform
