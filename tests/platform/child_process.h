// A fixture program run as a child of the test, with pipes to its standard
// input and output.  Closing its input is how a fixture is told to end;
// every wait here ends when the child writes or ends, never after a time.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/text.h"

extern char** environ;

namespace platform_test {

class TChild {
 public:
  // Runs argv[0] (a path) with the given arguments; with ownSession it runs
  // in a session of its own, so that nothing it signals as a group reaches
  // the test.
  explicit TChild(const std::vector<std::string>& argv, bool ownSession = false) {
    int input[2], output[2];
    if (::pipe2(input, O_CLOEXEC) != 0) return;
    if (::pipe2(output, O_CLOEXEC) != 0) {
      ::close(input[0]), ::close(input[1]);
      return;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, input[0], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, output[1], STDOUT_FILENO);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    if (ownSession) posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID);
    std::vector<std::string> args = argv;
    std::vector<char*> pointers;
    for (auto& arg : args) pointers.push_back(arg.data());
    pointers.push_back(nullptr);
    pid_t id = 0;
    if (::posix_spawn(&id, args[0].c_str(), &actions, &attributes, pointers.data(), environ) == 0) FId = id;
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    ::close(input[0]);
    ::close(output[1]);
    FInput = input[1];
    FOutput = output[0];
  }
  ~TChild() {
    CloseInput();
    if (FId > 0 && !FReaped) {
      ::kill(FId, SIGKILL);
      Wait();
    }
    if (FOutput >= 0) ::close(FOutput);
  }
  TChild(const TChild&) = delete;
  TChild& operator=(const TChild&) = delete;

  bool Started() const { return FId > 0; }
  std::uint32_t Id() const { return static_cast<std::uint32_t>(FId); }

  // The next line of its output without the line break; "" once it ends.
  std::string ReadLine() {
    std::string line;
    char c;
    while (::read(FOutput, &c, 1) == 1 && c != '\n') line += c;
    return line;
  }
  // Everything it writes until it closes its output (normally: until it ends).
  std::string ReadAll() {
    std::string text;
    char buffer[4096];
    ssize_t n;
    while ((n = ::read(FOutput, buffer, sizeof buffer)) > 0) text.append(buffer, static_cast<size_t>(n));
    return text;
  }
  void CloseInput() {
    if (FInput >= 0) ::close(FInput);
    FInput = -1;
  }
  // Reaps it; its wait status.
  int Wait() {
    if (!FReaped) {
      while (::waitpid(FId, &FStatus, 0) < 0 && errno == EINTR) {
      }
      FReaped = true;
    }
    return FStatus;
  }
  // Blocks until it has ended, without reaping it.
  void WaitForEnd() const {
    siginfo_t info{};
    while (::waitid(P_PID, static_cast<id_t>(FId), &info, WEXITED | WNOWAIT) < 0 && errno == EINTR) {
    }
  }
  // Whether it is still running (it has not ended, not even as a zombie).
  bool Running() const {
    siginfo_t info{};
    return ::waitid(P_PID, static_cast<id_t>(FId), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
           info.si_pid == 0;
  }

 private:
  pid_t FId = -1;
  int FInput = -1;
  int FOutput = -1;
  int FStatus = 0;
  bool FReaped = false;
};

// fixture_mapper holding a file mapped ("dlopen" or "mmap"), or nothing;
// ready once the constructor returns.
inline const std::string MapperPath = FIXTURE_DIR "/process/fixture_mapper";

class TMapper : public TChild {
 public:
  TMapper() : TChild({MapperPath}) { FReady = ReadLine() == "ready"; }
  TMapper(const std::string& how, const std::u16string& file) : TChild({MapperPath, how, platform::ToUtf8(file)}) {
    FReady = ReadLine() == "ready";
  }
  bool Ready() const { return FReady; }

 private:
  bool FReady = false;
};

// process_driver: terminates processes from a process of its own.
inline const std::string DriverPath = FIXTURE_DIR "/process/process_driver";

// The start of a command line that runs a program as another user (no
// supplementary groups), with the given further setpriv options.
inline std::vector<std::string> AsUser(unsigned id, std::vector<std::string> options = {}) {
  std::vector<std::string> args{"/usr/bin/setpriv", "--reuid=" + std::to_string(id),
                                "--regid=" + std::to_string(id), "--clear-groups"};
  args.insert(args.end(), options.begin(), options.end());
  return args;
}

inline std::vector<std::string> Joined(std::vector<std::string> first, const std::vector<std::string>& rest) {
  first.insert(first.end(), rest.begin(), rest.end());
  return first;
}

// Whether programs can be started as other users here: as root, with a
// setpriv that works.  `why` says what is missing.
inline bool CanRunAsOtherUsers(std::string& why) {
  if (::geteuid() != 0) {
    why = "starting programs as another user needs root";
    return false;
  }
  TChild probe(Joined(AsUser(65534), {"/bin/true"}));
  if (!probe.Started() || probe.Wait() != 0) {
    why = "setpriv cannot start a program as user nobody";
    return false;
  }
  return true;
}

inline bool KilledBy(int status, int signal) { return WIFSIGNALED(status) && WTERMSIG(status) == signal; }

}  // namespace platform_test

namespace platform_test {

// What fixture_child wrote with report=<file>: its lines by their first word.
class TChildReport {
 public:
  explicit TChildReport(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "r");
    if (file == nullptr) return;
    char buffer[8192];
    while (std::fgets(buffer, sizeof buffer, file) != nullptr) {
      std::string line(buffer);
      if (!line.empty() && line.back() == '\n') line.pop_back();
      FLines.push_back(line);
    }
    std::fclose(file);
  }
  bool Exists() const { return !FLines.empty(); }
  // The arguments, argv[0] first, escapes undone.
  std::vector<std::string> Args() const {
    std::vector<std::string> args;
    for (const auto& line : FLines) {
      if (line.rfind("arg ", 0) != 0) continue;
      const std::string text = line.substr(line.find(' ', 4) + 1);
      std::string arg;
      for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size()) arg += text[++i] == 'n' ? '\n' : text[i];
        else arg += text[i];
      }
      args.push_back(arg);
    }
    return args;
  }
  // The rest of the first line that starts with key and a blank ("" for a
  // line of only the key).
  std::string Value(const std::string& key) const {
    for (const auto& line : FLines) {
      if (line == key) return "";
      if (line.rfind(key + " ", 0) == 0) return line.substr(key.size() + 1);
    }
    return "<missing " + key + ">";
  }

 private:
  std::vector<std::string> FLines;
};

}  // namespace platform_test
