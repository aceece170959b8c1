#include "crypto/engine_utils.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "crypto/debug_log.h"
#include "crypto/root_path.h"
#include "test_support.h"
#include "platform/files.h"

namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;
using ::testing::SizeIs;
using ::testing::StartsWith;
using testsupport::A;
using testsupport::TLogCapture;
using testsupport::TTempDir;

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
