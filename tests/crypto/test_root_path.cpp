#include "crypto/root_path.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cfenv>
#include <optional>
#include <string>
#include <vector>

#include "runtime/exceptions.h"
#include "crypto/module_path.h"
#include "test_support.h"
#include "platform/environment.h"
#include "platform/files.h"
#include "platform/last_error.h"
#include "platform/modules.h"

namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using testsupport::A;
using testsupport::TTempDir;

class RootPathTest : public ::testing::Test {
 protected:
  void SetUp() override {
    FSavedPath = platform::GetEnvironmentVariable(u"PATH");
    selvane::InitRootPath();
  }
  void TearDown() override {
    selvane::DoneRootPath();
    SetPath(FSavedPath);
  }

  static void SetPath(const std::optional<std::u16string>& aValue) {
    if (aValue)
      platform::SetEnvironmentVariable(u"PATH", *aValue);
    else
      platform::UnsetEnvironmentVariable(u"PATH");
  }

  static std::u16string Path() {
    return platform::GetEnvironmentVariable(u"PATH").value_or(u"(unset)");
  }

  std::optional<std::u16string> FSavedPath;
};

TEST_F(RootPathTest, IsSetOnceAndTheSameRootIsAcceptedAgain) {
  EXPECT_EQ(selvane::OrvRoot(), u"");
  EXPECT_THAT(selvane::OrvRootDirs(), IsEmpty());
  selvane::SetOrvRoot(u"/opt/App");
  selvane::SetOrvRoot(u"/opt/App/");
  selvane::SetOrvRoot(u"/opt/App");
  EXPECT_EQ(selvane::OrvRoot(), u"/opt/App/");
  EXPECT_THAT(selvane::OrvRootDirs(),
              ElementsAre(u"/opt/App/EXE/", u"/opt/App/SYSTEM/", u"/opt/App/USER/"));
}

TEST_F(RootPathTest, AnotherRootIsRefusedAndChangesNothing) {
  // Letter case and inner delimiters count: every one of these differs.
  const std::vector<std::u16string> others = {u"/opt/app", u"/opt//App", u"/opt/App/x", u""};
  selvane::SetOrvRoot(u"/opt/App");
  const std::u16string pathAfterFirst = Path();
  for (const auto& other : others) {
    try {
      selvane::SetOrvRoot(other);
      ADD_FAILURE() << "accepted " << A(other);
    } catch (const rtl::Exception& e) {
      EXPECT_EQ(e.Message(),
                u"Could not set OrvRoot to '" + other + u"'. Already set to '/opt/App/'.");
    }
  }
  EXPECT_EQ(selvane::OrvRoot(), u"/opt/App/");
  EXPECT_EQ(selvane::OrvRootDirs().size(), 3u);
  EXPECT_EQ(Path(), pathAfterFirst);
}

TEST_F(RootPathTest, AnEmptyRootIsTheTopDirectory) {
  platform::SetEnvironmentVariable(u"PATH", u"/bin");
  selvane::SetOrvRoot(u"");
  EXPECT_EQ(selvane::OrvRoot(), u"/");
  EXPECT_THAT(selvane::OrvRootDirs(), ElementsAre(u"/EXE/", u"/SYSTEM/", u"/USER/"));
  EXPECT_EQ(Path(), u"/bin:/EXE/:/SYSTEM/:/USER/");
}

TEST_F(RootPathTest, AddsOnlyTheDirectoriesThatAreNotWholeEntries) {
  struct Case {
    std::optional<std::u16string> FBefore;
    std::u16string FAfter;
  };
  const std::u16string all = u"/app/EXE/:/app/SYSTEM/:/app/USER/";
  const std::vector<Case> cases = {
      {std::nullopt, all},
      {u"", all},
      {u"/x:/app/EXE/:/y", u"/x:/app/EXE/:/y:/app/SYSTEM/:/app/USER/"},
      {u"/x:/app/USER/", u"/x:/app/USER/:/app/EXE/:/app/SYSTEM/"},
      {u"/x:/app/USER/x", u"/x:/app/USER/x:" + all},
      // Part of another entry, or another letter case, is no match.
      {u"/data/app/EXE/:/y", u"/data/app/EXE/:/y:" + all},
      {u"/APP/EXE/", u"/APP/EXE/:" + all},
      {u"/app/SYSTEM/:/app/USER/:/app/EXE/", u"/app/SYSTEM/:/app/USER/:/app/EXE/"},
  };
  for (const auto& c : cases) {
    selvane::DoneRootPath();
    selvane::InitRootPath();
    SetPath(c.FBefore);
    selvane::SetOrvRoot(u"/app");
    EXPECT_EQ(Path(), c.FAfter) << "PATH was " << A(c.FBefore.value_or(u"(unset)"));
  }
}

TEST_F(RootPathTest, AddDirsToPathTakesTheEntriesOnce) {
  // A directory that one call adds is not taken as present for a later one.
  platform::SetEnvironmentVariable(u"PATH", u"/bin");
  selvane::AddDirsToPath({u"/a/", u"/a/"});
  EXPECT_EQ(Path(), u"/bin:/a/:/a/");
  // Nothing added: the variable is not written, so an unset one stays unset.
  platform::UnsetEnvironmentVariable(u"PATH");
  selvane::AddDirsToPath({});
  EXPECT_EQ(platform::GetEnvironmentVariable(u"PATH"), std::nullopt);
}

class LibrarySearchTest : public RootPathTest {
 protected:
  void SetUp() override {
    RootPathTest::SetUp();
    selvane::SetOrvRoot(FRoot.Path());
  }
  TTempDir FRoot;
};

TEST_F(LibrarySearchTest, NamesWithADirectoryPartAreKept) {
  for (const std::u16string name :
       {u"sub/kv_none.dll", u"sub\\kv_none.dll", u"c:kv_none.dll", u"/abs/kv_none.dll"})
    EXPECT_EQ(selvane::FindLibraryPath(name), name) << A(name);
}

TEST_F(LibrarySearchTest, HostDirectoryFirstThenTheRootDirectoriesInOrder) {
  const std::u16string root = FRoot.Path() + u"/";
  const auto put = [](const std::u16string& aPath) {
    ASSERT_TRUE(platform::MakeDirectories(platform::ExtractFileDir(aPath)));
    ASSERT_TRUE(platform::WriteWholeFile(aPath, "x", 1));
  };
  put(root + u"USER/kv_user.dll");
  put(root + u"SYSTEM/kv_both.dll");
  put(root + u"USER/kv_both.dll");
  put(root + u"EXE/kv_all.dll");
  put(root + u"SYSTEM/kv_all.dll");

  EXPECT_EQ(selvane::FindLibraryPath(u"kv_user.dll"), root + u"USER/kv_user.dll");
  EXPECT_EQ(selvane::FindLibraryPath(u"kv_both.dll"), root + u"SYSTEM/kv_both.dll");
  EXPECT_EQ(selvane::FindLibraryPath(u"kv_all.dll"), root + u"EXE/kv_all.dll");
  EXPECT_EQ(selvane::FindLibraryPath(u"kv_nowhere.dll"), u"kv_nowhere.dll");
  // File names are case-sensitive.
  EXPECT_EQ(selvane::FindLibraryPath(u"KV_USER.dll"), u"KV_USER.dll");
  // A directory of that name is no library.
  ASSERT_TRUE(platform::MakeDirectories(root + u"SYSTEM/kv_dir.dll"));
  EXPECT_EQ(selvane::FindLibraryPath(u"kv_dir.dll"), u"kv_dir.dll");

  // Next to the host program wins over the root.
  const std::u16string hostDir = platform::ExtractFileDir(platform::ModuleFileName(0));
  const std::u16string besideHost = hostDir + u"/kv_all.dll";
  ASSERT_FALSE(platform::FileExists(besideHost));
  put(besideHost);
  const std::u16string found = selvane::FindLibraryPath(u"kv_all.dll");
  platform::DeleteFile(besideHost);
  EXPECT_EQ(found, besideHost);
}

TEST(ModulePath, ByHandleAndOwnPath) {
  const std::u16string program = platform::ModuleFileName(0);
  ASSERT_FALSE(program.empty());
  EXPECT_EQ(selvane::ModulePathByHandle(0), program);
  // Linked into this test program, the library's own module is the program.
  EXPECT_EQ(selvane::OwnModulePath(), program);
  const std::u16string fixture = testsupport::FixtureModule("full", "kv_amsel.dll");
  const platform::ModuleHandle module = platform::LoadModule(fixture);
  ASSERT_TRUE(platform::IsValidModule(module)) << A(platform::LastErrorText());
  EXPECT_EQ(selvane::ModulePathByHandle(module), platform::ModuleFileName(module));
  EXPECT_EQ(platform::ExtractFileName(selvane::ModulePathByHandle(module)), u"kv_amsel.dll");
  platform::FreeModule(module);
  EXPECT_EQ(selvane::ModulePathByHandle(module), u"") << "a handle that names no module";
}

}  // namespace
