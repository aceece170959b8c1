// The entry-point table of the built-in engines: directly, with a probe
// engine that records what the entries reach, and through the exports as a
// host calls them.
#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
#include <type_traits>
#include <vector>

#include "crypto/builtin_table.h"
#include "crypto/emu1_engine.h"
#include "runtime/exceptions.h"
#include "include/selvane2x.h"
#include "platform/environment.h"
#include "platform/files.h"
#include "tests/crypto/test_support.h"

namespace {

using selvane::TCryptEngineFunctions;
using testsupport::A;
using testsupport::TLibrary;
using testsupport::TTempDir;

TCryptEngineFunctions Filled() {
  TCryptEngineFunctions table;
  selvane::FillEmulatorFunctions(table);
  return table;
}

// Records the operations that the entries reach.
class TProbeEngine : public selvane::TEmu1CryptoEngine {
 public:
  std::vector<std::string> Log;
  bool Different = false;
  Integer CacheAnswer = -1;

  Integer GetCurrentUID(PWideChar) override { return Note("GetCurrentUID", 18); }
  bool IsDifferentKeys() override { return Different; }
  void SetPasswordRequest(selvane::TPassRequestFunc Value) override {
    Note("SetPasswordRequest", 0);
    TEmu1CryptoEngine::SetPasswordRequest(Value);
  }
  void SetKeyTemplatePath(const string& Value) override {
    Note("SetKeyTemplatePath " + A(Value), 0);
    TEmu1CryptoEngine::SetKeyTemplatePath(Value);
  }
  void ResetAllKeys() override { Note("ResetAllKeys", 0); }
  Integer UpdateCertificateCash(PWideChar) override {
    return Note("UpdateCertificateCash", CacheAnswer);
  }
  Integer RemoveSignature(Pointer, Integer*, PWideChar) override {
    return Note("RemoveSignature", 38);
  }
  Integer GetMaxReportSize() override { return Note("GetMaxReportSize", 50); }
  Integer GetReport(PWideChar, PWideChar) override { return Note("GetReport", 51); }
  Integer GetReportByTransfer(PAnsiChar, PWideChar) override {
    return Note("GetReportByTransfer", 59);
  }
  Integer GetReportByFile(PWideChar, PWideChar) override { return Note("GetReportByFile", 60); }
  Integer RegisterOIDInfo(const string& aOID, const selvane::WideString& aOIDName) override {
    return Note("RegisterOIDInfo " + A(aOID) + " " + A(aOIDName), 73);
  }
  Integer GetPureSign(Pointer, Cardinal, Integer, Pointer, Integer*) override {
    return Note("GetPureSign", 69);
  }

 private:
  Integer Note(const std::string& aOperation, Integer aAnswer) {
    Log.push_back(aOperation);
    return aAnswer;
  }
};

LongBool stdcall PasswordRequest(PWideChar, Integer) { return 0; }
Integer stdcall TMRequest(selvane::TTMRequest) { return 0; }

TEST(BuiltinTable, EveryEntryIsFilled) {
  TCryptEngineFunctions table{};
  selvane::FillEmulatorFunctions(table);
  for (const auto& info : selvane::EntryInfos) {
    EXPECT_NE(selvane::EntrySlot(table, info), nullptr) << info.Name;
  }
}

TEST(BuiltinTable, GetCryptObjNeedsTheExactTypeName) {
  const TCryptEngineFunctions table = Filled();
  struct TCase {
    std::optional<std::u16string> Type;
    bool Created;
  };
  const std::vector<TCase> cases = {
      {u"Emulation/1.0", true},
      {u"Emulation/2.0", true},
      {u"emulation/1.0", false},
      {u"Emulation/1.0 ", false},
      {u" Emulation/2.0", false},
      {u"Emulation/3.0", false},
      {u"", false},
      {std::nullopt, false},
  };
  for (const auto& c : cases) {
    std::u16string type = c.Type.value_or(u"");
    void* engine = table.GetCryptObj(c.Type ? type.data() : nullptr);
    EXPECT_EQ(engine != nullptr, c.Created) << A(type);
    table.DoneEngine(engine);
  }
  // Every call creates a new object, of the class the name asks for.
  std::u16string type = u"Emulation/2.0";
  void* first = table.GetCryptObj(type.data());
  void* second = table.GetCryptObj(type.data());
  EXPECT_NE(first, second);
  EXPECT_EQ(table.GetCryptoParamNumber(first), 6);
  type = u"Emulation/1.0";
  void* third = table.GetCryptObj(type.data());
  EXPECT_EQ(table.GetCryptoParamNumber(third), 2);
  for (void* engine : {first, second, third}) table.DoneEngine(engine);
}

// Calls an entry with a nil engine and zero for everything else.
template <class R, class... A>
void ExpectNilEngineAnswer(R (*entry)(void*, A...), const char* name) {
  if constexpr (std::is_void_v<R>) {
    entry(nullptr, A{}...);
  } else {
    EXPECT_EQ(entry(nullptr, A{}...), -1) << name;
  }
}

TEST(BuiltinTable, NilEngineAnswersAsAFaultWould) {
  const TCryptEngineFunctions table = Filled();
#define SELVANE_NIL_Life(Name)
#define SELVANE_NIL_Call(Name) ExpectNilEngineAnswer(table.Name, #Name);
#define SELVANE_ENTRY(No, Name, Result, Presence, Target, Kind, Params, Args) \
  SELVANE_NIL_##Kind(Name)
#include "crypto/engine_entries.def"
#undef SELVANE_NIL_Life
#undef SELVANE_NIL_Call
  table.DoneEngine(nullptr);
}

TEST(BuiltinTable, EntriesThatDifferReachTheirOperation) {
  const TCryptEngineFunctions t = Filled();
  TProbeEngine probe;
  void* e = &probe;  // single inheritance: the object's address is the engine's
  char16_t text[256] = u"x";
  char ansi[8] = "x";
  std::u16string path = u"%orvroot%/keys", oid = u"1.2.3", oidName = u"name";
  Integer size = 0;
  struct TCase {
    const char* Entry;
    std::function<Integer()> Call;
    std::vector<std::string> Reached;
    Integer Answer;
  };
  const std::vector<TCase> cases = {
      {"GetCurrentUserUID", [&] { return t.GetCurrentUserUID(e, text); }, {"GetCurrentUID"}, 18},
      {"SetPasswordRequestFunc",
       [&] {
         t.SetPasswordRequestFunc(e, &PasswordRequest);
         return 0;
       },
       {"SetPasswordRequest"},
       0},
      {"SetTMRequestFunc",
       [&] {
         t.SetTMRequestFunc(e, reinterpret_cast<Pointer>(&TMRequest));
         return 0;
       },
       {},
       0},
      {"ClearCash",
       [&] {
         t.ClearCash(e);
         return 0;
       },
       {"ResetAllKeys"},
       0},
      {"SetRemoteGeneratePath",
       [&] {
         t.SetRemoteGeneratePath(e, path.data());
         return 0;
       },
       {"SetKeyTemplatePath %orvroot%/keys"},
       0},
      {"RemoveSign", [&] { return t.RemoveSign(e, text, &size, text); }, {"RemoveSignature"}, 38},
      {"GetMaxFilePathLength", [&] { return t.GetMaxFilePathLength(e); }, {}, 255},
      {"UpdateCertificateCash",
       [&] { return t.UpdateCertificateCash(e, text); },
       {"UpdateCertificateCash", "ResetAllKeys"},
       0},
      {"UpdateCertificateCash 7",
       [&] {
         probe.CacheAnswer = 7;
         return t.UpdateCertificateCash(e, text);
       },
       {"UpdateCertificateCash"},
       7},
      {"GetMaxPublicKeyPropertiesLength",
       [&] { return t.GetMaxPublicKeyPropertiesLength(e); },
       {"GetMaxReportSize"},
       50},
      {"GetPublicKeyProperties",
       [&] { return t.GetPublicKeyProperties(e, text, text); },
       {"GetReport"},
       51},
      {"GetPublicKeyPropertiesByTransfer",
       [&] { return t.GetPublicKeyPropertiesByTransfer(e, ansi, text); },
       {"GetReportByTransfer"},
       59},
      {"GetPublicKeyPropertiesByFile",
       [&] { return t.GetPublicKeyPropertiesByFile(e, text, text); },
       {"GetReportByFile"},
       60},
      {"RegisterOIDInfo",
       [&] { return t.RegisterOIDInfo(e, oid.data(), oidName.data()); },
       {"RegisterOIDInfo 1.2.3 name"},
       73},
      {"RegisterOIDInfo nil",
       [&] { return t.RegisterOIDInfo(e, nullptr, nullptr); },
       {"RegisterOIDInfo  "},
       73},
      {"IsDifferentKeys false", [&] { return t.IsDifferentKeys(e); }, {}, 0},
      {"IsDifferentKeys true",
       [&] {
         probe.Different = true;
         return t.IsDifferentKeys(e);
       },
       {},
       -1},
      // One that follows the rule, for comparison.
      {"GetPureSign",
       [&] { return t.GetPureSign(e, text, 1, 0, nullptr, &size); },
       {"GetPureSign"},
       69},
      {"CheckCompatibles", [&] { return t.CheckCompatibles(text); }, {}, 0},
      {"CheckCompatibles nil", [&] { return t.CheckCompatibles(nullptr); }, {}, 0},
  };
  for (const auto& c : cases) {
    probe.Log.clear();
    EXPECT_EQ(c.Call(), c.Answer) << c.Entry;
    EXPECT_EQ(probe.Log, c.Reached) << c.Entry;
  }
  EXPECT_EQ(probe.OnPasswordRequest(), &PasswordRequest);
  EXPECT_EQ(probe.TMRequest(), &TMRequest);
  EXPECT_EQ(probe.KeyTemplatePath(), u"keys/");
}

// The entry sets the process-wide root first; a conflict raises before the
// engine's own root is touched.
TEST(BuiltinTable, SecondDifferentRootLeavesTheEnginesRoot) {
  const std::optional<std::u16string> savedPath = platform::GetEnvironmentVariable(u"PATH");
  {
    testsupport::TLibraryState state;
    const TCryptEngineFunctions t = Filled();
    TTempDir root;
    TProbeEngine probe;
    std::u16string first = root.Path(), second = root / u"other", again = root.Path() + u"/";
    t.SetRootPath(&probe, first.data());
    EXPECT_EQ(probe.RootPath(), first + u"/");
    EXPECT_THROW(t.SetRootPath(&probe, second.data()), rtl::Exception);
    EXPECT_EQ(probe.RootPath(), first + u"/");
    // The same root again is accepted and reaches the engine.
    probe.SetRootPath(u"/elsewhere");
    t.SetRootPath(&probe, again.data());
    EXPECT_EQ(probe.RootPath(), first + u"/");
  }
  if (savedPath) platform::SetEnvironmentVariable(u"PATH", *savedPath);
}

// --- through the exports -----------------------------------------------------------

class BuiltinExports : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(FLib.Loaded()); }
  void* Open(std::u16string type) { return EXPORT(FLib, InitCryptoEngine)(type.data()); }
  void Close(void* engine) { EXPORT(FLib, DoneCryptoEngine)(engine); }

  TLibrary FLib;
};

TEST_F(BuiltinExports, BothTypesAreReadyAndOpenOnlyByExactName) {
  for (std::u16string type : {u"Emulation/1.0", u"Emulation/2.0"}) {
    EXPECT_EQ(EXPORT(FLib, GetCryptoEngineStatus)(type.data()), 1) << A(type);
    void* engine = Open(type);
    EXPECT_NE(engine, nullptr) << A(type);
    Close(engine);
  }
  for (std::u16string type : {u"emulation/1.0", u"Emulation/1.0 ", u"EMULATION/2.0"}) {
    EXPECT_EQ(Open(type), nullptr) << A(type);
  }
  EXPECT_EQ(EXPORT(FLib, InitCryptoEngine)(nullptr), nullptr);
  std::u16string one = u"Emulation/1.0", two = u"Emulation/2.0";
  EXPECT_EQ(EXPORT(FLib, CheckEngineCompatibles)(one.data(), two.data()), 0);
  EXPECT_EQ(EXPORT(FLib, CheckEngineCompatibles)(two.data(), two.data()), 1);
}

TEST_F(BuiltinExports, EnginesAreIndependent) {
  void* first = Open(u"Emulation/2.0");
  void* second = Open(u"Emulation/2.0");
  ASSERT_NE(first, nullptr);
  ASSERT_NE(second, nullptr);
  std::u16string word = u"first";
  EXPECT_EQ(EXPORT(FLib, SetCryptoParamValue)(first, 3, word.data()), 0);
  char16_t uid[256] = {};
  EXPORT(FLib, GetCurrentUserUID)(first, uid);
  EXPECT_EQ(std::u16string(uid), u"first");
  EXPORT(FLib, GetCurrentUserUID)(second, uid);
  EXPECT_EQ(std::u16string(uid), u"tessel_4");
  Close(first);
  EXPORT(FLib, GetCryptoParamValue)(second, 3, uid);
  EXPECT_EQ(std::u16string(uid), u"tessel_4");
  Close(second);
}

TEST_F(BuiltinExports, BaseClassAnswersReachTheHost) {
  void* engine = Open(u"Emulation/2.0");
  ASSERT_NE(engine, nullptr);
  EXPECT_EQ(EXPORT(FLib, IsDifferentKeys)(engine), 0);
  std::u16string uid = u"harbor";
  EXPECT_EQ(EXPORT(FLib, UpdateCertificateCash)(engine, uid.data()), 0);
  EXPECT_EQ(EXPORT(FLib, GetMaxFilePathLength)(engine), 255);
  EXPECT_EQ(EXPORT(FLib, GetMaxPublicKeyTransferSize)(engine), 4096);
  EXPECT_EQ(EXPORT(FLib, GetRemoteGenType)(engine), 1);
  EXPECT_EQ(EXPORT(FLib, GetMaxPublicKeyPropertiesLength)(engine),
            EXPORT(FLib, GetMaxReportSize)(engine));
  char16_t report[64] = u"old";
  EXPECT_EQ(EXPORT(FLib, GetPublicKeyProperties)(engine, uid.data(), report),
            EXPORT(FLib, GetReport)(engine, uid.data(), report));
  EXPECT_EQ(EXPORT(FLib, GenerateNewSEK)(engine), -1);

  unsigned char sign[] = {0x01, 0xAB, 0xFF};
  char pure[16] = {};
  Integer pureSize = sizeof pure;
  EXPECT_EQ(EXPORT(FLib, GetPureSign)(engine, sign, 3, 0, pure, &pureSize), 0);
  EXPECT_EQ(std::string(pure), "01ABFF");
  EXPECT_EQ(pureSize, 7);
  LongBool match = 0;
  EXPECT_EQ(EXPORT(FLib, CertAndRequestTransferMatch)(engine, pure, pure, &match), 0);
  EXPECT_EQ(match, -1);
  Integer window = 0x1234;
  EXPECT_EQ(EXPORT(FLib, Import)(engine, 19, 0, &window, 4), 0);
  EXPECT_EQ(EXPORT(FLib, Import)(engine, 3, 0, nullptr, 0), -1);
  Integer size = 0;
  EXPECT_EQ(EXPORT(FLib, ExportObject)(engine, 27, uid.data(), 0, 1, nullptr, &size), 0);
  EXPECT_EQ(size, 4);
  EXPORT(FLib, GetLastErrorMessage)(engine, report);
  EXPECT_EQ(std::u16string(report), u"");

  TTempDir dir;
  std::u16string file = dir / u"signed.bin";
  unsigned char data[] = {'d', 'a', 't', 'a'};
  EXPECT_EQ(EXPORT(FLib, SaveSignedDataToFile)(engine, data, 4, sign, 3, file.data()), 0);
  std::string contents;
  ASSERT_TRUE(platform::ReadWholeFile(file, contents));
  EXPECT_EQ(contents, std::string("data\x01\xAB\xFF", 7));
  Close(engine);
}

TEST_F(BuiltinExports, NilReferencesAnswerMinusOne) {
  void* engine = Open(u"Emulation/2.0");
  ASSERT_NE(engine, nullptr);
  unsigned char data[8] = {};
  char ansi[8] = {};
  char16_t uid[256] = {};
  Integer size = 8;
  const std::vector<std::pair<const char*, std::function<int32_t()>>> cases = {
      {"EncodeData", [&] { return EXPORT(FLib, EncodeData)(engine, data, nullptr, uid); }},
      {"DecodeData", [&] { return EXPORT(FLib, DecodeData)(engine, data, nullptr, uid); }},
      {"SignData", [&] { return EXPORT(FLib, SignData)(engine, data, 8, data, nullptr, uid); }},
      {"AddSign", [&] { return EXPORT(FLib, AddSign)(engine, data, nullptr, uid); }},
      {"RemoveSign", [&] { return EXPORT(FLib, RemoveSign)(engine, data, nullptr, uid); }},
      {"RemoteGenerateStartEx",
       [&] { return EXPORT(FLib, RemoteGenerateStartEx)(engine, uid, ansi, nullptr); }},
      {"RemoteGenerateFinishEx",
       [&] { return EXPORT(FLib, RemoteGenerateFinishEx)(engine, ansi, nullptr); }},
      {"CertAndRequestTransferMatch",
       [&] { return EXPORT(FLib, CertAndRequestTransferMatch)(engine, ansi, ansi, nullptr); }},
      {"HashData", [&] { return EXPORT(FLib, HashData)(engine, data, 8, 0, data, nullptr); }},
      {"GetPureSign", [&] { return EXPORT(FLib, GetPureSign)(engine, data, 8, 0, ansi, nullptr); }},
      {"GetParamInfo type",
       [&] { return EXPORT(FLib, GetParamInfo)(engine, 1, nullptr, data, &size); }},
      {"GetParamInfo length",
       [&] { return EXPORT(FLib, GetParamInfo)(engine, 1, &size, data, nullptr); }},
      {"ExportObject 20",
       [&] { return EXPORT(FLib, ExportObject)(engine, 20, nullptr, 0, 0, uid, nullptr); }},
      {"ExportObject 26",
       [&] { return EXPORT(FLib, ExportObject)(engine, 26, nullptr, 0, 0, uid, nullptr); }},
  };
  for (const auto& [name, call] : cases) EXPECT_EQ(call(), -1) << name;
  Close(engine);
}

}  // namespace
