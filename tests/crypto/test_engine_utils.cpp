#include "crypto/engine_utils.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <string>
#include <vector>

#include "crypto/debug_log.h"
#include "crypto/root_path.h"
#include "test_support.h"
#include "platform/files.h"
#include "tests/installer/unprivileged.h"

namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;
using ::testing::SizeIs;
using ::testing::StartsWith;
using testsupport::A;
using testsupport::TLogCapture;
using testsupport::TTempDir;
using testsupport::U;

struct HexDumpCase {
  std::vector<unsigned char> FData;
  Cardinal FGroup;
  Cardinal FLine;
  std::string FExpected;
};

std::string Digits(std::size_t aBytes) {
  std::string text;
  for (std::size_t i = 0; i < aBytes; ++i) text += "AB";
  return text;
}

TEST(HexDump, SeparatesGroupsAndLinesBeforeTheNextByte) {
  const std::vector<HexDumpCase> cases = {
      {{0x00, 0x11, 0x22, 0x33, 0x44}, 2, 4, "0011 2233 \r\n44"},
      {{0xAB, 0xCD, 0xEF}, 8, 8, "ABCDEF"},
      {{0x0F, 0xF0}, 1, 1, "0F \r\nF0"},
      {{0x01, 0x02}, 0, 0, " \r\n01 \r\n02"},  // a zero length separates every byte
      {{}, 2, 4, ""},
      {std::vector<unsigned char>(255, 0xAB), 255, 255, Digits(255)},
      {std::vector<unsigned char>(256, 0xAB), 255, 255, Digits(255) + " \r\nAB"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(
        selvane::HexDump(c.FData.data(), static_cast<Cardinal>(c.FData.size()), c.FGroup, c.FLine),
        c.FExpected)
        << c.FData.size() << " bytes, group " << c.FGroup << ", line " << c.FLine;
}

TEST(HexDump, ReadsExactlyTheGivenLengthAndNothingFromNil) {
  const unsigned char data[] = {0x12, 0x34, 0x56};
  EXPECT_EQ(selvane::HexDump(data, 2, 255, 255), "1234");
  EXPECT_EQ(selvane::HexDump(nullptr, 10, 2, 4), "");
}

TEST(DecodeUIDsList, SplitsAtEverySemicolonAndAppends) {
  struct Case {
    const char16_t* FText;
    std::vector<std::u16string> FItems;
  };
  const std::vector<Case> cases = {
      {u"A;B", {u"A", u"B"}},
      {u"A;", {u"A", u""}},
      {u";", {u"", u""}},
      {u"A", {u"A"}},
      {u" A ;A", {u" A ", u"A"}},  // nothing trimmed, repeats kept
      {u"", {}},
      {nullptr, {}},
  };
  for (const auto& c : cases) {
    selvane::TStringList list = {u"kept"};
    const Integer count = selvane::DecodeUIDsList(c.FText, list);
    EXPECT_EQ(count, static_cast<Integer>(c.FItems.size())) << A(c.FText ? c.FText : u"(nil)");
    std::vector<std::u16string> expected = {u"kept"};
    expected.insert(expected.end(), c.FItems.begin(), c.FItems.end());
    EXPECT_THAT(list, ElementsAreArray(expected)) << A(c.FText ? c.FText : u"(nil)");
  }
}

class WriteBufferToFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    selvane::InitRootPath();
    selvane::InitDebugLog();
    selvane::SetCryptDebugCallBack(&TLogCapture::Receive);
    TLogCapture::Instance().Clear();
  }
  void TearDown() override {
    selvane::SetCryptDebugCallBack(nullptr);
    selvane::DoneDebugLog();
    selvane::DoneRootPath();
  }

  static std::string Contents(const std::u16string& aPath) {
    std::string contents;
    EXPECT_TRUE(platform::ReadWholeFile(aPath, contents)) << A(aPath);
    return contents;
  }
  static std::vector<std::u16string> Entries(const std::u16string& aDir) {
    std::vector<std::u16string> names;
    platform::ListDirectory(aDir, names);
    return names;
  }

  TTempDir FDir;
};

TEST_F(WriteBufferToFileTest, ReplacesAnExistingFileWithoutLeftovers) {
  const std::u16string path = FDir / u"signed.bin";
  ASSERT_TRUE(platform::WriteWholeFile(path, "old content that is longer", 26));
  const std::string data("new\0data", 8);
  EXPECT_TRUE(selvane::WriteBufferToFile(path.c_str(), data.data(), 8));
  EXPECT_EQ(Contents(path), data);
  EXPECT_THAT(Entries(FDir.Path()), ElementsAre(u"signed.bin"));
  EXPECT_TRUE(selvane::WriteBufferToFile(path.c_str(), nullptr, 0));
  EXPECT_EQ(Contents(path), "");
  EXPECT_THAT(TLogCapture::Instance().Lines(), IsEmpty());
}

TEST_F(WriteBufferToFileTest, IntoAMissingDirectoryLogsAndFails) {
  const std::u16string path = FDir / u"missing/signed.bin";
  EXPECT_FALSE(selvane::WriteBufferToFile(path.c_str(), "x", 1));
  EXPECT_FALSE(platform::FileExists(path));
  const auto lines = TLogCapture::Instance().Lines();
  ASSERT_THAT(lines, SizeIs(1));
  const std::string head = "Write file " + A(path) + " error.\r\n";
  EXPECT_THAT(lines[0], StartsWith(head));
  EXPECT_GT(lines[0].size(), head.size()) << "the failure's message follows";
}

TEST_F(WriteBufferToFileTest, AFailedWriteKeepsTheOldFile) {
  const std::u16string path = FDir / u"signed.bin";
  ASSERT_TRUE(platform::WriteWholeFile(path, "old", 3));
  struct Case {
    const char* FWhat;
    const void* FBuffer;
    Integer FSize;
  };
  const Case cases[] = {
      {"negative size", "abc", -1},
      {"nil buffer with a size", nullptr, 4},
  };
  for (const auto& c : cases) {
    TLogCapture::Instance().Clear();
    EXPECT_FALSE(selvane::WriteBufferToFile(path.c_str(), c.FBuffer, c.FSize)) << c.FWhat;
    EXPECT_EQ(Contents(path), "old") << c.FWhat;
    const auto lines = TLogCapture::Instance().Lines();
    ASSERT_THAT(lines, SizeIs(1)) << c.FWhat;
    EXPECT_THAT(lines[0], StartsWith("Write file " + A(path) + " error.\r\n")) << c.FWhat;
  }
  EXPECT_THAT(Entries(FDir.Path()), ElementsAre(u"signed.bin"));
}

TEST_F(WriteBufferToFileTest, ATargetThatCannotBeReplacedStaysAndNoTemporaryIsLeft) {
  // A non-empty directory of that name cannot be replaced by a file.
  const std::u16string path = FDir / u"taken";
  ASSERT_TRUE(platform::MakeDirectories(path));
  ASSERT_TRUE(platform::WriteWholeFile(path + u"/inner", "in", 2));
  EXPECT_FALSE(selvane::WriteBufferToFile(path.c_str(), "abc", 3));
  EXPECT_TRUE(platform::DirectoryExists(path));
  EXPECT_EQ(Contents(path + u"/inner"), "in");
  EXPECT_THAT(Entries(FDir.Path()), ElementsAre(u"taken"));
  ASSERT_THAT(TLogCapture::Instance().Lines(), SizeIs(1));
}

// Runs aBody in a forked child whose files cannot grow beyond aLimit bytes
// (the signal of a write that would is ignored, so the write fails
// instead); the child's exit code is aBody's answer, -1 when it did not end.
int InChildWithFileSizeLimit(rlim_t aLimit, const std::function<int()>& aBody) {
  const pid_t child = ::fork();
  if (child == 0) {
    ::signal(SIGXFSZ, SIG_IGN);
    const struct rlimit limit = {aLimit, aLimit};
    if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) ::_exit(99);
    ::_exit(aBody());
  }
  int status = 0;
  if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

// 0 when a write of aSize bytes onto aPath fails with one log line.
int ShortWriteAnswer(const std::u16string& aPath, std::size_t aSize) {
  const std::string data(aSize, 'n');
  TLogCapture::Instance().Clear();
  if (selvane::WriteBufferToFile(aPath.c_str(), data.data(), static_cast<Integer>(aSize)))
    return 1;
  const auto lines = TLogCapture::Instance().Lines();
  return lines.size() == 1 && lines[0].rfind("Write file " + A(aPath) + " error.\r\n", 0) == 0
             ? 0
             : 2;
}

TEST_F(WriteBufferToFileTest, AShortWriteFailsAndKeepsTheOldFile) {
  const std::u16string path = FDir / u"signed.bin";
  ASSERT_TRUE(platform::WriteWholeFile(path, "old", 3));
  EXPECT_EQ(InChildWithFileSizeLimit(4096, [&] { return ShortWriteAnswer(path, 64 * 1024); }), 0);
  EXPECT_EQ(Contents(path), "old");
  EXPECT_THAT(Entries(FDir.Path()), ElementsAre(u"signed.bin"));
  // Within the limit the same write succeeds.
  EXPECT_EQ(InChildWithFileSizeLimit(4096, [&] { return ShortWriteAnswer(path, 4096); }), 1);
  EXPECT_EQ(Contents(path), std::string(4096, 'n'));
}

constexpr uid_t OtherUserId = 65533;  // neither root nor nobody

// Root's part: a sticky directory open to everybody, holding a file that
// everybody may write but that belongs to a third user.
void PrepareStickyDirectory(const std::string& aScratch) {
  const std::string dir = aScratch + "/sticky";
  const std::string file = dir + "/theirs.bin";
  if (::mkdir(dir.c_str(), 0777) != 0 || ::chmod(dir.c_str(), 01777) != 0 ||
      !platform::WriteWholeFile(U(file), "old contents, longer", 20) ||
      ::chown(file.c_str(), OtherUserId, OtherUserId) != 0 || ::chmod(file.c_str(), 0666) != 0)
    ADD_FAILURE() << "cannot prepare " << dir;
}

// Makes a directory unwritable for the time of a test, so that nothing new
// can be made in it.
class TLockedDir {
 public:
  explicit TLockedDir(const std::u16string& aPath) : FPath(A(aPath)) { ::chmod(FPath.c_str(), 0555); }
  ~TLockedDir() { ::chmod(FPath.c_str(), 0755); }
  TLockedDir(const TLockedDir&) = delete;
  TLockedDir& operator=(const TLockedDir&) = delete;

 private:
  std::string FPath;
};

// Where no temporary file can be made beside the target, or not renamed
// over it, a file that may be written is written in place; everything else
// still fails, and a link is still not written through.
TEST_F(WriteBufferToFileTest, WritesInPlaceWhereTheFileCannotBeReplaced) {
  RUN_UNPRIVILEGED_PREPARED(PrepareStickyDirectory);
  const std::string old = "old contents, longer";
  const std::u16string dir = FDir / u"locked";
  ASSERT_TRUE(platform::MakeDirectories(dir));
  for (const auto* name : {u"mine.bin", u"readonly.bin", u"short.bin", u"elsewhere.bin"})
    ASSERT_TRUE(platform::WriteWholeFile(dir + u"/" + name, old.data(), old.size()));
  ASSERT_EQ(::chmod(A(dir + u"/readonly.bin").c_str(), 0444), 0);
  ASSERT_EQ(::symlink("elsewhere.bin", A(dir + u"/link.bin").c_str()), 0);
  const std::u16string sticky = platform::TempDirectory() + u"/sticky";
  const bool prepared = platform::FileExists(sticky + u"/theirs.bin");

  struct TCase {
    const char* What;
    std::u16string Path;
    bool Written;
    bool Exists;  // afterwards
  };
  const std::vector<TCase> cases = {
      {"own file, directory not writable", dir + u"/mine.bin", true, true},
      {"read-only file", dir + u"/readonly.bin", false, true},
      {"no file yet", dir + u"/absent.bin", false, false},
      {"link", dir + u"/link.bin", false, true},
      {"another user's file in a sticky directory", sticky + u"/theirs.bin", true, true},
  };
  const std::string data = "new data";
  TLockedDir locked(dir);
  for (const TCase& c : cases) {
    if (c.Path.rfind(sticky, 0) == 0 && !prepared) continue;  // needs root to set up
    TLogCapture::Instance().Clear();
    EXPECT_EQ(selvane::WriteBufferToFile(c.Path.c_str(), data.data(), 8), c.Written) << c.What;
    EXPECT_EQ(platform::FileExists(c.Path), c.Exists) << c.What;
    if (c.Exists) {
      EXPECT_EQ(Contents(c.Path), c.Written ? data : old) << c.What;
    }
    EXPECT_THAT(TLogCapture::Instance().Lines(), SizeIs(c.Written ? 0 : 1)) << c.What;
  }
  EXPECT_EQ(Contents(dir + u"/elsewhere.bin"), old);
  // A short write in place fails before it touches the old contents.
  const std::u16string path = dir + u"/short.bin";
  EXPECT_EQ(InChildWithFileSizeLimit(4096, [&] { return ShortWriteAnswer(path, 64 * 1024); }), 0);
  EXPECT_EQ(Contents(path), old);
  // Nothing left behind anywhere.
  EXPECT_THAT(Entries(dir), ::testing::UnorderedElementsAre(u"mine.bin", u"readonly.bin",
                                                            u"short.bin", u"elsewhere.bin",
                                                            u"link.bin"));
  if (prepared) {
    EXPECT_THAT(Entries(sticky), ElementsAre(u"theirs.bin"));
  }
}

TEST(FileVersion, ReadsTheModulesNumbersOrNothing) {
  const std::u16string full = testsupport::FixtureModule("full", "kv_amsel.dll");
  std::uint16_t major = 1, minor = 2, release = 3, build = 4;
  ASSERT_TRUE(selvane::GetFileVersionNumbers(full, major, minor, release, build));
  EXPECT_EQ((std::vector<int>{major, minor, release, build}), (std::vector<int>{4, 12, 0, 318}));
  EXPECT_EQ(selvane::GetFileVersionString(full), u"4.12.0.318");

  TTempDir dir;
  const std::u16string plain = dir / u"plain.dll";
  ASSERT_TRUE(platform::WriteWholeFile(plain, "not a module", 12));
  for (const std::u16string& path : {plain, dir / u"missing.dll", dir.Path()}) {
    major = 7;
    EXPECT_FALSE(selvane::GetFileVersionNumbers(path, major, minor, release, build)) << A(path);
    EXPECT_EQ(major, 7) << "numbers unchanged for " << A(path);
    EXPECT_EQ(selvane::GetFileVersionString(path), u"") << A(path);
  }
}

}  // namespace
