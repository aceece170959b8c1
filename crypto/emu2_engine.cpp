#include "crypto/emu2_engine.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#include "platform/codepage.h"
#include "platform/files.h"
#include "platform/text.h"

namespace selvane {

namespace {

// Parameter positions; the operations read them by position, not by name.
enum TParam : Integer {
  UseKey = 1,
  KeyPath,
  SignWordParam,
  VerifyWordParam,
  EncodeWord,
  DecodeWordParam
};

std::string ToAnsi(const string& aText) {
  return platform::WideToMultiByte(platform::AnsiCodePage(), aText);
}

string FromAnsi(std::string_view aText) {
  return platform::MultiByteToWide(platform::AnsiCodePage(), aText);
}

// Adds (or, with aSign -1, subtracts) the key, repeated from its first byte,
// to every data byte, modulo 256.
void ApplyKey(Pointer mData, Integer aSize, const std::string& aKey, int aSign) {
  if (mData == nullptr || aSize <= 0 || aKey.empty()) return;
  auto* data = static_cast<unsigned char*>(mData);
  for (std::size_t k = 0; k < static_cast<std::size_t>(aSize); ++k) {
    const int key = static_cast<unsigned char>(aKey[k % aKey.size()]);
    data[k] = static_cast<unsigned char>(data[k] + aSign * key);
  }
}

}  // namespace

TEmu2CryptoEngine::TEmu2CryptoEngine() {
  AddParam(u"Use key", u"No");
  AddParam(u"Key path", u"");
  AddParam(u"Sign word", u"tessel_4");
  AddParam(u"Verify word", u"harbor");
  AddParam(u"Encode word", u"harbor");
  AddParam(u"Decode word", u"tessel_4");
}

bool TEmu2CryptoEngine::KeyAvailable() const {
  if (ParamValue(UseKey) != u"Yes") return true;
  return platform::FileExists(ParamValue(KeyPath));
}

std::string TEmu2CryptoEngine::SignWord() const { return ToAnsi(ParamValue(SignWordParam)); }
std::string TEmu2CryptoEngine::VerifyWord() const { return ToAnsi(ParamValue(VerifyWordParam)); }
std::string TEmu2CryptoEngine::DecodeWord() const { return ToAnsi(ParamValue(DecodeWordParam)); }

std::string TEmu2CryptoEngine::EncodeKey(PWideChar UID) const {
  if (UID != nullptr && UID[0] != 0) return ToAnsi(platform::WideFrom(UID));
  return ToAnsi(ParamValue(EncodeWord));
}

Integer TEmu2CryptoEngine::GetEncodeUIDBySignUID(PWideChar SignUID, PWideChar EncodeUID) {
  CopyUID(SignUID, EncodeUID);
  return 0;
}

Integer TEmu2CryptoEngine::GetCurrentUID(PWideChar CurrentUID) {
  const Integer limit = std::max(GetMaxUIDLength(), 0);
  platform::WideCopy(CurrentUID, FromAnsi(SignWord()), static_cast<std::size_t>(limit));
  return 0;
}

Integer TEmu2CryptoEngine::EncodeData(Pointer mData, Integer* mSize, PWideChar UID) {
  if (mSize == nullptr) return -1;
  ApplyKey(mData, *mSize, EncodeKey(UID), +1);
  return KeyResult();
}

Integer TEmu2CryptoEngine::DecodeData(Pointer mData, Integer* mSize, PWideChar) {
  if (mSize == nullptr) return -1;
  // Always the own word: whoever the data were encoded for.
  ApplyKey(mData, *mSize, DecodeWord(), -1);
  return KeyResult();
}

Integer TEmu2CryptoEngine::SignData(Pointer, Integer, Pointer mSignData, Integer* mSignSize,
                                    PWideChar) {
  if (mSignSize == nullptr) return -1;
  const std::string signature = SignWord();
  const auto limit = static_cast<std::size_t>(std::max(GetMaxSignatureLength(), 0));
  const auto size = static_cast<Integer>(std::min(signature.size(), limit));
  *mSignSize = size;
  if (size > 0 && mSignData != nullptr)
    std::memcpy(mSignData, signature.data(), static_cast<std::size_t>(size));
  return KeyResult();
}

Integer TEmu2CryptoEngine::VerifyData(Pointer, Integer, Pointer mSignData, Integer mSignSize,
                                      PWideChar UID) {
  if (mSignSize > GetMaxSignatureLength() || mSignSize > GetMaxUIDLength())
    return SignatureRejected;
  // A nil signature has no bytes to read: it counts as empty.  The text is
  // taken before the UID is written: a host may pass one buffer for both.
  std::string signature;
  if (mSignSize > 0 && mSignData != nullptr)
    signature.assign(static_cast<const char*>(mSignData), static_cast<std::size_t>(mSignSize));
  // The signer is the signature's text; a UID buffer holds the limit and a
  // terminator, and the text never has more characters than bytes.
  platform::WideCopy(UID, FromAnsi(signature), static_cast<std::size_t>(std::max(mSignSize, 0)));
  const std::string verifyWord = VerifyWord();
  if (verifyWord.empty()) return 0;
  if (signature.find(verifyWord) != std::string::npos) return KeyResult();
  return SignatureRejected;
}

}  // namespace selvane
