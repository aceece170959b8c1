#include "crypto/debug_log.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "crypto/module_path.h"
#include "crypto/root_path.h"
#include "platform/modules.h"
#include "test_support.h"
#include "tests/fixtures/engine_module/fixture_control.h"

namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using testsupport::A;
using testsupport::TLogCapture;

// A second host procedure, told apart from the capture by its address.
std::atomic<int> OtherCalls{0};
void stdcall OtherCallBack(const char16_t*) { ++OtherCalls; }

std::atomic<int> ThrowingCalls{0};
void stdcall ThrowingCallBack(const char16_t*) {
  ++ThrowingCalls;
  throw std::runtime_error("host callback failed");
}

void* Address(selvane::TCryptDebugCallBack aCallBack) { return reinterpret_cast<void*>(aCallBack); }

class DebugLogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    selvane::InitRootPath();
    selvane::InitDebugLog();
    TLogCapture::Instance().Clear();
    OtherCalls = 0;
    ThrowingCalls = 0;
  }
  void TearDown() override {
    selvane::DoneDebugLog();
    selvane::DoneRootPath();
    for (platform::ModuleHandle module : FModules) platform::FreeModule(module);
  }

  // A fixture module loaded by the test, released after it.
  platform::ModuleHandle Load(const char* aVariant, const char* aFile) {
    const platform::ModuleHandle module =
        platform::LoadModule(testsupport::FixtureModule(aVariant, aFile));
    EXPECT_TRUE(platform::IsValidModule(module)) << aVariant << "/" << aFile;
    FModules.push_back(module);
    return module;
  }

  static std::string SetLine() {
    return "SetCryptDebugCallBackProc to : " + A(selvane::OwnModulePath());
  }
  static std::string HandOverLine(platform::ModuleHandle aModule) {
    return "SetCryptDebugCallBackProcToLib to: " + A(selvane::ModulePathByHandle(aModule));
  }

  std::vector<platform::ModuleHandle> FModules;
};

TEST_F(DebugLogTest, LinesGoToTheCurrentCallbackOnly) {
  selvane::DebugLog(u"dropped: no callback yet");
  selvane::SetCryptDebugCallBack(&TLogCapture::Receive);
  selvane::DebugLog(u"first");
  selvane::SetCryptDebugCallBack(&OtherCallBack);
  selvane::DebugLog(u"second");
  selvane::SetCryptDebugCallBack(nullptr);
  selvane::DebugLog(u"dropped: cleared");
  EXPECT_THAT(TLogCapture::Instance().Lines(), ElementsAre(SetLine(), "first"));
  EXPECT_EQ(OtherCalls, 2) << "its own set line and \"second\"";
}

TEST_F(DebugLogTest, ACallbackThatThrowsIsCalledOncePerLineAndNothingFails) {
  EXPECT_NO_THROW(selvane::SetCryptDebugCallBack(&ThrowingCallBack));
  selvane::DebugLog(u"one");
  selvane::DebugLog(u"two");
  EXPECT_EQ(ThrowingCalls, 3);
  // The module is still handed the callback and listed.
  const platform::ModuleHandle module = Load("full", "kv_amsel.dll");
  EXPECT_NO_THROW(selvane::SetCryptDebugCallBackProcToLib(module));
  EXPECT_EQ(ThrowingCalls, 4);
  EXPECT_THAT(selvane::CallBackLibsSnapshot(), ElementsAre(module));
}

TEST_F(DebugLogTest, ModulesAreListedOnceAndGetEveryNewCallback) {
  const platform::ModuleHandle first = Load("full", "kv_amsel.dll");
  const platform::ModuleHandle without = Load("no_callback", "kv_birke.dll");
  const platform::ModuleHandle second = Load("required_only", "kv_corvo.dll");
  const fixture::TFixtureControl firstControl(first), secondControl(second);
  ASSERT_TRUE(firstControl.Bound() && secondControl.Bound());

  // Loaded while no callback is set: handed null, listed all the same.
  selvane::SetCryptDebugCallBackProcToLib(first);
  EXPECT_EQ(firstControl.CallbackCount(), 1);
  EXPECT_EQ(firstControl.LastCallback(), nullptr);

  selvane::SetCryptDebugCallBack(&TLogCapture::Receive);
  EXPECT_EQ(firstControl.CallbackCount(), 2);
  EXPECT_EQ(firstControl.LastCallback(), Address(&TLogCapture::Receive));

  selvane::SetCryptDebugCallBackProcToLib(without);
  selvane::SetCryptDebugCallBackProcToLib(second);
  selvane::SetCryptDebugCallBackProcToLib(second);
  selvane::SetCryptDebugCallBackProcToLib(first);
  EXPECT_EQ(secondControl.CallbackCount(), 1);
  EXPECT_EQ(secondControl.LastCallback(), Address(&TLogCapture::Receive));
  EXPECT_THAT(selvane::CallBackLibsSnapshot(), ElementsAre(first, second));
  EXPECT_TRUE(firstControl.Log(u"a line of the module"));

  selvane::SetCryptDebugCallBack(&OtherCallBack);
  EXPECT_EQ(firstControl.LastCallback(), Address(&OtherCallBack));
  EXPECT_EQ(secondControl.LastCallback(), Address(&OtherCallBack));
  EXPECT_EQ(OtherCalls, 3) << "the set line and one hand-over line per listed module";

  selvane::SetCryptDebugCallBack(nullptr);
  EXPECT_EQ(firstControl.CallbackCount(), 4);
  EXPECT_EQ(secondControl.CallbackCount(), 3);
  EXPECT_EQ(firstControl.LastCallback(), nullptr);
  EXPECT_EQ(secondControl.LastCallback(), nullptr);
  EXPECT_FALSE(firstControl.Log(u"dropped"));

  EXPECT_THAT(TLogCapture::Instance().Lines(),
              ElementsAre(SetLine(), HandOverLine(first), HandOverLine(without),
                          HandOverLine(second), "a line of the module"));
}

TEST_F(DebugLogTest, AModuleThatRaisesOnTheHandOverDoesNotStopTheOthers) {
  const platform::ModuleHandle failing = Load("full", "kv_amsel.dll");
  const platform::ModuleHandle healthy = Load("full", "kv_birke.dll");
  const fixture::TFixtureControl failingControl(failing), healthyControl(healthy);
  selvane::SetCryptDebugCallBackProcToLib(failing);
  selvane::SetCryptDebugCallBackProcToLib(healthy);
  ASSERT_TRUE(failingControl.SetThrow("SetCryptDebugCallBackProc"));
  EXPECT_NO_THROW(selvane::SetCryptDebugCallBack(&TLogCapture::Receive));
  EXPECT_EQ(healthyControl.LastCallback(), Address(&TLogCapture::Receive));
  EXPECT_THAT(TLogCapture::Instance().Lines(),
              ElementsAre(SetLine(), HandOverLine(failing), HandOverLine(healthy)));
  failingControl.Reset();
}

TEST_F(DebugLogTest, AForgottenModuleIsNoLongerHandedTheCallback) {
  const platform::ModuleHandle module = Load("full", "kv_amsel.dll");
  const fixture::TFixtureControl control(module);
  selvane::SetCryptDebugCallBackProcToLib(module);
  selvane::ForgetCallBackLib(module);
  EXPECT_THAT(selvane::CallBackLibsSnapshot(), IsEmpty());
  selvane::SetCryptDebugCallBack(&TLogCapture::Receive);
  EXPECT_EQ(control.CallbackCount(), 1);
  EXPECT_THAT(TLogCapture::Instance().Lines(), ElementsAre(SetLine()));
}

// Waits until the module has this many calls waiting in a pause.
bool PausedCallsReach(const fixture::TFixtureControl& aControl, int aCount) {
  for (int i = 0; i < 10000; ++i) {
    if (aControl.PausedCalls() == aCount) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return false;
}

// A callback stored while a module is being handed one (newly loaded, or
// listed and being handed an older one) still reaches it, and the set that
// stored it does not wait for that module.
TEST_F(DebugLogTest, ConcurrentSetReachesAModuleThatIsBeingHandedACallback) {
  struct TCase {
    const char* What;
    bool bListedBefore;
  };
  for (const TCase c : {TCase{"newly loaded", false}, TCase{"listed", true}}) {
    SCOPED_TRACE(c.What);
    selvane::InitDebugLog();
    const platform::ModuleHandle module = Load("full", "kv_amsel.dll");
    const fixture::TFixtureControl control(module);
    if (c.bListedBefore) selvane::SetCryptDebugCallBackProcToLib(module);
    const int callsBefore = control.CallbackCount();
    ASSERT_TRUE(control.SetPause("SetCryptDebugCallBackProc"));
    std::thread first([&] {
      if (c.bListedBefore)
        selvane::SetCryptDebugCallBack(&TLogCapture::Receive);
      else
        selvane::SetCryptDebugCallBackProcToLib(module);
    });
    ASSERT_TRUE(PausedCallsReach(control, 1));
    auto second = std::async(std::launch::async,
                             [] { selvane::SetCryptDebugCallBack(&OtherCallBack); });
    EXPECT_EQ(second.wait_for(std::chrono::seconds(5)), std::future_status::ready)
        << "the set waited for the busy module";
    EXPECT_EQ(control.PausedCalls(), 1);
    control.SetPause("SetCryptDebugCallBackProc", false);
    second.wait();
    first.join();
    EXPECT_EQ(control.LastCallback(), Address(&OtherCallBack));
    EXPECT_EQ(control.CallbackCount(), callsBefore + 2) << "the one it waited in, then the last";
    EXPECT_THAT(selvane::CallBackLibsSnapshot(), ElementsAre(module));
    control.Reset();
    selvane::SetCryptDebugCallBack(nullptr);
    selvane::DoneDebugLog();
  }
}

// The host's callback sets another callback while a module, being handed
// the callback, logs through it: nothing waits for itself, and the module
// ends up with the one stored last.
TEST_F(DebugLogTest, AModuleThatLogsWhileHandedTheCallbackMayHaveItReplaced) {
  static std::atomic<int> replacements{0};
  struct THost {
    static void stdcall Replacing(const char16_t* aLine) {
      if (std::u16string(aLine) == u"module hand-over") {
        ++replacements;
        selvane::SetCryptDebugCallBack(&OtherCallBack);
      }
    }
  };
  replacements = 0;
  const platform::ModuleHandle module = Load("full", "kv_amsel.dll");
  const fixture::TFixtureControl control(module);
  selvane::SetCryptDebugCallBackProcToLib(module);
  control.SetLineOnCallback(u"module hand-over");
  selvane::SetCryptDebugCallBack(&THost::Replacing);
  EXPECT_EQ(replacements.load(), 1);
  EXPECT_EQ(control.LastCallback(), Address(&OtherCallBack));
  EXPECT_EQ(control.CallbackCount(), 3) << "null when listed, the replacing one, the last";
  control.Reset();
}

TEST_F(DebugLogTest, ConcurrentLogsHandOversAndCallbackChanges) {
  const platform::ModuleHandle module = Load("full", "kv_amsel.dll");
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([t, module] {
      for (int i = 0; i < 200; ++i) {
        if (t == 0) selvane::SetCryptDebugCallBack(i % 2 ? &OtherCallBack : nullptr);
        if (t == 1) selvane::SetCryptDebugCallBackProcToLib(module);
        if (t == 1 && i % 10 == 0) selvane::ForgetCallBackLib(module);
        selvane::DebugLog(u"line");
      }
    });
  }
  for (auto& thread : threads) thread.join();
  const auto listed = selvane::CallBackLibsSnapshot();
  EXPECT_LE(listed.size(), 1u);
  // Whatever the interleaving, a listed module holds the callback set last.
  if (!listed.empty()) {
    EXPECT_EQ(fixture::TFixtureControl(module).LastCallback(), Address(&OtherCallBack));
  }
}

// Many hosts threads set callbacks while modules are loaded and listed:
// once all have returned, every listed module holds the library's callback.
TEST_F(DebugLogTest, ConcurrentSetsAndListingsAgreeOnTheLastCallback) {
  const std::vector<platform::ModuleHandle> modules = {
      Load("full", "kv_amsel.dll"), Load("full", "kv_birke.dll"), Load("full", "kv_corvo.dll")};
  const selvane::TCryptDebugCallBack callBacks[] = {&OtherCallBack, &TLogCapture::Receive, nullptr};
  for (int round = 0; round < 50; ++round) {
    for (platform::ModuleHandle module : modules) selvane::ForgetCallBackLib(module);
    std::atomic<bool> go{false};
    std::vector<std::thread> threads;
    for (int t = 0; t < 3; ++t)
      threads.emplace_back([&, t] {
        while (!go.load()) std::this_thread::yield();
        selvane::SetCryptDebugCallBack(callBacks[(round + t) % 3]);
      });
    threads.emplace_back([&] {
      while (!go.load()) std::this_thread::yield();
      for (platform::ModuleHandle module : modules) selvane::SetCryptDebugCallBackProcToLib(module);
    });
    go = true;
    for (auto& thread : threads) thread.join();
    // Which set came last is open; that every module holds it is not.
    const auto listed = selvane::CallBackLibsSnapshot();
    ASSERT_EQ(listed.size(), modules.size());
    const fixture::TFixtureControl first(modules[0]);
    const void* last = first.LastCallback();
    EXPECT_TRUE(last == Address(callBacks[0]) || last == Address(callBacks[1]) || last == nullptr);
    for (platform::ModuleHandle module : modules)
      EXPECT_EQ(fixture::TFixtureControl(module).LastCallback(), last) << "round " << round;
    // And the library: its next line goes to that callback.
    const int otherBefore = OtherCalls.load();
    const std::size_t capturedBefore = TLogCapture::Instance().Lines().size();
    selvane::DebugLog(u"probe");
    EXPECT_EQ(OtherCalls.load() - otherBefore, last == Address(&OtherCallBack) ? 1 : 0);
    EXPECT_EQ(TLogCapture::Instance().Lines().size() - capturedBefore,
              last == Address(&TLogCapture::Receive) ? 1u : 0u);
  }
  selvane::SetCryptDebugCallBack(nullptr);
}

}  // namespace
