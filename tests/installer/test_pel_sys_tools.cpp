#include "installer/pel_sys_tools.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "platform/files.h"
#include "platform/text.h"

using namespace tarnwick;

namespace {

TEST(PelSysTools, OwnExePathIsThisProgram) {
  const string path = OwnExePath();
  EXPECT_EQ(path, platform::FromUtf8(std::filesystem::read_symlink("/proc/self/exe").string()));
  EXPECT_EQ(platform::ExtractFileName(path), u"installer_test_pel_sys_tools");
}

TEST(PelSysTools, FullPathNameIsAbsoluteOrEmpty) {
  const string cwd = platform::CurrentDirectory();
  EXPECT_EQ(FullPathName(u"a/./b/../c"), cwd + u"/a/c");
  EXPECT_EQ(FullPathName(u"/x//y/"), u"/x/y/");
  EXPECT_EQ(FullPathName(u""), u"");
}

}  // namespace
