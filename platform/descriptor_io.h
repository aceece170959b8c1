// Owning and using file descriptors, shared by the layer's file services.
// Internal to platform/: the rest of the system never sees a descriptor.
#pragma once

#include <unistd.h>

#include <cstddef>
#include <string>
#include <utility>

namespace platform {

// Closes on scope exit; Release() hands the descriptor over.
class TFd {
 public:
  explicit TFd(int fd = -1) : FFd(fd) {}
  ~TFd() {
    if (FFd >= 0) ::close(FFd);
  }
  TFd(const TFd&) = delete;
  TFd& operator=(const TFd&) = delete;
  int Get() const { return FFd; }
  bool Valid() const { return FFd >= 0; }
  // Closes now and reports whether the close (which may flush) succeeded.
  bool Close() {
    const int fd = FFd;
    FFd = -1;
    return ::close(fd) == 0;
  }
  void Reset(int fd) {
    if (FFd >= 0) ::close(FFd);
    FFd = fd;
  }
  int Release() { return std::exchange(FFd, -1); }

 private:
  int FFd;
};

// Writes every byte, going on after partial writes and interruptions; a
// write that makes no progress fails with EIO.
bool WriteAll(int fd, const void* data, std::size_t size);

// Appends what is left to read, to the end rather than to a size (files
// under /proc say 0); on failure errno tells why and `contents` holds what
// was read so far.
bool ReadAll(int fd, std::string& contents);

}  // namespace platform
