#include "platform/modules.h"

#include <elf.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "platform/files.h"
#include "platform/last_error.h"
#include "platform/text.h"
#include "loaded_extent.h"
#include "temp_tree.h"

using namespace platform;

namespace {

const std::u16string FixtureDir = FromUtf8(FIXTURE_DIR "/platform");
const std::u16string SignDataName = u"libfixture_signdata.so";
const std::u16string LinksSignDataName = u"libfixture_links_signdata.so";
const std::u16string VersionedName = u"libfixture_versioned.so";
const std::u16string FpuName = u"libfixture_fpu.so";

std::u16string Fixture(const std::u16string& name) { return FixtureDir + u"/" + name; }

unsigned short X87Control() {
  unsigned short value;
  asm volatile("fnstcw %0" : "=m"(value));
  return value;
}

unsigned int Mxcsr() {
  unsigned int value;
  asm volatile("stmxcsr %0" : "=m"(value));
  return value;
}

void SetX87Control(unsigned short value) { asm volatile("fldcw %0" : : "m"(value)); }

constexpr unsigned int MxcsrFlags = 0x3F;

int ProgramFunction() { return 7; }

TEST(Modules, FindsALoadedModuleByItsExactFileName) {
  const ModuleHandle module = LoadModule(Fixture(VersionedName));
  ASSERT_TRUE(IsValidModule(module)) << ToUtf8(LastErrorText());

  EXPECT_EQ(FindLoadedModule(VersionedName, false), module);
  EXPECT_EQ(FindLoadedModule(Fixture(VersionedName), false), module);
  EXPECT_EQ(FindLoadedModule(FixtureDir + u"/./" + VersionedName, false), module);
  for (const std::u16string other :
       {u"LIBFIXTURE_VERSIONED.SO", u"libfixture_Versioned.so", u"libfixture_versioned",
        u"fixture_versioned.so", u"libfixture_versioned.so ", u""}) {
    SCOPED_TRACE(ToUtf8(other));
    EXPECT_EQ(FindLoadedModule(other, false), 0u);
  }

  EXPECT_EQ(ModuleFileName(module), Fixture(VersionedName));
  void* entry = ModuleSymbol(module, "VersionedFixture");
  ASSERT_NE(entry, nullptr);
  EXPECT_EQ(ModuleOfAddress(entry), module);
  EXPECT_TRUE(FreeModule(module));
}

TEST(Modules, ReleasedUntilGoneThenTheHandleIsStale) {
  const ModuleHandle first = LoadModule(Fixture(VersionedName));
  ASSERT_TRUE(IsValidModule(first));
  EXPECT_EQ(LoadModule(Fixture(VersionedName)), first);
  EXPECT_EQ(FindLoadedModule(VersionedName, true), first);  // a third reference
  EXPECT_EQ(FindLoadedModule(VersionedName, false), first);  // no reference

  for (int reference = 3; reference > 0; --reference) {
    SCOPED_TRACE(reference);
    EXPECT_EQ(FindLoadedModule(VersionedName, false), first);
    EXPECT_TRUE(FreeModule(first));
  }
  EXPECT_EQ(FindLoadedModule(VersionedName, false), 0u);
  EXPECT_EQ(GetLastError(), static_cast<Cardinal>(ENOENT));

  EXPECT_EQ(ModuleFileName(first), u"");
  EXPECT_EQ(ModuleSymbol(first, "VersionedFixture"), nullptr);
  EXPECT_FALSE(FreeModule(first));
}

TEST(Modules, SymbolsCountOnlyInTheModuleThatDefinesThem) {
  const ModuleHandle links = LoadModule(Fixture(LinksSignDataName));
  ASSERT_TRUE(IsValidModule(links)) << ToUtf8(LastErrorText());
  const ModuleHandle signData = FindLoadedModule(SignDataName, false);
  ASSERT_TRUE(IsValidModule(signData));  // loaded as a dependency
  EXPECT_NE(signData, links);

  EXPECT_EQ(ModuleSymbol(links, "SignData"), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<Cardinal>(ENOENT));

  void* entry = ModuleSymbol(signData, "SignData");
  ASSERT_NE(entry, nullptr);
  EXPECT_EQ(reinterpret_cast<int (*)()>(entry)(), 42);
  EXPECT_EQ(ModuleSymbol(signData, "signdata"), nullptr);  // case counts
  EXPECT_EQ(ModuleSymbol(signData, "NoSuchEntry"), nullptr);
  EXPECT_EQ(ModuleSymbol(signData, nullptr), nullptr);
  // Nobody opened the dependency itself, so there is no reference to give back.
  EXPECT_FALSE(FreeModule(signData));
  EXPECT_NE(FindLoadedModule(SignDataName, false), 0u);

  EXPECT_TRUE(FreeModule(links));
  EXPECT_EQ(FindLoadedModule(SignDataName, false), 0u);  // went with it
}

// Lookups walk the loader's list while other threads load and unload.
TEST(Modules, LookupsAreSafeWhileAnotherThreadLoadsAndUnloads) {
  std::atomic<bool> done{false};
  std::thread loader([&] {
    for (int i = 0; i < 300; ++i) {
      const ModuleHandle module = LoadModule(Fixture(VersionedName));
      if (module != 0) FreeModule(module);
    }
    done = true;
  });
  int rounds = 0;
  while (!done || rounds == 0) {
    // A handle found a moment ago may be stale by now: "" is fine then.
    const ModuleHandle found = FindLoadedModule(VersionedName, false);
    if (found != 0) {
      const std::u16string name = ModuleFileName(found);
      EXPECT_TRUE(name.empty() || name == Fixture(VersionedName)) << ToUtf8(name);
    }
    ++rounds;
  }
  loader.join();
  EXPECT_EQ(FindLoadedModule(VersionedName, false), 0u);
}

TEST(Modules, HandlesThatNameNoModuleAreRefusedSafely) {
  int local = 0;
  const auto heap = std::make_unique<long[]>(64);
  const ModuleHandle bogus[] = {0,
                                1,
                                32,
                                33,
                                reinterpret_cast<ModuleHandle>(&local),
                                reinterpret_cast<ModuleHandle>(heap.get()),
                                reinterpret_cast<ModuleHandle>(&ProgramFunction),
                                ~ModuleHandle{0}};
  for (const ModuleHandle handle : bogus) {
    SCOPED_TRACE(handle);
    if (handle != 0) {
      EXPECT_EQ(ModuleFileName(handle), u"");
    }
    EXPECT_EQ(ModuleSymbol(handle, "SignData"), nullptr);
    EXPECT_FALSE(FreeModule(handle));
    EXPECT_NE(GetLastError(), ErrorSuccess);
  }
  EXPECT_EQ(ModuleOfAddress(nullptr), 0u);
  EXPECT_EQ(ModuleOfAddress(&local), 0u);
  EXPECT_EQ(ModuleOfAddress(heap.get()), 0u);
}

TEST(Modules, TheProgramIsModuleZeroAndALoadedModule) {
  const std::u16string exe = FromUtf8(std::filesystem::read_symlink("/proc/self/exe").string());
  EXPECT_EQ(ModuleFileName(0), exe);

  const ModuleHandle program = ModuleOfAddress(reinterpret_cast<const void*>(&ProgramFunction));
  ASSERT_TRUE(IsValidModule(program));
  EXPECT_EQ(ModuleFileName(program), exe);
  EXPECT_EQ(FindLoadedModule(ExtractFileName(exe), false), program);
  EXPECT_EQ(ProgramFunction(), 7);
}

TEST(Modules, FailedLoadsSetTheErrorAndKeepTheLoaderText) {
  platform_test::TTempTree tree;
  const std::string text = "not a library";
  ASSERT_TRUE(WriteWholeFile(tree / u"text.so", text.data(), text.size()));
  // Files refused before the loader sees them give the system's message;
  // the loader's own failures keep its text, which names the file.
  const struct {
    std::u16string Name;
    Cardinal Code;
    bool bLoaderText;
  } cases[] = {
      {tree / u"missing.so", ENOENT, true},
      {u"libno-such-platform-fixture.so", ENOENT, true},
      {tree / u"text.so", ENOEXEC, false},
      {tree.Path(), EACCES, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(ToUtf8(c.Name));
    SetLastError(0);
    EXPECT_EQ(LoadModule(c.Name), 0u);
    EXPECT_EQ(GetLastError(), c.Code);
    const std::u16string detail = LastErrorText();
    if (c.bLoaderText) {
      EXPECT_NE(detail.find(c.Name), std::u16string::npos) << ToUtf8(detail);
    } else {
      EXPECT_EQ(detail, SystemMessage(c.Code));
    }
  }
  EXPECT_EQ(LoadModule(u""), 0u);
  EXPECT_EQ(GetLastError(), static_cast<Cardinal>(EINVAL));
}

TEST(Modules, FloatingPointGuardUndoesWhatALoadChanged) {
  const unsigned short x87 = X87Control();
  const unsigned int mxcsr = Mxcsr();
  ModuleHandle module = 0;
  {
    FloatingPointGuard outer;
    {
      FloatingPointGuard guard;
      module = LoadModule(Fixture(FpuName));
      ASSERT_TRUE(IsValidModule(module)) << ToUtf8(LastErrorText());
      // The fixture really changed both units and left a flag raised.
      EXPECT_NE(X87Control(), x87);
      EXPECT_NE(Mxcsr() & ~MxcsrFlags, mxcsr & ~MxcsrFlags);
      EXPECT_NE(Mxcsr() & MxcsrFlags, 0u);
    }
    EXPECT_EQ(X87Control(), x87);
    EXPECT_EQ(Mxcsr(), mxcsr & ~MxcsrFlags);
    EXPECT_TRUE(FreeModule(module));
  }
  {
    // The guard restores on every way out, also after a load that failed.
    FloatingPointGuard guard;
    SetX87Control(0x0C7B);
    EXPECT_EQ(LoadModule(Fixture(u"missing.so")), 0u);
  }
  EXPECT_EQ(X87Control(), x87);
}

// Only an address where a function starts may be called as one.
TEST(Modules, FunctionSymbolsAreToldFromData) {
  const platform::ModuleHandle module = platform::LoadModule(FromUtf8(FIXTURE_DIR "/dll/libfixture_dll.so"));
  ASSERT_TRUE(platform::IsValidModule(module));
  const auto* start = static_cast<const char*>(platform::ModuleSymbol(module, "Start"));
  const void* data = platform::ModuleSymbol(module, "DataSymbol");
  ASSERT_NE(start, nullptr);
  ASSERT_NE(data, nullptr);
  EXPECT_TRUE(platform::IsFunctionSymbol(start));
  // An indirect function's address is the code it resolved to.
  EXPECT_TRUE(platform::IsFunctionSymbol(platform::ModuleSymbol(module, "Indirect")));
  EXPECT_FALSE(platform::IsFunctionSymbol(data));
  const auto* print = static_cast<const char*>(platform::ModuleSymbol(module, "PrintLine"));
  ASSERT_NE(print, nullptr);
  EXPECT_FALSE(platform::IsFunctionSymbol(print + 1));  // inside, not its start
  EXPECT_FALSE(platform::IsFunctionSymbol(nullptr));
  EXPECT_TRUE(platform::FreeModule(module));
}

// Changes the current directory for a scope.
class TScopedDirectory {
 public:
  explicit TScopedDirectory(const std::u16string& path) : FPrevious(CurrentDirectory()) {
    FChanged = ::chdir(ToUtf8(path).c_str()) == 0;
  }
  ~TScopedDirectory() {
    if (FChanged) (void)::chdir(ToUtf8(FPrevious).c_str());
  }
  TScopedDirectory(const TScopedDirectory&) = delete;
  TScopedDirectory& operator=(const TScopedDirectory&) = delete;
  bool Changed() const { return FChanged; }

 private:
  std::u16string FPrevious;
  bool FChanged = false;
};

// The name of a loaded module is the file the system mapped: not the name
// the loader keeps made absolute later, which a directory change or a link
// followed by ".." sends elsewhere.
TEST(Modules, TheFileNameIsTheFileMappedWhateverTheCurrentDirectory) {
  platform_test::TTempTree tree;
  ASSERT_TRUE(MakeDirectories(tree / u"real") && MakeDirectories(tree / u"deep/sub") &&
              MakeDirectories(tree / u"deep/lib") && MakeDirectories(tree / u"elsewhere/real"));
  ASSERT_TRUE(CopyFile(Fixture(VersionedName), tree / u"real/relative.so"));
  // What the old names would lead to when folded against the wrong place.
  ASSERT_TRUE(CopyFile(Fixture(VersionedName), tree / u"elsewhere/real/relative.so"));
  ASSERT_TRUE(CopyFile(Fixture(VersionedName), tree / u"deep/lib/dotdot.so"));
  ASSERT_TRUE(MakeDirectories(tree / u"lib"));
  ASSERT_TRUE(CopyFile(Fixture(VersionedName), tree / u"lib/dotdot.so"));
  std::filesystem::create_directory_symlink(ToUtf8(tree / u"deep/sub"), ToUtf8(tree / u"link"));
  std::filesystem::create_symlink("relative.so", ToUtf8(tree / u"real/alias.so"));

  ModuleHandle relative = 0, alias = 0;
  {
    TScopedDirectory inTree(tree.Path());
    ASSERT_TRUE(inTree.Changed());
    relative = LoadModule(u"real/relative.so");
    ASSERT_TRUE(IsValidModule(relative)) << ToUtf8(LastErrorText());
    alias = LoadModule(u"./real/alias.so");  // the same file once more
    EXPECT_EQ(alias, relative);
  }
  {
    TScopedDirectory elsewhere(tree / u"elsewhere");
    ASSERT_TRUE(elsewhere.Changed());
    EXPECT_EQ(ModuleFileName(relative), tree / u"real/relative.so");
    EXPECT_EQ(FindLoadedModule(u"relative.so", false), relative);
    EXPECT_EQ(FindLoadedModule(u"real/relative.so", false), 0u) << "that is another file now";
    EXPECT_EQ(FindLoadedModule(tree / u"real/alias.so", false), relative);
  }
  const ModuleHandle dotdot = LoadModule(tree / u"link/../lib/dotdot.so");
  ASSERT_TRUE(IsValidModule(dotdot)) << ToUtf8(LastErrorText());
  EXPECT_EQ(ModuleFileName(dotdot), tree / u"deep/lib/dotdot.so");
  EXPECT_EQ(FindLoadedModule(tree / u"link/../lib/dotdot.so", false), dotdot);
  EXPECT_EQ(FindLoadedModule(tree / u"lib/dotdot.so", false), 0u);

  EXPECT_TRUE(FreeModule(dotdot));
  EXPECT_TRUE(FreeModule(alias));
  EXPECT_TRUE(FreeModule(relative));
  EXPECT_EQ(FindLoadedModule(u"relative.so", false), 0u);
}

// Once the test has waited too long, opens the FIFO for writing: a load that
// blocked opening it for reading then goes on, and the test fails instead of
// hanging.
class TFifoWatchdog {
 public:
  explicit TFifoWatchdog(const std::u16string& fifo)
      : FThread([this, name = ToUtf8(fifo)] {
          std::unique_lock lock(FLock);
          if (FDoneSignal.wait_for(lock, std::chrono::seconds(20), [this] { return FDone; }))
            return;
          FTimedOut = true;
          const int fd = ::open(name.c_str(), O_WRONLY | O_NONBLOCK);
          if (fd >= 0) ::close(fd);
        }) {}
  ~TFifoWatchdog() { Stop(); }
  TFifoWatchdog(const TFifoWatchdog&) = delete;
  TFifoWatchdog& operator=(const TFifoWatchdog&) = delete;

  // Whether the watchdog had to step in.
  bool Stop() {
    {
      std::lock_guard lock(FLock);
      FDone = true;
    }
    FDoneSignal.notify_all();
    if (FThread.joinable()) FThread.join();
    return FTimedOut;
  }

 private:
  std::mutex FLock;
  std::condition_variable FDoneSignal;
  bool FDone = false;
  std::atomic<bool> FTimedOut{false};
  std::thread FThread;
};

// The loader would block for good opening a FIFO, and die of SIGBUS touching
// a segment that a truncated file does not hold: such files fail first.
TEST(Modules, FilesTheLoaderCannotTakeSafelyFailFirst) {
  platform_test::TTempTree tree;
  std::string image;
  ASSERT_TRUE(ReadWholeFile(Fixture(VersionedName), image));
  const std::size_t loaded = platform_test::LoadedExtent(image);
  ASSERT_GT(loaded, 3 * 4096u);
  ASSERT_EQ(::mkfifo(ToUtf8(tree / u"fifo.so").c_str(), 0600), 0);
  ASSERT_TRUE(MakeDirectories(tree / u"dir.so"));
  std::filesystem::create_symlink("whole.so", ToUtf8(tree / u"link.so"));

  std::string foreign = image;
  foreign[EI_CLASS] = ELFCLASS32;
  const struct {
    const char16_t* Name;
    std::string Contents;  // nothing is written for the FIFO, the directory and the link
    Cardinal Code;         // 0: loads
  } cases[] = {
      {u"whole.so", image, 0},
      {u"link.so", {}, 0},  // links are followed to a regular file
      {u"segments-only.so", image.substr(0, loaded), 0},
      {u"cut-4096.so", image.substr(0, 4096), ENOEXEC},
      {u"cut-half.so", image.substr(0, loaded / 2), ENOEXEC},
      {u"cut-one-byte.so", image.substr(0, loaded - 1), ENOEXEC},
      {u"header-only.so", image.substr(0, sizeof(Elf64_Ehdr)), ENOEXEC},
      {u"empty.so", {}, ENOEXEC},
      {u"32-bit.so", foreign, ENOEXEC},
      {u"fifo.so", {}, EACCES},
      {u"dir.so", {}, EACCES},
  };
  for (const auto& c : cases) {
    const std::u16string path = tree / c.Name;
    SCOPED_TRACE(ToUtf8(path));
    if (!c.Contents.empty() || std::u16string_view(c.Name) == u"empty.so") {
      ASSERT_TRUE(WriteWholeFile(path, c.Contents.data(), c.Contents.size()));
    }
    TFifoWatchdog watchdog(tree / u"fifo.so");
    SetLastError(0);
    const ModuleHandle module = LoadModule(path);
    EXPECT_FALSE(watchdog.Stop()) << "the load waited on the FIFO";
    if (c.Code == 0) {
      ASSERT_TRUE(IsValidModule(module)) << ToUtf8(LastErrorText());
      EXPECT_TRUE(FreeModule(module));
    } else {
      EXPECT_EQ(module, 0u);
      EXPECT_EQ(GetLastError(), c.Code);
      EXPECT_EQ(LastErrorText(), SystemMessage(c.Code));
    }
  }
  for (const char* device : {"/dev/null", "/dev/zero"}) {
    SCOPED_TRACE(device);
    EXPECT_EQ(LoadModule(FromUtf8(device)), 0u);
    EXPECT_EQ(GetLastError(), static_cast<Cardinal>(EACCES));
  }
}

}  // namespace
