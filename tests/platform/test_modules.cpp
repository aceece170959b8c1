#include "platform/modules.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <memory>
#include <atomic>
#include <string>
#include <thread>

#include "platform/files.h"
#include "platform/last_error.h"
#include "platform/text.h"
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
  const struct {
    std::u16string Name;
    Cardinal Code;
  } cases[] = {
      {tree / u"missing.so", ENOENT},
      {u"libno-such-platform-fixture.so", ENOENT},
      {tree / u"text.so", ErrorLoadFailed},
      {tree.Path(), ErrorLoadFailed},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(ToUtf8(c.Name));
    SetLastError(0);
    EXPECT_EQ(LoadModule(c.Name), 0u);
    EXPECT_EQ(GetLastError(), c.Code);
    const std::u16string detail = LastErrorText();
    EXPECT_NE(detail.find(c.Name), std::u16string::npos) << ToUtf8(detail);
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
  EXPECT_FALSE(platform::IsFunctionSymbol(data));
  EXPECT_FALSE(platform::IsFunctionSymbol(start + 1));  // inside, not its start
  EXPECT_FALSE(platform::IsFunctionSymbol(nullptr));
  EXPECT_TRUE(platform::FreeModule(module));
}

}  // namespace
