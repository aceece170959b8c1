#include "platform/files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "platform/environment.h"
#include "platform/last_error.h"
#include "platform/text.h"
#include "temp_tree.h"

using namespace platform;
using platform_test::TTempTree;
namespace fs = std::filesystem;

namespace {

fs::path OsPath(const std::u16string& path) { return fs::path(ToUtf8(path)); }

std::string ReadOrFail(const std::u16string& path) {
  std::string contents;
  EXPECT_TRUE(ReadWholeFile(path, contents)) << ToUtf8(path);
  return contents;
}

bool WriteText(const std::u16string& path, const std::string& text) {
  return WriteWholeFile(path, text.data(), text.size());
}

TEST(AbsolutePath, FoldsLexically) {
  const std::u16string cwd = CurrentDirectory();
  ASSERT_FALSE(cwd.empty());
  ASSERT_NE(cwd, u"/");
  const struct {
    std::u16string In, Out;
  } cases[] = {
      {u"/", u"/"},
      {u"//", u"/"},
      {u"/a//b", u"/a/b"},
      {u"/a/./b/.", u"/a/b"},
      {u"/a/b/..", u"/a"},
      {u"/a/b/../..", u"/"},
      {u"/../../x", u"/x"},
      {u"/a/b/", u"/a/b/"},
      {u"/a/../", u"/"},
      {u"/a/.b/..c/...", u"/a/.b/..c/..."},
      {u"/A/b/../B", u"/A/B"},
      {u"x/y", cwd + u"/x/y"},
      {u"./x//", cwd + u"/x/"},
      {u".", cwd},
      {u"..", ExtractFileDir(cwd).empty() ? u"/" : ExtractFileDir(cwd)},
      {u"", u""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(ToUtf8(c.In));
    EXPECT_EQ(AbsolutePath(c.In), c.Out);
  }
}

TEST(Paths, ExtractFileDirAndName) {
  const struct {
    std::u16string Path, Dir, Name;
  } cases[] = {
      {u"/a/b/c.so", u"/a/b", u"c.so"},
      {u"/c.so", u"", u"c.so"},
      {u"c.so", u"", u"c.so"},
      {u"/a/b/", u"/a/b", u""},
      {u"a\\b:c", u"", u"a\\b:c"},  // only "/" separates here
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(ToUtf8(c.Path));
    EXPECT_EQ(ExtractFileDir(c.Path), c.Dir);
    EXPECT_EQ(ExtractFileName(c.Path), c.Name);
  }
}

TEST(Files, ExistenceFollowsLinksAndTellsFilesFromDirectories) {
  TTempTree tree;
  ASSERT_TRUE(WriteText(tree / u"file", "x"));
  ASSERT_TRUE(MakeDirectories(tree / u"dir"));
  fs::create_symlink(OsPath(tree / u"file"), OsPath(tree / u"link-to-file"));
  fs::create_symlink(OsPath(tree / u"dir"), OsPath(tree / u"link-to-dir"));
  fs::create_symlink(OsPath(tree / u"gone"), OsPath(tree / u"dangling"));

  const struct {
    std::u16string Name;
    bool File, Directory;
  } cases[] = {
      {u"file", true, false},        {u"dir", false, true},
      {u"link-to-file", true, false}, {u"link-to-dir", false, true},
      {u"dangling", false, false},   {u"missing", false, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(ToUtf8(c.Name));
    EXPECT_EQ(FileExists(tree / c.Name), c.File);
    EXPECT_EQ(DirectoryExists(tree / c.Name), c.Directory);
  }
  SetLastError(0);
  EXPECT_FALSE(FileExists(tree / u"missing"));
  EXPECT_EQ(GetLastError(), static_cast<Cardinal>(ENOENT));
}

TEST(Files, WriteWholeFileWritesEveryByteAndTruncates) {
  TTempTree tree;
  const std::u16string path = tree / u"data";
  std::string big(3 * 1024 * 1024 + 17, '\0');  // several write chunks
  for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 7 + i / 251);
  ASSERT_TRUE(WriteText(path, big));
  EXPECT_EQ(ReadOrFail(path), big);

  ASSERT_TRUE(WriteText(path, "short"));
  EXPECT_EQ(ReadOrFail(path), "short");

  ASSERT_TRUE(WriteWholeFile(path, nullptr, 0));
  EXPECT_EQ(ReadOrFail(path), "");
}

TEST(Files, ReplaceWholeFileSwapsInANewFileAndNeverWritesThroughALink) {
  TTempTree tree;
  const std::u16string path = tree / u"signed.bin";
  ASSERT_TRUE(WriteText(path, "old content"));
  ASSERT_TRUE(ReplaceWholeFile(path, "new", 3));
  EXPECT_EQ(ReadOrFail(path), "new");

  // A link in the target's place is replaced, not followed.
  const std::u16string elsewhere = tree / u"elsewhere";
  ASSERT_TRUE(WriteText(elsewhere, "keep me"));
  const std::u16string link = tree / u"link.bin";
  fs::create_symlink(ToUtf8(elsewhere), ToUtf8(link));
  ASSERT_TRUE(ReplaceWholeFile(link, "data", 4));
  EXPECT_EQ(ReadOrFail(elsewhere), "keep me");
  EXPECT_EQ(ReadOrFail(link), "data");
  EXPECT_FALSE(fs::is_symlink(ToUtf8(link)));

  std::vector<std::u16string> names;
  ASSERT_TRUE(ListDirectory(tree.Path(), names));
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::u16string>{u"elsewhere", u"link.bin", u"signed.bin"}));

  EXPECT_FALSE(ReplaceWholeFile(tree / u"no-such-dir/file", "x", 1));
  EXPECT_EQ(GetLastError(), static_cast<Cardinal>(ENOENT));
}

TEST(Files, WriteWholeFileFailures) {
  TTempTree tree;
  SetLastError(0);
  EXPECT_FALSE(WriteText(tree / u"no-such-dir/file", "x"));
  EXPECT_EQ(GetLastError(), static_cast<Cardinal>(ENOENT));

  EXPECT_FALSE(WriteWholeFile(tree / u"file", nullptr, 3));
  EXPECT_EQ(GetLastError(), static_cast<Cardinal>(EINVAL));
  EXPECT_FALSE(FileExists(tree / u"file"));

  // A zero character would cut the name short at the OS boundary.
  EXPECT_FALSE(WriteText(tree / std::u16string(u"a\0b", 3), "x"));
  EXPECT_EQ(GetLastError(), static_cast<Cardinal>(EINVAL));
  EXPECT_FALSE(FileExists(tree / u"a"));

  EXPECT_FALSE(WriteText(tree.Path(), "x"));  // a directory
  EXPECT_EQ(GetLastError(), static_cast<Cardinal>(EISDIR));
}

TEST(Files, NameWithInvalidUtf8IsCreatedAndListedBackExactly) {
  TTempTree tree;
  const std::string rawName = "bad\xFF\xC3-\xE2\x82\xAC";
  const std::u16string name = FromUtf8(rawName);
  ASSERT_TRUE(WriteText(tree / name, "x"));
  EXPECT_TRUE(fs::exists(fs::path(ToUtf8(tree.Path()) + "/" + rawName)));

  std::vector<std::u16string> names;
  ASSERT_TRUE(ListDirectory(tree.Path(), names));
  ASSERT_EQ(names.size(), 1u);
  EXPECT_EQ(names[0], name);
  EXPECT_TRUE(FileExists(tree / names[0]));
  EXPECT_TRUE(DeleteFile(tree / names[0]));
}

TEST(Files, ListDirectoryGivesEntriesWithoutDotsAndFailsOnFiles) {
  TTempTree tree;
  ASSERT_TRUE(WriteText(tree / u"a", ""));
  ASSERT_TRUE(MakeDirectories(tree / u"sub"));
  std::vector<std::u16string> names{u"stale"};
  ASSERT_TRUE(ListDirectory(tree.Path(), names));
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::u16string>{u"a", u"sub"}));

  EXPECT_FALSE(ListDirectory(tree / u"a", names));
  EXPECT_EQ(GetLastError(), static_cast<Cardinal>(ENOTDIR));
  EXPECT_TRUE(names.empty());
}

TEST(Files, CopyReplacesOnlyWhenAllowed) {
  TTempTree tree;
  const std::u16string from = tree / u"from", to = tree / u"to";
  ASSERT_TRUE(WriteText(from, "new contents"));
  fs::permissions(OsPath(from), fs::perms::owner_read | fs::perms::owner_write |
                                    fs::perms::owner_exec);
  ASSERT_TRUE(WriteText(to, "old"));

  EXPECT_FALSE(CopyFile(from, to, true));
  EXPECT_EQ(GetLastError(), static_cast<Cardinal>(EEXIST));
  EXPECT_EQ(ReadOrFail(to), "old");

  ASSERT_TRUE(CopyFile(from, to));
  EXPECT_EQ(ReadOrFail(to), "new contents");
  EXPECT_EQ(fs::status(OsPath(to)).permissions(), fs::status(OsPath(from)).permissions());

  ASSERT_TRUE(CopyFile(from, tree / u"fresh", true));
  EXPECT_EQ(ReadOrFail(tree / u"fresh"), "new contents");

  // Onto itself: the contents must survive.
  ASSERT_TRUE(CopyFile(from, from));
  EXPECT_EQ(ReadOrFail(from), "new contents");
}

TEST(Files, FailedCopyLeavesNothingBehind) {
  TTempTree tree;
  ASSERT_TRUE(MakeDirectories(tree / u"dir"));
  ASSERT_TRUE(WriteText(tree / u"from", "x"));

  EXPECT_FALSE(CopyFile(tree / u"missing", tree / u"to"));
  EXPECT_EQ(GetLastError(), static_cast<Cardinal>(ENOENT));
  EXPECT_FALSE(CopyFile(tree / u"dir", tree / u"to"));
  EXPECT_EQ(GetLastError(), static_cast<Cardinal>(EISDIR));
  EXPECT_FALSE(CopyFile(tree / u"from", tree / u"dir"));  // a directory is in the way

  std::vector<std::u16string> names;
  ASSERT_TRUE(ListDirectory(tree.Path(), names));
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::u16string>{u"dir", u"from"}));
  ASSERT_TRUE(ListDirectory(tree / u"dir", names));
  EXPECT_TRUE(names.empty());
}

TEST(Files, RenameReplacesAndDeleteRemoves) {
  TTempTree tree;
  ASSERT_TRUE(WriteText(tree / u"a", "A"));
  ASSERT_TRUE(WriteText(tree / u"b", "B"));
  ASSERT_TRUE(RenameFile(tree / u"a", tree / u"b"));
  EXPECT_FALSE(FileExists(tree / u"a"));
  EXPECT_EQ(ReadOrFail(tree / u"b"), "A");

  EXPECT_FALSE(RenameFile(tree / u"a", tree / u"c"));
  EXPECT_EQ(GetLastError(), static_cast<Cardinal>(ENOENT));

  ASSERT_TRUE(DeleteFile(tree / u"b"));
  EXPECT_FALSE(FileExists(tree / u"b"));
  EXPECT_FALSE(DeleteFile(tree / u"b"));
  EXPECT_EQ(GetLastError(), static_cast<Cardinal>(ENOENT));

  ASSERT_TRUE(MakeDirectories(tree / u"dir"));
  EXPECT_FALSE(DeleteFile(tree / u"dir"));
  EXPECT_TRUE(DirectoryExists(tree / u"dir"));
}

TEST(Files, MakeDirectoriesWithParentsAndRemoveDirectory) {
  TTempTree tree;
  EXPECT_TRUE(MakeDirectories(tree / u"a/b//c/"));
  EXPECT_TRUE(DirectoryExists(tree / u"a/b/c"));
  EXPECT_TRUE(MakeDirectories(tree / u"a/b/c"));  // existing is fine

  ASSERT_TRUE(WriteText(tree / u"a/file", ""));
  EXPECT_FALSE(MakeDirectories(tree / u"a/file/d"));
  EXPECT_EQ(GetLastError(), static_cast<Cardinal>(ENOTDIR));
  EXPECT_FALSE(MakeDirectories(tree / u"a/file"));
  EXPECT_EQ(GetLastError(), static_cast<Cardinal>(ENOTDIR));
  EXPECT_FALSE(MakeDirectories(u""));

  EXPECT_FALSE(RemoveDirectory(tree / u"a/b"));  // not empty
  EXPECT_EQ(GetLastError(), static_cast<Cardinal>(ENOTEMPTY));
  EXPECT_TRUE(RemoveDirectory(tree / u"a/b/c"));
  EXPECT_FALSE(DirectoryExists(tree / u"a/b/c"));
}

TEST(Files, TempDirectoryTakesAnAbsoluteTmpdirOnly) {
  const std::optional<std::u16string> saved = GetEnvironmentVariable(u"TMPDIR");
  const struct {
    std::optional<std::u16string> Tmpdir;
    std::u16string Expected;
  } cases[] = {
      {std::nullopt, u"/tmp"},
      {u"", u"/tmp"},
      {u"relative/dir", u"/tmp"},
      {u"/var/tmp/", u"/var/tmp"},
      {u"/x//y/../z", u"/x/z"},
      {u"/", u"/"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Tmpdir ? ToUtf8(*c.Tmpdir) : "unset");
    if (c.Tmpdir)
      ASSERT_TRUE(SetEnvironmentVariable(u"TMPDIR", *c.Tmpdir));
    else
      ASSERT_TRUE(UnsetEnvironmentVariable(u"TMPDIR"));
    EXPECT_EQ(TempDirectory(), c.Expected);
  }
  if (saved)
    SetEnvironmentVariable(u"TMPDIR", *saved);
  else
    UnsetEnvironmentVariable(u"TMPDIR");
}

TEST(Files, CurrentDirectoryIsTheProcessOne) {
  EXPECT_EQ(CurrentDirectory(), FromUtf8(fs::current_path().string()));
}

}  // namespace
