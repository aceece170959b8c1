#include "installer/pel_files.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "platform/environment.h"
#include "platform/files.h"
#include "platform/text.h"
#include "runtime/file_mask.h"
#include "tests/platform/temp_tree.h"
#include "unprivileged.h"

using namespace tarnwick;
using platform_test::TTempTree;
namespace fs = std::filesystem;

namespace {

fs::path OsPath(const string& path) { return fs::path(platform::ToUtf8(path)); }

void MakeFile(const string& path) { ASSERT_TRUE(platform::WriteWholeFile(path, "x", 1)); }
void MakeDir(const string& path) { ASSERT_TRUE(platform::MakeDirectories(path)); }
void Link(const string& target, const string& link) { fs::create_symlink(OsPath(target), OsPath(link)); }
void SetMode(const string& path, fs::perms perms) { fs::permissions(OsPath(path), perms); }

bool Exists(const string& path) { return fs::exists(fs::symlink_status(OsPath(path))); }

// Every path below the directory, relative to it, sorted.
std::vector<std::string> TreeOf(const string& directory) {
  std::vector<std::string> paths;
  const fs::path root = OsPath(directory);
  for (const auto& entry : fs::recursive_directory_iterator(root))
    paths.push_back(entry.path().lexically_relative(root).string());
  std::sort(paths.begin(), paths.end());
  return paths;
}

// A directory elsewhere that the tree's links point into; it must survive.
struct TOutside {
  TTempTree Tree;
  TOutside() {
    MakeDir(Tree / u"dir/deep");
    MakeFile(Tree / u"dir/deep/keep");
    MakeFile(Tree / u"file");
  }
  void ExpectUntouched() const {
    EXPECT_EQ(TreeOf(Tree.Path()), (std::vector<std::string>{"dir", "dir/deep", "dir/deep/keep", "file"}));
  }
};

TEST(ListSubDirs, ListsEachDirectoryFollowedByItsOwn) {
  TTempTree tree;
  TOutside outside;
  MakeDir(tree / u"a/x/y");
  MakeDir(tree / u"b");
  MakeFile(tree / u"a/file");
  Link(outside.Tree.Path(), tree / u"a/link");  // a link is no subdirectory

  rtl::TStringList flat;
  flat.Add(u"kept");
  EXPECT_EQ(ListSubDirs(tree.Path(), flat, false), 2);
  std::vector<string> names(flat.Items().size());
  std::transform(flat.begin(), flat.end(), names.begin(), [](const auto& item) { return item.Text; });
  std::sort(names.begin() + 1, names.end());
  EXPECT_EQ(names, (std::vector<string>{u"kept", tree / u"a", tree / u"b"}));

  rtl::TStringList deep;
  EXPECT_EQ(ListSubDirs(tree.Path() + u"/", deep, true), 4);  // no doubled "/"
  ASSERT_EQ(deep.Count(), 4);
  const Integer a = deep.IndexOf(tree / u"a");
  ASSERT_GE(a, 0);
  ASSERT_LE(a, 1);
  EXPECT_EQ(deep[a + 1], tree / u"a/x");
  EXPECT_EQ(deep[a + 2], tree / u"a/x/y");
  EXPECT_EQ(deep[a == 0 ? 3 : 0], tree / u"b");

  EXPECT_EQ(ListSubDirs(tree / u"missing", deep, true), 0);
  EXPECT_EQ(deep.Count(), 4);
}

class UniqueTempDirTest : public testing::Test {
 protected:
  void SetUp() override {
    FSavedTmpDir = platform::GetEnvironmentVariable(u"TMPDIR");
    ASSERT_TRUE(platform::SetEnvironmentVariable(u"TMPDIR", FTemp.Path()));
  }
  void TearDown() override {
    if (FSavedTmpDir) platform::SetEnvironmentVariable(u"TMPDIR", *FSavedTmpDir);
    else platform::UnsetEnvironmentVariable(u"TMPDIR");
  }

  TTempTree FTemp;
  std::optional<std::u16string> FSavedTmpDir;
};

TEST_F(UniqueTempDirTest, FirstNameThatIsNoDirectoryYet) {
  const string tmp = FTemp.Path();
  EXPECT_EQ(UniqueTempDir(u"", u"ChkDel"), tmp + u"/ChkDel");
  MakeDir(tmp + u"/ChkDel");
  EXPECT_EQ(UniqueTempDir(u"", u"ChkDel"), tmp + u"/ChkDel0");
  MakeDir(tmp + u"/ChkDel0");
  MakeFile(tmp + u"/ChkDel1");  // a file does not take the name
  EXPECT_EQ(UniqueTempDir(u"", u"ChkDel"), tmp + u"/ChkDel1");
  EXPECT_EQ(UniqueTempDir(u"", u"chkdel"), tmp + u"/chkdel");  // letter case counts

  // Decimal numbers without leading zeros, in order; a link to a directory
  // takes its name.
  platform::DeleteFile(tmp + u"/ChkDel1");
  for (int i = 1; i <= 10; ++i) MakeDir(tmp + u"/ChkDel" + platform::IntToStr(i));
  Link(tmp + u"/ChkDel", tmp + u"/ChkDel11");
  EXPECT_EQ(UniqueTempDir(u"", u"ChkDel"), tmp + u"/ChkDel12");

  std::vector<std::string> made{"ChkDel", "ChkDel0", "ChkDel11"};
  for (int i = 1; i <= 10; ++i) made.push_back("ChkDel" + std::to_string(i));
  std::sort(made.begin(), made.end());
  EXPECT_EQ(TreeOf(tmp), made);  // only what the test made
}

TEST_F(UniqueTempDirTest, BaseAndName) {
  const string tmp = FTemp.Path();
  const struct {
    string Base, Name, Result;
  } cases[] = {
      {u"", u"", tmp},
      {u"", u"n", tmp + u"/n"},
      {u"sub", u"n", tmp + u"/sub/n"},
      {u"sub", u"", tmp + u"/sub"},
      {u"\\sub", u"n", tmp + u"/sub/n"},  // one leading "\" is skipped
      {u"\\", u"n", tmp + u"/n"},
      {u"/abs/dir/", u"n", u"/abs/dir/n"},  // an absolute base stands alone
      {u"/abs/dir", u"", u"/abs/dir"},
      {tmp + u"/", u"n", tmp + u"/n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(platform::ToUtf8(c.Base) + " + " + platform::ToUtf8(c.Name));
    EXPECT_EQ(UniqueTempDir(c.Base, c.Name), c.Result);
  }
  EXPECT_TRUE(TreeOf(tmp).empty());  // nothing created
}

TEST(DeleteFilesByMask, DeletesMatchingNonDirectories) {
  TOutside outside;
  const struct {
    string Mask;
    Integer Found;
    std::vector<std::string> Left;
  } cases[] = {
      {u"*.*", 6, {"d", "d/inner.txt"}},
      {u"*", 6, {"d", "d/inner.txt"}},
      {u"*.txt", 2, {".hidden", "b.log", "d", "d/inner.txt", "link", "noext"}},
      {u"?.log", 1, {".hidden", "a.txt", "d", "d/inner.txt", "link", "noext", "ro.txt"}},
      {u"l*", 1, {".hidden", "a.txt", "b.log", "d", "d/inner.txt", "noext", "ro.txt"}},
      {u"*.TXT", 0, {".hidden", "a.txt", "b.log", "d", "d/inner.txt", "link", "noext", "ro.txt"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(platform::ToUtf8(c.Mask));
    TTempTree tree;
    MakeDir(tree / u"d");
    for (const char16_t* name : {u"a.txt", u"b.log", u".hidden", u"noext", u"ro.txt", u"d/inner.txt"})
      MakeFile(tree / name);
    SetMode(tree / u"ro.txt", fs::perms::owner_read);
    Link(outside.Tree / u"file", tree / u"link");
    EXPECT_EQ(DeleteFilesByMask(tree.Path(), c.Mask), c.Found);
    EXPECT_EQ(TreeOf(tree.Path()), c.Left);
  }
  outside.ExpectUntouched();
}

TEST(DeleteFilesByMask, BadMaskOrNoDirectoryDeletesNothing) {
  TTempTree tree;
  MakeFile(tree / u"a");
  EXPECT_THROW(DeleteFilesByMask(tree.Path(), u"[a"), rtl::EMaskError);
  EXPECT_EQ(DeleteFilesByMask(tree / u"missing", u"*"), 0);
  EXPECT_EQ(DeleteFilesByMask(u"", u"*"), 0);
  EXPECT_EQ(TreeOf(tree.Path()), (std::vector<std::string>{"a"}));
}

// A read-only file, a read-only subdirectory, nesting and links pointing out
// of the tree: everything inside goes, everything outside stays.  As user
// nobody, since root may empty any directory anyway.
TEST(RemoveDirTree, RemovesNestedReadOnlyTreeAndOnlyLinksOfWhatLiesOutside) {
  RUN_UNPRIVILEGED();
  TOutside outside;
  TTempTree parent;
  const string tree = parent / u"tree";
  MakeDir(tree + u"/a/b/c");
  MakeDir(tree + u"/ro/inner");
  MakeFile(tree + u"/top");
  MakeFile(tree + u"/.hidden");
  MakeFile(tree + u"/a/b/c/deep");
  MakeFile(tree + u"/ro/file");
  MakeFile(tree + u"/ro/inner/file");
  SetMode(tree + u"/top", fs::perms::owner_read);
  Link(outside.Tree / u"dir", tree + u"/a/link-to-dir");
  Link(outside.Tree / u"file", tree + u"/ro/link-to-file");
  Link(outside.Tree / u"dir", tree + u"/ro/inner/link-to-dir");
  SetMode(tree + u"/ro/inner", fs::perms(0555));
  SetMode(tree + u"/ro", fs::perms(0555));

  EXPECT_TRUE(RemoveDirTree(tree + u"/"));
  EXPECT_FALSE(Exists(tree));
  EXPECT_TRUE(TreeOf(parent.Path()).empty());
  outside.ExpectUntouched();
}

TEST(RemoveDirTree, LinkGivenAsTheDirectoryRemovesNothing) {
  TOutside outside;
  TTempTree tree;
  Link(outside.Tree / u"dir", tree / u"link");
  for (const string& path : {tree / u"link", tree / u"link/", tree / u"link//"}) {
    SCOPED_TRACE(platform::ToUtf8(path));
    EXPECT_FALSE(RemoveDirTree(path));
    EXPECT_TRUE(fs::is_symlink(OsPath(tree / u"link")));
    outside.ExpectUntouched();
  }
}

TEST(RemoveDirTree, NothingToRemove) {
  TTempTree tree;
  MakeFile(tree / u"file");
  EXPECT_FALSE(RemoveDirTree(u""));
  EXPECT_FALSE(RemoveDirTree(tree / u"missing"));
  EXPECT_FALSE(RemoveDirTree(tree / u"file"));
  EXPECT_EQ(TreeOf(tree.Path()), (std::vector<std::string>{"file"}));
  MakeDir(tree / u"empty");
  EXPECT_TRUE(RemoveDirTree(tree / u"empty"));
}

// The count is of what was found, also when the directory keeps it.
TEST(DeleteFilesByMask, CountsWhatItFoundNotWhatWentAway) {
  RUN_UNPRIVILEGED();
  TTempTree tree;
  MakeFile(tree / u"a");
  MakeFile(tree / u"b");
  SetMode(tree.Path(), fs::perms(0555));
  EXPECT_EQ(DeleteFilesByMask(tree.Path(), u"*"), 2);
  SetMode(tree.Path(), fs::perms::owner_all);
  EXPECT_EQ(TreeOf(tree.Path()), (std::vector<std::string>{"a", "b"}));
}

// What cannot be removed stays, the rest goes, and the answer is False.
TEST(RemoveDirTree, LeavesWhatItMayNotRemove) {
  RUN_UNPRIVILEGED();
  TTempTree parent;
  const string tree = parent / u"tree";
  MakeDir(tree + u"/closed");
  MakeDir(tree + u"/open");
  MakeFile(tree + u"/closed/file");
  MakeFile(tree + u"/open/file");
  SetMode(tree + u"/closed", fs::perms::none);  // cannot even be read
  EXPECT_FALSE(RemoveDirTree(tree));
  SetMode(tree + u"/closed", fs::perms::owner_all);
  EXPECT_EQ(TreeOf(parent.Path()), (std::vector<std::string>{"tree", "tree/closed", "tree/closed/file"}));
}

}  // namespace
