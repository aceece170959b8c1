// Starting programs and waiting for their end.
#pragma once

#include <optional>
#include <string>

#include "platform/types.h"

namespace platform {

// The exit code of a process that has not ended.  A child cannot end with it
// here: exit codes are 0 to 255, death by signal n reads as 128 + n.
inline constexpr Cardinal StillActive = 259;

// A program this process started.  It is not stopped when this goes away.
class TChildProcess {
 public:
  TChildProcess() = default;
  explicit TChildProcess(Cardinal id) : FId(id) {}

  Cardinal Id() const { return FId; }
  // Blocks until the child has ended and gives its exit code.  False (last
  // error) when its end cannot be learned, as when SIGCHLD is ignored and the
  // system has already reaped it (ECHILD).
  bool Wait(Cardinal& exitCode);
  // Without blocking: the exit code once the child has ended, StillActive
  // while it runs.
  bool ExitCode(Cardinal& exitCode);

 private:
  Cardinal FId = 0;
  std::optional<Cardinal> FExitCode;  // once it has been reaped
};

// Starts the program file, made absolute against the current directory (no
// search of PATH), with this process's environment.  Its argv[0] is the
// program text as given, the rest the parameters split by SplitCommandLine.
// Its standard input, output and error are this process's where they are a
// terminal, else /dev/null; no other descriptor is passed on; every signal
// has its default disposition and none is blocked.  An empty directory keeps
// the current one; a directory that does not exist makes the start fail.
// False with the last error when the program cannot be started.
bool StartProcess(const std::u16string& program, const std::u16string& parameters,
                  const std::u16string& directory, TChildProcess& child);

// Starts the program with administrator rights: possible only for a process
// that has them already (effective user id 0), where it is StartProcess;
// otherwise it fails with EPERM.  No helper program is involved.
bool StartProcessElevated(const std::u16string& program, const std::u16string& parameters,
                          const std::u16string& directory, TChildProcess& child);

}  // namespace platform
