#include "installer/win_utils.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/processes.h"
#include "platform/text.h"
#include "runtime/exceptions.h"
#include "tests/platform/child_process.h"
#include "tests/platform/temp_tree.h"
#include "unprivileged.h"

using namespace tarnwick;
using platform::FromUtf8;
using platform::ToUtf8;
using platform_test::KilledBy;
using platform_test::TChild;
using platform_test::TChildReport;
using platform_test::TMapper;
using platform_test::TTempTree;

namespace {

const string ChildPath = FromUtf8(FIXTURE_DIR "/process/fixture_child");
const string SignDataPath = FromUtf8(FIXTURE_DIR "/platform/libfixture_signdata.so");

TProcessInfo Info(const string& name, NativeUInt id, const string& caption = u"", std::uint64_t start = 0) {
  TProcessInfo info;
  info.ProcessName = name;
  info.ProcessID = id;
  info.WindowCaption = caption;
  info.StartTime = start;
  return info;
}

// The children of this process, from /proc.
std::set<pid_t> Children() {
  std::set<pid_t> children;
  std::vector<std::u16string> tasks;
  platform::ListDirectory(u"/proc/self/task", tasks);
  for (const auto& task : tasks) {
    std::string text;
    platform::ReadWholeFile(u"/proc/self/task/" + task + u"/children", text);
    for (std::size_t at = 0; at < text.size();) {
      std::size_t end = text.find(' ', at);
      if (end == std::string::npos) end = text.size();
      if (end > at) children.insert(std::stoi(text.substr(at, end - at)));
      at = end + 1;
    }
  }
  return children;
}

// The one child started since `before`.
pid_t NewChild(const std::set<pid_t>& before) {
  std::vector<pid_t> started;
  for (const pid_t child : Children())
    if (!before.count(child)) started.push_back(child);
  return started.size() == 1 ? started[0] : -1;
}

TEST(MyProcessList, CopiesWhatTheSearchFound) {
  TMyProcessList list;
  list.AddProcess(Info(u"/App/a.exe", 12, u"caption", 777));
  list.AddProcess(Info(u"/b", 13));
  ASSERT_EQ(list.Count(), 2);
  const TMyProcess& first = list.Items(0);
  EXPECT_EQ(first.ProcessName, u"/App/a.exe");
  EXPECT_EQ(first.ProcessID, 12u);
  EXPECT_EQ(first.WindowCaption, u"caption");
  EXPECT_EQ(first.StartTime, 777u);
  EXPECT_EQ(list.GetItems(1).ProcessName, u"/b");
  for (const Integer index : {-1, 2}) {
    try {
      list.Items(index);
      ADD_FAILURE() << index;
    } catch (const rtl::EListError& e) {
      EXPECT_EQ(e.Message(), u"List index out of bounds (" + platform::IntToStr(index) + u")");
    }
  }
  list.Clear();
  EXPECT_EQ(list.Count(), 0);
  EXPECT_THROW(list.Items(0), rtl::EListError);
}

TEST(MyProcessList, WritesNamesAndLogLines) {
  TMyProcessList list;
  EXPECT_EQ(list.OutputProcessNames(u" ", u"\r\n", true), u"");
  EXPECT_EQ(list.LogInfo(), u"LockCount: 0");
  list.AddProcess(Info(u"/App/a.exe", 12, u"Main"));
  EXPECT_EQ(list.OutputProcessNames(u" ", u"\r\n", false), u" a.exe\r\n");
  EXPECT_EQ(list.OutputProcessNames(u" ", u"\r\n", true), u" /App/a.exe\r\n");
  list.AddProcess(Info(u"C:\\x:y", 4000000000u));
  EXPECT_EQ(list.OutputProcessNames(u"<", u">", false), u"<a.exe><C:\\x:y>");
  EXPECT_EQ(list.LogInfo(), u"LockCount: 2\r\n /App/a.exe | 12 | Main\r\n C:\\x:y | 4000000000 | ");
}

TEST(FindLockingProcesses, ListsTheProcessesThatHoldTheFiles) {
  TTempTree tree;
  const string library = tree / u"libheld.so";
  ASSERT_TRUE(platform::CopyFile(SignDataPath, library));
  TMapper holder("dlopen", library);
  ASSERT_TRUE(holder.Ready());
  rtl::TStringList files;
  files.Add(tree / u"not-loaded.so");
  files.Add(library);
  TMyProcessList found;
  found.AddProcess(Info(u"/stale", 1));
  FindLockingProcesses(files, found);
  ASSERT_EQ(found.Count(), 1);
  EXPECT_EQ(ToUtf8(found.Items(0).ProcessName), platform_test::MapperPath);
  EXPECT_EQ(found.Items(0).ProcessID, holder.Id());
  EXPECT_EQ(found.Items(0).StartTime, platform::ProcessStartTime(holder.Id()));

  files.Delete(1);
  FindLockingProcesses(files, found);
  EXPECT_EQ(found.Count(), 0);
}

struct TRun {
  bool Result = false;
  Cardinal ExitCode = 12345;
  string ErrorText = u"unset";
};

TRun Started(const string& program, const string& parameters, const string& directory, bool wait,
         bool admin = false) {
  TRun run;
  run.Result = (admin ? RunExe_Admin : RunExe)(program, parameters, directory, run.ExitCode, run.ErrorText, wait);
  return run;
}

TEST(RunExe, WaitsForTheExitCode) {
  const struct {
    string Parameters;
    Cardinal ExitCode;
  } cases[] = {
      {u"exit=0", 0},
      {u"exit=3", 3},
      {u"exit=255", 255},
      {u"signal=15", 128 + 15},  // death by a signal
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(ToUtf8(c.Parameters));
    const TRun run = Started(ChildPath, c.Parameters, u"", true);
    EXPECT_TRUE(run.Result);
    EXPECT_EQ(run.ExitCode, c.ExitCode);
    EXPECT_EQ(run.ErrorText, u"");
  }
}

TEST(RunExe, WithoutWaitLeavesTheProgramRunning) {
  const std::set<pid_t> before = Children();
  const TRun run = Started(ChildPath, u"exit=3", u"", false);
  EXPECT_TRUE(run.Result);
  EXPECT_EQ(run.ExitCode, 0u);
  EXPECT_EQ(run.ErrorText, u"");
  const pid_t child = NewChild(before);
  ASSERT_GT(child, 0);
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 3) << status;
}

// The program's path is its argv[0] whole, so a blank in it shifts no
// parameter.
TEST(RunExe, KeepsABlankInTheProgramPath) {
  TTempTree tree;
  ASSERT_TRUE(platform::MakeDirectories(tree / u"my programs"));
  const string program = tree / u"my programs/the child";
  ASSERT_TRUE(platform::CopyFile(ChildPath, program));
  const string report = tree / u"report";
  const TRun run = Started(program, u"report=" + report + u" a \"b c\"", tree.Path(), true);
  ASSERT_TRUE(run.Result) << ToUtf8(run.ErrorText);
  const TChildReport seen(ToUtf8(report));
  EXPECT_EQ(seen.Args(), (std::vector<std::string>{ToUtf8(program), "report=" + ToUtf8(report), "a", "b c"}));
  EXPECT_EQ(seen.Value("cwd"), ToUtf8(tree.Path()));
}

TEST(RunExe, AnEmptyWorkingDirectoryIsTheCurrentOne) {
  TTempTree tree;
  const TRun run = Started(ChildPath, u"report=" + (tree / u"report"), u"", true);
  ASSERT_TRUE(run.Result) << ToUtf8(run.ErrorText);
  EXPECT_EQ(TChildReport(ToUtf8(tree / u"report")).Value("cwd"), ToUtf8(platform::CurrentDirectory()));
}

// A failed start answers with the error's code, not with a 0 that reads as
// the program's success.
TEST(RunExe, FailsWithTheCodeAndTextOfTheError) {
  TTempTree tree;
  const string missing = tree / u"missing";
  const struct {
    string Program, Directory;
    bool Admin;
    const char16_t* What;
  } cases[] = {
      {missing, u"", false, u"Error create process"},
      {ChildPath, missing, false, u"Error create process"},
      {missing, u"", true, u"Error admin-execute"},
  };
  for (const auto& c : cases) {
    if (c.Admin && ::geteuid() != 0) continue;
    SCOPED_TRACE(ToUtf8(c.What));
    const TRun run = Started(c.Program, u"a  b", c.Directory, true, c.Admin);
    EXPECT_FALSE(run.Result);
    EXPECT_EQ(run.ExitCode, 2u);
    EXPECT_EQ(ToUtf8(run.ErrorText),
              "No such file or directory (" + ToUtf8(c.What) + " (" + ToUtf8(c.Program) + ")(a  b): 2)");
  }
}

// Where the system reaps children itself (SIGCHLD ignored), the end of the
// program cannot be learned: a query failure, not an endless wait.
TEST(RunExe, ReportsAQueryFailureWhenTheEndCannotBeLearned) {
  auto* const previous = ::signal(SIGCHLD, SIG_IGN);
  const TRun run = Started(ChildPath, u"exit=3", u"", true);
  ::signal(SIGCHLD, previous);
  EXPECT_FALSE(run.Result);
  EXPECT_EQ(run.ExitCode, 10u);
  EXPECT_EQ(ToUtf8(run.ErrorText),
            "No child processes (Error query process (" + ToUtf8(ChildPath) + ")(exit=3): 10)");
}

TEST(RunExe_Admin, StartsWithTheRightsThisProcessHas) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs administrator rights (root)";
  TRun run = Started(ChildPath, u"exit=3", u"", true, true);
  EXPECT_TRUE(run.Result) << ToUtf8(run.ErrorText);
  EXPECT_EQ(run.ExitCode, 3u);

  const std::set<pid_t> before = Children();
  run = Started(ChildPath, u"sleep", u"", false, true);
  EXPECT_TRUE(run.Result) << ToUtf8(run.ErrorText);
  EXPECT_EQ(run.ExitCode, 259u) << "still active";
  const pid_t child = NewChild(before);
  ASSERT_GT(child, 0);
  ::kill(child, SIGKILL);
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_TRUE(KilledBy(status, SIGKILL)) << "it was still running";
}

TEST(RunExe_Admin, FailsWithoutAdministratorRights) {
  RUN_UNPRIVILEGED();
  const TRun run = Started(ChildPath, u"exit=0", u"", true, true);
  EXPECT_FALSE(run.Result);
  EXPECT_EQ(run.ExitCode, 1u);
  EXPECT_EQ(ToUtf8(run.ErrorText),
            "Operation not permitted (Error admin-execute (" + ToUtf8(ChildPath) + ")(exit=0): 1)");
}

TEST(KillProcess, TerminatesTheProcessThatWasFound) {
  TMapper child;
  ASSERT_TRUE(child.Ready());
  const std::uint64_t started = platform::ProcessStartTime(child.Id());
  EXPECT_FALSE(KillProcess(child.Id(), started + 1)) << "another process of the same id";
  EXPECT_TRUE(child.Running());
  ASSERT_TRUE(KillProcess(child.Id(), started));
  EXPECT_TRUE(KilledBy(child.Wait(), SIGKILL));

  TMapper unknownStart;
  ASSERT_TRUE(unknownStart.Ready());
  ASSERT_TRUE(KillProcess(unknownStart.Id(), 0));
  EXPECT_TRUE(KilledBy(unknownStart.Wait(), SIGKILL));

  for (const Cardinal id : {0u, platform::CurrentProcessId(), 0x7FFFFFFFu}) EXPECT_FALSE(KillProcess(id, 0)) << id;
}

// Another user's process: refused, unless CAP_KILL is permitted, when it is
// raised for the one signal and lowered again.
TEST(KillProcess, RaisesTheRightToSignalWherePermitted) {
  std::string why;
  if (!platform_test::CanRunAsOtherUsers(why)) GTEST_SKIP() << why;
  using platform_test::AsUser;
  using platform_test::DriverPath;
  using platform_test::Joined;
  const std::vector<std::string> withKill = {"--inh-caps=+kill", "--ambient-caps=+kill"};
  const struct {
    std::vector<std::string> Options, Before;
    bool Killed;
  } cases[] = {
      {{}, {}, false},
      {withKill, {"dropkill"}, true},
      {withKill, {"dropkill", "nopidfd"}, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Before.size());
    TChild target(Joined(AsUser(65533), {platform_test::MapperPath}));
    ASSERT_EQ(target.ReadLine(), "ready");
    const std::string id = std::to_string(target.Id());
    std::vector<std::string> commands = c.Before;
    for (const char* command : {"effective", "kill=", "effective"})
      commands.push_back(command == std::string("kill=")
                             ? "kill=" + id + "," + std::to_string(platform::ProcessStartTime(target.Id()))
                             : command);
    TChild killer(Joined(Joined(AsUser(65534, c.Options), {DriverPath}), commands), true);
    std::string expected;
    for (const auto& command : c.Before) expected += command + "\n";
    expected += "effective nokill\nkill " + id + (c.Killed ? " ok" : " failed 1") + "\neffective nokill\n";
    // Only a process that was signalled is waited for.
    ASSERT_EQ(killer.ReadAll(), expected);
    EXPECT_EQ(killer.Wait(), 0);
    if (c.Killed) {
      EXPECT_TRUE(KilledBy(target.Wait(), SIGKILL));
    } else {
      EXPECT_TRUE(target.Running());
    }
  }
}

TEST(SplitToList, KeepsInnerEmptyPartsButNotALastOne) {
  const struct {
    string Text;
    std::vector<string> Parts;
  } cases[] = {
      {u"", {}},
      {u"a", {u"a"}},
      {u"a,b", {u"a", u"b"}},
      {u"a,,b", {u"a", u"", u"b"}},
      {u"a,", {u"a"}},
      {u",a", {u"", u"a"}},
      {u",", {u""}},
      {u" , x", {u" ", u" x"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(ToUtf8(c.Text));
    rtl::TStringList list;
    list.Add(u"old");
    SplitToList(c.Text, u',', list);
    std::vector<string> parts;
    for (const auto& item : list) parts.push_back(item.Text);
    EXPECT_EQ(parts, c.Parts);
  }
}

TEST(TrimList, TrimsEntriesAndDropsEmptyOnes) {
  rtl::TStringList list;
  for (const string text : {u" ", u" x\t", u"", u"y", u"\r\n"}) list.Add(text);
  TrimList(list);
  ASSERT_EQ(list.Count(), 2);
  EXPECT_EQ(list[0], u"x");
  EXPECT_EQ(list[1], u"y");
}

}  // namespace
