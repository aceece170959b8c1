// "Emulation/1.0", the null engine, as a host drives it through the exports
// of the built library.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "crypto/builtin_table.h"
#include "crypto/emu1_engine.h"
#include "include/selvane2x.h"
#include "tests/crypto/test_support.h"

namespace {

using testsupport::TLibrary;
using Bytes = std::vector<unsigned char>;

Bytes Sample(std::size_t size) {
  Bytes data(size);
  for (std::size_t k = 0; k < size; ++k) data[k] = static_cast<unsigned char>(k * 53 + 7);
  return data;
}

class Emu1 : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(FLib.Loaded());
    std::u16string type = u"Emulation/1.0";
    FEngine = EXPORT(FLib, InitCryptoEngine)(type.data());
    ASSERT_NE(FEngine, nullptr);
  }
  void TearDown() override { EXPORT(FLib, DoneCryptoEngine)(FEngine); }

  std::u16string Name(int32_t i) {
    char16_t buffer[256] = u"old";
    EXPORT(FLib, GetCryptoParamName)(FEngine, i, buffer);
    return buffer;
  }
  std::u16string Value(int32_t i) {
    char16_t buffer[256] = u"old";
    EXPORT(FLib, GetCryptoParamValue)(FEngine, i, buffer);
    return buffer;
  }

  TLibrary FLib;
  void* FEngine = nullptr;
};

TEST_F(Emu1, Parameters) {
  EXPECT_EQ(EXPORT(FLib, GetCryptoParamNumber)(FEngine), 2);
  const std::vector<std::tuple<int32_t, std::u16string, std::u16string>> cases = {
      {-1, u"", u""},
      {0, u"", u""},
      {1, u"Parameter 1", u"value 1"},
      {2, u"Parameter 2", u"value 2"},
      {3, u"", u""},
  };
  for (const auto& [i, name, value] : cases) {
    EXPECT_EQ(Name(i), name) << i;
    EXPECT_EQ(Value(i), value) << i;
  }
  auto set = EXPORT(FLib, SetCryptoParamValue);
  for (const std::u16string& text :
       {std::u16string(u"new text"), std::u16string(), std::u16string(255, u'v')}) {
    std::u16string value = text;
    EXPECT_EQ(set(FEngine, 2, value.data()), 0);
    EXPECT_EQ(Value(2), text);
  }
  EXPECT_EQ(set(FEngine, 1, nullptr), 0);
  EXPECT_EQ(Value(1), u"");
  for (int32_t i : {0, 3}) {
    std::u16string value = u"lost";
    EXPECT_EQ(set(FEngine, i, value.data()), 10) << i;
  }
  EXPECT_EQ(Value(2), std::u16string(255, u'v'));
}

// Out of range, the engine empties the buffer it was given (the export hands
// it a copy of the host's text, so the host's own buffer stays as it was).
TEST(Emu1Entry, SettingOutOfRangeEmptiesTheBuffer) {
  selvane::TCryptEngineFunctions table;
  selvane::FillEmulatorFunctions(table);
  std::u16string type = u"Emulation/1.0";
  void* engine = table.GetCryptObj(type.data());
  ASSERT_NE(engine, nullptr);
  for (int32_t i : {0, 3}) {
    std::u16string value = u"lost";
    EXPECT_EQ(table.SetCryptoParamValue(engine, i, value.data()), 10) << i;
    EXPECT_EQ(value[0], u'\0') << i;
  }
  EXPECT_EQ(table.SetCryptoParamValue(engine, 3, nullptr), 10);
  table.DoneEngine(engine);
}

TEST_F(Emu1, DataStayAsTheyAre) {
  for (std::size_t size : {0u, 1u, 17u, 4096u}) {
    Bytes data = Sample(size);
    int32_t dataSize = static_cast<int32_t>(size);
    char16_t uid[256] = u"old";
    std::u16string recipient = u"somebody";
    EXPECT_EQ(EXPORT(FLib, EncodeData)(FEngine, data.data(), &dataSize, recipient.data()), 0);
    EXPECT_EQ(EXPORT(FLib, DecodeData)(FEngine, data.data(), &dataSize, uid), 0);
    EXPECT_EQ(data, Sample(size)) << size;
    EXPECT_EQ(dataSize, static_cast<int32_t>(size));
    EXPECT_EQ(std::u16string(uid), u"");

    // An empty signature, nothing written, and every signature verifies.
    Bytes sign(16, 0xEE);
    int32_t signSize = 16;
    EXPECT_EQ(EXPORT(FLib, SignData)(FEngine, data.data(), dataSize, sign.data(), &signSize, uid),
              0);
    EXPECT_EQ(signSize, 0);
    EXPECT_EQ(sign, Bytes(16, 0xEE));
    for (auto verify : {EXPORT(FLib, VerifyData), EXPORT(FLib, VerifySignWOCheckValidity)}) {
      char16_t signer[256] = u"old";
      EXPECT_EQ(verify(FEngine, data.data(), dataSize, sign.data(), 16, signer), 0);
      EXPECT_EQ(std::u16string(signer), u"");
    }
  }
  // Encoding and decoding never read the size, so a nil one is no fault;
  // signing writes it.
  char16_t uid[256] = u"old";
  EXPECT_EQ(EXPORT(FLib, EncodeData)(FEngine, nullptr, nullptr, nullptr), 0);
  EXPECT_EQ(EXPORT(FLib, DecodeData)(FEngine, nullptr, nullptr, uid), 0);
  EXPECT_EQ(std::u16string(uid), u"");
  EXPECT_EQ(EXPORT(FLib, SignData)(FEngine, nullptr, 0, nullptr, nullptr, nullptr), -1);
}

TEST_F(Emu1, UidsAreEmptyAndNilOnesAreNotWritten) {
  char16_t uid[256] = u"old";
  EXPECT_EQ(EXPORT(FLib, GetCurrentUserUID)(FEngine, uid), 0);
  EXPECT_EQ(std::u16string(uid), u"");
  EXPECT_EQ(EXPORT(FLib, GetCurrentUserUID)(FEngine, nullptr), 0);
  int32_t size = 3;
  Bytes data = Sample(3);
  EXPECT_EQ(EXPORT(FLib, DecodeData)(FEngine, data.data(), &size, nullptr), 0);
  EXPECT_EQ(EXPORT(FLib, VerifyData)(FEngine, data.data(), 3, nullptr, 0, nullptr), 0);

  // The sign UID receives the encode UID, at most a whole UID and a terminator.
  auto copy = EXPORT(FLib, GetEncodeUIDBySignUID);
  std::u16string encode = u"harbor";
  std::vector<char16_t> sign(256, u's');
  EXPECT_EQ(copy(FEngine, sign.data(), encode.data()), 0);
  EXPECT_EQ(std::u16string(sign.data()), u"harbor");
  EXPECT_EQ(encode, u"harbor");
  std::u16string longEncode(300, u'e');
  EXPECT_EQ(copy(FEngine, sign.data(), longEncode.data()), 0);
  EXPECT_EQ(std::u16string(sign.data()), std::u16string(255, u'e'));
  EXPECT_EQ(copy(FEngine, nullptr, encode.data()), 0);
  EXPECT_EQ(copy(FEngine, sign.data(), nullptr), 0);
  EXPECT_EQ(std::u16string(sign.data()), std::u16string(255, u'e'));
}

TEST_F(Emu1, LimitsAndOtherAnswers) {
  const std::vector<std::tuple<const char*, int32_t (*)(void*), int32_t>> cases = {
      {"GetMaxEncodeAddition", EXPORT(FLib, GetMaxEncodeAddition), 100},
      {"GetMaxSignatureLength", EXPORT(FLib, GetMaxSignatureLength), 255},
      {"GetMaxUIDLength", EXPORT(FLib, GetMaxUIDLength), 255},
      {"GetMaxCryptoParamNameLength", EXPORT(FLib, GetMaxCryptoParamNameLength), 255},
      {"GetMaxCryptoParamValueLength", EXPORT(FLib, GetMaxCryptoParamValueLength), 255},
      {"GetMaxErrorStringLength", EXPORT(FLib, GetMaxErrorStringLength), 255},
      {"GetMaxPasswordLength", EXPORT(FLib, GetMaxPasswordLength), 255},
      {"GetMaxSignAddition", EXPORT(FLib, GetMaxSignAddition), 510},
      {"TransPrivateKeyFromFileToTM", EXPORT(FLib, TransPrivateKeyFromFileToTM), 0},
      {"TransSignatureFromFileToTM", EXPORT(FLib, TransSignatureFromFileToTM), 0},
      {"GenerateNewSSK", EXPORT(FLib, GenerateNewSSK), -1},
  };
  for (const auto& [name, call, answer] : cases) EXPECT_EQ(call(FEngine), answer) << name;
  std::u16string uids = u"a;b;c";
  EXPECT_EQ(EXPORT(FLib, GetMaxAdditionEx)(FEngine, uids.data()), 300);
  char16_t text[256] = {};
  EXPORT(FLib, GetCryptoErrorString)(FEngine, 10, text);
  EXPECT_EQ(std::u16string(text), u"CRYPTO ENGINE ERROR : 10");
}

}  // namespace
