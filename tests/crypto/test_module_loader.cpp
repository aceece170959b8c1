#include "crypto/module_loader.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "crypto/debug_log.h"
#include "crypto/module_path.h"
#include "crypto/root_path.h"
#include "platform/environment.h"
#include "platform/files.h"
#include "platform/last_error.h"
#include "platform/modules.h"
#include "test_support.h"
#include "tests/fixtures/engine_module/fixture_control.h"
#include "tests/platform/loaded_extent.h"

namespace {

using ::testing::AllOf;
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;
using ::testing::Matcher;
using ::testing::MatchesRegex;
using ::testing::StartsWith;
using testsupport::A;
using testsupport::TLogCapture;
using testsupport::TTempDir;
using testsupport::U;

// A line that ends with the system error text: "System error <code>. <message>".
Matcher<std::string> ErrorLine(const std::string& aPrefix) {
  return AllOf(StartsWith(aPrefix + " System error "),
               MatchesRegex(".* System error -?[0-9]+\\. .+"));
}

std::string Handle(NativeUInt aHandle) { return std::to_string(aHandle); }

struct TFpuState {
  std::uint16_t FX87 = 0;
  std::uint32_t FMxcsr = 0;
  bool operator==(const TFpuState&) const = default;
};

TFpuState CurrentFpuState() {
  TFpuState state;
  asm volatile("fnstcw %0" : "=m"(state.FX87));
  asm volatile("stmxcsr %0" : "=m"(state.FMxcsr));
  return state;
}

class ModuleLoaderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    FSavedPath = platform::GetEnvironmentVariable(u"PATH");
    selvane::InitRootPath();
    selvane::InitDebugLog();
    selvane::SetOrvRoot(FRoot.Path());
    selvane::SetCryptDebugCallBack(&TLogCapture::Receive);
    TLogCapture::Instance().Clear();
  }
  void TearDown() override {
    for (const std::u16string& file : FBesideProgram) platform::DeleteFile(file);
    selvane::SetCryptDebugCallBack(nullptr);
    selvane::DoneDebugLog();
    selvane::DoneRootPath();
    if (FSavedPath)
      platform::SetEnvironmentVariable(u"PATH", *FSavedPath);
    else
      platform::UnsetEnvironmentVariable(u"PATH");
  }

  std::u16string InSystem(const std::string& aVariant, const std::string& aFile,
                          const std::u16string& aName) {
    const std::u16string dir = FRoot / u"SYSTEM";
    platform::MakeDirectories(dir);
    EXPECT_TRUE(
        platform::CopyFile(testsupport::FixtureModule(aVariant, aFile), dir + u"/" + aName));
    return dir + u"/" + aName;
  }
  // In-process this library is the test program, so "near self" is its
  // directory; names no other test uses keep parallel tests apart.
  std::u16string BesideProgram(const std::string& aVariant, const std::string& aFile,
                               const std::u16string& aName) {
    const std::u16string path = NearSelf(aName);
    EXPECT_TRUE(platform::CopyFile(testsupport::FixtureModule(aVariant, aFile), path));
    FBesideProgram.push_back(path);
    return path;
  }
  static std::u16string NearSelf(const std::u16string& aName) {
    return platform::ExtractFileDir(selvane::OwnModulePath()) + u"/" + aName;
  }
  static std::vector<std::string> TakeLines() {
    auto lines = TLogCapture::Instance().Lines();
    TLogCapture::Instance().Clear();
    return lines;
  }
  static std::vector<Matcher<std::string>> ReleaseLines(const std::string& aFullName,
                                                        NativeUInt aHandle, NativeUInt aAfter) {
    const std::string file = A(platform::ExtractFileName(U(aFullName)));
    const std::string quoted = "\"" + aFullName + "\"";
    return {
        "Start exec SelvaneFreeLibrary: " + quoted + " Handle: " + Handle(aHandle),
        "Before FreeLibrary " + quoted + " Handle: " + Handle(aHandle) + " Attempt: 1",
        ErrorLine("After FreeLibrary " + quoted + " Handle: " + Handle(aHandle) + " Attempt: 1."),
        ErrorLine("Check loaded library \"" + file + "\" Handle: " + Handle(aAfter) +
                  " Attempt: 1."),
    };
  }

  TTempDir FRoot;
  std::optional<std::u16string> FSavedPath;
  std::vector<std::u16string> FBesideProgram;
};

TEST_F(ModuleLoaderTest, FoundBesideItselfIsLoadedThereAndHandedTheCallback) {
  const std::u16string path = BesideProgram("fpu", "kv_amsel.dll", u"kv_loader_near.dll");
  InSystem("full", "kv_amsel.dll", u"kv_loader_near.dll");
  const TFpuState before = CurrentFpuState();
  NativeUInt handle = selvane::SelvaneLoadLibrary(u"kv_loader_near.dll");
  ASSERT_TRUE(platform::IsValidModule(handle));
  EXPECT_EQ(CurrentFpuState(), before) << "the module's load changed the host's state";
  EXPECT_EQ(selvane::ModulePathByHandle(handle), path);
  EXPECT_THAT(TakeLines(), ElementsAre("Start exec LoadLibrary: kv_loader_near.dll",
                                       "Check Library kv_loader_near.dll is loaded",
                                       ErrorLine("Library \"kv_loader_near.dll\" not loaded yet."),
                                       "Try LoadLibrary near self: " + A(path),
                                       "SetCryptDebugCallBackProcToLib to: " + A(path),
                                       "Library " + A(path) + " loaded Handle: " + Handle(handle) +
                                           " FullName: \"" + A(path) + "\" version: 4.12.0.318"));
  const fixture::TFixtureControl control(handle);
  EXPECT_EQ(control.CallbackCount(), 1);
  EXPECT_THAT(selvane::CallBackLibsSnapshot(), ElementsAre(handle));

  const NativeUInt loaded = handle;
  selvane::SelvaneFreeLibrary(handle);
  EXPECT_EQ(handle, 0u);
  EXPECT_THAT(TakeLines(), ElementsAreArray(ReleaseLines(A(path), loaded, 0)));
  EXPECT_EQ(platform::FindLoadedModule(u"kv_loader_near.dll", false), 0u);
  EXPECT_THAT(selvane::CallBackLibsSnapshot(), IsEmpty());
}

TEST_F(ModuleLoaderTest, FoundOnlyBelowTheRootIsLoadedByTheSearch) {
  const std::u16string path = InSystem("fpu", "kv_amsel.dll", u"kv_loader_system.dll");
  const TFpuState before = CurrentFpuState();
  NativeUInt handle = selvane::SelvaneLoadLibrary(u"kv_loader_system.dll");
  ASSERT_TRUE(platform::IsValidModule(handle));
  EXPECT_EQ(CurrentFpuState(), before) << "the module's load changed the host's state";
  const std::string near = A(NearSelf(u"kv_loader_system.dll"));
  EXPECT_THAT(TakeLines(),
              ElementsAre("Start exec LoadLibrary: kv_loader_system.dll",
                          "Check Library kv_loader_system.dll is loaded",
                          ErrorLine("Library \"kv_loader_system.dll\" not loaded yet."),
                          "Try LoadLibrary near self: " + near,
                          ErrorLine("Library \"" + near + "\" not loaded."),
                          "Try PelLoadLibrary: kv_loader_system.dll",
                          "SetCryptDebugCallBackProcToLib to: " + A(path),
                          "Library kv_loader_system.dll loaded Handle: " + Handle(handle) +
                              " FullName: \"" + A(path) + "\" version: 4.12.0.318"));
  selvane::SelvaneFreeLibrary(handle);
  EXPECT_EQ(handle, 0u);
}

TEST_F(ModuleLoaderTest, ADirectoryPartOfTheNameIsDropped) {
  // Only the file-name part is looked for, whatever path the name carries.
  const std::u16string path = InSystem("required_only", "kv_amsel.dll", u"kv_loader_short.dll");
  for (const std::u16string name :
       {u"/elsewhere/kv_loader_short.dll", u"c:\\dir\\kv_loader_short.dll"}) {
    NativeUInt handle = selvane::SelvaneLoadLibrary(name);
    ASSERT_TRUE(platform::IsValidModule(handle)) << A(name);
    const auto lines = TakeLines();
    ASSERT_EQ(lines.size(), 8u) << A(name);
    EXPECT_EQ(lines[0], "Start exec LoadLibrary: " + A(name));
    EXPECT_EQ(lines[1], "Check Library kv_loader_short.dll is loaded");
    // No version information: the line ends with its label.
    EXPECT_EQ(lines[7], "Library kv_loader_short.dll loaded Handle: " + Handle(handle) +
                            " FullName: \"" + A(path) + "\" version: ");
    selvane::SelvaneFreeLibrary(handle);
    TakeLines();
  }
}

TEST_F(ModuleLoaderTest, FoundNowhereEveryCallTriesAgain) {
  const std::string near = A(NearSelf(u"kv_loader_none.dll"));
  const std::vector<Matcher<std::string>> attempt = {
      "Start exec LoadLibrary: kv_loader_none.dll",
      "Check Library kv_loader_none.dll is loaded",
      ErrorLine("Library \"kv_loader_none.dll\" not loaded yet."),
      "Try LoadLibrary near self: " + near,
      ErrorLine("Library \"" + near + "\" not loaded."),
      "Try PelLoadLibrary: kv_loader_none.dll",
      ErrorLine("Library \"kv_loader_none.dll\" not loaded."),
  };
  for (int call = 0; call < 2; ++call) {
    EXPECT_EQ(selvane::SelvaneLoadLibrary(u"kv_loader_none.dll"), 0u);
    EXPECT_THAT(TakeLines(), ElementsAreArray(attempt)) << "call " << call;
  }
}

TEST_F(ModuleLoaderTest, AlreadyLoadedByTheHostIsSharedAndNotPulledAway) {
  // Either side may let go first: the module stays until both have.
  for (const bool bHostFirst : {false, true}) {
    SCOPED_TRACE(bHostFirst ? "host releases first" : "library releases first");
    const std::u16string path = testsupport::FixtureModule("full", "kv_amsel.dll");
    const platform::ModuleHandle host = platform::LoadModule(path);
    ASSERT_TRUE(platform::IsValidModule(host));
    const fixture::TFixtureControl control(host);
    const int callbacksBefore = control.CallbackCount();

    NativeUInt handle = selvane::SelvaneLoadLibrary(u"kv_amsel.dll");
    EXPECT_EQ(handle, host);
    EXPECT_THAT(
        TakeLines(),
        ElementsAre("Start exec LoadLibrary: kv_amsel.dll", "Check Library kv_amsel.dll is loaded",
                    "Library kv_amsel.dll already loaded Handle: " + Handle(host) +
                        " FullName: \"" + A(path) + "\" version: 4.12.0.318"));
    EXPECT_EQ(control.CallbackCount(), callbacksBefore) << "not offered the callback";
    EXPECT_THAT(selvane::CallBackLibsSnapshot(), IsEmpty());

    if (bHostFirst) {
      platform::FreeModule(host);
      EXPECT_EQ(platform::FindLoadedModule(u"kv_amsel.dll", false), host)
          << "the library's own reference keeps it";
      control.Reset();  // still mapped
      selvane::SelvaneFreeLibrary(handle);
      EXPECT_EQ(handle, 0u);
      EXPECT_THAT(TakeLines(), ElementsAreArray(ReleaseLines(A(path), host, 0)));
    } else {
      selvane::SelvaneFreeLibrary(handle);
      EXPECT_EQ(handle, host) << "still loaded for the host";
      EXPECT_THAT(TakeLines(), ElementsAreArray(ReleaseLines(A(path), host, host)));
      control.Reset();  // the host can still use it
      platform::FreeModule(host);
    }
    EXPECT_EQ(platform::FindLoadedModule(u"kv_amsel.dll", false), 0u);
  }
}

TEST_F(ModuleLoaderTest, ReleasingNoModuleOnlyLogsTheStart) {
  NativeUInt handle = 0;
  selvane::SelvaneFreeLibrary(handle);
  EXPECT_EQ(handle, 0u);
  EXPECT_THAT(TakeLines(), ElementsAre("Start exec SelvaneFreeLibrary: \"" +
                                       A(selvane::ModulePathByHandle(0)) + "\" Handle: 0"));
}

TEST(SystemErrorText, GivesTheCodeAndItsMessage) {
  platform::SetLastError(2);
  EXPECT_EQ(selvane::SystemErrorText(), u"System error 2. " + platform::SystemMessage(2));
  platform::SetLastError(platform::ErrorLoadFailed, u"loader detail");
  EXPECT_EQ(selvane::SystemErrorText(), u"System error 65536. loader detail");
}

// The built library in a directory of its own, run by the host driver in a
// child process: its start-up and shut-down are the real ones.
class HostDriverTest : public ::testing::Test {
 protected:
  void SetUp() override {
    FLibrary = FDir / u"lib/libselvane2x.so";
    ASSERT_TRUE(platform::MakeDirectories(FDir / u"lib"));
    ASSERT_TRUE(platform::CopyFile(U(SELVANE_LIBRARY_PATH), FLibrary));
  }

  // How the driver is started: the library as the host names it (the
  // copy's absolute path when empty), the directory it starts in, and one
  // "NAME=value" for its environment.
  struct TStart {
    std::string Library;
    std::string Directory;
    std::string Environment;
  };

  // The driver's output lines; the log lines without their "LOG: " mark.  A
  // driver that hangs is ended and fails the test.
  std::vector<std::string> Run(const std::vector<std::string>& aCommands,
                               const TStart& aStart = {}) {
    std::string command;
    if (!aStart.Directory.empty()) command += "cd " + Quote(aStart.Directory) + " && ";
    if (!aStart.Environment.empty()) command += "env " + Quote(aStart.Environment) + " ";
    command += "timeout 120 " + Quote(HOST_DRIVER_PATH) + " " +
               Quote(aStart.Library.empty() ? A(FLibrary) : aStart.Library);
    for (const auto& c : aCommands) command += " " + Quote(c);
    const std::u16string output = FDir / u"driver.out";
    command += " >" + Quote(A(output)) + " 2>&1";
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
    std::string text;
    EXPECT_TRUE(platform::ReadWholeFile(output, text));
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
      std::string line = text.substr(start, end - start);
      if (line.rfind("LOG: ", 0) == 0) line.erase(0, 5);
      lines.push_back(line);
    }
    return lines;
  }

  static std::string Quote(const std::string& aText) {
    std::string quoted = "'";
    for (char c : aText) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
  }

  // A copy of the library in a directory (made if missing); its path.
  static std::u16string LibraryIn(const std::u16string& aDir) {
    EXPECT_TRUE(platform::MakeDirectories(aDir));
    EXPECT_TRUE(platform::CopyFile(U(SELVANE_LIBRARY_PATH), aDir + u"/libselvane2x.so"));
    return aDir + u"/libselvane2x.so";
  }

  static std::string HandleIn(const std::string& aLine) {
    const std::size_t at = aLine.find("Handle: ");
    if (at == std::string::npos) return {};
    return aLine.substr(at + 8, aLine.find(' ', at + 8) - at - 8);
  }

  TTempDir FDir;
  std::u16string FLibrary;
};

TEST_F(HostDriverTest, AModuleBesideTheLibraryIsLoadedThereAndReleasedAtShutDown) {
  ASSERT_TRUE(platform::CopyFile(testsupport::FixtureModule("full", "kv_amsel.dll"),
                                 FDir / u"lib/kv_amsel.dll"));
  const std::string lib = A(FDir / u"lib");
  const std::string module = lib + "/kv_amsel.dll";
  const auto lines =
      Run({"callback", "status=Amber/4.0", "fixture=kv_amsel.dll:callbacks", "unload"});
  ASSERT_EQ(lines.size(), 16u) << ::testing::PrintToString(lines);
  const std::string handle = HandleIn(lines[7]);
  ASSERT_FALSE(handle.empty());
  const std::string quoted = "\"" + module + "\"";
  EXPECT_THAT(
      lines,
      ElementsAre("callback set", "SetCryptDebugCallBackProc to : " + lib + "/libselvane2x.so",
                  "Start exec LoadLibrary: kv_amsel.dll", "Check Library kv_amsel.dll is loaded",
                  ErrorLine("Library \"kv_amsel.dll\" not loaded yet."),
                  "Try LoadLibrary near self: " + module,
                  "SetCryptDebugCallBackProcToLib to: " + module,
                  "Library " + module + " loaded Handle: " + handle + " FullName: " + quoted +
                      " version: 4.12.0.318",
                  "status Amber/4.0 1", "callbacks 1 host",
                  "Start exec SelvaneFreeLibrary: " + quoted + " Handle: " + handle,
                  "Before FreeLibrary " + quoted + " Handle: " + handle + " Attempt: 1",
                  ErrorLine("After FreeLibrary " + quoted + " Handle: " + handle + " Attempt: 1."),
                  // The system finishes an unload started inside another one after
                  // that one: the module is still listed here, and gone right after.
                  StartsWith("Check loaded library \"kv_amsel.dll\" Handle: "), "library gone",
                  "no modules loaded"));
}

TEST_F(HostDriverTest, AModuleTheHostLoadedStaysWithTheHostAfterShutDown) {
  const std::string module = A(testsupport::FixtureModule("full", "kv_amsel.dll"));
  const auto lines = Run({"preload=" + module, "callback", "status=Amber/4.0", "unload",
                          "fixture=kv_amsel.dll:callbacks:reset", "release=kv_amsel.dll"});
  ASSERT_EQ(lines.size(), 16u) << ::testing::PrintToString(lines);
  const std::string handle = HandleIn(lines[5]);
  const std::string quoted = "\"" + module + "\"";
  EXPECT_THAT(
      lines,
      ElementsAre(
          "preload kv_amsel.dll ok", "callback set", StartsWith("SetCryptDebugCallBackProc to : "),
          "Start exec LoadLibrary: kv_amsel.dll", "Check Library kv_amsel.dll is loaded",
          "Library kv_amsel.dll already loaded Handle: " + handle + " FullName: " + quoted +
              " version: 4.12.0.318",
          "status Amber/4.0 1", "Start exec SelvaneFreeLibrary: " + quoted + " Handle: " + handle,
          "Before FreeLibrary " + quoted + " Handle: " + handle + " Attempt: 1",
          ErrorLine("After FreeLibrary " + quoted + " Handle: " + handle + " Attempt: 1."),
          ErrorLine("Check loaded library \"kv_amsel.dll\" Handle: " + handle + " Attempt: 1."),
          "library gone",
          // Never offered the callback, and still usable by the host.
          "callbacks 0 nil", "fixture reset", "release kv_amsel.dll ok", "no modules loaded"));
}

// "Next to this library" is where the system mapped it from: neither a
// directory change after a load by relative path, nor a link followed by
// ".." in the path the host gave, nor a link to the library file itself,
// leads the search elsewhere.
TEST_F(HostDriverTest, TheModuleNextToTheLibraryIsTheOneNextToTheMappedFile) {
  const std::u16string full = testsupport::FixtureModule("full", "kv_amsel.dll");
  // Each case's wrong directory holds an engine module too: loading it
  // would show in the "loaded" line.
  ASSERT_TRUE(platform::CopyFile(full, FDir / u"lib/kv_amsel.dll"));
  LibraryIn(FDir / u"elsewhere/lib");
  ASSERT_TRUE(platform::CopyFile(full, FDir / u"elsewhere/lib/kv_amsel.dll"));
  LibraryIn(FDir / u"deep/lib");
  ASSERT_TRUE(platform::CopyFile(full, FDir / u"deep/lib/kv_amsel.dll"));
  ASSERT_TRUE(platform::MakeDirectories(FDir / u"deep/sub"));
  std::filesystem::create_directory_symlink(A(FDir / u"deep/sub"), A(FDir / u"link"));
  // A link to the library from a directory that holds a module of its own.
  ASSERT_TRUE(platform::MakeDirectories(FDir / u"linked"));
  ASSERT_TRUE(platform::CopyFile(full, FDir / u"linked/kv_amsel.dll"));
  std::filesystem::create_symlink(A(FDir / u"deep/lib/libselvane2x.so"),
                                  A(FDir / u"linked/libselvane2x.so"));

  const struct {
    const char* What;
    TStart Start;
    std::vector<std::string> Before;  // commands before the engine is needed
    std::u16string Expected;          // the directory the library was mapped from
  } cases[] = {
      {"relative path, then another directory",
       {"lib/libselvane2x.so", A(FDir.Path()), ""},
       {"cd=" + A(FDir / u"elsewhere")},
       FDir / u"lib"},
      {"a link followed by ..",
       {A(FDir / u"link/../lib/libselvane2x.so"), "", ""},
       {},
       FDir / u"deep/lib"},
      {"the library named through a link in another directory",
       {A(FDir / u"linked/libselvane2x.so"), "", ""},
       {},
       FDir / u"deep/lib"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.What);
    std::vector<std::string> commands = {"callback"};
    commands.insert(commands.end(), c.Before.begin(), c.Before.end());
    commands.insert(commands.end(), {"status=Amber/4.0", "unload"});
    const auto lines = Run(commands, c.Start);
    const std::string dir = A(c.Expected);
    EXPECT_THAT(lines, Contains("SetCryptDebugCallBackProc to : " + dir + "/libselvane2x.so"));
    EXPECT_THAT(lines, Contains("Try LoadLibrary near self: " + dir + "/kv_amsel.dll"));
    EXPECT_THAT(lines, Contains(StartsWith("Library " + dir + "/kv_amsel.dll loaded Handle: ")));
    EXPECT_THAT(lines,
                Contains(StartsWith("Start exec SelvaneFreeLibrary: \"" + dir + "/kv_amsel.dll\"")))
        << ::testing::PrintToString(lines);
    EXPECT_THAT(lines, Contains("status Amber/4.0 1"));
  }
}

// The system error text has no limit of its own: a long directory keeps its
// whole path and the reason after it.
TEST_F(HostDriverTest, ANotLoadedLineKeepsALongPathAndTheReason) {
  std::u16string dir = FDir.Path();
  for (int level = 0; level < 10; ++level) dir += u"/" + std::u16string(200, u'd');
  const std::u16string library = LibraryIn(dir);
  const auto lines = Run({"callback", "status=Amber/4.0"}, {A(library), "", ""});
  const std::string module = A(dir) + "/kv_amsel.dll";
  ASSERT_GT(module.size(), 2000u);
  EXPECT_THAT(lines, Contains("Library \"" + module + "\" not loaded. System error " +
                              std::to_string(ENOENT) + ". " + module +
                              ": cannot open shared object file: " +
                              A(platform::SystemMessage(ENOENT))))
      << ::testing::PrintToString(lines);
}

// A FIFO is never opened (that would wait for a writer for good, with the
// registry's lock held); it fails as a file that is not regular, wherever a
// load attempt meets it.
TEST_F(HostDriverTest, AnEngineModuleThatIsNoRegularFileFailsAtOnce) {
  const std::string refused = " not loaded. System error " + std::to_string(EACCES) + ". " +
                              A(platform::SystemMessage(EACCES));
  const std::string near = A(FDir / u"lib/kv_amsel.dll");
  const struct {
    const char* What;
    std::u16string Fifo;
    TStart Start;
    std::vector<std::string> Commands;
    Matcher<std::string> NearLine, SearchLine;
  } cases[] = {
      {"next to the library", FDir / u"lib/kv_amsel.dll", {}, {},
       "Library \"" + near + "\"" + refused, ErrorLine("Library \"kv_amsel.dll\" not loaded.")},
      {"in the root's EXE directory", FDir / u"root/EXE/kv_amsel.dll", {},
       {"dllroot=" + A(FDir / u"root")}, ErrorLine("Library \"" + near + "\" not loaded."),
       ErrorLine("Library \"kv_amsel.dll\" not loaded.")},
      {"in the loader's search path", FDir / u"search/kv_amsel.dll",
       {"", "", "LD_LIBRARY_PATH=" + A(FDir / u"search")}, {},
       ErrorLine("Library \"" + near + "\" not loaded."), "Library \"kv_amsel.dll\"" + refused},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.What);
    ASSERT_TRUE(platform::MakeDirectories(platform::ExtractFileDir(c.Fifo)));
    ASSERT_EQ(::mkfifo(A(c.Fifo).c_str(), 0600), 0);
    std::vector<std::string> commands = {"callback"};
    commands.insert(commands.end(), c.Commands.begin(), c.Commands.end());
    commands.insert(commands.end(), {"status=Amber/4.0", "status=Amber/4.0"});
    const auto lines = Run(commands, c.Start);
    const std::size_t at =
        std::find(lines.begin(), lines.end(), "Try LoadLibrary near self: " + near) - lines.begin();
    ASSERT_LT(at + 3, lines.size()) << ::testing::PrintToString(lines);
    EXPECT_THAT(lines[at + 1], c.NearLine);
    EXPECT_EQ(lines[at + 2], "Try PelLoadLibrary: kv_amsel.dll");
    EXPECT_THAT(lines[at + 3], c.SearchLine);
    // The next call tries again, and is not blocked either.
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "status Amber/4.0 0"), 2)
        << ::testing::PrintToString(lines);
    platform::DeleteFile(c.Fifo);
  }
}

// An interrupted install leaves an engine module cut short: the system loader
// would map segments the file does not hold and the host would die of
// SIGBUS.  Such a file fails as a bad format, as a failed load.
TEST_F(HostDriverTest, ATruncatedEngineModuleFailsAsABadFormat) {
  std::string image;
  ASSERT_TRUE(platform::ReadWholeFile(testsupport::FixtureModule("full", "kv_amsel.dll"), image));
  ASSERT_GT(image.size(), 3 * 4096u);
  const std::string badFormat = " not loaded. System error " + std::to_string(ENOEXEC) + ". " +
                                A(platform::SystemMessage(ENOEXEC));
  const std::size_t loaded = platform_test::LoadedExtent(image);
  ASSERT_GT(loaded, 2 * 4096u);
  const struct {
    const char* What;
    std::size_t Length;
    bool bLoads;
  } cuts[] = {
      {"cut at 4096", 4096, false},
      {"cut at half of what the segments hold", loaded / 2, false},
      {"cut one byte short of that", loaded - 1, false},
      {"empty", 0, false},
      {"what the segments hold, without the sections after it", loaded, true},
      {"whole", image.size(), true},
  };
  for (const bool bNearSelf : {true, false}) {
    for (const auto& cut : cuts) {
      SCOPED_TRACE(std::string(cut.What) + (bNearSelf ? " next to the library" : " in EXE"));
      platform_test::RemoveTree(FDir / u"root");
      platform::DeleteFile(FDir / u"lib/kv_amsel.dll");
      const std::u16string file =
          bNearSelf ? FDir / u"lib/kv_amsel.dll" : FDir / u"root/EXE/kv_amsel.dll";
      ASSERT_TRUE(platform::MakeDirectories(platform::ExtractFileDir(file)));
      ASSERT_TRUE(platform::WriteWholeFile(file, image.data(), cut.Length));
      const auto lines = Run({"callback", "dllroot=" + A(FDir / u"root"), "status=Amber/4.0"});
      EXPECT_THAT(lines, Contains(cut.bLoads ? "status Amber/4.0 1" : "status Amber/4.0 0"))
          << ::testing::PrintToString(lines);
      if (cut.bLoads) continue;
      const std::string shown = bNearSelf ? A(file) : "kv_amsel.dll";
      const std::string failed = "Library \"" + shown + "\"" + badFormat;
      EXPECT_THAT(lines, Contains(failed)) << ::testing::PrintToString(lines);
    }
  }
}

}  // namespace
