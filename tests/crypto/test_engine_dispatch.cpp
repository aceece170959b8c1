#include <gtest/gtest.h>

#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "crypto/crypto_engine.h"
#include "crypto/debug_log.h"
#include "test_support.h"

namespace selvane {
namespace {

using testsupport::A;

// The buffers every call is given, so that a recorded argument can be told
// by name: P the parameter data, D the data, S the size.
char16_t ParamText[] = u"param text";
char DataBuffer[64];
Integer DataSize = 77;

class TPlainEngine : public TCryptoEngine {
 public:
  Integer GetEncodeUIDBySignUID(PWideChar, PWideChar) override { return 0; }
  Integer GetCurrentUID(PWideChar) override { return 0; }
  Integer EncodeData(Pointer, Integer*, PWideChar) override { return 0; }
  Integer DecodeData(Pointer, Integer*, PWideChar) override { return 0; }
  Integer SignData(Pointer, Integer, Pointer, Integer*, PWideChar) override { return 0; }
  Integer VerifyData(Pointer, Integer, Pointer, Integer, PWideChar) override { return 0; }

  HWND Window() const { return FhWindow; }
  TShowInfoFunc ShowInfo() const { return FShowInfoFunc; }
  TDelKeyRequestFunc DelKeyRequest() const { return FDelKeyRequestFunc; }
};

// Records every operation that Import and ExportObject can reach, with its
// arguments, answers 7 and writes 1234 through a size it may write.
class TRecordingEngine : public TPlainEngine {
 public:
  std::vector<std::string> Calls;

  static std::string Show(Integer aValue) { return std::to_string(aValue); }
  static std::string Show(bool aValue) { return aValue ? "true" : "false"; }
  static std::string Show(const string& aText) { return "'" + A(aText) + "'"; }
  static std::string Show(const void* aPointer) {
    if (aPointer == nullptr) return "nil";
    if (aPointer == ParamText) return "P";
    if (aPointer == DataBuffer) return "D";
    return "?";
  }
  static std::string Show(Integer* aSize) {
    if (aSize == &DataSize) return "S";
    return aSize == nullptr ? "nil" : "&";
  }
  static std::string Show(bool* aFlag) { return aFlag == nullptr ? "nil" : "&"; }

  template <class... T>
  Integer Record(const char* aName, T... aArgs) {
    std::string call = std::string(aName) + "(";
    bool first = true;
    ((call += (first ? "" : ",") + Show(aArgs), first = false), ...);
    Calls.push_back(call + ")");
    (WriteBack(aArgs), ...);
    return 7;
  }
  template <class T>
  static void WriteBack(T) {}
  static void WriteBack(Integer* aSize) {
    if (aSize != nullptr) *aSize = 1234;
  }

  // Reaching a protected operation, any of the 72.
  struct TRecorder {
    TRecordingEngine& Engine;
    const char* Name;
    template <class... T>
    Integer operator()(T... aArgs) {
      return Engine.Record(Name, aArgs...);
    }
  };

  Integer IncludePublicKey(PWideChar aFileName) override { return Record("IncludePublicKey", aFileName); }
  Integer IncludePublicEncodeKey(PWideChar aFileName) override {
    return Record("IncludePublicEncodeKey", aFileName);
  }
  Integer IncludePublicKeyTransfer(PAnsiChar aTransfer) override {
    return Record("IncludePublicKeyTransfer", static_cast<void*>(aTransfer));
  }
  Integer IncludeCACertificateFromTransfer(PAnsiChar aTransfer) override {
    return Record("IncludeCACertificateFromTransfer", static_cast<void*>(aTransfer));
  }
  Integer IncludeCRL(PWideChar aFileName) override { return Record("IncludeCRL", aFileName); }

 protected:
#define SELVANE_ENGINE_OP(Slot, Name, Family, Default) \
  Integer Name SELVANE_OP_PARAMS(Family) override { return TRecorder{*this, #Name} SELVANE_OP_ARGS(Family); }
#include "crypto/engine_operations.def"
};

TEST(EngineDispatch, ImportRoutes) {
  struct TCase {
    Integer DataType;
    Integer Flags;
    const char* Call;  // "": reaches nothing
  };
  const TCase cases[] = {
      {1, 5, "ImportType1(5,D,9)"},
      {2, 5, "IncludePublicKey(D)"},
      {3, 5, "ImportType3(5,D,9)"},
      {4, 5, "IncludePublicEncodeKey(D)"},
      {5, 5, "ImportType5(5,D,9)"},
      {6, 5, "ImportType6(5,D)"},
      {7, 5, "IncludePublicKeyTransfer(D)"},
      {8, 5, "IncludeCACertificateFromTransfer(D)"},
      {9, 5, "ImportType9(5,D,9)"},
      {10, 5, "IncludeCRL(D)"},
      {11, 5, "ImportType11(5,D,9)"},
      {12, 5, "ImportType12(5,D,9)"},
      {13, 5, "ImportType13(5,D,9)"},
      {14, 5, "ImportType14()"},
      {15, 5, "ImportType15(5,D)"},
      {16, 1, "ImportType16(true)"},
      {16, 0, "ImportType16(false)"},
      {16, 2, "ImportType16(false)"},
      {17, 5, "ImportType17(5,D,9)"},
      {18, 5, "SetDelKeyRequestFunc(5,D)"},
      {19, 5, "SetOwnerWindow(5,D)"},
      {20, 5, "SetShowInfoCallBackFunction(5,D)"},
      {21, 5, "ImportType21(5,D,9)"},
      {0, 5, ""},
      {22, 5, ""},
      {-1, 5, ""},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.DataType);
    TRecordingEngine engine;
    const Integer result = engine.Import(c.DataType, c.Flags, DataBuffer, 9);
    if (*c.Call == 0) {
      EXPECT_EQ(result, -1);
      EXPECT_TRUE(engine.Calls.empty());
    } else {
      EXPECT_EQ(result, 7);
      EXPECT_EQ(engine.Calls, std::vector<std::string>{c.Call});
    }
  }
}

TEST(EngineDispatch, ExportRoutes) {
  struct TCase {
    Integer DataType;
    const char* Call;  // "": reaches nothing
  };
  // aParamData P, aParamDataSize 11, aFlags 1, aData D, aDataSize S.
  std::vector<TCase> cases = {
      {1, "ExportType1(1,P,D,S)"},
      {5, "ExportType5(1,P,D,S)"},
      {6, "ExportType6(1,P,D,S)"},
      {20, "CheckSecretKeyReady(1,D,S)"},
      {26, "ExportType26(D,77)"},
      {27, "IsCompatibleEngineType('Emulation/2.0','param text',&)"},
      {101, "ExportTypes101To103(101,P,11,1,D,S)"},
      {102, "ExportTypes101To103(102,P,11,1,D,S)"},
      {103, "ExportTypes101To103(103,P,11,1,D,S)"},
  };
  const std::string B = "(1,D,S)", C = "(1,P,11,D,S)", D = "(P,11,1,D,S)";
  for (int type : {4, 8, 11, 12, 13, 17, 21})
    cases.push_back({type, nullptr});
  for (int type : {7, 9, 10, 14, 15, 16, 41, 54, 55, 56, 57, 58, 59, 60})
    cases.push_back({type, nullptr});
  for (int type : {19, 22, 24, 25, 28, 29, 30, 42, 52, 53})
    cases.push_back({type, nullptr});
  for (int type : {18, 35, 36, 37, 38, 39, 40, 43, 44, 45, 46, 47, 48, 49, 50, 51, 201})
    cases.push_back({type, nullptr});
  for (int type : {0, 2, 3, 23, 31, 61, 100, 104, 200, 202, -1}) cases.push_back({type, ""});

  const auto family = [&](int type) -> std::string {
    for (int t : {4, 8, 11, 12, 13, 17, 21})
      if (t == type) return B;
    for (int t : {7, 9, 10, 14, 15, 16, 41, 54, 55, 56, 57, 58, 59, 60})
      if (t == type) return C;
    for (int t : {19, 22, 24, 25, 28, 29, 30, 42, 52, 53})
      if (t == type) return D;
    return "(" + std::to_string(type) + ",P,11,1,D,S)";
  };

  for (const TCase& c : cases) {
    SCOPED_TRACE(c.DataType);
    const std::string expected =
        c.Call != nullptr ? c.Call : "ExportType" + std::to_string(c.DataType) + family(c.DataType);
    TRecordingEngine engine;
    DataSize = 77;
    const Integer result = engine.ExportObject(c.DataType, ParamText, 11, 1, DataBuffer, &DataSize);
    if (expected.empty()) {
      EXPECT_EQ(result, -1);
      EXPECT_TRUE(engine.Calls.empty());
      EXPECT_EQ(DataSize, 77);
      continue;
    }
    EXPECT_EQ(result, 7);
    EXPECT_EQ(engine.Calls, std::vector<std::string>{expected});
    // The size travels by reference, to 26 by value, and 27 keeps it.
    EXPECT_EQ(DataSize, c.DataType == 26 || c.DataType == 27 ? 77 : 1234);
  }
}

TEST(EngineDispatch, NilArguments) {
  TRecordingEngine engine;
  EXPECT_EQ(engine.ExportObject(4, ParamText, 11, 1, DataBuffer, nullptr), -1);
  EXPECT_EQ(engine.ExportObject(26, ParamText, 11, 1, DataBuffer, nullptr), -1);
  EXPECT_TRUE(engine.Calls.empty());
  // A nil text for 27 is the empty text, as a host may rely on.
  DataSize = 4;
  engine.ExportObject(27, nullptr, 0, 1, DataBuffer, &DataSize);
  ASSERT_EQ(engine.Calls.size(), 1u);
  EXPECT_EQ(engine.Calls[0], "IsCompatibleEngineType('Emulation/2.0','',&)");
  engine.Calls.clear();

  TPlainEngine plain;
  EXPECT_EQ(plain.Import(19, 0, nullptr, 0), -1);
  EXPECT_EQ(plain.ExportObject(20, nullptr, 0, 0, DataBuffer, nullptr), -1);
  EXPECT_EQ(plain.ExportCompatibility(1, u"", DataBuffer, nullptr), -1);
}

Integer stdcall ShowInfo(Integer, PWideChar) { return 0; }
Integer stdcall DelKeyRequest(PWideChar, Pointer, Integer) { return 0; }

TEST(EngineDispatch, DefaultsOfTheBaseClass) {
  TPlainEngine engine;
  for (Integer type = 1; type <= 21; ++type) {
    if (type == 18 || type == 19 || type == 20) continue;
    SCOPED_TRACE(type);
    EXPECT_EQ(engine.Import(type, 1, DataBuffer, 9), type == 16 ? 0 : -1);
  }
  for (Integer type = 1; type <= 203; ++type) {
    if (type == 20 || type == 27) continue;
    SCOPED_TRACE(type);
    DataSize = 77;
    EXPECT_EQ(engine.ExportObject(type, ParamText, 11, 1, DataBuffer, &DataSize), -1);
    EXPECT_EQ(DataSize, 77);
  }

  // The three imports that store what they are given.
  selvane::InitDebugLog();
  testsupport::TLogCapture::Instance().Clear();
  selvane::SetCryptDebugCallBack(&testsupport::TLogCapture::Receive);
  HWND window = 0x12345678;
  EXPECT_EQ(engine.Import(19, 0, &window, 0), 0);
  EXPECT_EQ(engine.Window(), 0x12345678u);
  EXPECT_EQ(engine.Import(18, 0, reinterpret_cast<Pointer>(&DelKeyRequest), 0), 0);
  EXPECT_EQ(engine.DelKeyRequest(), &DelKeyRequest);
  EXPECT_EQ(engine.Import(20, 0, reinterpret_cast<Pointer>(&ShowInfo), 0), 0);
  EXPECT_EQ(engine.ShowInfo(), &ShowInfo);
  EXPECT_EQ(testsupport::TLogCapture::Instance().Count("SetShowInfoCallBackFunction"), 1);
  selvane::SetCryptDebugCallBack(nullptr);
  selvane::DoneDebugLog();
}

TEST(EngineDispatch, ImportType3UsesTheEnginesImportType1) {
  struct TEngine : TPlainEngine {
    Integer ImportType1(Integer aFlags, Pointer, Integer aDataSize) override { return aFlags + aDataSize; }
  } engine;
  EXPECT_EQ(engine.Import(3, 30, DataBuffer, 12), 42);
}

// Signs with "SIG" and reports a signer, as an engine class would.
class TSigningEngine : public TPlainEngine {
 public:
  Integer SignResult = 0;
  Integer VerifyResult = 0;
  Integer SignSizeOut = 3;
  string Signer = u"signer";
  string SignedWith;
  Integer VerifiedSize = -1;

  Integer SignData(Pointer mData, Integer mSize, Pointer mSignData, Integer* mSignSize,
                   PWideChar UID) override {
    EXPECT_EQ(std::string(static_cast<char*>(mData), mSize), "Data for sign to check secret key ready");
    EXPECT_EQ(*mSignSize, GetMaxSignatureLength());
    SignedWith = platform::WideFrom(UID);
    std::memcpy(mSignData, "SIG", 3);
    *mSignSize = SignSizeOut;
    return SignResult;
  }
  Integer VerifyData(Pointer mData, Integer mSize, Pointer mSignData, Integer mSignSize,
                     PWideChar UID) override {
    EXPECT_EQ(std::string(static_cast<char*>(mData), mSize), "Data for sign to check secret key ready");
    EXPECT_EQ(std::string(static_cast<char*>(mSignData), 3), "SIG");
    VerifiedSize = mSignSize;
    // Writes a whole UID of the engine's limit, as an engine may.
    platform::WideCopy(UID, Signer, static_cast<std::size_t>(GetMaxUIDLength()));
    return VerifyResult;
  }
};

TEST(EngineDispatch, SecretKeyReadyCheck) {
  struct TCase {
    const char* What;
    bool NilBuffer;
    Integer Size;
    Integer SignResult, VerifyResult, SignSizeOut;
    string Signer;
    Integer Result, SizeAfter;
    const char* BufferAfter;  // nullptr: not looked at
    Integer VerifiedSize;     // -1: VerifyData not reached
  };
  const string full(255, u'u');
  const TCase cases[] = {
      {"size query", true, 0, 0, 0, 3, u"signer", 0, 510, nullptr, -1},
      {"too small", false, 509, 0, 0, 3, u"signer", -1, 510, "me", -1},
      {"signs and verifies", false, 510, 0, 0, 3, u"signer", 0, 12, "signer", 3},
      {"sign fails", false, 510, 5, 0, 3, u"signer", 5, 510, "me", -1},
      {"verify fails", false, 510, 0, 100, 3, u"signer", 100, 510, "signer", 3},
      {"signature size clamped", false, 510, 0, 0, 1000, u"signer", 0, 12, "signer", 255},
      {"negative signature size", false, 510, 0, 0, -4, u"signer", 0, 12, "signer", 0},
      // A whole UID and its terminator do not fit 510 bytes: cut to the buffer.
      {"signer fills the limit", false, 510, 0, 0, 3, full, 0, 508, nullptr, 3},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.What);
    TSigningEngine engine;
    engine.SignResult = c.SignResult;
    engine.VerifyResult = c.VerifyResult;
    engine.SignSizeOut = c.SignSizeOut;
    engine.Signer = c.Signer;
    // Exactly the bytes the caller says, so an overrun shows under the sanitizer.
    std::vector<char16_t> uid(static_cast<std::size_t>(c.Size / 2), u'#');
    if (uid.size() >= 3) std::memcpy(uid.data(), u"me", 6);
    Integer size = c.Size;
    EXPECT_EQ(engine.ExportObject(20, nullptr, 0, 0, c.NilBuffer ? nullptr : uid.data(), &size),
              c.Result);
    EXPECT_EQ(size, c.SizeAfter);
    if (c.BufferAfter != nullptr) {
      EXPECT_EQ(A(uid.data()), c.BufferAfter);
    }
    EXPECT_EQ(engine.VerifiedSize, c.VerifiedSize);
    if (c.VerifiedSize != -1) {
      EXPECT_EQ(A(engine.SignedWith), "me");
    }
  }
  // The cut UID keeps its terminator inside the buffer.
  TSigningEngine engine;
  engine.Signer = full;
  std::vector<char16_t> uid(255, u'#');
  uid[0] = 0;
  Integer size = 510;
  ASSERT_EQ(engine.ExportObject(20, nullptr, 0, 0, uid.data(), &size), 0);
  EXPECT_EQ(uid[253], u'u');
  EXPECT_EQ(uid[254], 0);
}

// Compatible with the second engine type only.
class TCompatibleEngine : public TPlainEngine {
 protected:
  Integer IsCompatibleEngineType(const string& EngineTypeName, const string&, bool* Compatible) override {
    *Compatible = EngineTypeName == u"Emulation/2.0";
    return 0;
  }
};

TEST(EngineDispatch, CompatibilityQuestion) {
  struct TCase {
    const char* What;
    bool Compatible;  // engine class
    Integer Flags;
    bool NilBuffer;
    Integer Size;
    Integer Result, SizeAfter, ValueAfter;
  };
  const TCase cases[] = {
      {"size query", false, 1, true, 0, 0, 4, -7},
      {"too small", false, 1, false, 3, -1, 4, -7},
      {"base class", false, 1, false, 4, -1, 4, -7},
      {"compatible", true, 1, false, 4, 0, 4, 1},
      {"not compatible", true, 0, false, 8, 0, 8, 0},
      {"code outside the table", true, 99, false, 4, 0, 4, 0},
      {"flags wrap", true, INT_MAX, false, 4, 0, 4, 0},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.What);
    TPlainEngine plain;
    TCompatibleEngine compatible;
    TCryptoEngine& engine = c.Compatible ? static_cast<TCryptoEngine&>(compatible) : plain;
    std::int32_t value = -7;
    Integer size = c.Size;
    EXPECT_EQ(engine.ExportObject(27, ParamText, 0, c.Flags, c.NilBuffer ? nullptr : &value, &size),
              c.Result);
    EXPECT_EQ(size, c.SizeAfter);
    EXPECT_EQ(value, c.ValueAfter);
  }
}

}  // namespace
}  // namespace selvane
