// A scratch directory for one test, removed with everything in it.
#pragma once

#include <random>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/text.h"

namespace platform_test {

// Unlinks first so that a link to a directory is removed, not followed.
inline void RemoveTree(const std::u16string& path) {
  if (platform::DeleteFile(path)) return;
  std::vector<std::u16string> names;
  if (platform::ListDirectory(path, names))
    for (const auto& name : names) RemoveTree(path + u"/" + name);
  platform::RemoveDirectory(path);
}

class TTempTree {
 public:
  TTempTree() {
    std::random_device random;
    FPath = platform::TempDirectory() + u"/platform-test-" +
            platform::IntToStr(random()) + platform::IntToStr(random());
    platform::MakeDirectories(FPath);
  }
  ~TTempTree() { RemoveTree(FPath); }
  TTempTree(const TTempTree&) = delete;
  TTempTree& operator=(const TTempTree&) = delete;

  const std::u16string& Path() const { return FPath; }
  std::u16string operator/(const std::u16string& name) const { return FPath + u"/" + name; }

 private:
  std::u16string FPath;
};

}  // namespace platform_test
