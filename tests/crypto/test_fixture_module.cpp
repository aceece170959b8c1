// The fixture engine modules that the registry, loader and export tests stand
// on: what each variant exports, that calls are recorded faithfully, that
// answers and failures can be steered, and that unloading really unloads.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "crypto/engine_functions.h"
#include "crypto/engine_registry.h"
#include "platform/file_version.h"
#include "platform/files.h"
#include "platform/modules.h"
#include "platform/text.h"
#include "tests/fixtures/engine_module/fixture_control.h"

namespace {

using platform::ModuleHandle;

std::u16string FixturePath(const char* variant, const std::u16string& file) {
  return platform::FromUtf8(std::string(FIXTURE_DIR) + "/engine/" + variant + "/") + file;
}

// One loaded fixture module, released when the test is done with it.
class TLoadedModule {
 public:
  TLoadedModule(const char* variant, std::u16string file)
      : FFile(std::move(file)), FHandle(platform::LoadModule(FixturePath(variant, FFile))) {}
  ~TLoadedModule() { Free(); }
  TLoadedModule(const TLoadedModule&) = delete;
  TLoadedModule& operator=(const TLoadedModule&) = delete;

  ModuleHandle Handle() const { return FHandle; }
  const std::u16string& File() const { return FFile; }
  bool Exports(const char* name) const { return platform::ModuleSymbol(FHandle, name) != nullptr; }
  template <class F>
  F Entry(const char* name) const {
    return reinterpret_cast<F>(platform::ModuleSymbol(FHandle, name));
  }
  void Free() {
    if (FHandle != 0) platform::FreeModule(FHandle);
    FHandle = 0;
  }

 private:
  std::u16string FFile;
  ModuleHandle FHandle;
};

struct TVariantCase {
  const char* Variant;
  const char16_t* File;
  std::function<bool(const selvane::TEntryInfo&)> bExported;
  bool bCallback;
  bool bLowerCaseSignData;
  bool bVersionNote;
};

TEST(FixtureModule, EachVariantExportsItsNamesAndUnloads) {
  const std::vector<TVariantCase> cases = {
      {"full", u"kv_amsel.dll", [](auto&) { return true; }, true, false, true},
      {"required_only", u"kv_birke.dll",
       [](auto& e) { return e.Presence == selvane::TEntryPresence::Required; }, true, false, false},
      {"missing_one", u"kv_corvo.dll",
       [](auto& e) { return std::string(e.Name) != "ConvertTransferToSignedRequest"; }, true, false,
       false},
      {"wrong_case", u"kv_dorne.dll", [](auto& e) { return std::string(e.Name) != "SignData"; },
       true, true, false},
      {"no_names", u"kv_elvar.dll", [](auto&) { return false; }, false, false, false},
      {"no_callback", u"kv_fenlo.dll", [](auto&) { return true; }, false, false, false},
  };
  for (const TVariantCase& c : cases) {
    SCOPED_TRACE(c.Variant);
#define EXPECT_FIXTURE_FILE(Prefix, File) EXPECT_TRUE(platform::FileExists(FixturePath(c.Variant, File)));
    SELVANE_ENGINE_MODULES(EXPECT_FIXTURE_FILE)
#undef EXPECT_FIXTURE_FILE

    TLoadedModule module(c.Variant, c.File);
    ASSERT_NE(module.Handle(), 0u);
    for (const selvane::TEntryInfo& entry : selvane::EntryInfos) {
      EXPECT_EQ(module.Exports(entry.Name), c.bExported(entry)) << entry.Name;
    }
    EXPECT_EQ(module.Exports("SetCryptDebugCallBackProc"), c.bCallback);
    EXPECT_EQ(module.Exports("signdata"), c.bLowerCaseSignData);
    EXPECT_TRUE(fixture::TFixtureControl(module.Handle()).Bound());

    platform::FileVersion version;
    ASSERT_EQ(platform::ReadFileVersion(FixturePath(c.Variant, c.File), version), c.bVersionNote);
    if (c.bVersionNote) {
      EXPECT_EQ(version.Major, 4);
      EXPECT_EQ(version.Minor, 12);
      EXPECT_EQ(version.Release, 0);
      EXPECT_EQ(version.Build, 318);
    }

    module.Free();
    EXPECT_EQ(platform::FindLoadedModule(c.File, false), 0u) << "still loaded after release";
  }
}

TEST(FixtureModule, RecordsCallsAndAnswersAsTold) {
  TLoadedModule module("full", u"kv_jarro.dll");
  ASSERT_NE(module.Handle(), 0u);
  const fixture::TFixtureControl control(module.Handle());
  ASSERT_TRUE(control.Bound());
  control.Reset();

  auto getCryptObj = module.Entry<selvane::TGetCryptObj>("GetCryptObj");
  auto doneEngine = module.Entry<selvane::TDoneEngine>("DoneEngine");
  auto signData = module.Entry<selvane::TSignData>("SignData");
  auto getMaxUid = module.Entry<selvane::TGetMaxUIDLength>("GetMaxUIDLength");
  auto remoteStart = module.Entry<selvane::TRemoteGenerateStartEx>("RemoteGenerateStartEx");
  auto verifyData = module.Entry<selvane::TVerifyData>("VerifyData");
  auto isDifferent = module.Entry<selvane::TIsDifferentKeys>("IsDifferentKeys");

  std::u16string type = u"Jasper SSL";
  Pointer engine = getCryptObj(type.data());
  ASSERT_NE(engine, nullptr);
  EXPECT_EQ(control.LiveEngines(), 1);
  EXPECT_EQ(control.EngineType(engine), type);
  EXPECT_EQ(control.ArgWide(0, 0), type);
  EXPECT_EQ(control.ArgPointer(0, 0), type.data());
  EXPECT_EQ(control.Result(0), reinterpret_cast<std::intptr_t>(engine));

  // Every argument arrives as the caller passed it, texts copied.
  char data[] = "hello";
  char signature[16] = {};
  Integer signSize = sizeof signature;
  std::u16string uid = u"signer";
  EXPECT_EQ(signData(engine, data, 5, signature, &signSize, uid.data()), 0);
  const int sign = control.LastCall("SignData");
  ASSERT_EQ(sign, 1);
  EXPECT_EQ(control.CallName(sign), "SignData");
  ASSERT_EQ(control.ArgCount(sign), 6);
  EXPECT_EQ(control.ArgPointer(sign, 0), engine);
  EXPECT_EQ(control.ArgPointer(sign, 1), data);
  EXPECT_EQ(control.Arg(sign, 2), 5);
  EXPECT_EQ(control.ArgPointer(sign, 3), signature);
  EXPECT_EQ(control.ArgPointer(sign, 4), &signSize);
  EXPECT_EQ(control.ArgKind(sign, 5), FixtureArgWide);
  EXPECT_EQ(control.ArgWide(sign, 5), uid);
  EXPECT_EQ(control.ArgAnsi(sign, 5), std::nullopt) << "a wide text is no 8-bit text";

  char transfer[] = "transfer";
  Integer step = -3;
  EXPECT_EQ(remoteStart(engine, nullptr, transfer, &step), 0);
  const int start = control.LastCall("RemoteGenerateStartEx");
  EXPECT_EQ(control.ArgKind(start, 1), FixtureArgWide);
  EXPECT_EQ(control.ArgWide(start, 1), std::nullopt) << "nil is recorded as nil";
  EXPECT_EQ(control.ArgAnsi(start, 2), "transfer");
  EXPECT_EQ(control.ArgKind(start, 3), FixtureArgAddress);

  // Default answers, a set answer, a failure instead of an answer.
  EXPECT_EQ(getMaxUid(engine), 255);
  EXPECT_EQ(isDifferent(engine), 0);
  EXPECT_TRUE(control.SetAnswer("SignData", 7));
  EXPECT_TRUE(control.SetAnswer("GetMaxUIDLength", -1));
  EXPECT_FALSE(control.SetAnswer("signdata", 1)) << "only entry names can be steered";
  EXPECT_EQ(signData(engine, data, 5, signature, &signSize, nullptr), 7);
  EXPECT_EQ(getMaxUid(engine), -1);
  EXPECT_TRUE(control.SetThrow("VerifyData"));
  EXPECT_THROW(verifyData(engine, data, 5, signature, 0, nullptr), std::runtime_error);
  EXPECT_EQ(control.CallsOf("VerifyData"), 1) << "a failing entry still records its call";

  control.SetNilEngine(true);
  EXPECT_EQ(getCryptObj(type.data()), nullptr);
  EXPECT_EQ(control.LiveEngines(), 1);

  doneEngine(engine);
  EXPECT_EQ(control.LiveEngines(), 0);
  doneEngine(&step);  // not one of its objects: recorded, nothing freed
  EXPECT_EQ(control.CallsOf("DoneEngine"), 2);

  control.Reset();
  EXPECT_EQ(control.CallCount(), 0);
  EXPECT_EQ(signData(engine, data, 5, signature, &signSize, nullptr), 0);
}

std::vector<std::u16string> ReceivedLines;
void stdcall ReceiveLine(const char16_t* aLine) { ReceivedLines.emplace_back(aLine); }

TEST(FixtureModule, KeepsTheDebugCallbackAndLogsThroughIt) {
  TLoadedModule module("full", u"kv_kesto.dll");
  ASSERT_NE(module.Handle(), 0u);
  const fixture::TFixtureControl control(module.Handle());
  using TSetCallback = void(stdcall*)(void(stdcall*)(const char16_t*));
  auto setCallback = module.Entry<TSetCallback>("SetCryptDebugCallBackProc");
  ASSERT_NE(setCallback, nullptr);

  EXPECT_EQ(control.CallbackCount(), 0);
  EXPECT_FALSE(control.Log(u"dropped"));
  setCallback(&ReceiveLine);
  setCallback(&ReceiveLine);
  EXPECT_EQ(control.CallbackCount(), 2);
  EXPECT_EQ(control.LastCallback(), reinterpret_cast<void*>(&ReceiveLine));
  ReceivedLines.clear();
  EXPECT_TRUE(control.Log(u"from the module"));
  EXPECT_EQ(ReceivedLines, std::vector<std::u16string>{u"from the module"});
  setCallback(nullptr);
  EXPECT_EQ(control.LastCallback(), nullptr);
  EXPECT_FALSE(control.Log(u"dropped"));
}

TEST(FixtureModule, RecordsCallsFromManyThreads) {
  TLoadedModule module("full", u"kv_lurno.dll");
  ASSERT_NE(module.Handle(), 0u);
  const fixture::TFixtureControl control(module.Handle());
  auto setParam = module.Entry<selvane::TSetCryptoParamValue>("SetCryptoParamValue");
  constexpr int Threads = 16;
  constexpr int Calls = 500;
  std::vector<std::thread> threads;
  for (int t = 0; t < Threads; ++t) {
    threads.emplace_back([&, t] {
      std::u16string value = platform::IntToStr(t);
      for (int i = 0; i < Calls; ++i) setParam(nullptr, t, value.data());
    });
  }
  for (std::thread& thread : threads) thread.join();
  ASSERT_EQ(control.CallsOf("SetCryptoParamValue"), Threads * Calls);
  for (int call = 0; call < Threads * Calls; ++call) {
    ASSERT_EQ(control.ArgWide(call, 2), platform::IntToStr(control.Arg(call, 1))) << call;
  }
}

std::uint16_t X87Control() {
  std::uint16_t control = 0;
  asm volatile("fnstcw %0" : "=m"(control));
  return control;
}
std::uint32_t Mxcsr() {
  std::uint32_t mxcsr = 0;
  asm volatile("stmxcsr %0" : "=m"(mxcsr));
  return mxcsr;
}

TEST(FixtureModule, FpuVariantChangesTheControlStateWhenLoaded) {
  const std::uint16_t x87Before = X87Control();
  const std::uint32_t mxcsrBefore = Mxcsr();
  ASSERT_NE(x87Before, FixtureFpuX87Control);
  {
    platform::FloatingPointGuard guard;  // puts the state back for the rest of the run
    TLoadedModule module("fpu", u"kv_morva.dll");
    ASSERT_NE(module.Handle(), 0u);
    EXPECT_EQ(X87Control(), FixtureFpuX87Control);
    EXPECT_EQ(Mxcsr() & ~0x3Fu, FixtureFpuMxcsr);
    EXPECT_TRUE(module.Exports("ExportObject"));
  }
  EXPECT_EQ(X87Control(), x87Before);
  EXPECT_EQ(Mxcsr() & ~0x3Fu, mxcsrBefore & ~0x3Fu);
}

}  // namespace
