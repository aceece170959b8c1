// The engine registry against real fixture modules, found through the root's
// SYSTEM directory.
#include <gtest/gtest.h>

#include <thread>

#include "crypto/engine_registry.h"
#include "crypto/root_path.h"
#include "tests/crypto/test_support.h"
#include "tests/fixtures/engine_module/fixture_control.h"

namespace {

using selvane::CryptoCollections;
using selvane::TCryptoCollections;
using testsupport::TLogCapture;
using testsupport::U;

constexpr const char16_t* Jasper = u"Jasper SSL";

class Registry : public ::testing::Test {
 protected:
  // Places the modules in <root>/SYSTEM/ and fixes the root there.
  void Install(const std::string& variant, const std::vector<std::string>& files) {
    testsupport::PlaceModules(FRoot / u"SYSTEM", variant, files);
  }
  void SetUp() override { selvane::SetOrvRoot(FRoot.Path()); }

  TCryptoCollections& Reg() { return CryptoCollections(); }
  fixture::TFixtureControl Fixture(const std::u16string& file = u"kv_jarro.dll") {
    return fixture::TFixtureControl::OfLoaded(file);
  }
  Pointer Open(const char16_t* type = Jasper) { return Reg().InitCryptoEngine(type); }

  testsupport::TTempDir FRoot;
  testsupport::TLibraryState FState;
  TLogCapture& FLog = TLogCapture::Instance();
};

TEST(EngineTypeNames, Codes) {
  const std::vector<std::pair<Integer, std::u16string>> cases = {
      {1, u"Emulation/1.0"}, {2, u"Emulation/2.0"},   {9, u"System Crypto API 2.0"},
      {21, u"Emulation/1.0"}, {28, u"mySigner"},      {14, u"Keyline-K (c) Kestrel JSC."},
      {0, u""},               {29, u""},              {-1, u""}};
  for (const auto& [code, name] : cases) {
    EXPECT_EQ(selvane::EngineTypeNameByCode(code), name) << code;
  }
}

TEST(RegistryReadiness, FollowsTheRequiredEntries) {
  struct TCase {
    std::string Variant;
    Integer Status;
  };
  const std::vector<TCase> cases = {
      {"full", 1}, {"required_only", 1}, {"missing_one", 0}, {"wrong_case", 0}, {"no_names", 0}};
  for (const auto& c : cases) {
    testsupport::TTempDir root;
    testsupport::TLibraryState state;
    selvane::SetOrvRoot(root.Path());
    testsupport::PlaceModules(root / u"SYSTEM", c.Variant, {"kv_jarro.dll"});
    EXPECT_EQ(CryptoCollections().GetCryptoEngineStatus(Jasper), c.Status) << c.Variant;
  }
}

TEST_F(Registry, OptionalEntriesMissingAnswerMinusOne) {
  Install("required_only", {"kv_jarro.dll"});
  Pointer engine = Open();
  ASSERT_NE(engine, nullptr);
  Integer size = 0;
  EXPECT_EQ(Reg().HashData(engine, Jasper, nullptr, 0, 0, nullptr, &size), -1);
  EXPECT_EQ(Reg().Import(engine, Jasper, 1, 0, nullptr, 0), -1);
  EXPECT_EQ(Reg().GetMaxUIDLength(engine, Jasper), 255);
  Reg().DoneCryptoEngine(engine, Jasper);
  EXPECT_EQ(Fixture().LiveEngines(), 0);
}

TEST_F(Registry, IncompleteTableIsRefilledAndLoggedOnEveryCall) {
  Install("missing_one", {"kv_jarro.dll"});
  const std::string notReady = "GetFunctionsForEngineType - Functions not Ready for Jasper SSL";
  EXPECT_EQ(Open(), nullptr);
  int dummy = 0;
  EXPECT_EQ(Reg().GetMaxUIDLength(&dummy, Jasper), -1);
  EXPECT_EQ(Reg().GetCryptoEngineStatus(Jasper), 0);
  EXPECT_EQ(FLog.Count(notReady), 3);
  EXPECT_EQ(FLog.Count("InitCryptoEngine - Can not GetFunctionsForEngineType Jasper SSL"), 1);
  EXPECT_EQ(FLog.CountPrefix("Start exec LoadLibrary: "), 1);  // loaded once, kept
  EXPECT_EQ(Fixture().CallCount(), 0);
}

TEST_F(Registry, HostArgumentsArriveUnchanged) {
  Install("full", {"kv_jarro.dll"});
  Pointer engine = Open();
  ASSERT_NE(engine, nullptr);
  auto fixture = Fixture();
  ASSERT_TRUE(fixture.Bound());
  EXPECT_EQ(fixture.EngineType(engine), std::u16string(Jasper));

  char data[4] = {1, 2, 3, 4}, sign[16];
  Integer signSize = 16;
  char16_t uid[] = u"someone";
  fixture.SetAnswer("SignData", 42);
  EXPECT_EQ(Reg().SignData(engine, Jasper, data, 4, sign, &signSize, uid), 42);
  const int call = fixture.LastCall("SignData");
  ASSERT_GE(call, 0);
  EXPECT_EQ(fixture.ArgPointer(call, 0), engine);
  EXPECT_EQ(fixture.ArgPointer(call, 1), data);
  EXPECT_EQ(fixture.Arg(call, 2), 4);
  EXPECT_EQ(fixture.ArgPointer(call, 3), sign);
  EXPECT_EQ(fixture.ArgPointer(call, 4), &signSize);
  EXPECT_EQ(fixture.ArgPointer(call, 5), uid);
  EXPECT_EQ(fixture.ArgWide(call, 5), std::u16string(u"someone"));
  Reg().DoneCryptoEngine(engine, Jasper);
}

TEST_F(Registry, UnknownAndEmptyTypes) {
  Install("full", {"kv_jarro.dll"});
  int dummy = 0;
  EXPECT_EQ(Reg().GetCryptoEngineStatus(u"jasper ssl"), 0);
  EXPECT_EQ(Reg().SignData(&dummy, u"jasper ssl", nullptr, 0, nullptr, nullptr, nullptr), -1);
  EXPECT_EQ(Reg().IsDifferentKeys(&dummy, u"jasper ssl"), 0);
  FLog.Clear();
  EXPECT_EQ(Open(u"jasper ssl"), nullptr);
  EXPECT_EQ(FLog.Lines(),
            (std::vector<std::string>{
                "GetFunctionsForEngineType - Functions not Ready for jasper ssl",
                "InitCryptoEngine - Can not GetFunctionsForEngineType jasper ssl"}));
  FLog.Clear();
  EXPECT_EQ(Open(u""), nullptr);
  EXPECT_EQ(Open(nullptr), nullptr);
  EXPECT_EQ(FLog.Lines(), (std::vector<std::string>(
                              2, "InitCryptoEngine - Can not GetFunctionsForEngineType ")));
  EXPECT_EQ(FLog.CountPrefix("Start exec LoadLibrary: "), 0);
}

TEST_F(Registry, MissingModuleIsRetriedUntilItAppears) {
  EXPECT_EQ(Reg().GetCryptoEngineStatus(Jasper), 0);
  EXPECT_EQ(Open(), nullptr);
  EXPECT_EQ(FLog.Count("LoadCryptFunctions - can not load library kv_jarro.dll"), 2);
  EXPECT_EQ(FLog.CountPrefix("GetFunctionsForEngineType - Functions not Ready"), 0);
  Install("full", {"kv_jarro.dll"});
  Pointer engine = Open();
  EXPECT_NE(engine, nullptr);
  EXPECT_EQ(FLog.CountPrefix("Start exec LoadLibrary: "), 3);
  Reg().DoneCryptoEngine(engine, Jasper);
}

TEST_F(Registry, TwoTypesShareOneModule) {
  Install("full", {"kv_garth.dll"});
  Pointer garnet = Open(u"Garnet CSP/1.1");
  Pointer system = Open(u"System Crypto API 2.0");
  ASSERT_NE(garnet, nullptr);
  ASSERT_NE(system, nullptr);
  auto fixture = Fixture(u"kv_garth.dll");
  EXPECT_EQ(fixture.EngineType(garnet), std::u16string(u"Garnet CSP/1.1"));
  EXPECT_EQ(fixture.EngineType(system), std::u16string(u"System Crypto API 2.0"));
  EXPECT_EQ(FLog.CountPrefix("Start exec LoadLibrary: "), 1);
  Reg().DoneCryptoEngine(garnet, u"Garnet CSP/1.1");
  Reg().DoneCryptoEngine(system, u"System Crypto API 2.0");
  EXPECT_EQ(fixture.LiveEngines(), 0);
}

TEST_F(Registry, UpdateCertificateCashClearsOnMinusOne) {
  Install("full", {"kv_jarro.dll"});
  Pointer engine = Open();
  ASSERT_NE(engine, nullptr);
  auto fixture = Fixture();
  fixture.SetAnswer("UpdateCertificateCash", -1);
  EXPECT_EQ(Reg().UpdateCertificateCash(engine, Jasper, nullptr), 0);
  EXPECT_EQ(fixture.CallsOf("ClearCash"), 1);
  fixture.SetAnswer("UpdateCertificateCash", 5);
  EXPECT_EQ(Reg().UpdateCertificateCash(engine, Jasper, nullptr), 5);
  EXPECT_EQ(fixture.CallsOf("ClearCash"), 1);
  Reg().DoneCryptoEngine(engine, Jasper);
}

TEST_F(Registry, PublicKeyPropertiesAreServedByTheReportEntries) {
  Install("full", {"kv_jarro.dll"});
  Pointer engine = Open();
  ASSERT_NE(engine, nullptr);
  auto fixture = Fixture();
  fixture.SetAnswer("GetMaxReportSize", 777);
  fixture.SetAnswer("GetReport", 9);
  char16_t uid[] = u"u", props[4] = {};
  EXPECT_EQ(Reg().GetMaxPublicKeyPropertiesLength(engine, Jasper), 777);
  EXPECT_EQ(Reg().GetPublicKeyProperties(engine, Jasper, uid, props), 9);
  EXPECT_EQ(fixture.CallsOf("GetMaxPublicKeyPropertiesLength"), 0);
  EXPECT_EQ(fixture.CallsOf("GetPublicKeyProperties"), 0);
  const int call = fixture.LastCall("GetReport");
  EXPECT_EQ(fixture.ArgPointer(call, 1), uid);
  EXPECT_EQ(fixture.ArgPointer(call, 2), props);
  Reg().DoneCryptoEngine(engine, Jasper);
}

TEST_F(Registry, EntryExceptionsReachTheCaller) {
  Install("full", {"kv_jarro.dll"});
  Pointer engine = Open();
  ASSERT_NE(engine, nullptr);
  Fixture().SetThrow("GenerateNewSSK");
  EXPECT_ANY_THROW(Reg().GenerateNewSSK(engine, Jasper));
  Reg().DoneCryptoEngine(engine, Jasper);
}

TEST_F(Registry, GetCryptObjNilIsLogged) {
  Install("full", {"kv_jarro.dll"});
  ASSERT_EQ(Reg().GetCryptoEngineStatus(Jasper), 1);
  Fixture().SetNilEngine(true);
  FLog.Clear();
  EXPECT_EQ(Open(), nullptr);
  EXPECT_EQ(FLog.Lines(), std::vector<std::string>{"InitCryptoEngine - Can not GetCryptObj Jasper SSL"});
}

TEST_F(Registry, CheckEngineCompatibles) {
  Install("full", {"kv_rasko.dll", "kv_sirne.dll"});
  EXPECT_EQ(Reg().CheckEngineCompatibles(u"Tally Control", u"Tally Control"), 1);  // no module
  EXPECT_EQ(Reg().CheckEngineCompatibles(u"Tally Control", u"SMS"), 0);
  EXPECT_EQ(Reg().CheckEngineCompatibles(nullptr, u"SMS"), 0);
  EXPECT_EQ(Reg().CheckEngineCompatibles(u"SMS", nullptr), 0);
  EXPECT_EQ(Reg().CheckEngineCompatibles(u"Emulation/1.0", u"Emulation/1.0"), 1);

  ASSERT_EQ(Reg().GetCryptoEngineStatus(u"SMS"), 1);
  ASSERT_EQ(Reg().GetCryptoEngineStatus(u"Password"), 1);
  auto sms = Fixture(u"kv_rasko.dll");
  auto pass = Fixture(u"kv_sirne.dll");
  struct TCase {
    Integer First, Second, Expected;
    int SecondAsked;
  };
  const std::vector<TCase> cases = {{1, 1, 1, 1}, {0, 1, 0, 0}, {2, 1, 0, 0}, {1, 0, 0, 1}};
  for (const auto& c : cases) {
    sms.Reset();
    pass.Reset();
    sms.SetAnswer("CheckCompatibles", c.First);
    pass.SetAnswer("CheckCompatibles", c.Second);
    EXPECT_EQ(Reg().CheckEngineCompatibles(u"SMS", u"Password"), c.Expected) << c.First << c.Second;
    const int first = sms.LastCall("CheckCompatibles");
    ASSERT_GE(first, 0);
    EXPECT_EQ(sms.ArgWide(first, 0), std::u16string(u"Password"));
    EXPECT_EQ(pass.CallsOf("CheckCompatibles"), c.SecondAsked);
  }
  sms.Reset();
  sms.SetThrow("CheckCompatibles");
  EXPECT_EQ(Reg().CheckEngineCompatibles(u"SMS", u"Password"), 0);
}

TEST_F(Registry, ConcurrentFirstUseLoadsOnce) {
  Install("full", {"kv_jarro.dll"});
  std::vector<Pointer> engines(16);
  std::vector<std::thread> threads;
  for (auto& engine : engines) threads.emplace_back([&engine, this] { engine = Open(); });
  for (auto& thread : threads) thread.join();
  for (Pointer engine : engines) EXPECT_NE(engine, nullptr);
  EXPECT_EQ(FLog.CountPrefix("Start exec LoadLibrary: "), 1);
  EXPECT_EQ(Fixture().LiveEngines(), 16);
  for (Pointer engine : engines) Reg().DoneCryptoEngine(engine, Jasper);
}

TEST_F(Registry, ShutdownReleasesModulesInOrder) {
  // Field order has MorrowC before Dunmark2x; the release order has them swapped.
  Install("full", {"kv_morva.dll", "kv_fenlo.dll", "kv_amsel.dll", "kv_yarne.dll"});
  for (const char16_t* type : {u"mySigner", u"Morrow-C", u"D-Mark v2.x", u"Amber/4.0"}) {
    ASSERT_EQ(Reg().GetCryptoEngineStatus(type), 1);
  }
  FLog.Clear();
  FState.Shutdown();
  std::vector<std::string> released;
  for (const auto& line : FLog.Lines()) {
    if (line.rfind("Start exec SelvaneFreeLibrary: ", 0) != 0) continue;
    for (const char* file : {"kv_amsel.dll", "kv_fenlo.dll", "kv_morva.dll", "kv_yarne.dll"}) {
      if (line.find(file) != std::string::npos) released.push_back(file);
    }
  }
  EXPECT_EQ(released, (std::vector<std::string>{"kv_amsel.dll", "kv_fenlo.dll", "kv_morva.dll",
                                                "kv_yarne.dll"}));
  EXPECT_FALSE(Fixture(u"kv_morva.dll").Bound());  // gone from the process
}

}  // namespace
