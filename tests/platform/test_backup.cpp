#include "platform/backup.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "platform/files.h"
#include "platform/last_error.h"
#include "platform/regular_file.h"
#include "platform/text.h"
#include "temp_tree.h"

using namespace platform;
using platform_test::TTempTree;

namespace {

std::string U8(const std::u16string& text) { return ToUtf8(text); }

bool WriteText(const std::u16string& path, const std::string& text) {
  return WriteWholeFile(path, text.data(), text.size());
}

std::string ReadText(const std::u16string& path) {
  std::string text;
  return ReadWholeFile(path, text) ? text : "<unreadable>";
}

// A backup directory on the files' own file system (backups are hard links)
// or on another (backups are copies).
struct TPlace {
  const char* Name;
  bool SameFileSystem;
};
constexpr TPlace Places[] = {{"hard link", true}, {"copy", false}};

std::u16string BackupParent(const TPlace& place, const TTempTree& tree) {
  return place.SameFileSystem ? tree.Path() : u"/dev/shm";
}

}  // namespace

TEST(OwnDirectory, IsCreatedExclusivelyForThisProcessAlone) {
  TTempTree tree;
  ASSERT_TRUE(MakeDirectories(tree / u"taken"));
  ASSERT_EQ(::symlink(U8(tree / u"nowhere").c_str(), U8(tree / u"planted").c_str()), 0);
  for (const auto* name : {u"taken", u"planted"}) {
    EXPECT_FALSE(TOwnDirectory::Create(tree / name));
    EXPECT_EQ(GetLastError(), ErrorAlreadyExists);
  }
  EXPECT_FALSE(DirectoryExists(tree / u"nowhere"));

  auto own = TOwnDirectory::Create(tree / u"own");
  ASSERT_TRUE(own);
  struct stat st;
  ASSERT_EQ(::stat(U8(tree / u"own").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0700u);
  ASSERT_TRUE(WriteText(tree / u"own/a", "a"));
  EXPECT_TRUE(own->Remove());
  EXPECT_FALSE(DirectoryExists(tree / u"own"));
}

TEST(OwnDirectory, RemovesNothingOnceItsNameReachesAnotherDirectory) {
  TTempTree tree;
  auto own = TOwnDirectory::Create(tree / u"own");
  ASSERT_TRUE(own);
  ASSERT_EQ(::rename(U8(tree / u"own").c_str(), U8(tree / u"moved").c_str()), 0);
  ASSERT_TRUE(MakeDirectories(tree / u"own"));
  ASSERT_TRUE(WriteText(tree / u"own/theirs", "theirs"));
  EXPECT_FALSE(own->Remove());
  EXPECT_EQ(ReadText(tree / u"own/theirs"), "theirs");
}

TEST(FileBackup, NeverReplacesAFileThatTookTheName) {
  for (const TPlace& place : Places) {
    SCOPED_TRACE(place.Name);
    TTempTree tree;
    const std::u16string file = tree / u"file";
    auto dir = TOwnDirectory::Create(BackupParent(place, tree) + u"/backup-test-" + IntToStr(::getpid()));
    ASSERT_TRUE(dir);
    ASSERT_TRUE(WriteText(file, "original"));
    TFileBackup backup(*dir, u"b.tmp");
    ASSERT_EQ(backup.Take(file), TBackupResult::Done);
    ASSERT_TRUE(backup.DeleteSource());
    EXPECT_FALSE(backup.SourceNameTaken());
    ASSERT_TRUE(WriteText(file, "newcomer"));
    EXPECT_TRUE(backup.SourceNameTaken());
    EXPECT_EQ(backup.Restore(), TRestoreResult::NameTaken);
    EXPECT_EQ(ReadText(file), "newcomer");
    EXPECT_EQ(ReadText(backup.Path()), "original");
    std::vector<std::u16string> left;
    ASSERT_TRUE(ListDirectory(tree.Path(), left));
    EXPECT_EQ(left.size(), place.SameFileSystem ? 2u : 1u);  // no temporary file stays

    ASSERT_TRUE(DeleteFile(file));
    EXPECT_EQ(backup.Restore(), TRestoreResult::Restored);
    EXPECT_EQ(ReadText(file), "original");
    EXPECT_TRUE(backup.Discard());
    EXPECT_TRUE(dir->Remove());
  }
}

TEST(FileBackup, RefusesWhatIsNoFileAndAFileSwappedBeforeItsDeletion) {
  TTempTree tree;
  auto dir = TOwnDirectory::Create(tree / u"backups");
  ASSERT_TRUE(dir);
  const std::u16string fifo = tree / u"fifo", file = tree / u"file";
  ASSERT_EQ(::mkfifo(U8(fifo).c_str(), 0600), 0);
  for (const auto& name : {fifo, tree.Path(), tree / u"missing"}) {
    TFileBackup backup(*dir, u"x.tmp");
    EXPECT_EQ(backup.Take(name), TBackupResult::SourceUnreadable) << U8(name);
  }
  ASSERT_TRUE(WriteText(file, "first"));
  TFileBackup backup(*dir, u"y.tmp");
  ASSERT_EQ(backup.Take(file), TBackupResult::Done);
  ASSERT_TRUE(DeleteFile(file));
  ASSERT_TRUE(WriteText(file, "second"));
  EXPECT_FALSE(backup.DeleteSource());  // not the file that was backed up
  EXPECT_EQ(ReadText(file), "second");
}

TEST(ReadRegularFile, ReadsOnlyRegularFilesAndNeverWaits) {
  TTempTree tree;
  const std::u16string file = tree / u"file", fifo = tree / u"fifo", link = tree / u"link";
  ASSERT_TRUE(WriteText(file, "contents"));
  ASSERT_EQ(::mkfifo(U8(fifo).c_str(), 0600), 0);
  ASSERT_EQ(::symlink("file", U8(link).c_str()), 0);
  std::string text;
  EXPECT_TRUE(ReadRegularFile(link, text));
  EXPECT_EQ(text, "contents");
  for (const auto& name : {fifo, tree.Path(), std::u16string(u"/dev/zero")}) {
    EXPECT_FALSE(ReadRegularFile(name, text)) << U8(name);
    EXPECT_EQ(GetLastError(), static_cast<Cardinal>(EINVAL)) << U8(name);
    EXPECT_TRUE(text.empty());
  }
  EXPECT_FALSE(ReadRegularFile(tree / u"missing", text));
}
