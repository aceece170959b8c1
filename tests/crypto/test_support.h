// Shared helpers of the selvane2x tests: temporary directories, fixture
// module copies, a debug-log capture and the library's state for one test.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <mutex>
#include <string>
#include <vector>

#include "crypto/debug_log.h"
#include "crypto/library_state.h"
#include "platform/files.h"
#include "platform/modules.h"
#include "platform/text.h"
#include "tests/platform/temp_tree.h"

namespace testsupport {

inline std::u16string U(const std::string& utf8) { return platform::FromUtf8(utf8); }
inline std::string A(const std::u16string& text) { return platform::ToUtf8(text); }

// A fresh directory below the temporary directory, removed with its contents.
using TTempDir = platform_test::TTempTree;

// A fixture engine module as built: FIXTURE_DIR/engine/<variant>/<file>.
inline std::u16string FixtureModule(const std::string& variant, const std::string& file) {
  return U(std::string(FIXTURE_DIR) + "/engine/" + variant + "/" + file);
}

// Copies fixture modules of a variant into a directory (made if missing).
inline void PlaceModules(const std::u16string& dir, const std::string& variant,
                         const std::vector<std::string>& files) {
  platform::MakeDirectories(dir);
  for (const auto& file : files) {
    ASSERT_TRUE(platform::CopyFile(FixtureModule(variant, file), dir + u"/" + U(file))) << file;
  }
}

// Collects the lines the debug log delivers, from any thread.
class TLogCapture {
 public:
  static TLogCapture& Instance() {
    static TLogCapture capture;
    return capture;
  }
  static void stdcall Receive(const char16_t* line) {
    TLogCapture& self = Instance();
    std::lock_guard lock(self.FMutex);
    self.FLines.push_back(platform::ToUtf8(platform::WideFrom(line)));
  }
  void Clear() {
    std::lock_guard lock(FMutex);
    FLines.clear();
  }
  std::vector<std::string> Lines() {
    std::lock_guard lock(FMutex);
    return FLines;
  }
  int Count(const std::string& line) {
    const auto lines = Lines();
    return static_cast<int>(std::count(lines.begin(), lines.end(), line));
  }
  int CountPrefix(const std::string& prefix) {
    int n = 0;
    for (const auto& line : Lines()) n += line.rfind(prefix, 0) == 0 ? 1 : 0;
    return n;
  }

 private:
  std::mutex FMutex;
  std::vector<std::string> FLines;
};

// The library's process-wide state for one test, linked in statically, with
// the capture as debug callback.
class TLibraryState {
 public:
  TLibraryState() {
    selvane::LibraryStartup();
    TLogCapture::Instance().Clear();
    selvane::SetCryptDebugCallBack(&TLogCapture::Receive);
    TLogCapture::Instance().Clear();
  }
  ~TLibraryState() { Shutdown(); }
  TLibraryState(const TLibraryState&) = delete;
  TLibraryState& operator=(const TLibraryState&) = delete;
  void Shutdown() {
    if (!FDone) selvane::LibraryShutdown();
    FDone = true;
  }

 private:
  bool FDone = false;
};

// The built library, loaded afresh (its own process-wide state) and
// unloaded again; EXPORT(lib, Name) binds an export with its public type.
class TLibrary {
 public:
  TLibrary() : FHandle(platform::LoadModule(U(SELVANE_LIBRARY_PATH))) {}
  ~TLibrary() { Unload(); }
  TLibrary(const TLibrary&) = delete;
  TLibrary& operator=(const TLibrary&) = delete;

  template <class F>
  F Get(const char* name) const {
    return reinterpret_cast<F>(platform::ModuleSymbol(FHandle, name));
  }
  void Unload() {
    if (FHandle != 0) platform::FreeModule(FHandle);
    FHandle = 0;
  }
  bool Loaded() const { return FHandle != 0; }

 private:
  platform::ModuleHandle FHandle;
};

}  // namespace testsupport

#define EXPORT(lib, Name) (lib).Get<decltype(&::Name)>(#Name)
