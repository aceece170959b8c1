// The exports of the built library, loaded afresh for every test the way a
// host loads it.
#include <gtest/gtest.h>
#include <pthread.h>
#include <unistd.h>

#include <atomic>
#include <functional>
#include <string>
#include <tuple>
#include <vector>

#include "crypto/engine_functions.h"
#include "include/selvane2x.h"
#include "platform/modules.h"
#include "tests/crypto/test_support.h"
#include "tests/fixtures/engine_module/fixture_control.h"

namespace {

using testsupport::TLibrary;
using testsupport::TLogCapture;
using testsupport::U;

class Exports : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(FLib.Loaded());
    TLogCapture::Instance().Clear();
    EXPORT(FLib, SetCryptDebugCallBackProc)(&TLogCapture::Receive);
    testsupport::PlaceModules(FRoot / u"SYSTEM", "full", {"kv_jarro.dll"});
    std::u16string root = FRoot.Path();
    EXPORT(FLib, SetDllRoot)(root.data());
  }
  void* Open(std::u16string type = u"Jasper SSL") {
    return EXPORT(FLib, InitCryptoEngine)(type.data());
  }
  void Close(void* handle) { EXPORT(FLib, DoneCryptoEngine)(handle); }
  fixture::TFixtureControl Fixture() { return fixture::TFixtureControl::OfLoaded(u"kv_jarro.dll"); }

  testsupport::TTempDir FRoot;
  TLibrary FLib;
};

// Calls an export with a nil handle and zero for every other argument.
template <class R, class... A>
void ExpectNilHandleAnswer(R (*exported)(void*, A...), const char* name) {
  ASSERT_NE(exported, nullptr) << name;
  if constexpr (std::is_void_v<R>) {
    exported(nullptr, A{}...);
  } else {
    EXPECT_EQ(exported(nullptr, A{}...), -1) << name;
  }
}

TEST_F(Exports, NilHandleAnswersMinusOneOrDoesNothing) {
#define SELVANE_NIL_Life(Name, Result)
#define SELVANE_NIL_Call(Name, Result) ExpectNilHandleAnswer(EXPORT(FLib, Name), #Name);
#define SELVANE_ENTRY(No, Name, Result, Presence, Target, Kind, Params, Args) \
  SELVANE_NIL_##Kind(Name, Result)
#include "crypto/engine_entries.def"
#undef SELVANE_NIL_Life
#undef SELVANE_NIL_Call
  EXPECT_EQ(EXPORT(FLib, GenerateNewSEKMDM)(nullptr), -1);
  EXPORT(FLib, DoneCryptoEngine)(nullptr);
  EXPORT(FLib, GetCryptoEngineType)(nullptr, nullptr);
}

TEST_F(Exports, EngineTypeNames) {
  auto types = EXPORT(FLib, GetCryptoEngineTypes);
  const std::vector<std::pair<int32_t, std::u16string>> cases = {
      {0, u""}, {1, u"Emulation/1.0"}, {21, u"Emulation/1.0"}, {28, u"mySigner"}, {29, u""}};
  for (const auto& [code, name] : cases) {
    char16_t buffer[SELVANE_MAX_ENGINE_TYPE_LENGTH] = u"old";
    types(code, buffer);
    EXPECT_EQ(std::u16string(buffer), name) << code;
  }
  types(1, nullptr);
  EXPECT_EQ(EXPORT(FLib, GetMaxCryptoEngineTypeLength)(), 100);
}

TEST_F(Exports, OpenNameAndClose) {
  void* handle = Open();
  ASSERT_NE(handle, nullptr);
  char16_t type[SELVANE_MAX_ENGINE_TYPE_LENGTH] = {};
  EXPORT(FLib, GetCryptoEngineType)(handle, type);
  EXPECT_EQ(std::u16string(type), u"Jasper SSL");
  EXPECT_EQ(Fixture().LiveEngines(), 1);
  EXPECT_EQ(EXPORT(FLib, GenerateNewSEKMDM)(handle), -1);
  Close(handle);
  EXPECT_EQ(Fixture().LiveEngines(), 0);
  EXPECT_EQ(Fixture().CallsOf("DoneEngine"), 1);

  EXPECT_EQ(Open(u"jasper ssl"), nullptr);
  EXPECT_EQ(EXPORT(FLib, InitCryptoEngine)(nullptr), nullptr);
}

TEST_F(Exports, ParameterValueIsCutToTheEnginesLimit) {
  void* handle = Open();
  ASSERT_NE(handle, nullptr);
  auto fixture = Fixture();
  auto set = EXPORT(FLib, SetCryptoParamValue);
  std::u16string longValue(300, u'x');
  struct TCase {
    int32_t Limit;
    std::optional<std::u16string> Seen;  // nothing: the engine is not called
  };
  const std::vector<TCase> cases = {
      {255, std::u16string(255, u'x')}, {300, longValue}, {0, u""}, {-1, std::nullopt}};
  for (const auto& c : cases) {
    fixture.Reset();
    fixture.SetAnswer("GetMaxCryptoParamValueLength", c.Limit);
    fixture.SetAnswer("SetCryptoParamValue", 7);
    EXPECT_EQ(set(handle, 2, longValue.data()), c.Seen ? 7 : -1) << c.Limit;
    const int call = fixture.LastCall("SetCryptoParamValue");
    if (!c.Seen) {
      EXPECT_EQ(call, -1);
      continue;
    }
    ASSERT_GE(call, 0);
    EXPECT_EQ(fixture.Arg(call, 1), 2);
    EXPECT_EQ(fixture.ArgWide(call, 2), c.Seen);
  }
  fixture.Reset();
  EXPECT_EQ(set(handle, 1, nullptr), 0);
  EXPECT_EQ(fixture.ArgWide(fixture.LastCall("SetCryptoParamValue"), 2), std::u16string());
  Close(handle);
}

TEST_F(Exports, ExceptionsBecomeTheFixedAnswers) {
  void* handle = Open();
  ASSERT_NE(handle, nullptr);
  auto fixture = Fixture();
  for (const char* entry : {"SignData", "GetCryptoParamName", "IsDifferentKeys", "DoneEngine",
                            "GetMaxCryptoParamValueLength", "GetCryptObj", "SetRootPath"}) {
    fixture.SetThrow(entry);
  }
  Integer size = 0;
  EXPECT_EQ(EXPORT(FLib, SignData)(handle, nullptr, 0, nullptr, &size, nullptr), -1);
  char16_t name[8] = u"kept";
  EXPORT(FLib, GetCryptoParamName)(handle, 1, name);
  EXPECT_EQ(EXPORT(FLib, IsDifferentKeys)(handle), -1);
  EXPECT_EQ(EXPORT(FLib, SetCryptoParamValue)(handle, 1, name), -1);
  std::u16string root = FRoot.Path();
  EXPORT(FLib, SetRootPath)(handle, root.data());
  EXPECT_EQ(Open(), nullptr);
  Close(handle);  // DoneEngine throws: the handle is still released
  EXPECT_EQ(fixture.CallsOf("DoneEngine"), 1);
}

TEST_F(Exports, DifferentKeysAndResults) {
  void* handle = Open();
  ASSERT_NE(handle, nullptr);
  auto fixture = Fixture();
  EXPECT_EQ(EXPORT(FLib, IsDifferentKeys)(handle), 0);
  fixture.SetAnswer("IsDifferentKeys", -1);
  EXPECT_EQ(EXPORT(FLib, IsDifferentKeys)(handle), -1);
  fixture.SetAnswer("VerifyData", 1234);
  EXPECT_EQ(EXPORT(FLib, VerifyData)(handle, nullptr, 0, nullptr, 0, nullptr), 1234);
  Close(handle);
}

TEST_F(Exports, SecondDifferentRootIsRefused) {
  void* handle = Open();
  ASSERT_NE(handle, nullptr);
  auto fixture = Fixture();
  std::u16string same = FRoot.Path() + u"/";
  std::u16string other = FRoot.Path() + u"/other";
  EXPORT(FLib, SetRootPath)(handle, other.data());
  EXPECT_EQ(fixture.CallsOf("SetRootPath"), 0);
  EXPORT(FLib, SetRootPath)(handle, same.data());
  ASSERT_EQ(fixture.CallsOf("SetRootPath"), 1);
  EXPECT_EQ(fixture.ArgWide(fixture.LastCall("SetRootPath"), 1), same);
  Close(handle);
}

TEST_F(Exports, UnloadReleasesEverything) {
  void* handle = Open();
  ASSERT_NE(handle, nullptr);
  Close(handle);
  const std::u16string library = platform::ExtractFileName(U(SELVANE_LIBRARY_PATH));
  ASSERT_NE(platform::FindLoadedModule(library, false), 0u);
  ASSERT_NE(platform::FindLoadedModule(u"kv_jarro.dll", false), 0u);
  TLogCapture::Instance().Clear();
  FLib.Unload();
  EXPECT_EQ(platform::FindLoadedModule(library, false), 0u);
  EXPECT_EQ(platform::FindLoadedModule(u"kv_jarro.dll", false), 0u);
  // The releases are still logged through the host's callback.  The system
  // finishes a release made while the library itself is being unloaded only
  // after the library's finalizer returns, so the check still finds it then.
  EXPECT_EQ(TLogCapture::Instance().CountPrefix("Start exec SelvaneFreeLibrary: "), 1);
  EXPECT_EQ(TLogCapture::Instance().CountPrefix("Check loaded library \"kv_jarro.dll\" Handle: "), 1);
}

// A host whose debug callback calls back into the library, also while the
// library releases its modules on the way out.
decltype(&::GetCryptoEngineStatus) ReentrantStatus = nullptr;
std::vector<int32_t> ReentrantAnswers;
void stdcall ReentrantCallBack(const char16_t*) {
  std::u16string type = u"Jasper SSL";
  ReentrantAnswers.push_back(ReentrantStatus(type.data()));
}

TEST_F(Exports, ACallbackMayCallBackInWhileTheLibraryUnloads) {
  ReentrantStatus = EXPORT(FLib, GetCryptoEngineStatus);
  ReentrantAnswers.clear();
  EXPORT(FLib, SetCryptDebugCallBackProc)(&ReentrantCallBack);
  // Asked again while its module loads, the type is not usable yet (0);
  // nothing recurses into a second load.
  std::u16string type = u"Jasper SSL";
  ASSERT_EQ(ReentrantStatus(type.data()), 1);
  ASSERT_FALSE(ReentrantAnswers.empty());
  EXPECT_EQ(std::count(ReentrantAnswers.begin(), ReentrantAnswers.end(), 0) +
                std::count(ReentrantAnswers.begin(), ReentrantAnswers.end(), 1),
            static_cast<std::ptrdiff_t>(ReentrantAnswers.size()));
  EXPECT_NE(std::find(ReentrantAnswers.begin(), ReentrantAnswers.end(), 0), ReentrantAnswers.end());
  ReentrantAnswers.clear();
  ASSERT_EQ(ReentrantStatus(type.data()), 1);
  EXPECT_TRUE(ReentrantAnswers.empty());  // a ready type logs nothing
  FLib.Unload();
  // The registry is going away: the lines still arrive, the calls answer -1.
  ASSERT_FALSE(ReentrantAnswers.empty());
  for (int32_t answer : ReentrantAnswers) EXPECT_EQ(answer, -1);
}

// A host callback that, while armed, waits at a cancellation point.
std::atomic<bool> WaitInCallBack{false};
std::atomic<int> WaitingInCallBack{0};
void stdcall WaitingCallBack(const char16_t* aLine) {
  TLogCapture::Receive(aLine);
  if (!WaitInCallBack.load()) return;
  ++WaitingInCallBack;
  while (WaitInCallBack.load()) ::usleep(1000);
}

void* RunCall(void* aCall) {
  (*static_cast<std::function<void()>*>(aCall))();
  return nullptr;
}

// Waits up to 10 s for a condition.
bool Eventually(const std::function<bool()>& aCondition) {
  for (int i = 0; i < 10000 && !aCondition(); ++i) ::usleep(1000);
  return aCondition();
}

// A host thread cancelled inside the library (inside one of its own file
// writes, inside the host's debug callback, inside an engine module) ends as
// cancelled, the process lives, and every lock it held is free again.
TEST_F(Exports, ACancelledThreadEndsAsCancelledAndTheLibraryGoesOn) {
  void* handle = Open();
  ASSERT_NE(handle, nullptr);
  std::u16string emulation = u"Emulation/2.0";
  void* builtin = EXPORT(FLib, InitCryptoEngine)(emulation.data());
  ASSERT_NE(builtin, nullptr);
  void* closing = Open();
  ASSERT_NE(closing, nullptr);
  auto fixture = Fixture();
  std::u16string file = FRoot / u"signed.bin";
  std::u16string other = u"Nimbus CSP";
  testsupport::PlaceModules(FRoot / u"SYSTEM", "full", {"kv_nessi.dll"});
  unsigned char data[4] = {1, 2, 3, 4};
  Integer size = 0;

  struct TCase {
    const char* What;
    std::function<void()> Arm;        // nothing: the thread cancels itself first
    std::function<void()> Call;
    std::function<bool()> Waiting;    // the thread waits at the cancellation point
    std::function<void()> Disarm;
  };
  const std::vector<TCase> cases = {
      {"the host's debug callback while a module loads (its first use)",
       [&] {
         EXPORT(FLib, SetCryptDebugCallBackProc)(&WaitingCallBack);
         WaitInCallBack = true;
       },
       [&] { EXPORT(FLib, GetCryptoEngineStatus)(other.data()); },
       [] { return WaitingInCallBack.load() > 0; },
       [&] {
         WaitInCallBack = false;
         EXPORT(FLib, SetCryptDebugCallBackProc)(&TLogCapture::Receive);
       }},
      {"SaveSignedDataToFile", nullptr,
       [&] { EXPORT(FLib, SaveSignedDataToFile)(builtin, data, 4, data, 4, file.data()); },
       nullptr, nullptr},
      {"a module's SignData", [&] { fixture.SetPause("SignData"); },
       [&] { EXPORT(FLib, SignData)(handle, data, 4, data, &size, nullptr); },
       [&] { return fixture.PausedCalls() == 1; }, [&] { fixture.SetPause("SignData", false); }},
      {"a module's DoneEngine", [&] { fixture.SetPause("DoneEngine"); },
       [&] { Close(closing); }, [&] { return fixture.PausedCalls() == 1; },
       [&] { fixture.SetPause("DoneEngine", false); }},
      {"a module's SetCryptDebugCallBackProc",
       [&] { fixture.SetPause("SetCryptDebugCallBackProc"); },
       [&] { EXPORT(FLib, SetCryptDebugCallBackProc)(&WaitingCallBack); },
       [&] { return fixture.PausedCalls() == 1; },
       [&] { fixture.SetPause("SetCryptDebugCallBackProc", false); }},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.What);
    WaitingInCallBack = 0;
    if (c.Arm) c.Arm();
    std::function<void()> call = c.Call;
    if (!c.Waiting) {
      call = [&c] {
        ::pthread_cancel(::pthread_self());  // acted on at the next cancellation point
        c.Call();
      };
    }
    pthread_t thread;
    ASSERT_EQ(::pthread_create(&thread, nullptr, &RunCall, &call), 0);
    if (c.Waiting) {
      EXPECT_TRUE(Eventually(c.Waiting));
      ::pthread_cancel(thread);
    }
    void* result = nullptr;
    ASSERT_EQ(::pthread_join(thread, &result), 0);
    EXPECT_EQ(result, PTHREAD_CANCELED);
    if (c.Disarm) c.Disarm();

    // Nothing is left locked or marked busy: the registry loads, the engine
    // works, the callback reaches the module.
    EXPECT_EQ(EXPORT(FLib, GetCryptoEngineStatus)(other.data()), 1);
    EXPECT_EQ(EXPORT(FLib, SignData)(handle, data, 4, data, &size, nullptr), 0);
    EXPORT(FLib, SetCryptDebugCallBackProc)(&TLogCapture::Receive);
    EXPECT_EQ(fixture.LastCallback(), reinterpret_cast<void*>(&TLogCapture::Receive));
  }
  // The handle cancelled while it closed was released once and freed.
  EXPECT_EQ(fixture.CallsOf("DoneEngine"), 1);
  EXPORT(FLib, DoneCryptoEngine)(builtin);
  Close(handle);
}

}  // namespace
