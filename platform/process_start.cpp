#include "platform/process_start.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "platform/command_line.h"
#include "platform/files.h"
#include "platform/last_error.h"
#include "platform/os_name.h"

extern char** environ;

namespace platform {

namespace {

Cardinal ExitCodeOf(int status) {
  if (WIFSIGNALED(status)) return 128 + static_cast<Cardinal>(WTERMSIG(status));
  return static_cast<Cardinal>(WEXITSTATUS(status));
}

class TSpawnActions {
 public:
  TSpawnActions() {
    FError = ::posix_spawn_file_actions_init(&FActions);
    FInitialised = FError == 0;
  }
  ~TSpawnActions() {
    if (FInitialised) ::posix_spawn_file_actions_destroy(&FActions);
  }
  TSpawnActions(const TSpawnActions&) = delete;
  TSpawnActions& operator=(const TSpawnActions&) = delete;

  // A terminal stays the child's; anything else (a pipe an installer reads,
  // a file, a closed descriptor) becomes /dev/null.
  void Standard(int fd) {
    if (::isatty(fd) == 1)
      Check(::posix_spawn_file_actions_adddup2(&FActions, fd, fd));  // clears close-on-exec
    else
      Check(::posix_spawn_file_actions_addopen(&FActions, fd, "/dev/null",
                                               fd == STDIN_FILENO ? O_RDONLY : O_WRONLY, 0));
  }
  void ChangeDirectory(const std::string& directory) {
    Check(::posix_spawn_file_actions_addchdir_np(&FActions, directory.c_str()));
  }
  void CloseFrom(int fd) { Check(::posix_spawn_file_actions_addclosefrom_np(&FActions, fd)); }

  int Error() const { return FError; }
  const posix_spawn_file_actions_t* Get() const { return &FActions; }

 private:
  void Check(int error) {
    if (FError == 0) FError = error;
  }

  posix_spawn_file_actions_t FActions;
  int FError = 0;
  bool FInitialised = false;
};

class TSpawnAttributes {
 public:
  TSpawnAttributes() {
    FError = ::posix_spawnattr_init(&FAttributes);
    if (FError != 0) return;
    FInitialised = true;
    sigset_t all, none;
    sigfillset(&all);
    sigemptyset(&none);
    FError = ::posix_spawnattr_setsigdefault(&FAttributes, &all);
    if (FError == 0) FError = ::posix_spawnattr_setsigmask(&FAttributes, &none);
    if (FError == 0)
      FError = ::posix_spawnattr_setflags(&FAttributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
  }
  ~TSpawnAttributes() {
    if (FInitialised) ::posix_spawnattr_destroy(&FAttributes);
  }
  TSpawnAttributes(const TSpawnAttributes&) = delete;
  TSpawnAttributes& operator=(const TSpawnAttributes&) = delete;

  int Error() const { return FError; }
  const posix_spawnattr_t* Get() const { return &FAttributes; }

 private:
  posix_spawnattr_t FAttributes;
  int FError = 0;
  bool FInitialised = false;
};

bool Fail(int error) {
  SetLastError(static_cast<Cardinal>(error));
  return false;
}

}  // namespace

bool TChildProcess::Wait(Cardinal& exitCode) {
  if (!FExitCode) {
    int status = 0;
    pid_t result;
    do result = ::waitpid(static_cast<pid_t>(FId), &status, 0);
    while (result < 0 && errno == EINTR);
    if (result < 0) return FailWithErrno();
    FExitCode = ExitCodeOf(status);
  }
  exitCode = *FExitCode;
  return true;
}

bool TChildProcess::ExitCode(Cardinal& exitCode) {
  if (!FExitCode) {
    int status = 0;
    const pid_t result = ::waitpid(static_cast<pid_t>(FId), &status, WNOHANG);
    if (result < 0) return FailWithErrno();
    if (result == 0) {
      exitCode = StillActive;
      return true;
    }
    FExitCode = ExitCodeOf(status);
  }
  exitCode = *FExitCode;
  return true;
}

bool StartProcess(const std::u16string& program, const std::u16string& parameters,
                  const std::u16string& directory, TChildProcess& child) {
  if (program.empty()) return Fail(ENOENT);
  // Absolute before the child changes its directory, so that a relative
  // program is found where this process stands.
  const std::u16string absolute = AbsolutePath(program);
  if (absolute.empty()) return false;
  std::string path, dir;
  std::vector<std::string> args(1);
  if (!ToOsName(absolute, path) || !ToOsName(program, args[0]) || !ToOsName(directory, dir))
    return false;
  for (const auto& parameter : SplitCommandLine(parameters)) {
    if (!ToOsName(parameter, args.emplace_back())) return false;
  }
  std::vector<char*> argv;
  for (auto& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);

  TSpawnActions actions;
  for (const int fd : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO}) actions.Standard(fd);
  if (!dir.empty()) actions.ChangeDirectory(dir);
  actions.CloseFrom(STDERR_FILENO + 1);  // also what this process inherited
  const TSpawnAttributes attributes;
  if (actions.Error() != 0) return Fail(actions.Error());
  if (attributes.Error() != 0) return Fail(attributes.Error());

  pid_t id = 0;
  const int error = ::posix_spawn(&id, path.c_str(), actions.Get(), attributes.Get(), argv.data(), environ);
  if (error != 0) return Fail(error);
  child = TChildProcess(static_cast<Cardinal>(id));
  return true;
}

bool StartProcessElevated(const std::u16string& program, const std::u16string& parameters,
                          const std::u16string& directory, TChildProcess& child) {
  if (::geteuid() != 0) return Fail(EPERM);
  return StartProcess(program, parameters, directory, child);
}

}  // namespace platform
