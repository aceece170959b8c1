// Runs the built tarnwick program and collects what it wrote to standard
// output and how it ended.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <string>
#include <string_view>
#include <vector>

extern char** environ;

namespace tarnwick_test {

// Where the program's descriptor 1 goes.
enum class TStdout {
  Pipe,        // read by the test
  Closed,      // no descriptor 1 at all
  BrokenPipe,  // a pipe whose reader is gone
};

// How the program is started, beyond its arguments.
struct TStartup {
  std::string Program = TARNWICK_PATH;  // a copy elsewhere has another program directory
  bool SigchldIgnored = false;          // as a careless parent leaves it
  std::string ErrorPath;                // a file for its standard error; empty: the test's
};

struct TRun {
  std::string Out;   // the bytes on standard output
  int ExitCode = -1;
  int Signal = 0;    // the signal that ended it, 0 when it exited
};

// This process's environment with `overrides` ("NAME=value") in place of
// the variables of the same name.
inline std::vector<std::string> ChildEnvironment(const std::vector<std::string>& overrides) {
  std::vector<std::string> env(overrides);
  for (char** entry = environ; *entry != nullptr; ++entry) {
    const std::string variable(*entry);
    const std::string name = variable.substr(0, variable.find('=') + 1);
    bool replaced = false;
    for (const auto& o : overrides) replaced = replaced || o.compare(0, name.size(), name) == 0;
    if (!replaced) env.push_back(variable);
  }
  return env;
}

inline TRun RunTarnwick(const std::vector<std::string>& args,
                        const std::vector<std::string>& envOverrides = {},
                        TStdout mode = TStdout::Pipe, const TStartup& startup = {}) {
  TRun run;
  std::vector<std::string> argStrings{startup.Program};
  argStrings.insert(argStrings.end(), args.begin(), args.end());
  const std::vector<std::string> envStrings = ChildEnvironment(envOverrides);
  std::vector<char*> argv, envp;
  for (const auto& a : argStrings) argv.push_back(const_cast<char*>(a.c_str()));
  for (const auto& e : envStrings) envp.push_back(const_cast<char*>(e.c_str()));
  argv.push_back(nullptr);
  envp.push_back(nullptr);

  int fds[2] = {-1, -1};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (!startup.ErrorPath.empty())
    posix_spawn_file_actions_addopen(&actions, 2, startup.ErrorPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  if (mode == TStdout::Closed) {
    posix_spawn_file_actions_addclose(&actions, 1);
  } else {
    if (::pipe2(fds, O_CLOEXEC) != 0) return run;
    posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
    if (mode == TStdout::BrokenPipe) {
      ::close(fds[0]);
      fds[0] = -1;
    }
  }
  // The program must not rely on dispositions that the test runner left.
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t defaults;
  sigemptyset(&defaults);
  sigaddset(&defaults, SIGPIPE);
  if (!startup.SigchldIgnored) sigaddset(&defaults, SIGCHLD);
  posix_spawnattr_setsigdefault(&attributes, &defaults);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);
  // An ignored disposition is inherited; this process takes it back at once,
  // before the program can end, so that its end can still be waited for.
  struct sigaction ignore {}, previous {};
  ignore.sa_handler = SIG_IGN;
  if (startup.SigchldIgnored) ::sigaction(SIGCHLD, &ignore, &previous);
  pid_t pid = -1;
  const int spawned =
      ::posix_spawn(&pid, startup.Program.c_str(), &actions, &attributes, argv.data(), envp.data());
  if (startup.SigchldIgnored) ::sigaction(SIGCHLD, &previous, nullptr);
  posix_spawnattr_destroy(&attributes);
  posix_spawn_file_actions_destroy(&actions);
  if (fds[1] >= 0) ::close(fds[1]);
  if (fds[0] >= 0) {
    char buffer[4096];
    ssize_t n;
    while ((n = ::read(fds[0], buffer, sizeof buffer)) > 0) run.Out.append(buffer, static_cast<std::size_t>(n));
    ::close(fds[0]);
  }
  if (spawned != 0) return run;
  int status = 0;
  ::waitpid(pid, &status, 0);
  if (WIFEXITED(status)) run.ExitCode = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) run.Signal = WTERMSIG(status);
  return run;
}

// The arguments as a test's trace shows them: each in brackets.
inline std::string Joined(const std::vector<std::string>& args) {
  std::string text;
  for (const auto& a : args) text += (text.empty() ? "" : " ") + ("[" + a + "]");
  return text;
}

// A log stamp, ":" being the time separator; "9" stands for a digit.
inline constexpr std::string_view StampShape = "[99:99:9999 99:99:99] ";

inline bool HasStamp(const std::string& line) {
  const std::string_view Shape = StampShape;
  if (line.size() < Shape.size()) return false;
  for (std::size_t i = 0; i < Shape.size(); ++i)
    if (Shape[i] == '9' ? !std::isdigit(static_cast<unsigned char>(line[i])) : line[i] != Shape[i])
      return false;
  return true;
}

// The output with every stamp at the start of a line written as "[T] ";
// a stamp of the wrong shape stays and fails the comparison.  Lines end at
// LF, so that a called library's lines without CR count as lines too.
inline std::string WithoutStamps(const std::string& out) {
  std::string result;
  std::size_t start = 0;
  while (start < out.size()) {
    std::size_t end = out.find('\n', start);
    end = end == std::string::npos ? out.size() : end + 1;
    std::string line = out.substr(start, end - start);
    if (HasStamp(line)) line = "[T] " + line.substr(StampShape.size());
    result += line;
    start = end;
  }
  return result;
}

}  // namespace tarnwick_test
