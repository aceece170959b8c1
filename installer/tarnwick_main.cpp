// Tarnwick: the console program an installer runs once per operation.
#include "installer/trw_exec.h"
#include "platform/program.h"

int main(int argc, char** argv) {
  platform::StartProgram(argc, argv);
  tarnwick::TCmdExecutor executor;
  executor.Execute();
  return 0;
}
