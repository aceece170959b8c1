#include "platform/regular_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/last_error.h"
#include "platform/os_name.h"

namespace platform {

bool ReadRegularFile(const std::u16string& path, std::string& contents) {
  contents.clear();
  std::string name;
  if (!ToOsName(path, name)) return false;
  // Opening a FIFO without O_NONBLOCK would wait for a writer.
  const int fd = ::open(name.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return FailWithErrno();
  struct stat st;
  bool read = ::fstat(fd, &st) == 0;
  if (read && !S_ISREG(st.st_mode)) {
    errno = EINVAL;
    read = false;
  }
  char buffer[64 * 1024];
  while (read) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n == 0) break;
    if (n < 0) {
      if (errno == EINTR) continue;
      read = false;
    } else {
      contents.append(buffer, static_cast<std::size_t>(n));
    }
  }
  const int error = errno;
  ::close(fd);
  if (read) return true;
  contents.clear();
  SetLastError(static_cast<Cardinal>(error));
  return false;
}

}  // namespace platform
