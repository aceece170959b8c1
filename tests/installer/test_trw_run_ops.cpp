// "-run" and "-dll" seen from outside: each case runs the built program
// against real programs and a fixture library.
#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "platform/files.h"
#include "platform/text.h"
#include "tarnwick_run.h"
#include "tests/platform/child_process.h"
#include "tests/platform/temp_tree.h"

using platform::FromUtf8;
using platform::ToUtf8;
using platform_test::TChildReport;
using platform_test::TTempTree;
using tarnwick_test::Joined;
using tarnwick_test::RunTarnwick;
using tarnwick_test::TRun;
using tarnwick_test::TStartup;
using tarnwick_test::TStdout;
using tarnwick_test::WithoutStamps;

namespace {

const std::string Child = FIXTURE_DIR "/process/fixture_child";
const std::string Library = FIXTURE_DIR "/dll/libfixture_dll.so";
const std::string LibraryName = "libfixture_dll.so";

std::string Path(const TTempTree& tree, const char16_t* name) { return ToUtf8(tree / name); }

// A copy of the program in <tree>/bin, with the fixture library and a copy
// of the child program (as sub/kid) beside it: its program directory is
// one that the test owns.
class TProgramCopy {
 public:
  TProgramCopy() {
    ok = platform::MakeDirectories(FTree / u"bin/sub") &&
         platform::CopyFile(FromUtf8(TARNWICK_PATH), FTree / u"bin/tarnwick") &&
         platform::CopyFile(FromUtf8(Library), FTree / u"bin/libfixture_dll.so") &&
         platform::CopyFile(FromUtf8(Child), FTree / u"bin/sub/kid");
  }
  bool ok = false;
  std::string Dir() const { return Path(FTree, u"bin"); }
  TStartup Startup() const { return {Dir() + "/tarnwick", false, {}}; }
  const TTempTree& Tree() const { return FTree; }

 private:
  TTempTree FTree;
};

// The report of a child that was not waited for, once it is complete.
TChildReport AwaitReport(const std::string& path) {
  for (int i = 0; i < 500 && ::access(path.c_str(), F_OK) != 0; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  return TChildReport(path);
}

// Whether the orphan (this process being its reaper) has not ended yet.
bool Running(pid_t pid) {
  siginfo_t info{};
  return ::waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid == 0;
}

std::string StartFailure(const std::string& what, const std::string& exe, const std::string& params,
                         const std::string& message = "No such file or directory", int code = 2) {
  return "error\r\n " + message + " (" + what + " (" + exe + ")(" + params + "): " + std::to_string(code) +
         ")\r\n";
}

// -------------------------------------------------------------------- -run

TEST(RunProgram, AnswersOkErrorOrTheExitCode) {
  TTempTree tree;
  const std::string missing = Path(tree, u"missing");
  const bool root = ::geteuid() == 0;
  const struct {
    std::vector<std::string> Args;
    std::string Out;
  } cases[] = {
      // "ExitCode=" and the number alone: no line break, nothing else.
      {{"-run", "-exe=" + Child, "-prm=exit=7", "-wait", "-checkexit"}, "ExitCode=7"},
      {{"-run", "-exe=" + Child, "-prm=signal=15", "-wait", "-checkexit"}, "ExitCode=143"},
      {{"-run", "-exe=" + Child, "-prm=exit=7", "-checkexit"}, "ExitCode=0"},  // not waited for
      {{"-run", "-exe=" + Child, "-prm=exit=7", "-wait"}, "ok\r\n"},
      {{"-run", "-exe=" + Child, "-prm=exit=7"}, "ok\r\n"},
      // What the child writes never reaches the answer.
      {{"-run", "-exe=/bin/sh", "-prm=-c \"echo out; echo err >&2\"", "-wait"}, "ok\r\n"},
      // A failed start: its error, or its code as the exit code (never a 0
      // that reads as the program's success).
      {{"-run", "-exe=" + missing, "-prm=a  b", "-wait"}, StartFailure("Error create process", missing, "a  b")},
      {{"-run", "-exe=" + missing, "-wait", "-checkexit"}, "ExitCode=2"},
      {{"-run", "-exe=" + missing, "-checkexit"}, "ExitCode=2"},
      {{"-run"}, StartFailure("Error create process", "", "")},
      {{"-run", "-exe=" + Child, "-dir=" + missing, "-wait"}, StartFailure("Error create process", Child, "")},
      // Keys are case-sensitive, unknown switches and stray words ignored.
      {{"-run", "-exe=" + missing, "-prm=-a -b=c", "-EXE=upper", "-unknown=1", "stray", "-"},
       StartFailure("Error create process", missing, "-a -b=c")},
      // Administrator rights only for a program that has them already.
      {{"-run", "-exe=" + Child, "-prm=exit=7", "-admin", "-wait", "-checkexit"},
       root ? "ExitCode=7" : "ExitCode=1"},
      {{"-run", "-exe=" + Child, "-prm=exit=7", "-admin", "-wait"},
       root ? "ok\r\n" : StartFailure("Error admin-execute", Child, "exit=7", "Operation not permitted", 1)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(Joined(c.Args));
    const TRun run = RunTarnwick(c.Args);
    EXPECT_EQ(run.Out, c.Out);
    EXPECT_EQ(run.ExitCode, 0);
  }
}

// Without "-wait" the answer comes at once; the program runs on, holding
// neither the answer's pipe nor anything else of Tarnwick's.
TEST(RunProgram, LeavesAProgramRunningThatWasNotWaitedFor) {
  // What Tarnwick leaves running becomes this process's child.
  ASSERT_EQ(::prctl(PR_SET_CHILD_SUBREAPER, 1), 0);
  TTempTree tree;
  const std::string report = Path(tree, u"report");
  for (const bool admin : {false, true}) {
    if (admin && ::geteuid() != 0) continue;
    SCOPED_TRACE(admin ? "admin" : "normal");
    std::vector<std::string> args{"-run", "-exe=" + Child, "-prm=\"report=" + report + "\" sleep", "-checkexit"};
    if (admin) args.push_back("-admin");
    const TRun run = RunTarnwick(args);
    EXPECT_EQ(run.Out, admin ? "ExitCode=259" : "ExitCode=0");  // 259: still active
    const TChildReport seen = AwaitReport(report);
    ASSERT_TRUE(seen.Exists());
    const pid_t pid = std::stoi(seen.Value("pid"));
    EXPECT_TRUE(Running(pid)) << "the program still runs after Tarnwick ended";
    EXPECT_EQ(seen.Value("stdio 1"), "/dev/null");
    ::kill(pid, SIGKILL);
    int status = 0;
    EXPECT_EQ(::waitpid(pid, &status, 0), pid);
    ::unlink(report.c_str());
  }
}

// A careless parent leaves SIGCHLD ignored and a descriptor open: Tarnwick
// still learns the exit code, and the program gets neither.
TEST(RunProgram, StartsCleanWhateverTarnwickInherited) {
  TTempTree tree;
  const std::string report = Path(tree, u"report");
  const int extra = ::open("/dev/null", O_RDONLY);  // inherited: no close-on-exec
  ASSERT_GE(extra, 3);
  TStartup startup;
  startup.SigchldIgnored = true;
  const TRun run = RunTarnwick({"-run", "-exe=" + Child, "-prm=report=" + report + " exit=7", "-wait", "-checkexit"},
                               {}, TStdout::Pipe, startup);
  ::close(extra);
  EXPECT_EQ(run.Out, "ExitCode=7");
  const TChildReport seen(report);
  EXPECT_EQ(seen.Value("fds"), "0 1 2");
  EXPECT_EQ(seen.Value("ignored"), "");
  EXPECT_EQ(seen.Value("blocked"), "");
}

// "-extexe" puts the program directory before a relative name, and
// "-dir=Current" (trimmed, any case) is the program directory, not the
// caller's current one.
TEST(RunProgram, ProgramDirectoryForExtendedNamesAndTheCurrentDirectory) {
  TProgramCopy copy;
  ASSERT_TRUE(copy.ok);
  const std::string bin = copy.Dir();
  const std::string report = Path(copy.Tree(), u"report");
  const std::string cwd = ToUtf8(platform::CurrentDirectory());
  const struct {
    std::vector<std::string> Options;
    std::string Program, Directory;
  } cases[] = {
      {{"-exe=sub/kid", "-extexe"}, bin + "/sub/kid", cwd},
      {{"-exe=" + bin + "/sub/kid", "-extexe"}, bin + "/sub/kid", cwd},  // absolute: unchanged
      {{"-exe=sub/kid", "-extexe", "-dir=Current"}, bin + "/sub/kid", bin},
      {{"-exe=sub/kid", "-extexe", "-dir=\" CURRENT \""}, bin + "/sub/kid", bin},
      {{"-exe=" + Child, "-dir=" + ToUtf8(copy.Tree().Path())}, Child, ToUtf8(copy.Tree().Path())},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(Joined(c.Options));
    std::vector<std::string> args{"-run", "-prm=report=" + report, "-wait"};
    args.insert(args.end(), c.Options.begin(), c.Options.end());
    const TRun run = RunTarnwick(args, {}, TStdout::Pipe, copy.Startup());
    EXPECT_EQ(run.Out, "ok\r\n");
    const TChildReport seen(report);
    ASSERT_TRUE(seen.Exists());
    EXPECT_EQ(seen.Args().at(0), c.Program);
    EXPECT_EQ(seen.Value("cwd"), c.Directory);
    ::unlink(report.c_str());
  }
  // Without "-extexe" a relative name is the caller's.
  const TRun run = RunTarnwick({"-run", "-exe=sub/kid", "-wait"}, {}, TStdout::Pipe, copy.Startup());
  EXPECT_EQ(run.Out, StartFailure("Error create process", "sub/kid", ""));
}

// -------------------------------------------------------------------- -dll

struct TDllCase {
  std::vector<std::string> Args;  // after the program name
  std::vector<std::string> Lines;  // after "Cmd = " and the stamps
  int ExitCode;
};

std::string CmdLine(const std::string& program, const std::vector<std::string>& args) {
  std::string line = "[T] Cmd = " + program;
  for (const auto& a : args) line += " " + (a.find(' ') != std::string::npos ? "\"" + a + "\"" : a);
  return line + "\r\n";
}

std::string Begin(const std::string& file, const std::string& func) {
  return "[T] Begin run dll (" + file + ")->(" + func + ")\r\n";
}

const std::string Unloaded = "fixture_dll unloaded\n";
const std::string End = "[T] End run dll.\r\n";

std::string Failure(const std::string& file, const std::string& func, const std::string& error) {
  return "[T] Error on action : \r\nEBaseFuncError : Error on CallSimpleFunction; DLLName: " + file +
         "; FuncName: " + func + "; " + error + "\r\n";
}

void ExpectDllRuns(const std::vector<TDllCase>& cases, const TStartup& startup = {},
                   const std::vector<std::string>& env = {}) {
  for (const auto& c : cases) {
    SCOPED_TRACE(Joined(c.Args));
    const TRun run = RunTarnwick(c.Args, env, TStdout::Pipe, startup);
    std::string expected = CmdLine(startup.Program, c.Args);
    for (const auto& line : c.Lines) expected += line;
    EXPECT_EQ(WithoutStamps(run.Out), expected);
    EXPECT_EQ(run.ExitCode, c.ExitCode);
    EXPECT_EQ(run.Signal, 0);
  }
}

// The library is unloaded ("fixture_dll unloaded") and what it printed is
// out before Tarnwick's next line, in success and in failure.
TEST(RunDll, CallsTheProcedureAndReportsEveryFailureAfterUnloading) {
  const std::string L = Library;
  const auto call = [&](const std::string& func) {
    return std::vector<std::string>{"-dll=1", "-n=" + L, "-f=" + func};
  };
  ExpectDllRuns({
      {call("Start"), {Begin(L, "Start"), Unloaded, End}, 0},
      {call("PrintLine"), {Begin(L, "PrintLine"), "printed by the procedure\n", Unloaded, End}, 0},
      {call("Indirect"), {Begin(L, "Indirect"), "printed by the indirect procedure\n", Unloaded, End}, 0},
      // The procedure's own exception: a report, read before the library
      // (which holds its type and text) is gone.
      {call("ThrowOwn"),
       {Begin(L, "ThrowOwn"), "printed before the exception\n", Unloaded,
        Failure(L, "ThrowOwn", "dll_fixture::TProcedureError: raised by the procedure")},
       1},
      {call("ThrowInt"),
       {Begin(L, "ThrowInt"), Unloaded, Failure(L, "ThrowInt", "int: An exception of an unknown type was raised")},
       1},
      // Neither a missing name nor data is called.
      {call("Nope"), {Begin(L, "Nope"), Unloaded, Failure(L, "Nope", "Exception: Can't load function")}, 1},
      {call("start"), {Begin(L, "start"), Unloaded, Failure(L, "start", "Exception: Can't load function")}, 1},
      {call("DataSymbol"),
       {Begin(L, "DataSymbol"), Unloaded, Failure(L, "DataSymbol", "Exception: Can't load function")}, 1},
      {call("Not There"),
       {Begin(L, "Not There"), Unloaded, Failure(L, "Not There", "Exception: Can't load function")}, 1},
      {call(""), {Begin(L, ""), Failure(L, "", "EBaseFuncError: FuncName is empty")}, 1},
      {{"-dll=1", "-n=/nonexistent/lib.so", "-f=Start"},
       {Begin("/nonexistent/lib.so", "Start"),
        Failure("/nonexistent/lib.so", "Start", "EBaseFuncError: Can't load library")},
       1},
      // An enclosing "\" is stripped.
      {{"-dll=1", "-n=\\" + L + "\\", "-f=Start"}, {Begin(L, "Start"), Unloaded, End}, 0},
      // The "dll" value read as a number; options in any order, the last
      // one counting.
      {{"-dll= +0x1", "-f=Start", "-n=" + L}, {Begin(L, "Start"), Unloaded, End}, 0},
      {{"-dll=$1", "-n=/nonexistent/lib.so", "-f=Start", "-dll=2", "-n=" + L}, {Begin(L, "Start"), Unloaded, End}, 0},
  });
}

// A name without "/" is looked for in the program directory only, also
// when it holds a "\" or ":" (the loader would search its own paths).
TEST(RunDll, ANameWithoutASlashIsInTheProgramDirectory) {
  TProgramCopy copy;
  ASSERT_TRUE(copy.ok);
  const std::string bin = copy.Dir();
  ASSERT_TRUE(platform::CopyFile(FromUtf8(Library), FromUtf8(bin + "/x\\" + LibraryName)));
  ASSERT_TRUE(platform::MakeDirectories(copy.Tree() / u"search"));
  ASSERT_TRUE(platform::CopyFile(FromUtf8(Library), FromUtf8(Path(copy.Tree(), u"search") + "/y\\" + LibraryName)));
  ASSERT_TRUE(platform::CopyFile(FromUtf8(Library), FromUtf8(Path(copy.Tree(), u"search") + "/C:" + LibraryName)));
  const std::string own = bin + "/" + LibraryName;
  const auto call = [](const std::string& name, const std::string& func = "Start") {
    return std::vector<std::string>{"-dll=1", "-n=" + name, "-f=" + func};
  };
  ExpectDllRuns(
      {
          {call(LibraryName), {Begin(own, "Start"), Unloaded, End}, 0},
          {call("\\" + LibraryName + "\\"), {Begin(own, "Start"), Unloaded, End}, 0},
          {call("x\\" + LibraryName), {Begin(bin + "/x\\" + LibraryName, "Start"), Unloaded, End}, 0},
          // Only on the loader's paths: not found.
          {call("y\\" + LibraryName),
           {Begin(bin + "/y\\" + LibraryName, "Start"),
            Failure(bin + "/y\\" + LibraryName, "Start", "EBaseFuncError: Can't load library")},
           1},
          {call("C:" + LibraryName),
           {Begin(bin + "/C:" + LibraryName, "Start"),
            Failure(bin + "/C:" + LibraryName, "Start", "EBaseFuncError: Can't load library")},
           1},
          // Two backslashes strip to nothing: the directory itself.
          {call("\\\\"), {Begin(bin + "/", "Start"), Failure(bin + "/", "Start", "EBaseFuncError: Can't load library")}, 1},
          // Three parameters pass, whatever they are.
          {{"-dll=1", "x", "y"}, {Begin(bin + "/", ""), Failure(bin + "/", "", "EBaseFuncError: FuncName is empty")}, 1},
      },
      copy.Startup(), {"LD_LIBRARY_PATH=" + Path(copy.Tree(), u"search")});
}

// A fatal signal inside the procedure ends Tarnwick by that signal.
TEST(RunDll, AFatalSignalInTheProcedureEndsTheProgram) {
  rlimit previous{};
  ::getrlimit(RLIMIT_CORE, &previous);
  const rlimit none{0, previous.rlim_max};
  ::setrlimit(RLIMIT_CORE, &none);  // no core file from the program
  const std::vector<std::string> args{"-dll=1", "-n=" + Library, "-f=Trap"};
  const TRun run = RunTarnwick(args);
  ::setrlimit(RLIMIT_CORE, &previous);
  EXPECT_EQ(run.Signal, SIGILL);
  EXPECT_EQ(WithoutStamps(run.Out), CmdLine(TARNWICK_PATH, args) + Begin(Library, "Trap"));
}

}  // namespace
