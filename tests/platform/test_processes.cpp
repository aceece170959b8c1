#include "platform/processes.h"

#include <linux/capability.h>
#include <sys/syscall.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <string>
#include <future>
#include <thread>
#include <vector>

#include "platform/files.h"
#include "platform/last_error.h"
#include "platform/text.h"
#include "child_process.h"
#include "temp_tree.h"

using namespace platform;
using platform_test::KilledBy;
using platform_test::MapperPath;
using platform_test::TChild;
using platform_test::TMapper;
using platform_test::TTempTree;

namespace {

const std::u16string SignDataPath = FromUtf8(FIXTURE_DIR "/platform/libfixture_signdata.so");

bool WriteText(const std::u16string& path, const std::string& text) {
  return WriteWholeFile(path, text.data(), text.size());
}

const TMappedFile* FindModule(const TProcessFiles& files, const std::u16string& path) {
  for (const auto& module : files.Modules)
    if (module.Path == path) return &module;
  return nullptr;
}

std::string ModulePaths(const TProcessFiles& files) {
  std::string text;
  for (const auto& module : files.Modules) text += ToUtf8(module.Path) + "\n";
  return text;
}

// The largest process id plus one: never the id of a process.
Cardinal MissingProcessId() {
  std::string text;
  ReadWholeFile(u"/proc/sys/kernel/pid_max", text);
  return static_cast<Cardinal>(std::stoul(text));
}

TEST(ParseMappedFiles, KeepsEachFileBackedMappingOnce) {
  const std::string maps =
      "55d0c0a00000-55d0c0a02000 r--p 00000000 fe:00 247134                     /usr/bin/prog\n"
      "55d0c0a02000-55d0c0a07000 r-xp 00002000 fe:00 247134                     /usr/bin/prog\n"
      "55d0c1e8d000-55d0c1eae000 rw-p 00000000 00:00 0                          [heap]\n"
      "7f1c2a000000-7f1c2a021000 rw-p 00000000 00:00 0 \n"
      "7f1c2a200000-7f1c2a228000 r--p 00000000 fe:00 332835                     /usr/lib/libc.so.6\n"
      "7f1c2a228000-7f1c2a3bd000 r-xp 00028000 fe:00 332835                     /usr/lib/libc.so.6\n"
      "7f1c2a400000-7f1c2a401000 r--s 00000000 103:0a 12                        /a dir/two words.so\n"
      "7f1c2a401000-7f1c2a402000 r--p 00000000 fe:00 77                         /tmp/line\\012break\n"
      "7f1c2a402000-7f1c2a403000 r--p 00000000 fe:00 78                         /tmp/back\\slash\n"
      "7f1c2a403000-7f1c2a404000 r--p 00000000 fe:00 79                         /tmp/gone.so (deleted)\n"
      "7f1c2a404000-7f1c2a405000 rw-s 00000000 00:01 2050                       /memfd:cache (deleted)\n"
      "7f1c2a405000-7f1c2a406000 rw-s 00000000 00:05 0                          /dev/zero (deleted)\n"
      "7f1c2a406000-7f1c2a407000 r--p 00000000 fe:00 80                         relative\n"
      "7ffd5b1e0000-7ffd5b1e2000 r-xp 00000000 00:00 0                          [vdso]\n"
      "7f1c2a200000-7f1c2a228000 r--p 00000000 fe:00 332835                     /usr/lib/libc.so.6";
  const struct {
    std::u16string Path;
    TFileIdentity Identity;
  } expected[] = {
      {u"/usr/lib/libc.so.6", {makedev(0xfe, 0), 332835}},
      {u"/a dir/two words.so", {makedev(0x103, 0x0a), 12}},
      {u"/tmp/line\nbreak", {makedev(0xfe, 0), 77}},
      {u"/tmp/back\\slash", {makedev(0xfe, 0), 78}},
      {u"/tmp/gone.so (deleted)", {makedev(0xfe, 0), 79}},
      {u"/memfd:cache (deleted)", {makedev(0, 1), 2050}},
  };
  const auto files = ParseMappedFiles(maps, u"/usr/bin/prog");
  ASSERT_EQ(files.size(), std::size(expected));
  for (std::size_t i = 0; i < files.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(ToUtf8(files[i].Path), ToUtf8(expected[i].Path));
    EXPECT_EQ(files[i].Identity, expected[i].Identity);
  }
  EXPECT_TRUE(ParseMappedFiles("", u"/x").empty());
  EXPECT_TRUE(ParseMappedFiles("garbage\n\n7f00-7f01 r--p", u"/x").empty());
}

TEST(Processes, ListsRunningProcessesInOrder) {
  TMapper child;
  ASSERT_TRUE(child.Ready());
  std::vector<Cardinal> ids;
  ASSERT_TRUE(ListProcessIds(ids)) << ToUtf8(LastErrorText());
  EXPECT_TRUE(std::is_sorted(ids.begin(), ids.end()));
  for (const Cardinal id : {CurrentProcessId(), child.Id()})
    EXPECT_NE(std::find(ids.begin(), ids.end(), id), ids.end()) << id;
}

TEST(Processes, StartTimeNamesOneProcess) {
  TMapper first;
  ASSERT_TRUE(first.Ready());
  const std::uint64_t started = ProcessStartTime(first.Id());
  EXPECT_NE(started, 0u);
  EXPECT_EQ(ProcessStartTime(first.Id()), started);
  EXPECT_GE(ProcessStartTime(first.Id()), ProcessStartTime(CurrentProcessId()));
  first.CloseInput();
  first.Wait();
  EXPECT_EQ(ProcessStartTime(first.Id()), 0u);
  EXPECT_EQ(ProcessStartTime(MissingProcessId()), 0u);
}

TEST(ReadProcessFiles, ShowsTheImageAndTheMappedFiles) {
  TTempTree tree;
  // A name with a line break (escaped by /proc) deep enough to be longer
  // than any fixed name buffer.
  std::u16string dir = tree.Path();
  while (dir.size() < 400) dir += u"/a-rather-long-directory-name";
  ASSERT_TRUE(MakeDirectories(dir));
  const std::u16string data = dir + u"/line\nbreak.dat";
  ASSERT_TRUE(WriteText(data, "mapped data"));
  TMapper child("mmap", data);
  ASSERT_TRUE(child.Ready());

  TProcessFiles files;
  ASSERT_TRUE(ReadProcessFiles(child.Id(), files)) << ToUtf8(LastErrorText());
  EXPECT_EQ(files.StartTime, ProcessStartTime(child.Id()));
  EXPECT_EQ(ToUtf8(files.Image.Path), MapperPath);
  TFileIdentity image;
  ASSERT_TRUE(FileIdentity(FromUtf8(MapperPath), image));
  EXPECT_EQ(files.Image.Identity, image);
  EXPECT_EQ(FindModule(files, files.Image.Path), nullptr) << "the image is no module";

  const TMappedFile* module = FindModule(files, data);
  ASSERT_NE(module, nullptr) << ModulePaths(files);
  TFileIdentity identity;
  ASSERT_TRUE(FileIdentity(data, identity));
  EXPECT_EQ(module->Identity, identity);
  EXPECT_EQ(std::count_if(files.Modules.begin(), files.Modules.end(),
                          [&](const TMappedFile& m) { return m.Path == data; }),
            1);

  // Removed while mapped: the same file under the name /proc gives it now.
  ASSERT_TRUE(DeleteFile(data));
  ASSERT_TRUE(ReadProcessFiles(child.Id(), files));
  EXPECT_EQ(FindModule(files, data), nullptr);
  module = FindModule(files, data + u" (deleted)");
  ASSERT_NE(module, nullptr) << ModulePaths(files);
  EXPECT_EQ(module->Identity, identity);
}

TEST(ReadProcessFiles, ResolvesTheLinksOfALoadedLibrary) {
  TTempTree tree;
  const std::u16string library = tree / u"libx.so.1.2";
  ASSERT_TRUE(CopyFile(SignDataPath, library));
  const std::string link = ToUtf8(tree / u"libx.so.1");
  ASSERT_EQ(::symlink("libx.so.1.2", link.c_str()), 0);
  TMapper child("dlopen", FromUtf8(link));
  ASSERT_TRUE(child.Ready());

  TProcessFiles files;
  ASSERT_TRUE(ReadProcessFiles(child.Id(), files));
  EXPECT_NE(FindModule(files, library), nullptr) << ModulePaths(files);
  EXPECT_EQ(FindModule(files, FromUtf8(link)), nullptr);
}

TEST(ReadProcessFiles, FailsForWhatIsNoReadableProcess) {
  TProcessFiles files;
  EXPECT_FALSE(ReadProcessFiles(MissingProcessId(), files));
  EXPECT_FALSE(ReadProcessFiles(0, files));
  EXPECT_FALSE(ReadProcessFiles(2, files)) << "a kernel thread has no image";
  TMapper zombie;
  ASSERT_TRUE(zombie.Ready());
  zombie.CloseInput();
  zombie.WaitForEnd();  // ended, not reaped
  EXPECT_FALSE(ReadProcessFiles(zombie.Id(), files));
}

TEST(FileIdentity, IsSharedByEveryNameOfAFile) {
  TTempTree tree;
  ASSERT_TRUE(WriteText(tree / u"a", "x"));
  ASSERT_TRUE(CopyFile(tree / u"a", tree / u"copy"));
  ASSERT_EQ(::symlink("a", ToUtf8(tree / u"soft").c_str()), 0);
  ASSERT_EQ(::link(ToUtf8(tree / u"a").c_str(), ToUtf8(tree / u"hard").c_str()), 0);
  TFileIdentity a, other;
  ASSERT_TRUE(FileIdentity(tree / u"a", a));
  for (const auto* name : {u"soft", u"hard"}) {
    ASSERT_TRUE(FileIdentity(tree / name, other));
    EXPECT_EQ(other, a);
  }
  ASSERT_TRUE(FileIdentity(tree / u"copy", other));
  EXPECT_NE(other, a);
  EXPECT_FALSE(FileIdentity(tree / u"missing", other));
  EXPECT_EQ(GetLastError(), static_cast<Cardinal>(ENOENT));
}

TEST(TerminateProcess, EndsTheProcessFoundBySignal9) {
  TMapper child;
  ASSERT_TRUE(child.Ready());
  ASSERT_TRUE(TerminateProcess(child.Id(), ProcessStartTime(child.Id()), true))
      << ToUtf8(LastErrorText());
  EXPECT_FALSE(child.Running()) << "waited for its end";
  EXPECT_TRUE(KilledBy(child.Wait(), SIGKILL));

  TMapper unknownStart;
  ASSERT_TRUE(unknownStart.Ready());
  ASSERT_TRUE(TerminateProcess(unknownStart.Id(), 0));
  EXPECT_TRUE(KilledBy(unknownStart.Wait(), SIGKILL));
}

TEST(TerminateProcess, LeavesAProcessOfAnotherStartTimeAlone) {
  TMapper child;
  ASSERT_TRUE(child.Ready());
  const std::uint64_t started = ProcessStartTime(child.Id());
  for (const std::uint64_t other : {started - 1, started + 1}) {
    EXPECT_FALSE(TerminateProcess(child.Id(), other, true));
    EXPECT_EQ(GetLastError(), static_cast<Cardinal>(ESRCH));
  }
  EXPECT_TRUE(child.Running());
}

TEST(TerminateProcess, RefusesIdsThatNameNoOtherProcess) {
  // A live thread of this process.
  Cardinal sleeperId = 0;
  std::promise<void> started, stop;
  std::thread sleeper([&] {
    sleeperId = static_cast<Cardinal>(::gettid());
    started.set_value();
    stop.get_future().wait();
  });
  started.get_future().wait();
  const struct {
    Cardinal Id;
    Cardinal Error;
  } cases[] = {
      {0, EINVAL},                    // kill(2) would signal the process group
      {0x80000000u, EINVAL},          // ... or the group of its negation
      {0xFFFFFFFFu, EINVAL},          // ... or every process
      {CurrentProcessId(), EINVAL},   // never itself
      {sleeperId, EINVAL},            // nor through one of its threads
      {MissingProcessId(), ESRCH},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Id);
    EXPECT_FALSE(TerminateProcess(c.Id, 0));
    EXPECT_EQ(GetLastError(), c.Error);
  }
  stop.set_value();
  sleeper.join();
}

// Capabilities of the calling thread only.
struct TCaps {
  std::uint32_t Effective = 0, Permitted = 0;
};

bool GetCaps(TCaps& caps) {
  __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
  __user_cap_data_struct data[2] = {};
  if (::syscall(SYS_capget, &header, data) != 0) return false;
  caps = {data[0].effective, data[0].permitted};
  return true;
}

bool SetCaps(const TCaps& caps) {
  __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
  __user_cap_data_struct data[2] = {};
  if (::syscall(SYS_capget, &header, data) != 0) return false;
  data[0].effective = caps.Effective;
  data[0].permitted = caps.Permitted;
  return ::syscall(SYS_capset, &header, data) == 0;
}

constexpr std::uint32_t Kill = 1u << CAP_KILL;

TEST(KillCapability, IsRaisedOnlyWhilePermittedAndNotEffective) {
  TCaps caps;
  ASSERT_TRUE(GetCaps(caps));
  if ((caps.Permitted & Kill) == 0) GTEST_SKIP() << "CAP_KILL is not permitted here";
  // Each case changes the capabilities of a thread of its own.
  std::thread([] {
    TCaps now;
    ASSERT_TRUE(GetCaps(now));
    ASSERT_TRUE(SetCaps({now.Effective & ~Kill, now.Permitted}));
    {
      const TKillCapability raised;
      EXPECT_TRUE(raised.Raised());
      ASSERT_TRUE(GetCaps(now));
      EXPECT_NE(now.Effective & Kill, 0u);
    }
    ASSERT_TRUE(GetCaps(now));
    EXPECT_EQ(now.Effective & Kill, 0u) << "restored";
  }).join();
  std::thread([] {
    TCaps before, after;
    ASSERT_TRUE(GetCaps(before));
    ASSERT_NE(before.Effective & Kill, 0u);
    { EXPECT_FALSE(TKillCapability().Raised()) << "already effective"; }
    ASSERT_TRUE(GetCaps(after));
    EXPECT_NE(after.Effective & Kill, 0u) << "and kept";
  }).join();
  std::thread([] {
    TCaps now;
    ASSERT_TRUE(GetCaps(now));
    ASSERT_TRUE(SetCaps({now.Effective & ~Kill, now.Permitted & ~Kill}));
    EXPECT_FALSE(TKillCapability().Raised()) << "not permitted";
  }).join();
}

}  // namespace

namespace {

// Without process descriptors (pidfd_open refused, as by a sandbox) the same
// checks come before kill(2).
TEST(TerminateProcess, WithoutProcessDescriptorsChecksTheSameBeforeKill) {
  TMapper child;
  ASSERT_TRUE(child.Ready());
  const std::string id = std::to_string(child.Id());
  const std::uint64_t started = ProcessStartTime(child.Id());
  TChild driver({platform_test::DriverPath, "nopidfd", "terminate=" + id + "," + std::to_string(started + 1),
                 "terminate=" + id + "," + std::to_string(started)},
                true);
  ASSERT_EQ(driver.ReadAll(), "nopidfd\nterminate " + id + " failed 3\nterminate " + id + " ok\n");
  EXPECT_EQ(driver.Wait(), 0);
  EXPECT_TRUE(KilledBy(child.Wait(), SIGKILL));
}

// The ids that kill(2) reads as process groups, tried where pidfd_open
// cannot refuse them first.  As user nobody in a session of its own: were
// they signalled, only nobody's processes could be hit.
TEST(TerminateProcess, WithoutProcessDescriptorsNeverSignalsAGroup) {
  std::string why;
  if (!platform_test::CanRunAsOtherUsers(why)) GTEST_SKIP() << why;
  TChild driver(platform_test::Joined(platform_test::AsUser(65534),
                                      {platform_test::DriverPath, "nopidfd", "terminate=0,0",
                                       "terminate=2147483648,0", "terminate=4294967295,0"}),
                true);
  EXPECT_EQ(driver.ReadAll(),
            "nopidfd\nterminate 0 failed 22\nterminate 2147483648 failed 22\nterminate 4294967295 failed 22\n");
  EXPECT_EQ(driver.Wait(), 0);
}

}  // namespace

TEST(ProcessHasEnded, TellsARunningProcessFromOneThatIsGoneOrReplaced) {
  TMapper child;
  ASSERT_TRUE(child.Ready());
  const std::uint64_t started = ProcessStartTime(child.Id());
  ASSERT_NE(started, 0u);
  EXPECT_FALSE(ProcessHasEnded(child.Id(), started));
  EXPECT_FALSE(ProcessHasEnded(child.Id(), 0));
  EXPECT_TRUE(ProcessHasEnded(child.Id(), started + 1));  // the id went to a later process
  child.CloseInput();
  child.WaitForEnd();
  EXPECT_TRUE(ProcessHasEnded(child.Id(), started));  // a zombie
  child.Wait();
  EXPECT_TRUE(ProcessHasEnded(child.Id(), started));
}
