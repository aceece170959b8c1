// "Emulation/2.0" as a host drives it through the exports of the built
// library, loaded afresh for every test.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "crypto/emu2_engine.h"
#include "include/selvane2x.h"
#include "platform/codepage.h"
#include "platform/files.h"
#include "tests/crypto/test_support.h"

namespace {

using testsupport::A;
using testsupport::TLibrary;
using testsupport::TTempDir;
using testsupport::U;
using Bytes = std::vector<unsigned char>;

enum : int32_t { UseKey = 1, KeyPath, SignWord, VerifyWord, EncodeWord, DecodeWord };

Bytes BytesOf(const std::string& text) { return Bytes(text.begin(), text.end()); }

// Bytes that wrap around 255 when a key is added.
Bytes Sample(std::size_t size) {
  Bytes data(size);
  for (std::size_t k = 0; k < size; ++k) data[k] = static_cast<unsigned char>(k * 37 + 250);
  return data;
}

// data[k] + sign * key[k mod key length], modulo 256.
Bytes Keyed(Bytes data, const std::string& key, int sign) {
  for (std::size_t k = 0; k < data.size(); ++k)
    data[k] = static_cast<unsigned char>(data[k] +
                                         sign * static_cast<unsigned char>(key[k % key.size()]));
  return data;
}

class Emu2 : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(FLib.Loaded());
    FEngine = Open();
    ASSERT_NE(FEngine, nullptr);
  }
  void TearDown() override { EXPORT(FLib, DoneCryptoEngine)(FEngine); }

  void* Open() {
    std::u16string type = u"Emulation/2.0";
    return EXPORT(FLib, InitCryptoEngine)(type.data());
  }
  int32_t Set(int32_t i, std::u16string value, void* engine = nullptr) {
    return EXPORT(FLib, SetCryptoParamValue)(engine ? engine : FEngine, i, value.data());
  }
  std::u16string Param(int32_t i, bool name = false) {
    char16_t buffer[256] = u"old";
    if (name)
      EXPORT(FLib, GetCryptoParamName)(FEngine, i, buffer);
    else
      EXPORT(FLib, GetCryptoParamValue)(FEngine, i, buffer);
    return buffer;
  }

  struct TSigned {
    int32_t Result;
    Bytes Signature;
    bool Terminated;  // a byte was written after the signature
  };
  TSigned Sign(void* engine = nullptr) {
    Bytes data = BytesOf("payment");
    Bytes sign(300, 0xEE);
    int32_t size = 0;  // not read
    const int32_t result =
        EXPORT(FLib, SignData)(engine ? engine : FEngine, data.data(),
                               static_cast<int32_t>(data.size()), sign.data(), &size, nullptr);
    EXPECT_TRUE(size >= 0 && size < 300) << size;
    return {result, Bytes(sign.begin(), sign.begin() + size), sign[size] != 0xEE};
  }

  struct TVerified {
    int32_t Result;
    std::u16string UID;
  };
  TVerified Verify(const Bytes& signature, void* engine = nullptr) {
    Bytes data = BytesOf("payment");
    char16_t uid[256] = u"old";
    const int32_t result = EXPORT(FLib, VerifyData)(
        engine ? engine : FEngine, data.data(), static_cast<int32_t>(data.size()),
        const_cast<unsigned char*>(signature.data()), static_cast<int32_t>(signature.size()), uid);
    return {result, uid};
  }

  int32_t Encode(Bytes& data, const char16_t* uid, void* engine = nullptr) {
    int32_t size = static_cast<int32_t>(data.size());
    std::u16string id = uid ? uid : u"";
    const int32_t result = EXPORT(FLib, EncodeData)(engine ? engine : FEngine, data.data(), &size,
                                                    uid ? id.data() : nullptr);
    EXPECT_EQ(size, static_cast<int32_t>(data.size()));
    return result;
  }
  int32_t Decode(Bytes& data, const char16_t* uid = nullptr, void* engine = nullptr) {
    int32_t size = static_cast<int32_t>(data.size());
    std::u16string id = uid ? uid : u"";
    const int32_t result = EXPORT(FLib, DecodeData)(engine ? engine : FEngine, data.data(), &size,
                                                    uid ? id.data() : nullptr);
    EXPECT_EQ(size, static_cast<int32_t>(data.size()));
    return result;
  }

  TLibrary FLib;
  void* FEngine = nullptr;
};

TEST_F(Emu2, ParametersAndTheirDefaults) {
  EXPECT_EQ(EXPORT(FLib, GetCryptoParamNumber)(FEngine), 6);
  const std::vector<std::pair<std::u16string, std::u16string>> params = {
      {u"Use key", u"No"},         {u"Key path", u""},          {u"Sign word", u"tessel_4"},
      {u"Verify word", u"harbor"}, {u"Encode word", u"harbor"}, {u"Decode word", u"tessel_4"}};
  for (int32_t i = 1; i <= 6; ++i) {
    EXPECT_EQ(Param(i, true), params[i - 1].first) << i;
    EXPECT_EQ(Param(i), params[i - 1].second) << i;
  }
  for (int32_t i : {0, 7, -1}) {
    EXPECT_EQ(Param(i, true), u"") << i;
    EXPECT_EQ(Param(i), u"") << i;
    EXPECT_EQ(Set(i, u"x"), 10) << i;
  }
  EXPECT_EQ(Set(SignWord, std::u16string(300, u's')), 0);
  EXPECT_EQ(Param(SignWord), std::u16string(255, u's'));
}

TEST_F(Emu2, SignatureIsTheSignWord) {
  struct TCase {
    std::u16string Word;
    std::string Signature;  // as 8-bit text
  };
  const std::string accented = A(std::u16string(200, u'é'));  // 400 bytes
  const std::vector<TCase> cases = {
      {u"tessel_4", "tessel_4"},
      {u"", ""},
      {U("wörd"), "wörd"},
      {std::u16string(255, u'a'), std::string(255, 'a')},
      {std::u16string(200, u'é'), accented.substr(0, 255)},
  };
  for (const auto& c : cases) {
    if (c.Word != u"tessel_4") {
      ASSERT_EQ(Set(SignWord, c.Word), 0);
    }
    const TSigned s = Sign();
    EXPECT_EQ(s.Result, 0) << A(c.Word);
    EXPECT_EQ(s.Signature, BytesOf(c.Signature)) << A(c.Word);
    EXPECT_FALSE(s.Terminated) << A(c.Word);
    char16_t uid[256] = u"old";
    EXPECT_EQ(EXPORT(FLib, GetCurrentUserUID)(FEngine, uid), 0);
    EXPECT_EQ(std::u16string(uid), c.Word);
  }
  EXPECT_EQ(EXPORT(FLib, GetCurrentUserUID)(FEngine, nullptr), 0);
  // No signature buffer: the size is still reported.
  int32_t size = 0;
  EXPECT_EQ(EXPORT(FLib, SignData)(FEngine, nullptr, 0, nullptr, &size, nullptr), 0);
  EXPECT_EQ(size, 255);
}

TEST_F(Emu2, EncodeAndDecode) {
  const std::vector<std::size_t> sizes = {0, 1, 6, 12, 13, 300};  // "harbor" has 6 bytes
  // With the defaults the two words differ: nothing comes back.
  for (std::size_t size : sizes) {
    Bytes data = Sample(size);
    EXPECT_EQ(Encode(data, nullptr), 0);
    EXPECT_EQ(data, Keyed(Sample(size), "harbor", +1)) << size;
    EXPECT_EQ(Decode(data), 0);
    EXPECT_EQ(data, Keyed(Keyed(Sample(size), "harbor", +1), "tessel_4", -1)) << size;
    if (size > 0) {
      EXPECT_NE(data, Sample(size)) << size;
    }
  }
  ASSERT_EQ(Set(DecodeWord, u"harbor"), 0);
  for (std::size_t size : sizes) {
    Bytes data = Sample(size);
    EXPECT_EQ(Encode(data, nullptr), 0);
    EXPECT_EQ(Decode(data), 0);
    EXPECT_EQ(data, Sample(size)) << size;
  }
}

TEST_F(Emu2, UidOverridesTheEncodeKeyButNeverTheDecodeKey) {
  Bytes data = Sample(9);
  EXPECT_EQ(Encode(data, u"zq"), 0);
  EXPECT_EQ(data, Keyed(Sample(9), "zq", +1));
  data = Sample(9);
  EXPECT_EQ(Encode(data, u""), 0);  // an empty UID counts as none
  EXPECT_EQ(data, Keyed(Sample(9), "harbor", +1));

  data = Sample(9);
  EXPECT_EQ(Decode(data, u"zq"), 0);
  EXPECT_EQ(data, Keyed(Sample(9), "tessel_4", -1));

  // The recipient decodes with its own word, whatever UID it is given.
  void* recipient = Open();
  ASSERT_NE(recipient, nullptr);
  ASSERT_EQ(Set(DecodeWord, u"zq", recipient), 0);
  data = Sample(9);
  EXPECT_EQ(Encode(data, u"zq"), 0);
  EXPECT_EQ(Decode(data, u"harbor", recipient), 0);
  EXPECT_EQ(data, Sample(9));
  EXPORT(FLib, DoneCryptoEngine)(recipient);
}

TEST_F(Emu2, EmptyKeyZeroSizeOrNoDataLeaveTheDataAlone) {
  ASSERT_EQ(Set(EncodeWord, u""), 0);
  ASSERT_EQ(Set(DecodeWord, u""), 0);
  Bytes data = Sample(7);
  EXPECT_EQ(Encode(data, nullptr), 0);
  EXPECT_EQ(Decode(data), 0);
  EXPECT_EQ(data, Sample(7));
  std::u16string uid = u"ab";
  for (int32_t given : {0, -5}) {
    int32_t size = given;
    EXPECT_EQ(EXPORT(FLib, EncodeData)(FEngine, data.data(), &size, uid.data()), 0);
    EXPECT_EQ(size, given);
  }
  EXPECT_EQ(data, Sample(7));
  int32_t size = 7;
  EXPECT_EQ(EXPORT(FLib, DecodeData)(FEngine, nullptr, &size, nullptr), 0);
  EXPECT_EQ(EXPORT(FLib, EncodeData)(FEngine, data.data(), nullptr, nullptr), -1);
}

TEST_F(Emu2, VerifyFindsTheVerifyWord) {
  struct TCase {
    std::string Name;
    Bytes Signature;
    int32_t Result;
    std::optional<std::u16string> UID;  // nothing: the UID is left as it was
  };
  const std::string filler(249, 'x');
  const std::vector<TCase> cases = {
      {"whole", BytesOf("harbor"), 0, u"harbor"},
      {"at start", BytesOf("harbor_7"), 0, u"harbor_7"},
      {"in the middle", BytesOf("my harbor 7"), 0, u"my harbor 7"},
      {"at end", BytesOf("the harbor"), 0, u"the harbor"},
      {"absent", BytesOf("harbo"), 100, u"harbo"},
      {"other case", BytesOf("HARBOR"), 100, u"HARBOR"},
      {"empty", Bytes(), 100, u""},
      {"8-bit text", BytesOf("münze harbor"), 0, U("münze harbor")},
      {"255 bytes", BytesOf(filler + "harbor"), 0, U(filler + "harbor")},
      {"256 bytes", BytesOf(filler + "harbor!"), 100, std::nullopt},
  };
  for (const auto& c : cases) {
    const TVerified v = Verify(c.Signature);
    EXPECT_EQ(v.Result, c.Result) << c.Name;
    EXPECT_EQ(v.UID, c.UID.value_or(u"old")) << c.Name;
  }
  // The signer's own signature: the other party's word is not in it.
  const TSigned own = Sign();
  const TVerified v = Verify(own.Signature);
  EXPECT_EQ(v.Result, 100);
  EXPECT_EQ(v.UID, u"tessel_4");
  // No signature bytes, whatever the size says; no UID buffer.
  EXPECT_EQ(EXPORT(FLib, VerifyData)(FEngine, nullptr, 0, nullptr, 6, nullptr), 100);
  Bytes harbor = BytesOf("harbor");
  EXPECT_EQ(EXPORT(FLib, VerifyData)(FEngine, nullptr, 0, harbor.data(), 6, nullptr), 0);
}

// A host may hand one buffer for the signature and the UID: the answer and
// the UID are those of separate buffers, for both verifying exports.
TEST_F(Emu2, VerifyAnswersAlikeWhenSignatureAndUidShareABuffer) {
  struct TLayout {
    const char* Name;
    std::size_t SignAt;  // byte offsets into one buffer
    std::size_t UidAt;
  };
  const std::vector<TLayout> layouts = {
      {"separate", 0, 256}, {"same start", 0, 0}, {"UID inside", 0, 4}, {"signature inside", 6, 0},
  };
  using TVerify = decltype(&::VerifyData);
  const std::vector<std::pair<const char*, TVerify>> exports = {
      {"VerifyData", EXPORT(FLib, VerifyData)},
      {"VerifySignWOCheckValidity", EXPORT(FLib, VerifySignWOCheckValidity)},
  };
  const std::vector<std::pair<std::string, int32_t>> signatures = {{"a harbor b", 0},
                                                                   {"no word", 100}};
  for (const auto& [exportName, verify] : exports) {
    for (const auto& [text, result] : signatures) {
      for (const auto& l : layouts) {
        const std::string name = std::string(exportName) + "/" + text + "/" + l.Name;
        alignas(char16_t) unsigned char buffer[1024] = {};
        std::memcpy(buffer + l.SignAt, text.data(), text.size());
        auto* uid = reinterpret_cast<char16_t*>(buffer + l.UidAt);
        Bytes data = BytesOf("payment");
        EXPECT_EQ(verify(FEngine, data.data(), static_cast<int32_t>(data.size()),
                         buffer + l.SignAt, static_cast<int32_t>(text.size()), uid),
                  result)
            << name;
        EXPECT_EQ(std::u16string(uid), U(text)) << name;
      }
    }
  }
}

TEST_F(Emu2, EmptyVerifyWordAcceptsEverySignatureEvenWithoutKeyFile) {
  TTempDir dir;
  ASSERT_EQ(Set(VerifyWord, u""), 0);
  ASSERT_EQ(Set(UseKey, u"Yes"), 0);
  ASSERT_EQ(Set(KeyPath, dir / u"missing.key"), 0);
  for (const Bytes& signature : {BytesOf("anything"), Bytes(), Bytes(255, 'q')}) {
    const TVerified v = Verify(signature);
    EXPECT_EQ(v.Result, 0) << signature.size();
    EXPECT_EQ(v.UID, std::u16string(signature.begin(), signature.end()));
  }
  EXPECT_EQ(Verify(Bytes(256, 'q')).Result, 100);
}

TEST_F(Emu2, UseKeyNeedsAnExistingKeyFileOnlyForYes) {
  TTempDir dir;
  const Bytes key = BytesOf("key");
  ASSERT_TRUE(platform::WriteWholeFile(dir / u"file.key", key.data(), key.size()));
  ASSERT_TRUE(platform::MakeDirectories(dir / u"dir.key"));
  std::filesystem::create_symlink(A(dir / u"file.key"), A(dir / u"link.key"));
  std::filesystem::create_symlink(A(dir / u"gone.key"), A(dir / u"dangling.key"));
  struct TCase {
    std::u16string UseKey;
    std::u16string KeyFile;
    int32_t Result;
  };
  const std::vector<TCase> cases = {
      {u"Yes", u"file.key", 0},    {u"Yes", u"link.key", 0},       {u"Yes", u"missing.key", 101},
      {u"Yes", u"dir.key", 101},   {u"Yes", u"dangling.key", 101}, {u"Yes", u"", 101},
      {u"yes", u"missing.key", 0}, {u"Yes ", u"missing.key", 0},   {u"No", u"missing.key", 0},
  };
  for (const auto& c : cases) {
    const std::string name = A(c.UseKey) + "/" + A(c.KeyFile);
    ASSERT_EQ(Set(UseKey, c.UseKey), 0);
    ASSERT_EQ(Set(KeyPath, c.KeyFile.empty() ? u"" : dir / c.KeyFile), 0);
    // The work is done whatever the answer.
    Bytes data = Sample(5);
    EXPECT_EQ(Encode(data, u"ab"), c.Result) << name;
    EXPECT_EQ(data, Keyed(Sample(5), "ab", +1)) << name;
    EXPECT_EQ(Decode(data), c.Result) << name;
    const TSigned s = Sign();
    EXPECT_EQ(s.Result, c.Result) << name;
    EXPECT_EQ(s.Signature, BytesOf("tessel_4")) << name;
    const TVerified v = Verify(BytesOf("harbor"));
    EXPECT_EQ(v.Result, c.Result) << name;
    EXPECT_EQ(v.UID, u"harbor") << name;
    // A rejected signature stays rejected; the current UID needs no key.
    EXPECT_EQ(Verify(BytesOf("other")).Result, 100) << name;
    char16_t uid[256];
    EXPECT_EQ(EXPORT(FLib, GetCurrentUserUID)(FEngine, uid), 0) << name;
  }
}

TEST_F(Emu2, SecretKeyCheckSignsAndVerifiesOwnWord) {
  auto exportObject = EXPORT(FLib, ExportObject);
  int32_t size = 0;
  EXPECT_EQ(exportObject(FEngine, 20, nullptr, 0, 0, nullptr, &size), 0);
  EXPECT_EQ(size, 510);

  struct TCase {
    std::optional<std::u16string> SignWord;
    int32_t Result;
    std::u16string UID;
  };
  const std::u16string longWord = std::u16string(249, u'w') + u"harbor";
  const std::vector<TCase> cases = {
      {std::nullopt, 100, u""},               // signs "tessel_4", accepts "harbor"
      {std::u16string(255, u'w'), 100, u""},  // a whole UID, rejected
      {u"harbor_1", 0, u"harbor_1"},
      {longWord, 0, longWord.substr(0, 254)},  // cut to the caller's buffer
  };
  for (const auto& c : cases) {
    if (c.SignWord) {
      ASSERT_EQ(Set(SignWord, *c.SignWord), 0);
    }
    // Exactly the size asked for, so that a write past it is caught.
    std::vector<char16_t> uid(255, u'u');
    uid[0] = 0;
    size = 510;
    EXPECT_EQ(exportObject(FEngine, 20, nullptr, 0, 0, uid.data(), &size), c.Result);
    const std::u16string written(uid.data());
    if (c.Result == 0) {
      EXPECT_EQ(written, c.UID);
      EXPECT_EQ(size, static_cast<int32_t>(2 * c.UID.size()));
    } else {
      EXPECT_EQ(size, 510);
    }
  }
}

TEST_F(Emu2, EncodeUidIsTheSignUid) {
  auto copy = EXPORT(FLib, GetEncodeUIDBySignUID);
  std::u16string sign = u"harbor";
  std::vector<char16_t> encode(256, u'e');
  EXPECT_EQ(copy(FEngine, sign.data(), encode.data()), 0);
  EXPECT_EQ(std::u16string(encode.data()), u"harbor");
  EXPECT_EQ(sign, u"harbor");
  // Bounded by the UID limit: a buffer of the limit and a terminator holds it.
  std::u16string longSign(300, u's');
  EXPECT_EQ(copy(FEngine, longSign.data(), encode.data()), 0);
  EXPECT_EQ(std::u16string(encode.data()), std::u16string(255, u's'));
  EXPECT_EQ(copy(FEngine, nullptr, encode.data()), 0);
  EXPECT_EQ(copy(FEngine, sign.data(), nullptr), 0);
  EXPECT_EQ(std::u16string(encode.data()), std::u16string(255, u's'));
}

TEST_F(Emu2, LimitsAndErrorText) {
  const std::vector<std::pair<const char*, int32_t (*)(void*)>> limits = {
      {"GetMaxEncodeAddition", EXPORT(FLib, GetMaxEncodeAddition)},
      {"GetMaxSignatureLength", EXPORT(FLib, GetMaxSignatureLength)},
      {"GetMaxUIDLength", EXPORT(FLib, GetMaxUIDLength)},
      {"GetMaxCryptoParamNameLength", EXPORT(FLib, GetMaxCryptoParamNameLength)},
      {"GetMaxCryptoParamValueLength", EXPORT(FLib, GetMaxCryptoParamValueLength)},
      {"GetMaxErrorStringLength", EXPORT(FLib, GetMaxErrorStringLength)},
      {"GetMaxPasswordLength", EXPORT(FLib, GetMaxPasswordLength)},
  };
  for (const auto& [name, limit] : limits) {
    EXPECT_EQ(limit(FEngine), std::string(name) == "GetMaxEncodeAddition" ? 100 : 255) << name;
  }
  for (int32_t code : {100, 101}) {
    char16_t text[256] = {};
    EXPORT(FLib, GetCryptoErrorString)(FEngine, code, text);
    EXPECT_EQ(std::u16string(text), u"CRYPTO ENGINE ERROR : " + platform::IntToStr(code));
  }
  EXPECT_EQ(EXPORT(FLib, TransPrivateKeyFromFileToTM)(FEngine), 0);
  EXPECT_EQ(EXPORT(FLib, TransSignatureFromFileToTM)(FEngine), 0);
}

// Words are 8-bit text in the system's ANSI code page, whichever it is.
TEST(Emu2CodePage, WordsAreAnsiText) {
  platform::ScopedAnsiCodePage cp1252(platform::CodePage1252);
  selvane::TEmu2CryptoEngine engine;
  std::u16string word = u"é€";
  ASSERT_EQ(engine.SetCryptoParamValue(SignWord, word.data()), 0);
  unsigned char sign[8] = {};
  int32_t size = 0;
  EXPECT_EQ(engine.SignData(nullptr, 0, sign, &size, nullptr), 0);
  ASSERT_EQ(size, 2);
  EXPECT_EQ(sign[0], 0xE9);
  EXPECT_EQ(sign[1], 0x80);
  char16_t uid[256] = {};
  ASSERT_EQ(engine.SetCryptoParamValue(VerifyWord, word.data()), 0);
  EXPECT_EQ(engine.VerifyData(nullptr, 0, sign, size, uid), 0);
  EXPECT_EQ(std::u16string(uid), word);
  unsigned char data[2] = {1, 2};
  size = 2;
  EXPECT_EQ(engine.EncodeData(data, &size, word.data()), 0);
  EXPECT_EQ(data[0], 0xEA);
  EXPECT_EQ(data[1], 0x82);
}

}  // namespace
