#include "platform/program.h"

#include <signal.h>

#include <cstdlib>

#include "platform/text.h"

namespace platform {

namespace {

struct TArgv {
  int Count = 0;
  char** Values = nullptr;
};

TArgv& KeptArgv() {
  static TArgv argv;
  return argv;
}

void SetDisposition(int signal, void (*handler)(int)) {
  struct sigaction action {};
  action.sa_handler = handler;
  sigemptyset(&action.sa_mask);
  ::sigaction(signal, &action, nullptr);
}

}  // namespace

void StartProgram(int argc, char** argv) {
  KeptArgv() = {argc, argv};
  SetDisposition(SIGPIPE, SIG_IGN);
  SetDisposition(SIGCHLD, SIG_DFL);
}

const std::vector<std::u16string>& ProgramArguments() {
  // Decoded here rather than in StartProgram, so that a failure to decode
  // arrives inside the caller's exception handling.
  static const std::vector<std::u16string> arguments = [] {
    const TArgv& argv = KeptArgv();
    std::vector<std::u16string> decoded;
    for (int i = 0; i < argv.Count && argv.Values[i] != nullptr; ++i)
      decoded.push_back(FromUtf8(argv.Values[i]));
    return decoded;
  }();
  return arguments;
}

void ExitProgram(int exitCode) { std::exit(exitCode); }

}  // namespace platform
