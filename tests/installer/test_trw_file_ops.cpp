// -chklock, -unlock, -chkdel and -test, run as the built program against
// real processes and files.
#include <gtest/gtest.h>
#include <poll.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/inotify.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "platform/files.h"
#include "platform/text.h"
#include "tarnwick_run.h"
#include "tests/platform/child_process.h"
#include "tests/platform/temp_tree.h"
#include "unprivileged.h"

using platform::ToUtf8;
using platform_test::TMapper;
using platform_test::TTempTree;
using tarnwick_test::RunTarnwick;
using tarnwick_test::TRun;

namespace {

const std::string RestoreFaultPath = FIXTURE_DIR "/installer/fixture_restore_fault";

std::string U8(const string& text) { return ToUtf8(text); }

void Write(const string& path, const std::string& bytes) {
  ASSERT_TRUE(platform::WriteWholeFile(path, bytes.data(), bytes.size())) << U8(path);
}

std::string Read(const string& path) {
  std::string bytes;
  if (!platform::ReadWholeFile(path, bytes)) return "<unreadable>";
  return bytes;
}

struct stat Lstat(const string& path) {
  struct stat st {};
  EXPECT_EQ(::lstat(U8(path).c_str(), &st), 0) << U8(path);
  return st;
}

bool Exists(const string& path) {
  struct stat st;
  return ::lstat(U8(path).c_str(), &st) == 0;
}

// A file name no other test's process maps: a bare name is a mask that
// matches such a file in every process, and the suite runs in parallel.
std::string OwnName(const std::string& stem, const std::string& extension) {
  return stem + "-" + std::to_string(::getpid()) + extension;
}

std::string Joined(const std::vector<string>& names) {
  std::string text;
  for (const auto& name : names) text += (text.empty() ? "" : ",") + U8(name);
  return text;
}

// The run's standard error, which the program's answer never includes.
struct TErrorCapture {
  TTempTree Tree;
  string Path = Tree / u"stderr.txt";
  std::string Text() const { return Read(Path); }
  tarnwick_test::TStartup Startup(const std::string& program = TARNWICK_PATH) const {
    tarnwick_test::TStartup startup;
    startup.Program = program;
    startup.ErrorPath = U8(Path);
    return startup;
  }
};

}  // namespace

// ---------------------------------------------------------------- -chklock

TEST(CheckLockFiles, AnswersWhichProcessesMapTheFiles) {
  TTempTree tree;
  const std::string heldName = OwnName("held", ".dat");
  const string held = tree / platform::FromUtf8(heldName), free = tree / u"free.dat",
               res = tree / u"res.txt", fifo = tree / u"fifo";
  Write(held, "held");
  Write(free, "free");
  ASSERT_EQ(::mkfifo(U8(fifo).c_str(), 0600), 0);
  TMapper holder("mmap", held);
  ASSERT_TRUE(holder.Ready());
  const std::string lockLine = "lock\r\n fixture_mapper\r\n\r\n";
  const struct {
    std::vector<std::string> Args;
    std::string Out;
  } cases[] = {
      {{"-in=" + U8(held)}, lockLine},
      {{"-in=" + heldName}, lockLine},  // a name without a directory is a mask
      {{"-in=  " + heldName.substr(0, heldName.size() - 3) + "*  "}, lockLine},
      {{"-in=" + U8(free) + "," + U8(held) + "," + U8(tree / u"missing")}, lockLine},
      {{"-in=" + U8(held), "-extout"}, "lock\r\n " + platform_test::MapperPath + "\r\n\r\n"},
      {{"-in=" + U8(held), "-out= CONSOLE "}, lockLine},
      {{"-in=" + U8(held), "-out=No"}, "lock\r\n"},
      {{"-in=" + U8(held), "-out=\tConsole"}, lockLine},
      {{"-in=" + U8(held), "-out=" + U8(tree / u"no-dir/res.txt")}, "lock\r\n"},  // detail lost
      {{"-in=" + U8(held), "-out=" + U8(tree.Path())}, "lock\r\n"},               // a directory
      {{"-in=" + U8(held), "-out=" + U8(fifo)}, "lock\r\n"},  // no reader: lost, not waited for
      {{"-in=" + platform_test::MapperPath}, "nolock\r\n"},  // its own image does not count
      {{"-in=" + U8(free)}, "nolock\r\n"},
      {{"-in="}, "nolock\r\n"},
      {{}, "nolock\r\n"},
      {{"-in=[a"}, "error\r\nEMaskError: Invalid mask '[a'\r\n"},
  };
  for (const auto& c : cases) {
    std::vector<std::string> args{"-chklock"};
    args.insert(args.end(), c.Args.begin(), c.Args.end());
    SCOPED_TRACE(c.Args.empty() ? "" : c.Args[0]);
    const TRun run = RunTarnwick(args);
    EXPECT_EQ(run.Out, c.Out);
    EXPECT_EQ(run.ExitCode, 0);
  }

  // The detail in a file, with its byte-order mark; "nolock" leaves the file
  // as it was, and so does "-out=no".
  EXPECT_EQ(RunTarnwick({"-chklock", "-in=" + U8(held), "-out=" + U8(res)}).Out, "lock\r\n");
  EXPECT_EQ(Read(res), "\xEF\xBB\xBF fixture_mapper\r\n");
  Write(res, "old");
  EXPECT_EQ(RunTarnwick({"-chklock", "-in=" + U8(free), "-out=" + U8(res)}).Out, "nolock\r\n");
  EXPECT_EQ(RunTarnwick({"-chklock", "-in=" + U8(held), "-out=no"}).Out, "lock\r\n");
  EXPECT_EQ(Read(res), "old");
  EXPECT_EQ(RunTarnwick({"-chklock", "-in=[", "-out=" + U8(res)}).Out, "error\r\n");
  EXPECT_EQ(Read(res), "\xEF\xBB\xBF" "EMaskError: Invalid mask '['");
  EXPECT_TRUE(holder.Running());
}

TEST(CheckLockFiles, ReadsTheNamesFromListFiles) {
  TTempTree tree;
  const std::string heldName = OwnName("held", ".dat");
  const string held = tree / platform::FromUtf8(heldName), list = tree / u"list.txt";
  Write(held, "held");
  std::string utf16 = "\xFF\xFE";  // the bare name in UTF-16 LE
  for (char c : heldName) utf16 += std::string{c, '\0'};
  Write(list, utf16);
  TMapper holder("mmap", held);
  ASSERT_TRUE(holder.Ready());
  EXPECT_EQ(RunTarnwick({"-chklock", "-in=x.dat,@" + U8(list)}).Out, "lock\r\n fixture_mapper\r\n\r\n");
  EXPECT_EQ(RunTarnwick({"-chklock", "-in=@" + U8(tree / u"missing.txt")}).Out, "nolock\r\n");
}

// ----------------------------------------------------------------- -unlock

TEST(UnLockFiles, TerminatesTheHoldersAndAnswersTheSecondSearch) {
  TTempTree tree;
  const string held = tree / u"held.dat";
  Write(held, "held");
  TMapper first("mmap", held), second("mmap", held), bystander;
  ASSERT_TRUE(first.Ready() && second.Ready() && bystander.Ready());

  EXPECT_EQ(RunTarnwick({"-unlock", "-in="}).Out, "nolock\r\n");  // terminates nothing
  EXPECT_EQ(RunTarnwick({"-unlock", "-in=" + U8(held), "-out=no"}).Out, "nolock\r\n");
  for (TMapper* mapper : {&first, &second}) {
    const int status = mapper->Wait();
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
  }
  EXPECT_TRUE(bystander.Running());
  EXPECT_EQ(RunTarnwick({"-unlock", "-in=" + U8(held)}).Out, "nolock\r\n");
  EXPECT_EQ(RunTarnwick({"-unlock", "-in=]["}).Out, "error\r\nEMaskError: Invalid mask ']['\r\n");
}

// ----------------------------------------------------------------- -chkdel

namespace {

// Files with what a restore must bring back: contents, mode, times, an
// extended attribute where the file system keeps them, and a link.
struct TFilesToCheck {
  TTempTree Tree;
  string Plain = Tree / u"plain.txt";
  string Empty = Tree / u"empty.txt";
  string Link = Tree / u"link";
  string Attributed = Tree / u"attributed.txt";
  bool HasXattr = false;

  TFilesToCheck() {
    Write(Plain, "plain contents\n");
    Write(Empty, "");
    Write(Attributed, std::string(200000, 'x'));
    ::chmod(U8(Plain).c_str(), 0640);
    ::chmod(U8(Attributed).c_str(), 0604);
    const struct timespec times[2] = {{1000000000, 123456789}, {1200000000, 987654321}};
    ::utimensat(AT_FDCWD, U8(Plain).c_str(), times, 0);
    ::symlink("plain.txt", U8(Link).c_str());
    HasXattr = ::setxattr(U8(Attributed).c_str(), "user.tarnwick", "kept", 4, 0) == 0;
  }
  std::vector<string> Names() const { return {Plain, Empty, Link, Attributed}; }
};

void ExpectSameFile(const struct stat& before, const string& path) {
  const struct stat after = Lstat(path);
  EXPECT_EQ(after.st_mode, before.st_mode) << U8(path);
  EXPECT_EQ(after.st_uid, before.st_uid) << U8(path);
  EXPECT_EQ(after.st_gid, before.st_gid) << U8(path);
  EXPECT_EQ(after.st_size, before.st_size) << U8(path);
  EXPECT_EQ(after.st_mtim.tv_sec, before.st_mtim.tv_sec) << U8(path);
  EXPECT_EQ(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec) << U8(path);
}

// A temporary directory for the backups, on the files' own file system (a
// backup is a hard link there) or on another (a backup is a copy).
struct TBackupPlace {
  const char* Name;
  bool SameFileSystem;
};
constexpr TBackupPlace BackupPlaces[] = {{"backup by hard link", true}, {"backup by copy", false}};

string TempDirFor(const TBackupPlace& place, const TTempTree& tree) {
  if (place.SameFileSystem) return tree / u"tmp";
  return u"/dev/shm/tarnwick-test-" + platform::IntToStr(::getpid());
}

}  // namespace

TEST(CheckDelFiles, PutsBackContentsModeTimesAttributesAndLinks) {
  for (const TBackupPlace& place : BackupPlaces) {
    SCOPED_TRACE(place.Name);
    TFilesToCheck files;
    const string temp = TempDirFor(place, files.Tree);
    if (!place.SameFileSystem && !platform::MakeDirectories(temp)) continue;
    std::vector<struct stat> before;
    std::vector<std::string> contents;
    for (const auto& name : files.Names()) before.push_back(Lstat(name)), contents.push_back(Read(name));

    const TRun run = RunTarnwick({"-chkdel", "-in=" + Joined(files.Names())}, {"TMPDIR=" + U8(temp)});
    EXPECT_EQ(run.Out, "nolock\r\n");
    for (std::size_t i = 0; i < before.size(); ++i) {
      ExpectSameFile(before[i], files.Names()[i]);
      EXPECT_EQ(Read(files.Names()[i]), contents[i]);
    }
    char target[64] = {};
    EXPECT_EQ(::readlink(U8(files.Link).c_str(), target, sizeof target - 1), 9);
    EXPECT_STREQ(target, "plain.txt");
    if (files.HasXattr) {
      char value[16] = {};
      EXPECT_EQ(::getxattr(U8(files.Attributed).c_str(), "user.tarnwick", value, sizeof value), 4);
      EXPECT_STREQ(value, "kept");
    }
    EXPECT_FALSE(Exists(temp + u"/ChkDel"));  // nothing left behind
    if (!place.SameFileSystem) platform_test::RemoveTree(temp);
  }
}

TEST(CheckDelFiles, PutsBackAnotherUsersSetUserIdFileWithItsOwner) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to give a file to another user";
  for (const TBackupPlace& place : BackupPlaces) {
    SCOPED_TRACE(place.Name);
    TTempTree tree;
    const string file = tree / u"setuid-program", temp = TempDirFor(place, tree);
    if (!place.SameFileSystem && !platform::MakeDirectories(temp)) continue;
    Write(file, "#!/bin/sh\n");
    ASSERT_EQ(::chown(U8(file).c_str(), tarnwick_test::NobodyId, tarnwick_test::NobodyId), 0);
    ASSERT_EQ(::chmod(U8(file).c_str(), 04755), 0);
    const struct stat before = Lstat(file);
    EXPECT_EQ(RunTarnwick({"-chkdel", "-in=" + U8(file)}, {"TMPDIR=" + U8(temp)}).Out, "nolock\r\n");
    ExpectSameFile(before, file);
    EXPECT_EQ(Lstat(file).st_mode & 07777, 04755u);
    if (!place.SameFileSystem) platform_test::RemoveTree(temp);
  }
}

TEST(CheckDelFiles, StopsAtAFileThatCannotBeDeletedAndPutsBackTheEarlierOnes) {
  RUN_UNPRIVILEGED();
  TTempTree tree;
  const string writable = tree / u"writable", closed = tree / u"closed";
  ASSERT_TRUE(platform::MakeDirectories(writable) && platform::MakeDirectories(closed));
  const string first = writable + u"/first", stuck = closed + u"/stuck", after = writable + u"/after",
               readOnly = writable + u"/read-only", unreadable = writable + u"/unreadable";
  for (const auto& name : {first, stuck, after, readOnly, unreadable}) Write(name, U8(name));
  ::chmod(U8(readOnly).c_str(), 0444);
  ::chmod(U8(unreadable).c_str(), 0);
  ASSERT_EQ(::chmod(U8(closed).c_str(), 0555), 0);
  const struct {
    std::vector<string> Names;
    std::string Out;
  } cases[] = {
      // The directory cannot be written: the file stays, the earlier one comes back.
      {{first, stuck, after}, "lock\r\n"},
      // A file's own mode does not stop its deletion here.
      {{first, readOnly}, "nolock\r\n"},
      // A file that cannot be read cannot be backed up, so it is not deleted.
      {{first, unreadable, after}, "lock\r\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(Joined(c.Names));
    TErrorCapture errors;
    const TRun run = RunTarnwick({"-chkdel", "-in=" + Joined(c.Names)}, {},
                                                    tarnwick_test::TStdout::Pipe, errors.Startup());
    EXPECT_EQ(run.Out, c.Out);
    EXPECT_EQ(errors.Text(), "");
    for (const auto& name : {first, stuck, after, readOnly}) EXPECT_EQ(Read(name), U8(name));
    EXPECT_TRUE(Exists(unreadable));
    EXPECT_FALSE(Exists(platform::TempDirectory() + u"/ChkDel"));
  }
  ::chmod(U8(closed).c_str(), 0755);
}

TEST(CheckDelFiles, AnImmutableFileAnswersLock) {
  TTempTree tree;
  const string first = tree / u"first", immutable = tree / u"immutable";
  Write(first, "first");
  Write(immutable, "immutable");
  const std::string chattr = "chattr +i '" + U8(immutable) + "' 2>/dev/null";
  if (std::system(chattr.c_str()) != 0) GTEST_SKIP() << "cannot make a file immutable here (needs root)";
  const TRun run = RunTarnwick({"-chkdel", "-in=" + U8(first) + "," + U8(immutable)});
  (void)std::system(("chattr -i '" + U8(immutable) + "'").c_str());
  EXPECT_EQ(run.Out, "lock\r\n");
  EXPECT_EQ(Read(first), "first");
  EXPECT_EQ(Read(immutable), "immutable");
}

TEST(CheckDelFiles, CountsAFileListedAgainOnceAndDropsWhatIsNoFile) {
  TTempTree tree;
  const string file = tree / u"file", dir = tree / u"dir", fifo = tree / u"fifo";
  Write(file, "once");
  ASSERT_TRUE(platform::MakeDirectories(dir));
  ASSERT_EQ(::mkfifo(U8(fifo).c_str(), 0600), 0);
  const string temp = tree / u"tmp";
  const struct {
    string In;
  } cases[] = {
      {file + u"," + file + u"," + tree.Path() + u"/./file," + dir + u"/../file"},
      {dir + u"," + tree / u"missing" + u"," + fifo + u",/dev/null," + file},
      {u""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(U8(c.In));
    TErrorCapture errors;
    const TRun run = RunTarnwick({"-chkdel", "-in=" + U8(c.In)},
                                                    {"TMPDIR=" + U8(temp)}, tarnwick_test::TStdout::Pipe,
                                                    errors.Startup());
    EXPECT_EQ(run.Out, "nolock\r\n");
    EXPECT_EQ(errors.Text(), "");
    EXPECT_EQ(Read(file), "once");
    EXPECT_TRUE(platform::DirectoryExists(dir));
    EXPECT_FALSE(Exists(temp + u"/ChkDel"));
  }
}

TEST(CheckDelFiles, LeavesAFileThatTookTheNameAloneAndKeepsTheBackup) {
  TTempTree tree;
  const string dir = tree / u"files", temp = tree / u"tmp", taken = tree / u"files/taken";
  ASSERT_TRUE(platform::MakeDirectories(dir));
  std::vector<string> names{taken};
  Write(taken, "original");
  // Enough files after it that the test can take the name before the
  // restore: each backup is flushed to disk.
  for (int i = 0; i < 300; ++i) names.push_back(dir + u"/f" + platform::IntToStr(i)), Write(names.back(), "f");

  const int watch = ::inotify_init1(IN_CLOEXEC);
  ASSERT_GE(watch, 0);
  ASSERT_GE(::inotify_add_watch(watch, U8(dir).c_str(), IN_DELETE), 0);
  std::atomic<bool> runEnded{false};
  std::thread taker([&] {
    alignas(inotify_event) char buffer[4096];
    while (!runEnded) {
      pollfd entry{watch, POLLIN, 0};
      if (::poll(&entry, 1, 100) <= 0) continue;
      const ssize_t n = ::read(watch, buffer, sizeof buffer);
      if (n <= 0) return;
      for (ssize_t at = 0; at < n;) {
        const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
        if (event->len > 0 && std::string(event->name) == "taken") {
          Write(taken, "newcomer");
          return;
        }
        at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
      }
    }
  });
  TErrorCapture errors;
  const TRun run = RunTarnwick({"-chkdel", "-in=" + Joined(names)},
                                                  {"TMPDIR=" + U8(temp)}, tarnwick_test::TStdout::Pipe,
                                                  errors.Startup());
  runEnded = true;
  taker.join();
  ::close(watch);
  EXPECT_EQ(Read(taken), "newcomer");
  const string backup = temp + u"/ChkDel/ChkDelFile0.tmp";
  if (run.Out == "nolock\r\n") GTEST_SKIP() << "the restore came before the test could take the name";
  EXPECT_EQ(run.Out, "lock\r\n");
  // Taken before the restore, or so soon that the name seemed never freed.
  const std::string kept = "The backup of '" + U8(taken) + "' is kept as '" + U8(backup) + "': ";
  EXPECT_TRUE(errors.Text() == kept + "another file has taken its name\r\n" ||
              errors.Text() == kept + "the file still exists after its deletion\r\n")
      << errors.Text();
  EXPECT_EQ(Read(backup), "original");
  for (std::size_t i = 1; i < names.size(); ++i) EXPECT_EQ(Read(names[i]), "f");
}

TEST(CheckDelFiles, ReportsARestoreThatFailedAndKeepsItsBackup) {
  TTempTree tree;
  const string first = tree / u"first", second = tree / u"second", temp = tree / u"tmp",
               res = tree / u"res.txt";
  Write(first, "first");
  Write(second, "second");
  TErrorCapture errors;
  const TRun run = RunTarnwick(
      {"-chkdel", "-in=" + U8(first) + "," + U8(second), "-out=" + U8(res)},
      {"TMPDIR=" + U8(temp)}, tarnwick_test::TStdout::Pipe, errors.Startup(RestoreFaultPath));
  const string backups = temp + u"/ChkDel/";
  EXPECT_EQ(run.Out, "error\r\n");
  EXPECT_EQ(run.ExitCode, 0);
  EXPECT_EQ(Read(res), "\xEF\xBB\xBF" "EInOutError: Cannot restore '" + U8(first) +
                           "': Input/output error; its backup is kept as '" + U8(backups) +
                           "ChkDelFile0.tmp'");
  EXPECT_EQ(errors.Text(), "The backup of '" + U8(second) + "' is kept as '" + U8(backups) +
                               "ChkDelFile1.tmp': Input/output error\r\n");
  EXPECT_FALSE(Exists(first));
  EXPECT_EQ(Lstat(temp + u"/ChkDel").st_mode & 07777, 0700u);  // no one else's to read or plant in
  EXPECT_EQ(Read(backups + u"ChkDelFile0.tmp"), "first");
  EXPECT_EQ(Read(backups + u"ChkDelFile1.tmp"), "second");
}

TEST(CheckDelFiles, NeverUsesABackupDirectoryItDidNotCreate) {
  TTempTree tree;
  const string file = tree / u"file", temp = tree / u"tmp", elsewhere = tree / u"elsewhere";
  Write(file, "file");
  ASSERT_TRUE(platform::MakeDirectories(temp + u"/ChkDel"));
  Write(temp + u"/ChkDel/theirs", "theirs");
  // A link planted where the next name would be, to a place that does not
  // exist yet.
  ASSERT_EQ(::symlink(U8(elsewhere).c_str(), U8(temp + u"/ChkDel0").c_str()), 0);
  EXPECT_EQ(RunTarnwick({"-chkdel", "-in=" + U8(file)}, {"TMPDIR=" + U8(temp)}).Out, "nolock\r\n");
  EXPECT_EQ(Read(file), "file");
  EXPECT_EQ(Read(temp + u"/ChkDel/theirs"), "theirs");
  EXPECT_TRUE(S_ISLNK(Lstat(temp + u"/ChkDel0").st_mode));
  EXPECT_FALSE(Exists(elsewhere));
  EXPECT_FALSE(Exists(temp + u"/ChkDel1"));

  // -test takes the same way.
  const TRun test = RunTarnwick({"-test"}, {"TMPDIR=" + U8(temp)});
  EXPECT_NE(test.Out.find("\r\nsTempDir = " + U8(temp) + "/ChkDel1\r\n"), std::string::npos) << test.Out;
  EXPECT_FALSE(Exists(temp + u"/ChkDel1"));
  EXPECT_FALSE(Exists(elsewhere));
}

TEST(CheckDelFiles, AnswersErrorWhenTheBackupDirectoryCannotBeCreated) {
  TTempTree tree;
  const string file = tree / u"file", blocker = tree / u"blocker", res = tree / u"res.txt";
  Write(file, "file");
  Write(blocker, "a file where a directory must be");
  const TRun run = RunTarnwick({"-chkdel", "-in=" + U8(file), "-out=" + U8(res)},
                               {"TMPDIR=" + U8(blocker) + "/tmp"});
  EXPECT_EQ(run.Out, "error\r\n");
  EXPECT_EQ(Read(res), "\xEF\xBB\xBF" "EInOutError: Cannot create the directory '" + U8(blocker) +
                           "/tmp': Not a directory");
  EXPECT_EQ(Read(file), "file");
}

TEST(CheckDelFiles, ABackupPastTheFileSizeLimitAnswersErrorAndPutsBackTheEarlierFiles) {
  TTempTree tree;
  const string first = tree / u"first", big = tree / u"big", res = tree / u"res.txt";
  const string temp = TempDirFor(BackupPlaces[1], tree);  // a copy, written byte by byte
  if (!platform::MakeDirectories(temp)) GTEST_SKIP() << "no second file system for a backup by copy";
  Write(first, "first");
  Write(big, std::string(200000, 'b'));
  // The limit is inherited by the program; the test itself writes nothing
  // that large meanwhile.
  rlimit previous{};
  ::getrlimit(RLIMIT_FSIZE, &previous);
  const rlimit limit{64 * 1024, previous.rlim_max};
  ::setrlimit(RLIMIT_FSIZE, &limit);
  const TRun run = RunTarnwick({"-chkdel", "-in=" + U8(first) + "," + U8(big), "-out=" + U8(res)},
                               {"TMPDIR=" + U8(temp)});
  ::setrlimit(RLIMIT_FSIZE, &previous);
  EXPECT_EQ(run.Signal, 0);
  EXPECT_EQ(run.Out, "error\r\n");
  EXPECT_EQ(Read(res), "\xEF\xBB\xBF" "EInOutError: Cannot back up '" + U8(big) + "' as '" + U8(temp) +
                           "/ChkDel/ChkDelFile1.tmp': File too large");
  EXPECT_EQ(Read(first), "first");
  EXPECT_EQ(Read(big), std::string(200000, 'b'));
  EXPECT_FALSE(Exists(temp + u"/ChkDel"));
  platform_test::RemoveTree(temp);
}

TEST(CheckDelFiles, ARequestToEndWaitsUntilTheDeletedFilesAreBack) {
  TTempTree tree;
  const string dir = tree / u"files", temp = tree / u"tmp";
  ASSERT_TRUE(platform::MakeDirectories(dir));
  // Enough files that the run is still deleting when the signal comes: each
  // backup is flushed to disk.
  std::vector<string> names;
  for (int i = 0; i < 300; ++i) names.push_back(dir + u"/f" + platform::IntToStr(i)), Write(names.back(), "f");
  const std::string listBytes = [&] {
    std::string text;
    for (const auto& name : names) text += U8(name) + "\n";
    return text;
  }();
  Write(tree / u"list.txt", listBytes);

  for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
    SCOPED_TRACE(signal);
    const int watch = ::inotify_init1(IN_CLOEXEC);
    ASSERT_GE(watch, 0);
    ASSERT_GE(::inotify_add_watch(watch, U8(dir).c_str(), IN_DELETE), 0);
    const std::string program = TARNWICK_PATH, in = "-in=@" + U8(tree / u"list.txt"),
                      tmp = "TMPDIR=" + U8(temp);
    char* argv[] = {const_cast<char*>(program.c_str()), const_cast<char*>("-chkdel"),
                    const_cast<char*>(in.c_str()), nullptr};
    std::vector<std::string> env = tarnwick_test::ChildEnvironment({tmp});
    std::vector<char*> envp;
    for (auto& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    ASSERT_EQ(::posix_spawn(&pid, program.c_str(), &actions, nullptr, argv, envp.data()), 0);
    posix_spawn_file_actions_destroy(&actions);
    // The signal as soon as the first file is gone.
    pollfd entry{watch, POLLIN, 0};
    const bool deleting = ::poll(&entry, 1, 10000) == 1;
    ::kill(pid, signal);
    int status = 0;
    ::waitpid(pid, &status, 0);
    ::close(watch);
    EXPECT_TRUE(deleting);
    // Ended by the signal once the files were back, or done before it came.
    EXPECT_TRUE((WIFSIGNALED(status) && WTERMSIG(status) == signal) ||
                (WIFEXITED(status) && WEXITSTATUS(status) == 0))
        << status;
    for (const auto& name : names) EXPECT_EQ(Read(name), "f") << U8(name);
    EXPECT_FALSE(Exists(temp + u"/ChkDel"));
  }
}

// ------------------------------------------------------------------- -test

TEST(OwnTest, ShowsItsDirectoryAndLeavesNothingBehind) {
  TTempTree tree;
  const string temp = tree / u"new/tmp";  // its parents are made
  const TRun run = RunTarnwick({"-test"}, {"TMPDIR=" + U8(temp)});
  EXPECT_EQ(run.ExitCode, 0);
  const std::size_t first = run.Out.find("] Begin own test.\r\nsTempDir = " + U8(temp) + "/ChkDel\r\n[");
  EXPECT_NE(first, std::string::npos) << run.Out;
  EXPECT_NE(run.Out.find("] End own test.\r\n"), std::string::npos) << run.Out;
  EXPECT_EQ(std::count(run.Out.begin(), run.Out.end(), '\n'), 3);
  std::vector<string> left;
  EXPECT_TRUE(platform::ListDirectory(temp, left));
  EXPECT_TRUE(left.empty());
}
