// The processes that hold files, as the locked-file operations report
// them; starting programs, terminating processes, and string-list helpers.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "installer/prs_srch.h"
#include "platform/types.h"
#include "runtime/string_list.h"

namespace tarnwick {

// A process as reported.
class TMyProcess {
 public:
  virtual ~TMyProcess() = default;

  string ProcessName;  // the full path of its program file
  Cardinal ProcessID = 0;
  string WindowCaption;
  std::uint64_t StartTime = 0;  // with the id, names the process; 0 unknown
};

// The reported processes, in the order added; the list owns them.
class TMyProcessList {
 public:
  TMyProcessList() = default;
  virtual ~TMyProcessList() { Clear(); }
  TMyProcessList(const TMyProcessList&) = delete;
  TMyProcessList& operator=(const TMyProcessList&) = delete;

  void Clear();
  void AddProcess(const TProcessInfo& Info);
  // "LockCount: <n>", then "\r\n <name> | <id> | <caption>" for each entry.
  string LogInfo() const;
  // sPrefix + name + sPostfix for each entry, the name as a full path with
  // bExtendOutFileNames, else its file-name part.
  string OutputProcessNames(const string& sPrefix, const string& sPostfix, bool bExtendOutFileNames) const;
  // Raises rtl::EListError "List index out of bounds (%d)" outside 0..Count - 1.
  TMyProcess& GetItems(Integer Index) const;

  TMyProcess& Items(Integer Index) const { return GetItems(Index); }
  Integer Count() const { return static_cast<Integer>(FList.size()); }

 private:
  std::vector<std::unique_ptr<TMyProcess>> FList;
};

// The processes (other than this one) that have one of the files loaded, in
// the order found.  Raises as TProcessSearcher::SearchProcesses.
void FindLockingProcesses(const rtl::TStringList& files, TMyProcessList& processes);

// Starts the program with the parameters in the directory (empty: the
// current one).  With wait, returns once it has ended, with its exit code
// (128 + n after death by signal n); without, at once with exit code 0.
// False with errorText "<message> (Error create process (<program>)
// (<parameters>): <code>)" and exitCode = code when it cannot be started, or
// "... (Error query process ...)" when its end cannot be learned.
bool RunExe(const string& program, const string& parameters, const string& directory, Cardinal& exitCode,
            string& errorText, bool wait);
// The same, started with administrator rights (only where this process has
// them), "Error admin-execute" for a failed start; without wait the exit
// code is 259 while the program runs.
bool RunExe_Admin(const string& program, const string& parameters, const string& directory,
                  Cardinal& exitCode, string& errorText, bool wait);

// Terminates the process with the id that started at startTime (0: any);
// raises the right to signal other users' processes where it is permitted
// and needed.  Never this process.
bool KillProcess(Cardinal processId, std::uint64_t startTime);

// The long form of a path: the path itself, which has no short form here.
string LongPathName(const string& path);

// The parts of the text between separators, appended to the emptied list;
// an empty last part is dropped.
void SplitToList(const string& text, char16_t separator, rtl::TStringList& list);
// Trims every entry and deletes those that are then empty.
void TrimList(rtl::TStringList& list);

}  // namespace tarnwick
