#include "installer/trw_file_checks.h"

#include <exception>
#include <optional>
#include <utility>
#include <vector>

#include "installer/list_file.h"
#include "installer/own_temp_dir.h"
#include "installer/pel_sys_tools.h"
#include "installer/trw_exec.h"
#include "installer/win_utils.h"
#include "platform/backup.h"
#include "platform/console.h"
#include "platform/files.h"
#include "platform/last_error.h"
#include "platform/processes.h"
#include "platform/program.h"
#include "platform/text.h"
#include "platform/threads.h"
#include "runtime/exceptions.h"
#include "runtime/guard.h"

namespace tarnwick {

namespace {

// How long -unlock waits in all for the processes it terminated to end,
// and how often it looks.
constexpr Cardinal UnlockWaitMilliseconds = 5000;
constexpr Cardinal UnlockPollMilliseconds = 10;

// Runs the body; an exception of the family becomes its "%s: %s" text
// (class name, message), anything else passes on.
template <class F>
string FailureOf(F&& body) {
  try {
    std::forward<F>(body)();
    return {};
  } catch (const std::exception& e) {
    const rtl::TExceptionText text = rtl::DescribeException(e);
    return text.ClassName + u": " + text.Message;
  }
}

string Quoted(const string& text) { return u"'" + text + u"'"; }

// Returns once every terminated process has ended, or the time is up.
void AwaitEnd(const TMyProcessList& processes) {
  for (Cardinal waited = 0; waited < UnlockWaitMilliseconds; waited += UnlockPollMilliseconds) {
    bool allEnded = true;
    for (Integer i = 0; i < processes.Count() && allEnded; ++i)
      allEnded = platform::ProcessHasEnded(processes.Items(i).ProcessID, processes.Items(i).StartTime);
    if (allEnded) return;
    platform::Sleep(UnlockPollMilliseconds);
  }
}

// The directory a listed name lies in and its last name: two entries with
// the same key name one file, whatever way the path takes.
struct TEntryKey {
  platform::TFileIdentity Directory;
  string Leaf;
  friend bool operator==(const TEntryKey&, const TEntryKey&) = default;
};

std::optional<TEntryKey> KeyOf(const string& name) {
  const std::size_t slash = name.rfind(platform::PathDelim);
  const string dir = slash == string::npos ? u"." : slash == 0 ? u"/" : name.substr(0, slash);
  TEntryKey key{{}, slash == string::npos ? name : name.substr(slash + 1)};
  if (!platform::FileIdentity(dir, key.Directory)) return std::nullopt;
  return key;
}

// The delete check of one run: each file is backed up and deleted in list
// order up to the first that fails, and every file deleted is put back
// (also when an exception ends the check early).  A backup that was not put
// back stays, and so does the directory holding it.
class TDeleteCheck {
 public:
  explicit TDeleteCheck(const platform::TOwnDirectory& directory) : FDirectory(directory) {}
  ~TDeleteCheck() {
    rtl::Guarded([this] { RestoreAll(); });
  }
  TDeleteCheck(const TDeleteCheck&) = delete;
  TDeleteCheck& operator=(const TDeleteCheck&) = delete;

  void DeleteAll(const rtl::TStringList& files);
  void RestoreAll();

  // What failed on the backup or restore side ("%s: %s"); empty: none.
  const string& Error() const { return FRestoreError.empty() ? FBackupError : FRestoreError; }
  bool AllPassed() const { return FAllPassed && !FLocked; }

 private:
  struct TDeleted {
    platform::TFileBackup Backup;
    std::optional<TEntryKey> Key;
  };

  bool DeletedBefore(const std::optional<TEntryKey>& key) const;
  bool DeleteOne(Integer index, const string& name);
  void Keep(const platform::TFileBackup& backup, const string& reason);

  const platform::TOwnDirectory& FDirectory;
  std::vector<TDeleted> FDeleted;  // in the order deleted
  bool FAllPassed = false;
  bool FLocked = false;
  bool FKept = false;
  bool FRestored = false;
  string FBackupError;
  string FRestoreError;
};

bool TDeleteCheck::DeletedBefore(const std::optional<TEntryKey>& key) const {
  if (!key) return false;
  for (const TDeleted& deleted : FDeleted)
    if (deleted.Key == key) return true;
  return false;
}

void TDeleteCheck::DeleteAll(const rtl::TStringList& files) {
  // Room for every entry first: once a file is deleted, nothing may fail
  // before its backup is on the list to restore.
  FDeleted.reserve(static_cast<std::size_t>(files.Count()));
  for (Integer i = 0; i < files.Count(); ++i)
    if (!DeleteOne(i, files[i])) return;
  FAllPassed = true;
}

// False when the check stops at this file.
bool TDeleteCheck::DeleteOne(Integer index, const string& name) {
  std::optional<TEntryKey> key = KeyOf(name);
  // Listed again: it passed once, and its backup is the one to restore.
  if (DeletedBefore(key)) return true;
  platform::TFileBackup backup(FDirectory, u"ChkDelFile" + platform::IntToStr(index) + u".tmp");
  switch (backup.Take(name)) {
    case platform::TBackupResult::Done:
      break;
    case platform::TBackupResult::SourceUnreadable:
      FLocked = true;
      return false;
    case platform::TBackupResult::BackupFailed:
      FBackupError = u"EInOutError: Cannot back up " + Quoted(name) + u" as " + Quoted(backup.Path()) +
                     u": " + platform::LastErrorText();
      return false;
  }
  if (!backup.DeleteSource()) {
    backup.Discard();
    FLocked = true;
    return false;
  }
  if (backup.SourceNameTaken()) {
    Keep(backup, u"the file still exists after its deletion");
    FLocked = true;
    return false;
  }
  FDeleted.push_back({std::move(backup), std::move(key)});
  return true;
}

void TDeleteCheck::Keep(const platform::TFileBackup& backup, const string& reason) {
  FKept = true;
  platform::WriteStandardError(u"The backup of " + Quoted(backup.Source()) + u" is kept as " +
                               Quoted(backup.Path()) + u": " + reason + u"\r\n");
}

void TDeleteCheck::RestoreAll() {
  if (FRestored) return;
  FRestored = true;
  for (const TDeleted& deleted : FDeleted) {
    const platform::TFileBackup& backup = deleted.Backup;
    switch (backup.Restore()) {
      case platform::TRestoreResult::Restored:
        backup.Discard();
        break;
      case platform::TRestoreResult::NameTaken:
        Keep(backup, u"another file has taken its name");
        FLocked = true;
        break;
      case platform::TRestoreResult::Failed: {
        const string reason = platform::LastErrorText();
        if (FRestoreError.empty()) {
          FKept = true;
          FRestoreError = u"EInOutError: Cannot restore " + Quoted(backup.Source()) + u": " + reason +
                          u"; its backup is kept as " + Quoted(backup.Path());
        } else {
          Keep(backup, reason);
        }
        break;
      }
    }
  }
  if (!FKept) FDirectory.Remove();
}

}  // namespace

void ExtendFileNames(rtl::TStringList& list) {
  TrimList(list);
  for (Integer i = 0; i < list.Count(); ++i)
    if (!IsAbsoluteName(list[i])) list.SetString(i, TCmdExecutor::ExtendFileName(list[i]));
}

void RemoveMissingFiles(rtl::TStringList& list) {
  for (Integer i = list.Count() - 1; i >= 0; --i)
    if (!platform::FileExists(list[i])) list.Delete(i);
}

void BuildFileList(const string& text, rtl::TStringList& list, bool removeMissing, bool extend) {
  list.Clear();
  SplitToList(text, u',', list);
  TrimList(list);
  // Lines appended lie beyond the walk: list files do not nest.
  for (Integer i = list.Count() - 1; i >= 0; --i) {
    if (list[i].front() != u'@') continue;
    rtl::Guarded([&] {
      const string name = extend ? TCmdExecutor::ExtendFileName(list[i].substr(1)) : list[i].substr(1);
      rtl::TStringList lines;
      if (ReadListFile(name, lines))
        for (const auto& line : lines) list.Add(line.Text);
    });
    list.Delete(i);
  }
  if (extend) ExtendFileNames(list);
  if (removeMissing) RemoveMissingFiles(list);
}

void WriteOutFile(const string& fileName, const string& text) {
  if (platform::Trim(fileName).empty()) return;
  // One buffer: the mark and the text land in one write.
  const std::string bytes = "\xEF\xBB\xBF" + platform::ToUtf8(text);
  (void)platform::WriteWholeFile(fileName, bytes.data(), bytes.size());
}

void TCmdExecutor::OutputResult(const string& outFile, const string& text) {
  const string destination = platform::AsciiLower(platform::Trim(outFile));
  if (destination.empty() || destination == u"console")
    WriteConsoleLine(text);
  else if (destination != u"no")
    WriteOutFile(outFile, text);
}

void TCmdExecutor::ReportLockingProcesses(const TMyProcessList& processes, const string& outFile,
                                          bool extendOut) {
  if (!ErrorStr.empty()) {
    WriteConsoleLine(u"error");
    OutputResult(outFile, ErrorStr);
  } else if (processes.Count() == 0) {
    WriteConsoleLine(u"nolock");
  } else {
    WriteConsoleLine(u"lock");
    OutputResult(outFile, processes.OutputProcessNames(u" ", u"\r\n", extendOut));
  }
}

void TCmdExecutor::CheckLockFiles(const string& inFile, const string& outFile, bool extendIn,
                                  bool extendOut) {
  ErrorStr.clear();
  rtl::TStringList files;
  TMyProcessList processes;
  ErrorStr = FailureOf([&] {
    BuildFileList(inFile, files, false, extendIn);
    if (!files.Empty()) FindLockingProcesses(files, processes);
  });
  ReportLockingProcesses(processes, outFile, extendOut);
}

void TCmdExecutor::UnLockFiles(const string& inFile, const string& outFile, bool extendIn,
                               bool extendOut) {
  ErrorStr.clear();
  rtl::TStringList files;
  TMyProcessList processes;
  ErrorStr = FailureOf([&] {
    BuildFileList(inFile, files, false, extendIn);
    if (files.Empty()) return;
    FindLockingProcesses(files, processes);
    for (Integer i = 0; i < processes.Count(); ++i)
      KillProcess(processes.Items(i).ProcessID, processes.Items(i).StartTime);
    // A process still shutting down would be found again.
    AwaitEnd(processes);
    FindLockingProcesses(files, processes);
  });
  ReportLockingProcesses(processes, outFile, extendOut);
}

void TCmdExecutor::CheckDelFiles(const string& inFile, const string& outFile, bool extendIn) {
  ErrorStr.clear();
  bool answered = false;
  string checkError, answer;
  ErrorStr = FailureOf([&] {
    rtl::TStringList files;
    BuildFileList(inFile, files, true, extendIn);
    const platform::TOwnDirectory directory = CreateOwnTempDir(u"ChkDel");
    {
      // A request to end waits until every deleted file is back.
      const platform::TTerminationHold hold;
      TDeleteCheck check(directory);
      check.DeleteAll(files);
      check.RestoreAll();
      checkError = check.Error();
      if (!checkError.empty()) return;
      answer = check.AllPassed() ? u"nolock" : u"lock";
    }
    WriteConsoleLine(answer);
    answered = true;
  });
  if (ErrorStr.empty()) ErrorStr = checkError;
  if (!answered && !ErrorStr.empty()) {
    WriteConsoleLine(u"error");
    OutputResult(outFile, ErrorStr);
  }
}

void TCmdExecutor::OwnTest() {
  const platform::TOwnDirectory directory = CreateOwnTempDir(u"ChkDel");
  // Removed also when the line cannot be written.
  struct TRemoval {
    const platform::TOwnDirectory& Directory;
    ~TRemoval() { Directory.Remove(); }
  } removal{directory};
  WriteConsoleLine(u"sTempDir = " + directory.Path());
}

}  // namespace tarnwick
