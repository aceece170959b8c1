#include "crypto/crypto_engine.h"

#include <gtest/gtest.h>

#include <atomic>
#include <climits>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "platform/files.h"
#include "platform/text.h"
#include "test_support.h"

namespace selvane {
namespace {

using testsupport::A;
using testsupport::TTempDir;

// The smallest engine class: limits that a test can change, three
// parameters (the second with an empty name and value), and a VerifyData
// that shows whether it was reached.
class TTestEngine : public TCryptoEngine {
 public:
  TTestEngine() {
    AddParam(u"First", u"one");
    AddParam(u"", u"");
    AddParam(u"Third", u"three");
  }

  Integer ValueLimit = 1024;
  Integer EncodeAddition = 255;
  Integer SignatureLength = 255;
  int Verifications = 0;

  Integer GetMaxCryptoParamValueLength() override { return ValueLimit; }
  Integer GetMaxEncodeAddition() override { return EncodeAddition; }
  Integer GetMaxSignatureLength() override { return SignatureLength; }

  Integer GetEncodeUIDBySignUID(PWideChar, PWideChar) override { return 0; }
  Integer GetCurrentUID(PWideChar) override { return 0; }
  Integer EncodeData(Pointer, Integer*, PWideChar) override { return 0; }
  Integer DecodeData(Pointer, Integer*, PWideChar) override { return 0; }
  Integer SignData(Pointer, Integer, Pointer, Integer*, PWideChar) override { return 0; }
  Integer VerifyData(Pointer, Integer mSize, Pointer, Integer, PWideChar) override {
    ++Verifications;
    return 40 + mSize;
  }

  bool ParamsChanged() const { return FParamsChanged; }
  void ClearParamsChanged() { FParamsChanged = false; }
};

// Reads through a buffer that starts out filled, so "wrote nothing" and
// "wrote the empty string" differ.
std::string ReadName(TTestEngine& aEngine, Integer i) {
  std::vector<char16_t> buffer(300, u'#');
  aEngine.GetCryptoParamName(i, buffer.data());
  return A(buffer.data());
}
std::string ReadValue(TTestEngine& aEngine, Integer i, std::size_t aBufferChars = 1100) {
  std::vector<char16_t> buffer(aBufferChars, u'#');
  buffer.back() = 0;
  aEngine.GetCryptoParamValue(i, buffer.data());
  return A(buffer.data());
}

TEST(CryptoEngine, ParameterAccess) {
  TTestEngine engine;
  EXPECT_EQ(engine.GetCryptoParamNumber(), 3);
  struct TCase {
    Integer Index;
    const char* Name;
    const char* Value;
  };
  const TCase cases[] = {
      {1, "First", "one"}, {2, "", ""}, {3, "Third", "three"},
      {0, "", ""},         {4, "", ""}, {-1, "", ""},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Index);
    EXPECT_EQ(ReadName(engine, c.Index), c.Name);
    EXPECT_EQ(ReadValue(engine, c.Index), c.Value);
  }
  // Nil buffers are not written.
  engine.GetCryptoParamName(1, nullptr);
  engine.GetCryptoParamValue(1, nullptr);
}

TEST(CryptoEngine, SetParameterValue) {
  TTestEngine engine;
  string text = u"new value";
  struct TCase {
    Integer Index;
    PWideChar Value;
    Integer Result;
    const char* Stored;  // what parameter 3 holds afterwards
  };
  const TCase cases[] = {
      {3, text.data(), 0, "new value"},
      {0, text.data(), -1, "three"},
      {4, text.data(), -1, "three"},
      {3, nullptr, 0, ""},  // a nil value stores the empty text
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Index);
    TTestEngine fresh;
    fresh.ClearParamsChanged();
    EXPECT_EQ(fresh.SetCryptoParamValue(c.Index, c.Value), c.Result);
    EXPECT_EQ(fresh.ParamsChanged(), c.Result == 0);
    EXPECT_EQ(ReadValue(fresh, 3), c.Stored);
  }
  EXPECT_TRUE(engine.ParamsChanged());  // set by the constructor
}

TEST(CryptoEngine, ParameterValueIsCutToTheEngineLimit) {
  const string longValue(2000, u'v');
  struct TCase {
    Integer Limit;
    std::size_t Read;
  };
  const TCase cases[] = {{1024, 1023}, {255, 254}, {1, 0}, {0, 0}, {-5, 0}};
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Limit);
    TTestEngine engine;
    string value = longValue;
    ASSERT_EQ(engine.SetCryptoParamValue(1, value.data()), 0);
    engine.ValueLimit = c.Limit;
    EXPECT_EQ(ReadValue(engine, 1, 2100), std::string(c.Read, 'v'));
  }
}

TEST(CryptoEngine, ParametersSurviveConcurrentChanges) {
  TTestEngine engine;
  std::atomic<bool> stop{false};
  std::thread reader([&] {
    while (!stop.load()) {
      const std::string value = ReadValue(engine, 1);
      EXPECT_TRUE(value == "one" || value == std::string(500, 'x') || value == "y") << value;
    }
  });
  string big(500, u'x'), small = u"y";
  for (int i = 0; i < 2000; ++i) engine.SetCryptoParamValue(1, i % 2 ? small.data() : big.data());
  stop = true;
  reader.join();
}

TEST(CryptoEngine, ErrorString) {
  TTestEngine engine;
  struct TCase {
    Integer Code;
    const char* Text;
  };
  const TCase cases[] = {
      {0, "CRYPTO ENGINE ERROR : 0"},
      {101, "CRYPTO ENGINE ERROR : 101"},
      {-1, "CRYPTO ENGINE ERROR : -1"},
      {INT_MIN, "CRYPTO ENGINE ERROR : -2147483648"},
  };
  for (const TCase& c : cases) {
    std::vector<char16_t> buffer(256, u'#');
    engine.GetCryptoErrorString(c.Code, buffer.data());
    EXPECT_EQ(A(buffer.data()), c.Text);
  }
  EXPECT_EQ(std::strlen(cases[3].Text), 33u);
  engine.GetCryptoErrorString(5, nullptr);
}

TEST(CryptoEngine, Defaults) {
  TTestEngine engine;
  EXPECT_EQ(engine.GetMaxUIDLength(), 255);
  EXPECT_EQ(engine.GetMaxCryptoParamNameLength(), 255);
  EXPECT_EQ(engine.GetMaxErrorStringLength(), 255);
  EXPECT_EQ(engine.GetMaxPasswordLength(), 255);
  EXPECT_EQ(engine.GetMaxPublicKeyTransferSize(), 4096);
  EXPECT_EQ(engine.GetMaxFilePathLength(), 255);
  EXPECT_EQ(engine.GetRemoteGenType(), 1);
  EXPECT_EQ(engine.GetMaxReportSize(), -1);
  EXPECT_FALSE(engine.IsDifferentKeys());

  LongBool match = 0;
  EXPECT_EQ(engine.CertAndRequestTransferMatch(nullptr, nullptr, &match), 0);
  EXPECT_EQ(match, -1);
  EXPECT_EQ(engine.CertAndRequestTransferMatch(nullptr, nullptr, nullptr), -1);

  char16_t message[8] = u"#######";
  engine.GetLastErrorMessage(message);
  EXPECT_EQ(message[0], 0);
  engine.GetLastErrorMessage(nullptr);

  // VerifySignWOCheckValidity is the engine's own VerifyData.
  EXPECT_EQ(engine.VerifySignWOCheckValidity(nullptr, 3, nullptr, 0, nullptr), 43);
  EXPECT_EQ(engine.Verifications, 1);
}

TEST(CryptoEngine, MoveSafe) {
  TTestEngine engine;
  char16_t source[] = u"abcdef";
  struct TCase {
    Integer MaxLen;
    bool Result;
    const char* Written;
  };
  const TCase cases[] = {{3, true, "abc"}, {6, true, "abcdef"}, {20, true, "abcdef"},
                         {0, false, "####"}, {-1, false, "####"}};
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.MaxLen);
    char16_t dest[24] = u"####";
    EXPECT_EQ(engine.MoveSafe(source, dest, c.MaxLen), c.Result);
    EXPECT_EQ(A(dest), c.Written);
  }
  char16_t dest[8] = {};
  EXPECT_FALSE(engine.MoveSafe(nullptr, dest, 3));
  EXPECT_FALSE(engine.MoveSafe(source, nullptr, 3));
}

TEST(CryptoEngine, RootAndKeyTemplatePaths) {
  struct TCase {
    const char* Root;  // nullptr: never set
    const char* Template;
    const char* RootPath;
    const char* TemplatePath;
  };
  const TCase cases[] = {
      {"/data", "/keys", "/data/", "/keys/"},
      {"/data/", "/Keys/", "/data/", "/Keys/"},
      {"", "", "/", "/"},
      {"/Data", "%orvroot%\\keys", "/Data/", "/Data/keys/"},
      {"/Data", "%ORVROOT%/Keys", "/Data/", "/Data/Keys/"},
      {"/Data", "%OrvRoot%keys", "/Data/", "/Data/keys/"},
      {"/Data", "%OrvRoot%", "/Data/", "/Data/"},
      {"/Data", "%OrvRoot%//x", "/Data/", "/Data//x/"},  // one separator dropped
      {"/Data", "%OrvRoo", "/Data/", "%OrvRoo/"},
      {"/Data", "x%OrvRoot%", "/Data/", "x%OrvRoot%/"},
      {"/Data", "/Other/Keys", "/Data/", "/Other/Keys/"},
      {nullptr, "%OrvRoot%Keys", "", "Keys/"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Template);
    TTestEngine engine;
    if (c.Root != nullptr) engine.SetRootPath(testsupport::U(c.Root));
    engine.SetKeyTemplatePath(testsupport::U(c.Template));
    EXPECT_EQ(A(engine.RootPath()), c.RootPath);
    EXPECT_EQ(A(engine.KeyTemplatePath()), c.TemplatePath);
  }
}

class SaveSignedData : public ::testing::Test {
 protected:
  std::string Saved(const string& aName) {
    std::string contents;
    return platform::ReadWholeFile(FDir / aName, contents) ? contents : "<none>";
  }
  string File(const string& aName) { return FDir / aName; }

  TTempDir FDir;
  TTestEngine FEngine;
  char FData[4] = {'D', 'A', 'T', 'A'};
  char FSign[3] = {'S', 'I', 'G'};
};

TEST_F(SaveSignedData, RejectedArgumentsWriteNothing) {
  string name = File(u"out.bin");
  string empty;
  struct TCase {
    const char* What;
    Pointer Data;
    Integer DataSize;
    Integer SignSize;
    PWideChar FileName;
  };
  const TCase cases[] = {
      {"empty name", FData, 4, 3, empty.data()}, {"nil name", FData, 4, 3, nullptr},
      {"nil data", nullptr, 4, 3, name.data()},  {"no data", FData, 0, 3, name.data()},
      {"negative data", FData, -4, 3, name.data()}, {"negative sign", FData, 4, -1, name.data()},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.What);
    EXPECT_EQ(FEngine.SaveSignedDataToFile(c.Data, c.DataSize, FSign, c.SignSize, c.FileName), 0);
    EXPECT_EQ(Saved(u"out.bin"), "<none>");
  }
}

TEST_F(SaveSignedData, DataAndSignature) {
  struct TCase {
    const char* What;
    Pointer Sign;
    Integer SignSize;
    std::string Contents;
  };
  const TCase cases[] = {
      {"no signature", FSign, 0, "DATA"},
      {"signature", FSign, 3, "DATASIG"},
      {"size without signature bytes", nullptr, 3, std::string("DATA\0\0\0", 7)},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.What);
    string name = File(u"out.bin");
    EXPECT_EQ(FEngine.SaveSignedDataToFile(FData, 4, c.Sign, c.SignSize, name.data()), 0);
    EXPECT_EQ(Saved(u"out.bin"), c.Contents);
  }
}

TEST_F(SaveSignedData, NameMayStartWithTheRootMacro) {
  FEngine.SetRootPath(FDir.Path());
  string name = u"%ORVROOT%/Signed.bin";
  EXPECT_EQ(FEngine.SaveSignedDataToFile(FData, 4, FSign, 3, name.data()), 0);
  EXPECT_EQ(Saved(u"Signed.bin"), "DATASIG");
}

TEST_F(SaveSignedData, Failures) {
  string missingDir = File(u"missing/out.bin");
  EXPECT_EQ(FEngine.SaveSignedDataToFile(FData, 4, FSign, 3, missingDir.data()), -106);
  // A sum beyond a 32-bit size is refused before anything is read.
  string name = File(u"out.bin");
  EXPECT_EQ(FEngine.SaveSignedDataToFile(FData, INT_MAX, FSign, 1, name.data()), -102);
  EXPECT_EQ(Saved(u"out.bin"), "<none>");
}

TEST(CryptoEngine, AdditionLimits) {
  struct TCase {
    Integer EncodeAddition;
    const char16_t* UIDs;
    Integer Result;
  };
  const TCase cases[] = {
      {255, nullptr, 255},     {255, u"", 255},        {255, u"A", 255},
      {255, u"A;B;C", 765},    {255, u";", 510},       {100, u"A;B", 200},
      {INT_MAX, u"A;B", -2},   // wraps as a 32-bit product
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.UIDs != nullptr ? A(c.UIDs) : "nil");
    TTestEngine engine;
    engine.EncodeAddition = c.EncodeAddition;
    string uids = c.UIDs != nullptr ? string(c.UIDs) : string();
    EXPECT_EQ(engine.GetMaxAdditionEx(c.UIDs != nullptr ? uids.data() : nullptr), c.Result);
  }

  TTestEngine engine;
  EXPECT_EQ(engine.GetMaxSignAddition(), 510);
  EXPECT_EQ(engine.GetMaxMultiEncodeAddition(3), 765);
  engine.SignatureLength = INT_MAX;
  engine.EncodeAddition = INT_MAX;
  EXPECT_EQ(engine.GetMaxSignAddition(), INT_MIN + 254);
  EXPECT_EQ(engine.GetMaxMultiEncodeAddition(2), -2);
}

TEST(CryptoEngine, PureSign) {
  std::vector<std::uint8_t> bytes(256);
  for (std::size_t k = 0; k < bytes.size(); ++k) bytes[k] = static_cast<std::uint8_t>(k);
  bytes[0] = 0x01, bytes[1] = 0xAB, bytes[2] = 0xFF;
  const std::string digits255 = [&] {
    std::string text = "01ABFF";
    for (int k = 3; k < 255; ++k) {
      static const char hex[] = "0123456789ABCDEF";
      text += hex[k >> 4];
      text += hex[k & 15];
    }
    return text;
  }();
  struct TCase {
    Cardinal Size;
    Integer Available;  // -2: nil buffer
    Integer Result;
    Integer Length;
    std::string Text;
  };
  const TCase cases[] = {
      {3, 7, 0, 7, "01ABFF"},
      {3, 6, -1, 7, ""},
      {3, -2, 0, 7, ""},
      {255, 511, 0, 511, digits255},
      {256, 516, 0, 516, digits255 + " \r\nFF"},
      {256, 515, -1, 516, ""},
  };
  TTestEngine engine;
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Size);
    std::vector<char> out(600, '#');
    Integer length = c.Available;
    EXPECT_EQ(engine.GetPureSign(bytes.data(), c.Size, 0, c.Available == -2 ? nullptr : out.data(),
                                 &length),
              c.Result);
    EXPECT_EQ(length, c.Length);
    if (!c.Text.empty()) {
      EXPECT_EQ(std::string(out.data()), c.Text);
    }
    if (c.Result != 0) {
      EXPECT_EQ(out[0], '#');
    }
  }

  // Refused without a word written.
  Integer length = 99;
  char out[8];
  EXPECT_EQ(engine.GetPureSign(nullptr, 3, 0, out, &length), -1);
  EXPECT_EQ(engine.GetPureSign(bytes.data(), 0, 0, out, &length), -1);
  EXPECT_EQ(length, 99);
  EXPECT_EQ(engine.GetPureSign(bytes.data(), 3, 0, out, nullptr), -1);
  // Text too long for a 32-bit size: refused before a byte is read.
  EXPECT_EQ(engine.GetPureSign(bytes.data(), 0xFFFFFFFFu, 0, out, &length), -1);
  EXPECT_EQ(length, 99);
}

}  // namespace
}  // namespace selvane
