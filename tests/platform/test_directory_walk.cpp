#include "platform/directory_walk.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <map>
#include <string>

#include "platform/files.h"
#include "platform/last_error.h"
#include "platform/text.h"
#include "temp_tree.h"

using namespace platform;
using platform_test::TTempTree;
namespace fs = std::filesystem;

namespace {

fs::path OsPath(const std::u16string& path) { return fs::path(ToUtf8(path)); }

void MakeFile(const std::u16string& path) { ASSERT_TRUE(WriteWholeFile(path, "x", 1)); }

std::map<std::u16string, TEntryType> EntriesOf(const TDirectory& dir) {
  std::vector<TDirEntry> entries;
  EXPECT_TRUE(dir.Entries(entries));
  std::map<std::u16string, TEntryType> byName;
  for (const auto& e : entries) byName[e.Name] = e.Type;
  return byName;
}

TEST(DirectoryWalk, EntriesTellTheirOwnTypeWithoutFollowingLinks) {
  TTempTree tree;
  MakeFile(tree / u"file");
  ASSERT_TRUE(MakeDirectories(tree / u"dir"));
  fs::create_symlink(OsPath(tree / u"dir"), OsPath(tree / u"link-to-dir"));
  fs::create_symlink(OsPath(tree / u"file"), OsPath(tree / u"link-to-file"));
  fs::create_symlink(OsPath(tree / u"gone"), OsPath(tree / u"dangling"));
  ASSERT_EQ(::mkfifo(ToUtf8(tree / u"fifo").c_str(), 0600), 0);

  const auto dir = TDirectory::Open(tree.Path(), false);
  ASSERT_TRUE(dir);
  EXPECT_EQ(EntriesOf(*dir), (std::map<std::u16string, TEntryType>{
                                 {u"file", TEntryType::File},
                                 {u"dir", TEntryType::Directory},
                                 {u"link-to-dir", TEntryType::Link},
                                 {u"link-to-file", TEntryType::Link},
                                 {u"dangling", TEntryType::Link},
                                 {u"fifo", TEntryType::Other},
                             }));
}

TEST(DirectoryWalk, LinksAreNeverOpenedAsDirectories) {
  TTempTree tree;
  ASSERT_TRUE(MakeDirectories(tree / u"real"));
  fs::create_symlink(OsPath(tree / u"real"), OsPath(tree / u"link"));

  EXPECT_TRUE(TDirectory::Open(tree / u"link", true));
  for (const std::u16string& path : {tree / u"link", tree / u"link/", tree / u"link//"}) {
    SCOPED_TRACE(ToUtf8(path));
    EXPECT_FALSE(TDirectory::Open(path, false));
    EXPECT_EQ(GetLastError(), static_cast<Cardinal>(ENOTDIR));
  }
  EXPECT_TRUE(TDirectory::Open(tree / u"real/", false));

  const auto dir = TDirectory::Open(tree.Path(), false);
  ASSERT_TRUE(dir);
  EXPECT_FALSE(dir->OpenSubDirectory(u"link"));
  EXPECT_EQ(GetLastError(), static_cast<Cardinal>(ENOTDIR));
  EXPECT_FALSE(dir->RemoveSubDirectory(u"link"));
  EXPECT_EQ(GetLastError(), static_cast<Cardinal>(ENOTDIR));

  // Removing the link as an entry leaves its target.
  EXPECT_TRUE(dir->DeleteEntry(u"link"));
  EXPECT_TRUE(DirectoryExists(tree / u"real"));
  EXPECT_FALSE(dir->DeleteEntry(u"real"));
  EXPECT_EQ(GetLastError(), static_cast<Cardinal>(EISDIR));
}

TEST(DirectoryWalk, NamesArePlainEntryNames) {
  TTempTree tree;
  ASSERT_TRUE(MakeDirectories(tree / u"sub/inner"));
  const auto dir = TDirectory::Open(tree / u"sub", false);
  ASSERT_TRUE(dir);
  for (const std::u16string& name :
       {std::u16string(), std::u16string(u"."), std::u16string(u".."), std::u16string(u"inner/"),
        std::u16string(u"inner/x"), std::u16string(u"a\0b", 3)}) {
    SCOPED_TRACE(ToUtf8(name));
    EXPECT_FALSE(dir->OpenSubDirectory(name));
    EXPECT_EQ(GetLastError(), static_cast<Cardinal>(EINVAL));
    EXPECT_FALSE(dir->DeleteEntry(name));
    EXPECT_FALSE(dir->RemoveSubDirectory(name));
  }
  EXPECT_TRUE(DirectoryExists(tree / u"sub/inner"));
}

// The descriptor stays with the directory it opened: when its name is
// swapped for a link to elsewhere, the walk goes on inside the directory it
// was in and never reaches the link's target.
TEST(DirectoryWalk, SwappingANameForALinkDoesNotRedirectAnOpenDirectory) {
  TTempTree tree;
  ASSERT_TRUE(MakeDirectories(tree / u"inside"));
  ASSERT_TRUE(MakeDirectories(tree / u"outside"));
  MakeFile(tree / u"inside/a");
  MakeFile(tree / u"outside/a");

  const auto dir = TDirectory::Open(tree / u"inside", false);
  ASSERT_TRUE(dir);
  ASSERT_TRUE(RenameFile(tree / u"inside", tree / u"moved"));
  fs::create_symlink(OsPath(tree / u"outside"), OsPath(tree / u"inside"));

  EXPECT_TRUE(dir->DeleteEntry(u"a"));
  EXPECT_TRUE(FileExists(tree / u"outside/a"));
  EXPECT_FALSE(FileExists(tree / u"moved/a"));
}

TEST(DirectoryWalk, GrantOwnerWriteAndSearchKeepsTheOtherBits) {
  TTempTree tree;
  const std::u16string path = tree / u"sub";
  ASSERT_TRUE(MakeDirectories(path));
  const struct {
    mode_t Before, After;
  } cases[] = {
      {0555, 0755}, {0500, 0700}, {0444, 0744}, {01555, 01755}, {0700, 0700}, {0300, 0300},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << std::oct << c.Before);
    ASSERT_EQ(::chmod(ToUtf8(path).c_str(), c.Before), 0);
    const auto dir = TDirectory::Open(tree.Path(), false);
    ASSERT_TRUE(dir);
    const auto sub = dir->OpenSubDirectory(u"sub");
    if (!sub) continue;  // 0300: no reading, so nothing to open (unless root)
    EXPECT_TRUE(sub->GrantOwnerWriteAndSearch());
    struct stat st;
    ASSERT_EQ(::stat(ToUtf8(path).c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, c.After);
  }
  ::chmod(ToUtf8(path).c_str(), 0700);
}

TEST(DirectoryWalk, GrantLeavesADirectoryOfSomeoneElseAlone) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to give a directory to another user";
  TTempTree tree;
  const std::u16string path = tree / u"theirs";
  ASSERT_TRUE(MakeDirectories(path));
  ASSERT_EQ(::chown(ToUtf8(path).c_str(), 65534, 65534), 0);
  ASSERT_EQ(::chmod(ToUtf8(path).c_str(), 0555), 0);
  const auto dir = TDirectory::Open(path, false);
  ASSERT_TRUE(dir);
  EXPECT_FALSE(dir->GrantOwnerWriteAndSearch());
  EXPECT_EQ(GetLastError(), static_cast<Cardinal>(EPERM));
  struct stat st;
  ASSERT_EQ(::stat(ToUtf8(path).c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0555u);
}

}  // namespace
