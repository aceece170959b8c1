#include "installer/win_utils.h"

#include "installer/sys_utils.h"
#include "platform/files.h"
#include "platform/last_error.h"
#include "platform/process_start.h"
#include "platform/processes.h"
#include "platform/text.h"
#include "runtime/exceptions.h"

namespace tarnwick {

namespace {

// "<message> (<what> (<program>)(<parameters>): <code>)" for the last error,
// whose code becomes the exit code.
bool Failed(const char16_t* what, const string& program, const string& parameters, Cardinal& exitCode,
            string& errorText) {
  const Cardinal code = platform::GetLastError();
  exitCode = code;
  errorText = platform::SystemMessage(code) + u" (" + what + u" (" + program + u")(" + parameters +
              u"): " + platform::IntToStr(code) + u")";
  return false;
}

}  // namespace

void TMyProcessList::Clear() {
  while (!FList.empty()) FList.pop_back();
}

void TMyProcessList::AddProcess(const TProcessInfo& Info) {
  auto& process = FList.emplace_back(std::make_unique<TMyProcess>());
  process->ProcessName = Info.ProcessName;
  process->ProcessID = static_cast<Cardinal>(Info.ProcessID);
  process->WindowCaption = Info.WindowCaption;
  process->StartTime = Info.StartTime;
}

string TMyProcessList::LogInfo() const {
  string text = u"LockCount: " + platform::IntToStr(Count());
  for (const auto& process : FList)
    text += u"\r\n " + process->ProcessName + u" | " + platform::IntToStr(process->ProcessID) + u" | " +
            process->WindowCaption;
  return text;
}

string TMyProcessList::OutputProcessNames(const string& sPrefix, const string& sPostfix,
                                          bool bExtendOutFileNames) const {
  string text;
  for (const auto& process : FList)
    text += sPrefix + (bExtendOutFileNames ? process->ProcessName : platform::ExtractFileName(process->ProcessName)) +
            sPostfix;
  return text;
}

TMyProcess& TMyProcessList::GetItems(Integer Index) const {
  if (Index < 0 || Index >= Count())
    throw rtl::EListError(u"List index out of bounds (" + platform::IntToStr(Index) + u")");
  return *FList[static_cast<std::size_t>(Index)];
}

void FindLockingProcesses(const rtl::TStringList& files, TMyProcessList& processes) {
  processes.Clear();
  TProcessSearcher searcher;
  for (const auto& file : files) searcher.ModulsToFind.Add(file.Text);
  searcher.ProcessToSearch.clear();
  searcher.SearchProcesses();
  for (const auto& info : searcher.Processes) processes.AddProcess(*info);
}

bool RunExe(const string& program, const string& parameters, const string& directory, Cardinal& exitCode,
            string& errorText, bool wait) {
  errorText.clear();
  exitCode = 0;
  platform::TChildProcess child;
  if (!platform::StartProcess(program, parameters, directory, child))
    return Failed(u"Error create process", program, parameters, exitCode, errorText);
  if (wait && !child.Wait(exitCode))
    return Failed(u"Error query process", program, parameters, exitCode, errorText);
  return true;
}

bool RunExe_Admin(const string& program, const string& parameters, const string& directory,
                  Cardinal& exitCode, string& errorText, bool wait) {
  exitCode = 0;
  platform::TChildProcess child;
  if (!platform::StartProcessElevated(program, parameters, directory, child))
    return Failed(u"Error admin-execute", program, parameters, exitCode, errorText);
  if (!(wait ? child.Wait(exitCode) : child.ExitCode(exitCode)))
    return Failed(u"Error query process", program, parameters, exitCode, errorText);
  return true;
}

bool KillProcess(Cardinal processId, std::uint64_t startTime) {
  if (platform::TerminateProcess(processId, startTime)) return true;
  if (platform::GetLastError() != platform::ErrorNotPermitted) return false;
  // Refused: again with the right to signal any process, where it is
  // permitted but not in effect.
  const platform::TKillCapability capability;
  return capability.Raised() && platform::TerminateProcess(processId, startTime);
}

string LongPathName(const string& path) {
  // There are no short names, so the long form of a name is the name, and a
  // name that does not exist is kept too.
  return path;
}

void SplitToList(const string& text, char16_t separator, rtl::TStringList& list) {
  list.Clear();
  string rest = text;
  while (!rest.empty()) list.Add(SplitStr(rest, separator, false));
}

void TrimList(rtl::TStringList& list) {
  for (Integer i = list.Count() - 1; i >= 0; --i) {
    const string trimmed = platform::Trim(list[i]);
    if (trimmed.empty())
      list.Delete(i);
    else
      list.SetString(i, trimmed);
  }
}

}  // namespace tarnwick
