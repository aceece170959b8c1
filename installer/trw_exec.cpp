#include "installer/trw_exec.h"

#include <algorithm>
#include <exception>
#include <iterator>
#include <string_view>
#include <vector>

#include "installer/pel_sys_tools.h"
#include "installer/sys_utils.h"
#include "installer/usage_text.h"
#include "installer/win_utils.h"
#include "platform/console.h"
#include "platform/files.h"
#include "platform/local_time.h"
#include "platform/program.h"
#include "platform/regional_settings.h"
#include "platform/text.h"
#include "runtime/exceptions.h"
#include "runtime/guard.h"
#include "runtime/str_to_int.h"

namespace tarnwick {

namespace {

constexpr struct {
  std::u16string_view Key;
  TOpType Operation;
} OperationKeys[] = {
    {u"dll", TOpType::otRunDLL},       {u"chklock", TOpType::otCheckLockFiles},
    {u"unlock", TOpType::otUnLockFiles}, {u"chkdel", TOpType::otCheckDelFiles},
    {u"run", TOpType::otRunExe},       {u"test", TOpType::otTest},
};

// An option sets a text field to its value, or a flag whatever its value.
constexpr struct {
  std::u16string_view Key;
  string TCMDInfo::*Text;
  bool TCMDInfo::*Flag;
} Options[] = {
    {u"n", &TCMDInfo::FileName, nullptr},
    {u"f", &TCMDInfo::FuncName, nullptr},
    {u"in", &TCMDInfo::InFile, nullptr},
    {u"out", &TCMDInfo::OutFile, nullptr},
    {u"exe", &TCMDInfo::ExeName, nullptr},
    {u"dir", &TCMDInfo::WorkDir, nullptr},
    {u"prm", &TCMDInfo::ExeParams, nullptr},
    {u"extin", nullptr, &TCMDInfo::bExtendInFileNames},
    {u"extout", nullptr, &TCMDInfo::bExtendOutFileNames},
    {u"extexe", nullptr, &TCMDInfo::bExtendExeFileName},
    {u"wait", nullptr, &TCMDInfo::bWait},
    {u"admin", nullptr, &TCMDInfo::bAdminRights},
    {u"checkexit", nullptr, &TCMDInfo::bCheckExitCode},
};

bool IsUsageRequest(const std::vector<string>& arguments) {
  return arguments.size() <= 1 ||
         (arguments.size() == 2 && (arguments[1] == u"-?" || arguments[1] == u"/?"));
}

// "[dd:mm:yyyy hh:nn:ss] ", each ":" being the regional time separator.
string LogTimeStamp() {
  const platform::TLocalTime now = platform::LocalTime();
  const string separator(1, platform::RegionalSettings().TimeSeparator);
  return u"[" + PadNumber(now.Day, 2) + separator + PadNumber(now.Month, 2) + separator +
         PadNumber(now.Year, 4) + u" " + PadNumber(now.Hour, 2) + separator +
         PadNumber(now.Minute, 2) + separator + PadNumber(now.Second, 2) + u"] ";
}

// Class name and message of the exception being handled.
string CurrentExceptionText() {
  const rtl::TExceptionText text = rtl::DescribeCurrentException();
  return text.ClassName + u" : " + text.Message;
}

}  // namespace

bool IsAbsoluteName(const string& name) {
  return !name.empty() && (name[0] == u'/' || name[0] == u'\\' || name.find(u':') != string::npos);
}

void TCmdExecutor::Execute() {
  const bool succeeded = rtl::GuardedOr(
      [this] {
        if (IsUsageRequest(platform::ProgramArguments())) {
          ShowUsage();
          return true;
        }
        if (ParseCommandLine()) {
          RunOperation();
          return true;
        }
        WriteLogLine(u"");
        WriteLogLine(ErrorStr);
        WriteLogLine(u"Help available by switch \"/?\"");
        return false;
      },
      [this] {
        // A report that fails in turn still ends the run with exit code 1.
        rtl::Guarded([this] { WriteLogLine(u"Error on action : \r\n" + CurrentExceptionText()); });
        return false;
      });
  if (!succeeded) platform::ExitProgram(1);
}

TCmdExecutor::TSwitch TCmdExecutor::SplitSwitch(const string& param) {
  TSwitch result;
  if (param.empty() || (param[0] != u'-' && param[0] != u'/')) return result;
  const std::size_t start = param.find_first_not_of(u"-/");
  if (start != string::npos) result.SwitchText = param.substr(start);
  const std::size_t equals = result.SwitchText.find(u'=');
  if (equals == string::npos) {
    result.Key = result.SwitchText;
  } else {
    result.Key = result.SwitchText.substr(0, equals);
    result.Value = UnquoteValue(result.SwitchText.substr(equals + 1));
  }
  return result;
}

string TCmdExecutor::UnquoteValue(const string& raw) {
  if (raw.size() > 1 && raw.front() == u'"' && raw.back() == u'"')
    return raw.substr(1, raw.size() - 2);
  return platform::Trim(raw);
}

bool TCmdExecutor::ParseCommandLine() {
  CMDInfo = EmptyCMDInfo;
  const std::vector<string>& params = platform::ProgramArguments();
  const std::size_t paramCount = params.size() - 1;

  const TSwitch first = SplitSwitch(params[1]);
  const auto* operation = std::find_if(std::begin(OperationKeys), std::end(OperationKeys),
                                       [&](const auto& entry) { return entry.Key == first.Key; });
  if (operation == std::end(OperationKeys)) {
    ErrorStr = u"Invalid param[1]:" + params[1];
    return false;
  }
  CMDInfo.op_type = operation->Operation;
  if (CMDInfo.op_type == TOpType::otRunDLL) {
    if (!rtl::TryStrToInt(first.Value, CMDInfo.FuncType) || CMDInfo.FuncType != 1) {
      ErrorStr = u"Invalid value for key 'dll': " + first.Value;
      return false;
    }
    if (paramCount < 3) {
      ErrorStr = u"Invalid param count (<3)";
      return false;
    }
  } else if (CMDInfo.op_type == TOpType::otTest) {
    CMDInfo.FuncType = 0;
    if (!first.Value.empty() && !rtl::TryStrToInt(first.Value, CMDInfo.FuncType)) {
      ErrorStr = u"Invalid value for key '" + first.Key + u"': " + first.Value;
      return false;
    }
  }

  for (std::size_t i = 2; i <= paramCount; ++i) {
    const TSwitch option = SplitSwitch(params[i]);
    if (option.SwitchText.empty()) continue;
    const auto* entry = std::find_if(std::begin(Options), std::end(Options),
                                     [&](const auto& o) { return o.Key == option.Key; });
    if (entry == std::end(Options)) continue;
    if (entry->Text != nullptr)
      CMDInfo.*(entry->Text) = option.Value;
    else
      CMDInfo.*(entry->Flag) = true;
  }
  return true;
}

void TCmdExecutor::RunOperation() {
  const TCMDInfo& info = CMDInfo;
  switch (info.op_type) {
    case TOpType::otRunDLL:
      RunDll();
      break;
    case TOpType::otCheckLockFiles:
      CheckLockFiles(info.InFile, info.OutFile, info.bExtendInFileNames, info.bExtendOutFileNames);
      break;
    case TOpType::otUnLockFiles:
      UnLockFiles(info.InFile, info.OutFile, info.bExtendInFileNames, info.bExtendOutFileNames);
      break;
    case TOpType::otCheckDelFiles:
      CheckDelFiles(info.InFile, info.OutFile, info.bExtendInFileNames);
      break;
    case TOpType::otRunExe: {
      std::uint32_t exitCode = 0;
      RunProgram(info.ExeName, info.ExeParams, info.WorkDir, info.bExtendExeFileName, info.bWait,
                 info.bAdminRights, info.bCheckExitCode, exitCode);
      break;
    }
    case TOpType::otTest:
      WriteLogLine(u"Begin own test.");
      OwnTest();
      WriteLogLine(u"End own test.");
      break;
    case TOpType::otNone:
      break;
  }
}

void TCmdExecutor::WriteLogLine(const string& text) { WriteConsoleLine(LogTimeStamp() + text); }

void TCmdExecutor::WriteConsoleLine(const string& text) {
  platform::WriteStandardOutput(text + u"\r\n");
}

void TCmdExecutor::ShowUsage() {
  rtl::TStringList lines;
  FillUsage(lines);
  for (const auto& line : lines) WriteConsoleLine(line.Text);
}

void TCmdExecutor::FillUsage(rtl::TStringList& lines) {
  for (const std::u16string_view line : UsageLines) lines.Add(string(line));
}

string TCmdExecutor::ProgramDirectory() { return platform::ExtractFileDir(OwnExePath()); }

string TCmdExecutor::ExtendFileName(const string& name) {
  if (IsAbsoluteName(name)) return name;
  return LongPathName(ProgramDirectory() + platform::PathDelim + name);
}

}  // namespace tarnwick
