// Runs the built tarnwick program and collects what it wrote to standard
// output and how it ended.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

extern char** environ;

namespace tarnwick_test {

// Where the program's descriptor 1 goes.
enum class TStdout {
  Pipe,        // read by the test
  Closed,      // no descriptor 1 at all
  BrokenPipe,  // a pipe whose reader is gone
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
                        TStdout mode = TStdout::Pipe) {
  TRun run;
  std::vector<std::string> argStrings{TARNWICK_PATH};
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
  sigaddset(&defaults, SIGCHLD);
  posix_spawnattr_setsigdefault(&attributes, &defaults);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);
  pid_t pid = -1;
  const int spawned =
      ::posix_spawn(&pid, TARNWICK_PATH, &actions, &attributes, argv.data(), envp.data());
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

}  // namespace tarnwick_test
