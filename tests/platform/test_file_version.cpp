#include "platform/file_version.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <string>

#include "platform/files.h"
#include "platform/last_error.h"
#include "platform/text.h"
#include "temp_tree.h"

using namespace platform;

namespace {

const std::u16string FixtureDir = FromUtf8(FIXTURE_DIR "/platform");
const std::u16string Versioned = FixtureDir + u"/libfixture_versioned.so";
const std::u16string Unversioned = FixtureDir + u"/libfixture_signdata.so";

// A value ReadFileVersion must leave alone when it answers false.
constexpr FileVersion Untouched{9, 9, 9, 9};

bool SameVersion(const FileVersion& a, const FileVersion& b) {
  return a.Major == b.Major && a.Minor == b.Minor && a.Release == b.Release &&
         a.Build == b.Build;
}

std::string Contents(const std::u16string& path) {
  std::string contents;
  EXPECT_TRUE(ReadWholeFile(path, contents));
  return contents;
}

template <typename T>
void Poke(std::string& image, std::size_t offset, T value) {
  ASSERT_LE(offset + sizeof value, image.size());
  std::memcpy(image.data() + offset, &value, sizeof value);
}

// ELF64 header fields.
constexpr std::size_t Class = 4, Data = 5, PhOff = 0x20, ShOff = 0x28, PhNum = 0x38,
                      ShNum = 0x3C, ShStrNdx = 0x3E;

TEST(FileVersion, ReadsTheNoteOfAModule) {
  FileVersion version = Untouched;
  ASSERT_TRUE(ReadFileVersion(Versioned, version));
  EXPECT_TRUE(SameVersion(version, FileVersion{4, 12, 0, 318}));
}

TEST(FileVersion, FalseWithoutANote) {
  platform_test::TTempTree tree;
  const std::string text = "just text, long enough to hold an ELF header and then some more bytes";
  ASSERT_TRUE(WriteWholeFile(tree / u"text", text.data(), text.size()));
  const struct {
    std::u16string Path;
    Cardinal Code;
  } cases[] = {
      {Unversioned, ENOEXEC},
      {tree / u"missing", ENOENT},
      {tree.Path(), ENOEXEC},
      {tree / u"text", ENOEXEC},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(ToUtf8(c.Path));
    FileVersion version = Untouched;
    EXPECT_FALSE(ReadFileVersion(c.Path, version));
    EXPECT_TRUE(SameVersion(version, Untouched));
    EXPECT_EQ(GetLastError(), c.Code);
  }
}

// The note must sit in a PT_NOTE segment too: a file whose section headers
// were stripped is read through its program headers.
TEST(FileVersion, FoundThroughProgramHeadersAlone) {
  platform_test::TTempTree tree;
  std::string image = Contents(Versioned);
  Poke<std::uint64_t>(image, ShOff, 0);
  Poke<std::uint16_t>(image, ShNum, 0);
  Poke<std::uint16_t>(image, ShStrNdx, 0);
  ASSERT_TRUE(WriteWholeFile(tree / u"stripped.so", image.data(), image.size()));
  FileVersion version = Untouched;
  ASSERT_TRUE(ReadFileVersion(tree / u"stripped.so", version));
  EXPECT_TRUE(SameVersion(version, FileVersion{4, 12, 0, 318}));
}

TEST(FileVersion, TruncatedFilesGiveFalse) {
  platform_test::TTempTree tree;
  const std::string image = Contents(Versioned);
  const std::size_t note = image.find("FileVersion");
  ASSERT_NE(note, std::string::npos);
  for (const std::size_t length :
       {std::size_t{0}, std::size_t{3}, std::size_t{63}, std::size_t{64}, note, note + 14,
        note + 24, image.size() / 2, image.size() - 1}) {
    SCOPED_TRACE(length);
    const std::u16string path = tree / (u"cut" + IntToStr(static_cast<std::int64_t>(length)));
    ASSERT_TRUE(WriteWholeFile(path, image.data(), length));
    FileVersion version = Untouched;
    EXPECT_FALSE(ReadFileVersion(path, version));
    EXPECT_TRUE(SameVersion(version, Untouched));
  }
}

TEST(FileVersion, DamagedHeadersGiveFalse) {
  platform_test::TTempTree tree;
  const std::string good = Contents(Versioned);
  const std::size_t note = good.find("FileVersion");
  ASSERT_NE(note, std::string::npos);
  const std::size_t noteHeader = note - 12;  // namesz, descsz, type before the name

  const struct {
    const char* What;
    void (*Damage)(std::string&, std::size_t);
  } cases[] = {
      {"32-bit class", [](std::string& i, std::size_t) { i[Class] = 1; }},
      {"big-endian", [](std::string& i, std::size_t) { i[Data] = 2; }},
      {"sections far away",
       [](std::string& i, std::size_t) { Poke<std::uint64_t>(i, ShOff, ~std::uint64_t{0} - 8); }},
      {"too many sections", [](std::string& i, std::size_t) { Poke<std::uint16_t>(i, ShNum, 0xFFFF); }},
      {"segments far away",
       [](std::string& i, std::size_t) {
         Poke<std::uint64_t>(i, ShOff, 0);
         Poke<std::uint64_t>(i, PhOff, std::uint64_t{1} << 62);
       }},
      {"too many segments",
       [](std::string& i, std::size_t) {
         Poke<std::uint64_t>(i, ShOff, 0);
         Poke<std::uint16_t>(i, PhNum, 0xFFFF);
       }},
      {"huge name size",
       [](std::string& i, std::size_t at) { Poke<std::uint32_t>(i, at, 0xFFFFFFFF); }},
      {"huge desc size",
       [](std::string& i, std::size_t at) { Poke<std::uint32_t>(i, at + 4, 0xFFFFFFF0); }},
      {"wrong note type", [](std::string& i, std::size_t at) { Poke<std::uint32_t>(i, at + 8, 2); }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.What);
    std::string image = good;
    c.Damage(image, noteHeader);
    const std::u16string path = tree / u"damaged.so";
    ASSERT_TRUE(WriteWholeFile(path, image.data(), image.size()));
    FileVersion version = Untouched;
    EXPECT_FALSE(ReadFileVersion(path, version));
    EXPECT_TRUE(SameVersion(version, Untouched));
  }
}

}  // namespace
