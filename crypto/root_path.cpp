#include "crypto/root_path.h"

#include <algorithm>
#include <mutex>
#include <optional>
#include <string_view>

#include "crypto/module_path.h"
#include "crypto/process_state.h"
#include "platform/environment.h"
#include "platform/files.h"
#include "platform/modules.h"
#include "runtime/exceptions.h"

namespace selvane {

namespace {

struct TRootPathState {
  string FOrvRoot;                   // empty until set; then ends with "/"
  std::vector<string> FOrvRootDirs;  // EXE/, SYSTEM/, USER/ below the root
};

// Host threads may set the root while another loads an engine module.
constinit std::mutex RootPathLock;
constinit TProcessState<TRootPathState> RootPathState;

TRootPathState& State() {
  if (!RootPathState) throw rtl::Exception(u"The root path is not initialised");
  return *RootPathState;
}

string WithTrailingDelim(const string& aPath) {
  if (!aPath.empty() && aPath.back() == platform::PathDelim) return aPath;
  return aPath + platform::PathDelim;
}

bool HasDirectoryPart(std::u16string_view aName) {
  return aName.find_first_of(u"/\\:") != std::u16string_view::npos;
}

std::vector<string> SplitPathList(std::u16string_view aValue) {
  std::vector<string> entries;
  std::size_t start = 0;
  while (true) {
    const std::size_t end = aValue.find(platform::PathListSeparator, start);
    entries.emplace_back(aValue.substr(start, end - start));
    if (end == std::u16string_view::npos) break;
    start = end + 1;
  }
  return entries;
}

}  // namespace

void InitRootPath() {
  std::lock_guard lock(RootPathLock);
  RootPathState.emplace();
}

void DoneRootPath() {
  std::lock_guard lock(RootPathLock);
  RootPathState.reset();
}

string OrvRoot() {
  std::lock_guard lock(RootPathLock);
  return RootPathState ? RootPathState->FOrvRoot : string();
}

std::vector<string> OrvRootDirs() {
  std::lock_guard lock(RootPathLock);
  return RootPathState ? RootPathState->FOrvRootDirs : std::vector<string>();
}

void SetOrvRoot(const string& aPath) {
  std::lock_guard lock(RootPathLock);
  TRootPathState& state = State();
  if (!state.FOrvRoot.empty()) {
    if (WithTrailingDelim(aPath) == state.FOrvRoot) return;
    throw rtl::Exception(u"Could not set OrvRoot to '" + aPath + u"'. Already set to '" +
                    state.FOrvRoot + u"'.");
  }
  state.FOrvRoot = WithTrailingDelim(aPath);
  const std::vector<string> dirs = {state.FOrvRoot + u"EXE/", state.FOrvRoot + u"SYSTEM/",
                                    state.FOrvRoot + u"USER/"};
  state.FOrvRootDirs.insert(state.FOrvRootDirs.end(), dirs.begin(), dirs.end());
  // Under the lock, so that two roots never race on PATH.
  AddDirsToPath(dirs);
}

void AddDirsToPath(const std::vector<string>& aDirs) {
  const string original = [] {
    string value = platform::GetEnvironmentVariable(u"PATH").value_or(string());
    return value.substr(0, value.find(u'\0'));
  }();
  // Entries are taken once: a directory added by this call does not count as
  // present for a later one.
  const std::vector<string> entries = SplitPathList(original);
  string value = original;
  for (const string& dir : aDirs) {
    if (value.empty()) {
      value = dir;
    } else if (std::find(entries.begin(), entries.end(), dir) == entries.end()) {
      value += platform::PathListSeparator;
      value += dir;
    }
  }
  if (value != original) platform::SetEnvironmentVariable(u"PATH", value);
}

string FindLibraryPath(const string& aFileName) {
  if (HasDirectoryPart(aFileName)) return aFileName;
  const string hostDir =
      WithTrailingDelim(platform::AbsolutePath(platform::ExtractFileDir(ModulePathByHandle(0))));
  if (platform::FileExists(hostDir + aFileName)) return hostDir + aFileName;
  for (const string& dir : OrvRootDirs())
    if (platform::FileExists(dir + aFileName)) return dir + aFileName;
  return aFileName;
}

NativeUInt PelLoadLibrary(const string& aFileName) {
  const string path = FindLibraryPath(aFileName);
  platform::FloatingPointGuard guard;
  return platform::LoadModule(path);
}

string OwnModulePath() {
  return ModulePathByHandle(
      platform::ModuleOfAddress(reinterpret_cast<const void*>(&OwnModulePath)));
}

}  // namespace selvane
