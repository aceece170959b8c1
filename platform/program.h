// The program's own start and end: its parameters and the signal
// dispositions it runs with.
#pragma once

#include <string>
#include <vector>

namespace platform {

// Called first in main.  Keeps argv (decoded at first use), ignores SIGPIPE
// (a closed pipe on standard output must not kill the program) and SIGXFSZ
// (a write past the file-size limit fails instead of killing it), and gives
// SIGCHLD its default disposition (an inherited "ignore" would make the
// kernel reap started programs, so that waiting for one fails).
void StartProgram(int argc, char** argv);

// While it lives, the signals that ask the program to end (SIGHUP, SIGINT,
// SIGQUIT, SIGTERM) wait; one that arrived meanwhile takes effect when it
// ends.  For work that must not be left half done, such as files deleted
// and not yet put back.
class TTerminationHold {
 public:
  TTerminationHold();
  ~TTerminationHold();
  TTerminationHold(const TTerminationHold&) = delete;
  TTerminationHold& operator=(const TTerminationHold&) = delete;

 private:
  unsigned FHeld = 0;  // which of the signals this hold blocked
};

// argv[0..] as kept by StartProgram, decoded with the lossless UTF-8
// conversion at the first call (which must come after StartProgram).
const std::vector<std::u16string>& ProgramArguments();

// Ends the process with the exit code after flushing the C library's
// streams; the run's static objects are destroyed, objects on the stack are
// not.
[[noreturn]] void ExitProgram(int exitCode);

}  // namespace platform
