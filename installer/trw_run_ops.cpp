// The operations that start a program (-run) and call a library procedure
// (-dll).
#include <exception>

#include "installer/base_func.h"
#include "installer/trw_exec.h"
#include "installer/win_utils.h"
#include "platform/command_line.h"
#include "platform/console.h"
#include "platform/files.h"
#include "platform/program.h"
#include "platform/text.h"
#include "runtime/exceptions.h"

namespace tarnwick {

void TCmdExecutor::RunProgram(string exeName, const string& exeParams, string workDir, bool extendExe,
                              bool wait, bool adminRights, bool checkExitCode, std::uint32_t& exitCode) {
  ErrorStr.clear();
  try {
    if (extendExe) exeName = ExtendFileName(exeName);
    // ASCII lowering finds "current" exactly as the locale's would: no other
    // character lowers to one of its letters.
    if (platform::AsciiLower(platform::Trim(workDir)) == u"current") workDir = ProgramDirectory();
    if (adminRights)
      RunExe_Admin(exeName, exeParams, workDir, exitCode, ErrorStr, wait);
    else
      RunExe(exeName, exeParams, workDir, exitCode, ErrorStr, wait);
  } catch (const std::exception& e) {
    const rtl::TExceptionText text = rtl::DescribeException(e);
    ErrorStr = text.ClassName + u": " + text.Message;
  }
  if (checkExitCode) {
    platform::WriteStandardOutput(u"ExitCode=" + platform::IntToStr(exitCode));
  } else if (!ErrorStr.empty()) {
    WriteConsoleLine(u"error");
    WriteConsoleLine(u" " + ErrorStr);
  } else {
    WriteConsoleLine(u"ok");
  }
}

void TCmdExecutor::RunDll() {
  WriteLogLine(u"Cmd = " + platform::JoinCommandLine(platform::ProgramArguments()));
  string fileName = StripEnclosing(CMDInfo.FileName, u'\\');
  // The loader searches its own paths for every name without "/", so only
  // such a name decides whether the library is the one beside the program.
  if (fileName.find(platform::PathDelim) == string::npos)
    fileName = ProgramDirectory() + platform::PathDelim + fileName;
  WriteLogLine(u"Begin run dll (" + fileName + u")->(" + CMDInfo.FuncName + u")");
  CallSimpleFunction(fileName, CMDInfo.FuncName);
  WriteLogLine(u"End run dll.");
}

string TCmdExecutor::StripEnclosing(const string& text, char16_t enclosing) {
  if (text.size() > 1 && text.front() == enclosing && text.back() == enclosing)
    return text.substr(1, text.size() - 2);
  return text;
}

}  // namespace tarnwick
