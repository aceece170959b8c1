// The process search: running processes found by the files they have
// loaded or by the name of their program file.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "platform/processes.h"
#include "platform/types.h"
#include "runtime/exceptions.h"
#include "runtime/string_list.h"

namespace tarnwick {

// The running processes cannot be listed at all: a search that found
// nothing would report every file as not locked.
RTL_EXCEPTION_CLASS(EProcessSearchError, rtl::Exception, "")

// A process as the search found it.
class TProcessInfo {
 public:
  virtual ~TProcessInfo() = default;

  string ProcessName;              // the full path of its program file
  NativeUInt ProcessID = 0;
  // The full paths of its modules except its program file, each tagged 1
  // when it matched and 0 when not (untagged when nothing was looked for).
  rtl::TStringList ProcessModules;
  string WindowCaption;
  std::uint64_t StartTime = 0;     // with the id, names the process; 0 unknown
};

// Progress of a search; setting Cancel stops it.
using TDulProcessSearcherProgress =
    std::function<void(Integer PercentDone, const string& CurProcessName, bool& Cancel)>;

// Which platform family's search runs.
enum class TPlatformFamily { Nt, Win9x, Other };

class TProcessSearcher {
 public:
  TProcessSearcher() = default;
  virtual ~TProcessSearcher() = default;
  TProcessSearcher(const TProcessSearcher&) = delete;
  TProcessSearcher& operator=(const TProcessSearcher&) = delete;

  // Empties Processes and finds the processes selected by ProcessToSearch,
  // else by ModulsToFind, else every process; this process is never among
  // them.  Gives the number found.  Raises EProcessSearchError when the
  // running processes cannot be listed, and rtl::EMaskError for a malformed
  // mask.
  Integer SearchProcesses();
  // Terminates every process found and waits for each; false when one of
  // them could not be terminated (the others still are).
  bool DestroyProcesses();
  // The entry for the id, appended when there is none yet.
  TProcessInfo* AddProcessInfo(NativeUInt ProcessID);
  TProcessInfo* ProcessInfoByHandle(NativeUInt ProcessID) const;
  // Searches for the program name and asks the first process found to quit
  // through its windows.
  void StopModul(const string& ProcessName);
  void StopModulByID(Cardinal ProcessID);
  // Every entry, in order, with its window caption looked up.
  void GetProcessesList(std::vector<TProcessInfo*>& List, bool FillWindowCaptions);
  // The entry at the index; nil outside 0..count - 1.
  TProcessInfo* GetProcessInfo(Integer Index) const;

  TProcessInfo* ProcessInfo(Integer Index) const { return GetProcessInfo(Index); }
  Integer ProcessInfoCount() const { return static_cast<Integer>(Processes.size()); }
  const TDulProcessSearcherProgress& onProgress() const { return FonProgress; }
  void SetonProgress(TDulProcessSearcherProgress handler) { FonProgress = std::move(handler); }

  rtl::TStringList ModulsToFind;
  std::vector<std::unique_ptr<TProcessInfo>> Processes;
  string ProcessToSearch;
  bool WasCanceled = false;

 protected:
  // The family whose search runs; this system counts as the NT family.
  virtual TPlatformFamily PlatformFamily() const { return TPlatformFamily::Nt; }
  // The ids the search walks.
  virtual bool RunningProcessIds(std::vector<Cardinal>& ids) const;

  bool CompareWithPaths = false;

 private:
  class TMatcher;

  void SearchByPsapi();
  void SearchByToolHelp();
  std::vector<Cardinal> IdsToSearch() const;
  TProcessInfo& Found(Cardinal id, const platform::TProcessFiles& files);
  bool Report(Integer percent, const string& name);

  TDulProcessSearcherProgress FonProgress;
};

// The long form of an existing file's name; any other name unchanged.
string ExistingLongPathName(const string& name);

}  // namespace tarnwick
