#include "platform/program.h"

#include <pthread.h>
#include <signal.h>

#include <cstdlib>
#include <iterator>

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

constexpr int TerminationSignals[] = {SIGHUP, SIGINT, SIGQUIT, SIGTERM};

}  // namespace

TTerminationHold::TTerminationHold() {
  sigset_t held, previous;
  sigemptyset(&held);
  for (const int signal : TerminationSignals) sigaddset(&held, signal);
  if (::pthread_sigmask(SIG_BLOCK, &held, &previous) != 0) return;
  for (unsigned i = 0; i < std::size(TerminationSignals); ++i)
    if (sigismember(&previous, TerminationSignals[i]) == 0) FHeld |= 1u << i;
}

TTerminationHold::~TTerminationHold() {
  sigset_t released;
  sigemptyset(&released);
  for (unsigned i = 0; i < std::size(TerminationSignals); ++i)
    if ((FHeld & 1u << i) != 0) sigaddset(&released, TerminationSignals[i]);
  ::pthread_sigmask(SIG_UNBLOCK, &released, nullptr);
}

void StartProgram(int argc, char** argv) {
  KeptArgv() = {argc, argv};
  SetDisposition(SIGPIPE, SIG_IGN);
  SetDisposition(SIGXFSZ, SIG_IGN);
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
