#include "platform/console.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>

#include "platform/text.h"

namespace platform {

namespace {

constexpr int StandardOutput = 1;
constexpr int StandardError = 2;

// False when the descriptor cannot take more (it failed, or never becomes
// writable).
bool WaitWritable(int fd) {
  pollfd entry{fd, POLLOUT, 0};
  int ready;
  do ready = ::poll(&entry, 1, -1);
  while (ready < 0 && errno == EINTR);
  return ready > 0 && (entry.revents & (POLLERR | POLLNVAL)) == 0;
}

void WriteWhole(int fd, std::u16string_view text) {
  const std::string bytes = ToUtf8(text);
  const char* p = bytes.data();
  std::size_t left = bytes.size();
  while (left > 0) {
    const ssize_t n = ::write(fd, p, left);
    if (n > 0) {
      p += n;
      left -= static_cast<std::size_t>(n);
    } else if (n < 0 && errno == EINTR) {
      continue;
    } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK) && WaitWritable(fd)) {
      continue;
    } else {
      return;
    }
  }
}

}  // namespace

void WriteStandardOutput(std::u16string_view text) { WriteWhole(StandardOutput, text); }

void WriteStandardError(std::u16string_view text) { WriteWhole(StandardError, text); }

void FlushForeignOutput() { std::fflush(stdout); }

}  // namespace platform
