// Tarnwick's command executor: reads the command line, runs the one
// operation it names, and writes the program's lines to standard output.
#pragma once

#include <cstdint>

#include "installer/trw_defs.h"
#include "platform/types.h"
#include "runtime/string_list.h"

namespace tarnwick {

class TMyProcessList;

// True for a name that is not relative to a directory: not empty, and
// starting with "/" or "\" or holding ":" anywhere.
bool IsAbsoluteName(const string& name);

class TCmdExecutor {
 public:
  TCMDInfo CMDInfo;
  string ErrorStr;  // the parser's or the current operation's failure; empty: none

  // The usage text, or the parse and the operation.  A parse failure or an
  // exception that escapes ends the process with exit code 1.
  void Execute();

  // The directory of the program's own file, without a trailing "/".
  static string ProgramDirectory();
  // A name that is not absolute, in the program directory (long form); an
  // absolute name unchanged.  The file list extends its names so too.
  static string ExtendFileName(const string& name);

 private:
  struct TSwitch {
    string SwitchText;  // empty: the parameter is no switch
    string Key;
    string Value;
  };

  bool ParseCommandLine();
  static TSwitch SplitSwitch(const string& param);
  static string UnquoteValue(const string& raw);
  void RunOperation();

  void WriteLogLine(const string& text);
  void WriteConsoleLine(const string& text);
  void ShowUsage();
  void FillUsage(rtl::TStringList& lines);

  // Where an operation's detail goes: out file trimmed empty or "console"
  // (any case) standard output, "no" nowhere, else that file.
  void OutputResult(const string& outFile, const string& text);
  // The answer of -chklock and -unlock: "error" with ErrorStr, else "nolock",
  // else "lock" with one line per process.
  void ReportLockingProcesses(const TMyProcessList& processes, const string& outFile, bool extendOut);

  // The operations.
  void CheckLockFiles(const string& inFile, const string& outFile, bool extendIn, bool extendOut);
  void UnLockFiles(const string& inFile, const string& outFile, bool extendIn, bool extendOut);
  void CheckDelFiles(const string& inFile, const string& outFile, bool extendIn);
  void RunProgram(string exeName, const string& exeParams, string workDir, bool extendExe,
                  bool wait, bool adminRights, bool checkExitCode, std::uint32_t& exitCode);
  void RunDll();  // the library call steps, with CMDInfo's FileName and FuncName
  // The text without its first and last character when it is longer than
  // one and both are `enclosing`; otherwise unchanged.
  static string StripEnclosing(const string& text, char16_t enclosing);
  void OwnTest();
};

}  // namespace tarnwick
