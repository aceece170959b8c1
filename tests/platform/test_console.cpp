#include "platform/console.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <thread>

#include "platform/text.h"

using namespace platform;

namespace {

// Points descriptor 1 at `fd` for the scope (or closes it for -1).
class TRedirectedStdout {
 public:
  explicit TRedirectedStdout(int fd) : FSaved(::dup(1)) {
    std::fflush(stdout);
    if (fd >= 0)
      ::dup2(fd, 1);
    else
      ::close(1);
  }
  ~TRedirectedStdout() {
    ::dup2(FSaved, 1);
    ::close(FSaved);
  }

 private:
  int FSaved;
};

std::string ReadAll(int fd) {
  std::string bytes;
  char buffer[65536];
  ssize_t n;
  while ((n = ::read(fd, buffer, sizeof buffer)) > 0) bytes.append(buffer, static_cast<std::size_t>(n));
  return bytes;
}

TEST(Console, WritesUtf8LosslesslyAndKeepsCrLf) {
  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  {
    const TRedirectedStdout redirect(fds[1]);
    // An escaped byte from the OS goes back out as that byte.
    WriteStandardOutput(u"a\u00E9\U0001F600\r\n" + std::u16string(1, char16_t(0xDCFF)) + u"\r\n");
    WriteStandardOutput(u"");
  }
  ::close(fds[1]);
  EXPECT_EQ(ReadAll(fds[0]), "a\xC3\xA9\xF0\x9F\x98\x80\r\n\xFF\r\n");
  ::close(fds[0]);
}

TEST(Console, ContinuesPartialWritesToAFullNonBlockingPipe) {
  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  ASSERT_EQ(::fcntl(fds[1], F_SETFL, O_NONBLOCK), 0);
  std::u16string text;
  for (int i = 0; text.size() < 1'000'000; ++i) text += IntToStr(i) + u"\r\n";
  std::string received;
  std::thread reader([&] { received = ReadAll(fds[0]); });
  {
    const TRedirectedStdout redirect(fds[1]);
    WriteStandardOutput(text);
  }
  ::close(fds[1]);
  reader.join();
  ::close(fds[0]);
  EXPECT_EQ(received.size(), text.size());
  EXPECT_TRUE(received == ToUtf8(text));
}

TEST(Console, AClosedStandardOutputDropsTheText) {
  const TRedirectedStdout redirect(-1);
  WriteStandardOutput(u"nobody reads this\r\n");
  FlushForeignOutput();
}

}  // namespace
