// The file list of the locked-file and delete checks ("-in"), list files,
// and the destination file of their detail.
#include "installer/trw_file_checks.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <future>
#include <string>
#include <vector>

#include "installer/list_file.h"
#include "installer/trw_exec.h"
#include "platform/codepage.h"
#include "platform/files.h"
#include "platform/text.h"
#include "tests/platform/temp_tree.h"

using platform::FromUtf8;
using platform::ToUtf8;
using platform_test::TTempTree;
using tarnwick::BuildFileList;

namespace {

std::vector<string> Entries(const rtl::TStringList& list) {
  std::vector<string> entries;
  for (const auto& item : list) entries.push_back(item.Text);
  return entries;
}

std::vector<string> Built(const string& text, bool removeMissing = false, bool extend = false) {
  rtl::TStringList list;
  list.Add(u"left over");  // the list is emptied first
  BuildFileList(text, list, removeMissing, extend);
  return Entries(list);
}

void Write(const string& path, const std::string& bytes) {
  ASSERT_TRUE(platform::WriteWholeFile(path, bytes.data(), bytes.size())) << ToUtf8(path);
}

std::string Read(const string& path) {
  std::string bytes;
  EXPECT_TRUE(platform::ReadWholeFile(path, bytes)) << ToUtf8(path);
  return bytes;
}

// Text in UTF-16 bytes, little- or big-endian.
std::string Utf16Bytes(const string& text, bool bigEndian) {
  std::string bytes;
  for (const char16_t c : text) {
    const char high = static_cast<char>(c >> 8), low = static_cast<char>(c & 0xFF);
    bytes += bigEndian ? high : low;
    bytes += bigEndian ? low : high;
  }
  return bytes;
}

}  // namespace

TEST(FileList, SplitsTheInTextAtCommas) {
  const struct {
    string Text;
    std::vector<string> Expected;
  } cases[] = {
      {u"", {}},
      {u" , ,", {}},
      {u"a.dll,,b.dll", {u"a.dll", u"b.dll"}},
      {u" a.dll , b.dll ", {u"a.dll", u"b.dll"}},
      {u"a.dll;b.dll", {u"a.dll;b.dll"}},
      {u"b.dll,a.dll,b.dll", {u"b.dll", u"a.dll", u"b.dll"}},  // duplicates stay
      {u"@", {}},                                            // names no list file
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(ToUtf8(c.Text));
    EXPECT_EQ(Built(c.Text), c.Expected);
  }
}

TEST(FileList, AppendsTheLinesOfListFilesTheLastNamedFirst) {
  TTempTree tree;
  const string l1 = tree / u"l1.txt", l2 = tree / u"l2.txt", fifo = tree / u"fifo";
  Write(l1, "y.dll\r\nz.dll\r\n");
  Write(l2, "  @other.txt \n\n w.dll");
  ASSERT_EQ(::mkfifo(ToUtf8(fifo).c_str(), 0600), 0);
  const struct {
    string Text;
    std::vector<string> Expected;
  } cases[] = {
      {u"@" + l1 + u",x.dll", {u"x.dll", u"y.dll", u"z.dll"}},
      {u"@" + l1 + u",@" + l2, {u"@other.txt", u"w.dll", u"y.dll", u"z.dll"}},
      {u"a,@" + l2 + u",b", {u"a", u"b", u"@other.txt", u"w.dll"}},  // "@" in a list file is a name
      {u"@" + tree / u"missing.txt" + u",x", {u"x"}},
      {u"@" + tree.Path() + u",x", {u"x"}},  // a directory
      {u"@" + fifo + u",x", {u"x"}},         // read without waiting for a writer
      {u"@/dev/zero,x", {u"x"}},             // a device is never read
      {u"@ " + l1, {}},                      // the name keeps its blank
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(ToUtf8(c.Text));
    EXPECT_EQ(Built(c.Text), c.Expected);
  }
}

TEST(FileList, ReadsListFilesByTheirByteOrderMark) {
  const string names = u"caf\u00e9.dll\r\nb\u4e2d.dll\nlast.dll";
  const std::vector<string> expected{u"caf\u00e9.dll", u"b\u4e2d.dll", u"last.dll"};
  const struct {
    const char* Name;
    std::string Bytes;
    std::vector<string> Expected;
  } cases[] = {
      {"UTF-8 mark", "\xEF\xBB\xBF" + ToUtf8(names), expected},
      {"UTF-16 LE mark", "\xFF\xFE" + Utf16Bytes(names, false), expected},
      {"UTF-16 BE mark", "\xFE\xFF" + Utf16Bytes(names, true), expected},
      {"no mark: the ANSI code page", ToUtf8(names), expected},
      {"CR line ends", "a\rb\r\rc\r", {u"a", u"b", u"c"}},
      {"mixed line ends", "a\r\nb\nc\rd", {u"a", u"b", u"c", u"d"}},
      {"blank lines and blanks", " \t\r\n  a  \r\n\t\r\n", {u"a"}},
      {"UTF-16 with a zero character inside a name",
       "\xFF\xFE" + Utf16Bytes(string(u"a.dll\r\nx") + u'\0' + u"y.dll\r\nb.dll", false), {u"a.dll", u"b.dll"}},
      {"UTF-8 with a zero byte inside a name", std::string("a.dll\nx\0y.dll\nb.dll", 19), {u"a.dll", u"b.dll"}},
      {"UTF-16 with an odd last byte", "\xFF\xFE" + Utf16Bytes(u"a.dll", false) + "z", {u"a.dll"}},
      {"only a mark", "\xFE\xFF", {}},
  };
  TTempTree tree;
  const string list = tree / u"list.txt";
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    Write(list, c.Bytes);
    EXPECT_EQ(Built(u"@" + list), c.Expected);
  }

  // Without a mark the bytes are in the ANSI code page, whichever it is.
  const platform::ScopedAnsiCodePage westernEurope(platform::CodePage1252);
  Write(list, "caf\xE9.dll");
  EXPECT_EQ(Built(u"@" + list), std::vector<string>{u"caf\u00e9.dll"});
}

TEST(FileList, ExtendsRelativeNamesByTheProgramDirectory) {
  const string dir = tarnwick::TCmdExecutor::ProgramDirectory();
  ASSERT_FALSE(dir.empty());
  const struct {
    string Name;
    string Expected;
  } cases[] = {
      {u"a.dll", dir + u"/a.dll"},
      {u"sub/a.dll", dir + u"/sub/a.dll"},
      {u"/x/a.dll", u"/x/a.dll"},
      {u"\\x\\a.dll", u"\\x\\a.dll"},
      {u"x:y", u"x:y"},
      {u"C:\\x\\a.dll", u"C:\\x\\a.dll"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(ToUtf8(c.Name));
    EXPECT_EQ(tarnwick::TCmdExecutor::ExtendFileName(c.Name), c.Expected);
    EXPECT_EQ(tarnwick::IsAbsoluteName(c.Name), c.Expected == c.Name);
    EXPECT_EQ(Built(u" " + c.Name + u" ", false, true), std::vector<string>{c.Expected});
  }
  EXPECT_FALSE(tarnwick::IsAbsoluteName(u""));

  // A relative list file is looked up in the program directory; its lines
  // are extended too.
  const string list = u"file-list-" + platform::IntToStr(::getpid()) + u".txt";
  Write(dir + u"/" + list, "b.dll\n/abs/c.dll\n");
  EXPECT_EQ(Built(u"@" + list + u",a.dll", false, true),
            (std::vector<string>{dir + u"/a.dll", dir + u"/b.dll", u"/abs/c.dll"}));
  platform::DeleteFile(dir + u"/" + list);
}

TEST(FileList, DropsWhatIsNoRegularFileWhenAsked) {
  TTempTree tree;
  const string file = tree / u"file", link = tree / u"link", dangling = tree / u"dangling",
               fifo = tree / u"fifo", dirLink = tree / u"dir-link";
  Write(file, "x");
  ASSERT_EQ(::symlink("file", ToUtf8(link).c_str()), 0);
  ASSERT_EQ(::symlink("nowhere", ToUtf8(dangling).c_str()), 0);
  ASSERT_EQ(::symlink(".", ToUtf8(dirLink).c_str()), 0);
  ASSERT_EQ(::mkfifo(ToUtf8(fifo).c_str(), 0600), 0);
  const string text = tree.Path() + u"," + file + u"," + link + u"," + dangling + u"," + fifo + u"," +
                      dirLink + u"," + tree / u"missing" + u",/dev/null," + file;
  EXPECT_EQ(Built(text, true), (std::vector<string>{file, link, file}));
  EXPECT_EQ(Built(text, false).size(), 9u);
}

TEST(OutFile, WritesTheMarkAndTheTextInUtf8Replacing) {
  TTempTree tree;
  const string out = tree / u"res.txt", link = tree / u"link.txt";
  Write(out, std::string(100, 'o'));
  tarnwick::WriteOutFile(out, u" a.exe\r\n caf\u00e9.exe\r\n");
  EXPECT_EQ(Read(out), "\xEF\xBB\xBF a.exe\r\n caf\xC3\xA9.exe\r\n");

  // The caller named the file: a link to it is followed.
  ASSERT_EQ(::symlink("res.txt", ToUtf8(link).c_str()), 0);
  tarnwick::WriteOutFile(link, u"x");
  EXPECT_EQ(Read(out), "\xEF\xBB\xBFx");

  tarnwick::WriteOutFile(tree / u"no-such-dir/res.txt", u"lost");  // ignored
  tarnwick::WriteOutFile(u"  ", u"nowhere");
  EXPECT_FALSE(platform::FileExists(u"  "));
}

TEST(OutFile, AFifoGetsTheTextOnlyWhenSomeoneReadsIt) {
  TTempTree tree;
  const string fifo = tree / u"fifo";
  ASSERT_EQ(::mkfifo(ToUtf8(fifo).c_str(), 0600), 0);
  // No reader: the detail is lost at once, never waited for.
  auto written = std::async(std::launch::async, [&] { tarnwick::WriteOutFile(fifo, u"lost"); });
  if (written.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
    const int release = ::open(ToUtf8(fifo).c_str(), O_RDONLY | O_NONBLOCK);
    written.wait();
    ::close(release);
    FAIL() << "waited for a reader";
  }
  // A reader that is there gets all of it.
  const int reader = ::open(ToUtf8(fifo).c_str(), O_RDONLY | O_NONBLOCK);
  ASSERT_GE(reader, 0);
  tarnwick::WriteOutFile(fifo, u" a.exe\r\n");
  char buffer[64] = {};
  EXPECT_EQ(::read(reader, buffer, sizeof buffer), 11);
  EXPECT_STREQ(buffer, "\xEF\xBB\xBF a.exe\r\n");
  ::close(reader);
}
