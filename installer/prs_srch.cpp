#include "installer/prs_srch.h"

#include <optional>

#include "installer/pel_sys_tools.h"
#include "platform/files.h"
#include "platform/last_error.h"
#include "platform/text.h"
#include "runtime/file_mask.h"

namespace tarnwick {

namespace {

using platform::TMappedFile;

bool HasDirectoryPart(const string& name) { return name.find(u'/') != string::npos; }

// k / (n - 1) * 100 rounded to the nearest integer, halves to the even one;
// a single id is the whole search.
Integer PercentDone(std::size_t k, std::size_t n) {
  if (n <= 1) return 100;
  const std::size_t numerator = k * 100, denominator = n - 1;
  std::size_t percent = numerator / denominator;
  const std::size_t twiceRest = 2 * (numerator % denominator);
  if (twiceRest > denominator || (twiceRest == denominator && percent % 2 == 1)) ++percent;
  return static_cast<Integer>(percent);
}

// A name looked for with a directory part: the file it names is found by its
// absolute name as /proc shows names, or through its device and inode, which
// every other name of the file shares (links followed).
class TFileTarget {
 public:
  explicit TFileTarget(const string& name) : FAbsolute(FullPathName(name)) {
    platform::TFileIdentity identity;
    if (platform::FileIdentity(name, identity)) FIdentity = identity;
  }
  bool Reached(const TMappedFile& file) const {
    return (!FAbsolute.empty() && file.Path == FAbsolute) || (FIdentity && file.Identity == *FIdentity);
  }

 private:
  string FAbsolute;
  std::optional<platform::TFileIdentity> FIdentity;
};

}  // namespace

// The names of one search and how a file is matched against them.  With
// paths, only names with a directory part can match; without, the file-name
// part of a path is matched, as a mask or (the older family) exactly.
class TProcessSearcher::TMatcher {
 public:
  TMatcher(const rtl::TStringList& names, bool withPaths, bool asMasks)
      : FWithPaths(withPaths), FAsMasks(asMasks) {
    for (const auto& item : names) {
      if (withPaths) {
        if (HasDirectoryPart(item.Text)) FTargets.emplace_back(item.Text);
      } else {
        // A malformed mask fails the search before anything is found.
        if (asMasks) rtl::MatchesMask(u"", item.Text);
        FNames.push_back(item.Text);
      }
    }
  }

  bool Matches(const TMappedFile& file) const {
    if (FWithPaths) {
      for (const auto& target : FTargets)
        if (target.Reached(file)) return true;
      return false;
    }
    const string name = platform::ExtractFileName(ExistingLongPathName(file.Path));
    for (const auto& pattern : FNames)
      if (FAsMasks ? rtl::MatchesMask(name, pattern) : name == pattern) return true;
    return false;
  }

 private:
  bool FWithPaths;
  bool FAsMasks;
  std::vector<TFileTarget> FTargets;
  std::vector<string> FNames;
};

bool TProcessSearcher::RunningProcessIds(std::vector<Cardinal>& ids) const {
  return platform::ListProcessIds(ids);
}

std::vector<Cardinal> TProcessSearcher::IdsToSearch() const {
  std::vector<Cardinal> ids;
  if (!RunningProcessIds(ids)) {
    const Cardinal code = platform::GetLastError();
    throw EProcessSearchError(u"Could not list the running processes: " + platform::SystemMessage(code) +
                              u" (" + platform::IntToStr(code) + u")");
  }
  return ids;
}

Integer TProcessSearcher::SearchProcesses() {
  Processes.clear();
  WasCanceled = false;
  CompareWithPaths = false;
  if (!ProcessToSearch.empty()) {
    CompareWithPaths = HasDirectoryPart(ProcessToSearch);
  } else {
    for (const auto& item : ModulsToFind) {
      if (HasDirectoryPart(item.Text)) {
        CompareWithPaths = true;
        break;
      }
    }
  }
  switch (PlatformFamily()) {
    case TPlatformFamily::Nt: SearchByPsapi(); break;
    case TPlatformFamily::Win9x: SearchByToolHelp(); break;
    case TPlatformFamily::Other: break;
  }
  return ProcessInfoCount();
}

TProcessInfo& TProcessSearcher::Found(Cardinal id, const platform::TProcessFiles& files) {
  TProcessInfo& entry = *AddProcessInfo(id);
  entry.ProcessName = files.Image.Path;
  entry.StartTime = files.StartTime;
  return entry;
}

bool TProcessSearcher::Report(Integer percent, const string& name) {
  if (FonProgress) FonProgress(percent, name, WasCanceled);
  return !WasCanceled;
}

void TProcessSearcher::SearchByPsapi() {
  Processes.clear();
  const std::vector<Cardinal> ids = IdsToSearch();
  rtl::TStringList name;
  if (!ProcessToSearch.empty()) name.Add(ProcessToSearch);
  const TMatcher nameTest(name, CompareWithPaths, true);
  const TMatcher moduleTest(ModulsToFind, CompareWithPaths, true);
  const Cardinal own = platform::CurrentProcessId();
  for (std::size_t k = 0; k < ids.size(); ++k) {
    platform::TProcessFiles files;
    if (ids[k] == own || !platform::ReadProcessFiles(ids[k], files) || files.Image.Path.empty()) continue;
    if (!Report(PercentDone(k, ids.size()), files.Image.Path)) return;
    TProcessInfo* entry = nullptr;
    if (!ProcessToSearch.empty()) {
      if (!nameTest.Matches(files.Image)) continue;
      entry = &Found(ids[k], files);
    } else if (ModulsToFind.Empty()) {
      entry = &Found(ids[k], files);
    }
    rtl::TStringList modules;
    for (const auto& module : files.Modules) {
      if (ModulsToFind.Empty()) {
        modules.Add(module.Path);
        continue;
      }
      const bool hit = moduleTest.Matches(module);
      if (hit && entry == nullptr) entry = &Found(ids[k], files);
      modules.Add(module.Path, hit ? 1 : 0);
    }
    if (entry != nullptr) entry->ProcessModules = std::move(modules);
  }
}

void TProcessSearcher::SearchByToolHelp() {
  Processes.clear();
  const std::vector<Cardinal> ids = IdsToSearch();
  rtl::TStringList name;
  if (!ProcessToSearch.empty()) name.Add(ProcessToSearch);
  const TMatcher nameTest(name, CompareWithPaths, false);
  const TMatcher moduleTest(ModulsToFind, CompareWithPaths, false);
  const auto moduleHit = [&](const platform::TProcessFiles& files) {
    for (const auto& module : files.Modules)
      if (moduleTest.Matches(module)) return true;
    return false;
  };
  const Cardinal own = platform::CurrentProcessId();
  for (std::size_t k = 0; k < ids.size(); ++k) {
    platform::TProcessFiles files;
    if (ids[k] == own || !platform::ReadProcessFiles(ids[k], files) || files.Image.Path.empty()) continue;
    // The snapshot's first process only ever gets the module test.
    if (k == 0) {
      if (moduleHit(files)) Found(ids[k], files);
      continue;
    }
    const bool selected = !ProcessToSearch.empty() ? nameTest.Matches(files.Image)
                          : ModulsToFind.Empty()   ? true
                                                   : moduleHit(files);
    if (selected) Found(ids[k], files);
    if (!Report(0, files.Image.Path)) return;
  }
}

bool TProcessSearcher::DestroyProcesses() {
  bool all = true;
  for (const auto& entry : Processes) {
    const bool ended = entry->ProcessID <= 0xFFFFFFFFu &&
                       platform::TerminateProcess(static_cast<Cardinal>(entry->ProcessID), entry->StartTime, true);
    all = all && ended;
  }
  return all;
}

TProcessInfo* TProcessSearcher::AddProcessInfo(NativeUInt ProcessID) {
  if (TProcessInfo* known = ProcessInfoByHandle(ProcessID)) return known;
  auto& entry = Processes.emplace_back(std::make_unique<TProcessInfo>());
  entry->ProcessID = ProcessID;
  return entry.get();
}

TProcessInfo* TProcessSearcher::ProcessInfoByHandle(NativeUInt ProcessID) const {
  for (const auto& entry : Processes)
    if (entry->ProcessID == ProcessID) return entry.get();
  return nullptr;
}

void TProcessSearcher::StopModul(const string& ProcessName) {
  ProcessToSearch = ProcessName;
  if (SearchProcesses() > 0 && Processes.front()->ProcessID > 0)
    platform::PostQuitToWindowsOf(static_cast<Cardinal>(Processes.front()->ProcessID));
}

void TProcessSearcher::StopModulByID(Cardinal ProcessID) { platform::PostQuitToWindowsOf(ProcessID); }

void TProcessSearcher::GetProcessesList(std::vector<TProcessInfo*>& List, bool /*FillWindowCaptions*/) {
  // Captions are looked up whatever the flag says.
  List.clear();
  for (const auto& entry : Processes) {
    if (entry->ProcessID > 0) {
      const string caption = platform::WindowCaptionOf(static_cast<Cardinal>(entry->ProcessID));
      if (!caption.empty()) entry->WindowCaption = caption;
    }
    List.push_back(entry.get());
  }
}

TProcessInfo* TProcessSearcher::GetProcessInfo(Integer Index) const {
  if (Index < 0 || Index >= ProcessInfoCount()) return nullptr;
  return Processes[static_cast<std::size_t>(Index)].get();
}

string ExistingLongPathName(const string& name) {
  // There are no short names: the long form of an existing file's name is
  // the name itself, and any other name is kept as it is.
  return name;
}

}  // namespace tarnwick
