#include "platform/process_start.h"

#include <fcntl.h>
#include <pty.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/last_error.h"
#include "platform/text.h"
#include "child_process.h"
#include "temp_tree.h"

using namespace platform;
using platform_test::TChildReport;
using platform_test::TTempTree;

namespace {

const std::u16string ChildPath = FromUtf8(FIXTURE_DIR "/process/fixture_child");

std::string U8(const std::u16string& text) { return ToUtf8(text); }

// Runs the child to its end; false when it could not be started or waited for.
bool RunToEnd(const std::u16string& program, const std::u16string& parameters,
              const std::u16string& directory, Cardinal& exitCode) {
  TChildProcess child;
  return StartProcess(program, parameters, directory, child) && child.Wait(exitCode);
}

class TScopedDirectory {
 public:
  explicit TScopedDirectory(const std::u16string& path) : FPrevious(CurrentDirectory()) {
    FChanged = ::chdir(U8(path).c_str()) == 0;
  }
  ~TScopedDirectory() {
    if (FChanged) (void)::chdir(U8(FPrevious).c_str());
  }
  bool Changed() const { return FChanged; }

 private:
  std::u16string FPrevious;
  bool FChanged = false;
};

// What the child should see as descriptor fd of this process's: a terminal
// is passed on, anything else is /dev/null.
std::string ExpectedStdio(int fd) {
  if (::isatty(fd) != 1) return "/dev/null";
  char target[4096];
  const ssize_t n = ::readlink(("/proc/self/fd/" + std::to_string(fd)).c_str(), target, sizeof target);
  return std::string(target, n > 0 ? static_cast<std::size_t>(n) : 0);
}

TEST(StartProcess, GivesTheProgramTextAndTheSplitParameters) {
  TTempTree tree;
  ASSERT_TRUE(MakeDirectories(tree / u"bin dir"));
  ASSERT_TRUE(MakeDirectories(tree / u"work"));
  ASSERT_TRUE(CopyFile(ChildPath, tree / u"bin dir/child prog"));
  const std::u16string report = tree / u"report";
  // A relative program is found where this process stands, not in the
  // child's directory.
  const TScopedDirectory here(tree.Path());
  ASSERT_TRUE(here.Changed());
  Cardinal exitCode = 1;
  ASSERT_TRUE(RunToEnd(u"bin dir/child prog", u"report=" + report + u" \"a b\"  c\\\"d \"\" \\\\x",
                       tree / u"work", exitCode))
      << U8(LastErrorText());
  EXPECT_EQ(exitCode, 0u);
  const TChildReport seen(U8(report));
  EXPECT_EQ(seen.Args(), (std::vector<std::string>{"bin dir/child prog", "report=" + U8(report), "a b",
                                                   "c\"d", "", "\\\\x"}));
  EXPECT_EQ(seen.Value("cwd"), U8(tree / u"work"));
}

TEST(StartProcess, AnEmptyDirectoryKeepsTheCurrentOne) {
  TTempTree tree;
  const TScopedDirectory here(tree.Path());
  ASSERT_TRUE(here.Changed());
  Cardinal exitCode = 1;
  ASSERT_TRUE(RunToEnd(ChildPath, u"report=report", u"", exitCode)) << U8(LastErrorText());
  const TChildReport seen(U8(tree / u"report"));
  EXPECT_EQ(seen.Value("cwd"), U8(tree.Path()));
  EXPECT_EQ(seen.Args().size(), 2u);
}

TEST(StartProcess, FailsWithTheReasonWhenTheProgramCannotStart) {
  TTempTree tree;
  ASSERT_TRUE(WriteWholeFile(tree / u"plain", "#!/bin/sh\n", 10));
  const struct {
    std::u16string Program, Directory;
    int Error;
  } cases[] = {
      {tree / u"missing", u"", ENOENT},
      {u"", u"", ENOENT},
      {tree.Path(), u"", EACCES},       // a directory
      {tree / u"plain", u"", EACCES},   // not executable
      {ChildPath, tree / u"missing", ENOENT},
      {ChildPath, tree / u"plain", ENOTDIR},
      {ChildPath + std::u16string(u"\0x", 2), u"", EINVAL},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(U8(c.Program) + " in " + U8(c.Directory));
    TChildProcess child;
    EXPECT_FALSE(StartProcess(c.Program, u"exit=0", c.Directory, child));
    EXPECT_EQ(GetLastError(), static_cast<Cardinal>(c.Error)) << U8(LastErrorText());
  }
}

// A parent with SIGCHLD and SIGPIPE ignored, SIGUSR1 blocked and a
// descriptor open without close-on-exec starts its child clean.
TEST(StartProcess, GivesTheChildOnlyStandardDescriptorsAndDefaultSignals) {
  TTempTree tree;
  const int extra = ::open("/dev/null", O_RDONLY);  // inherited by default
  ASSERT_GE(extra, 3);
  sigset_t usr1, previousMask;
  sigemptyset(&usr1);
  sigaddset(&usr1, SIGUSR1);
  ASSERT_EQ(pthread_sigmask(SIG_BLOCK, &usr1, &previousMask), 0);
  auto* const previousChld = ::signal(SIGCHLD, SIG_IGN);
  auto* const previousPipe = ::signal(SIGPIPE, SIG_IGN);

  TChildProcess child;
  const bool started = StartProcess(ChildPath, u"report=" + (tree / u"report"), u"", child);
  Cardinal exitCode = 0;
  // With SIGCHLD ignored the system reaps the child itself: its end can
  // only be learned as a failure, not waited for forever.
  const bool waited = started && child.Wait(exitCode);
  const Cardinal waitError = GetLastError();

  ::signal(SIGPIPE, previousPipe);
  ::signal(SIGCHLD, previousChld);
  pthread_sigmask(SIG_SETMASK, &previousMask, nullptr);
  ::close(extra);

  ASSERT_TRUE(started) << U8(LastErrorText());
  EXPECT_FALSE(waited);
  EXPECT_EQ(waitError, static_cast<Cardinal>(ECHILD));
  const TChildReport seen(U8(tree / u"report"));
  ASSERT_TRUE(seen.Exists());
  EXPECT_EQ(seen.Value("fds"), "0 1 2");
  for (const int fd : {0, 1, 2}) EXPECT_EQ(seen.Value("stdio " + std::to_string(fd)), ExpectedStdio(fd));
  EXPECT_EQ(seen.Value("ignored"), "");
  EXPECT_EQ(seen.Value("blocked"), "");
}

TEST(StartProcess, PassesOnAStandardDescriptorThatIsATerminal) {
  int master = -1, terminal = -1;
  if (::openpty(&master, &terminal, nullptr, nullptr, nullptr) != 0)
    GTEST_SKIP() << "no pseudo-terminal: " << std::strerror(errno);
  char name[256] = {};
  ASSERT_EQ(::ttyname_r(terminal, name, sizeof name), 0);
  TTempTree tree;
  const int savedInput = ::dup(STDIN_FILENO);
  ASSERT_EQ(::dup2(terminal, STDIN_FILENO), STDIN_FILENO);
  Cardinal exitCode = 1;
  const bool ran = RunToEnd(ChildPath, u"report=" + (tree / u"report"), u"", exitCode);
  ::dup2(savedInput, STDIN_FILENO);
  ::close(savedInput);
  ::close(terminal);
  ::close(master);
  ASSERT_TRUE(ran) << U8(LastErrorText());
  const TChildReport seen(U8(tree / u"report"));
  EXPECT_EQ(seen.Value("stdio 0"), name);
  EXPECT_EQ(seen.Value("stdio 1"), ExpectedStdio(1));
}

TEST(ChildProcess, IsStillActiveUntilItEnds) {
  TChildProcess child;
  ASSERT_TRUE(StartProcess(ChildPath, u"sleep", u"", child)) << U8(LastErrorText());
  Cardinal exitCode = 0;
  ASSERT_TRUE(child.ExitCode(exitCode));
  EXPECT_EQ(exitCode, StillActive);
  ASSERT_EQ(::kill(static_cast<pid_t>(child.Id()), SIGKILL), 0);
  ASSERT_TRUE(child.Wait(exitCode));
  EXPECT_EQ(exitCode, 128u + SIGKILL);
  exitCode = 0;
  ASSERT_TRUE(child.ExitCode(exitCode)) << "its end is kept once learned";
  EXPECT_EQ(exitCode, 128u + SIGKILL);
}

TEST(StartProcessElevated, StartsOnlyWithAdministratorRights) {
  TChildProcess child;
  const bool started = StartProcessElevated(ChildPath, u"exit=4", u"", child);
  if (::geteuid() != 0) {
    EXPECT_FALSE(started);
    EXPECT_EQ(GetLastError(), static_cast<Cardinal>(EPERM));
    return;
  }
  ASSERT_TRUE(started) << U8(LastErrorText());
  Cardinal exitCode = 0;
  ASSERT_TRUE(child.Wait(exitCode));
  EXPECT_EQ(exitCode, 4u);
}

}  // namespace
