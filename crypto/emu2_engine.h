// "Emulation/2.0": imitates a real engine with plain words instead of keys.
// A party is its "Sign word"; a signature is that word and verifying reports
// it as the signer's UID; encoding for a UID adds the UID's bytes to the
// data, and the recipient subtracts its "Decode word".
#pragma once

#include <string>

#include "crypto/emu1_engine.h"

namespace selvane {

class TEmu2CryptoEngine : public TEmulationEngine {
 public:
  // Error codes besides 0 and 10.
  static constexpr Integer SignatureRejected = 100;
  static constexpr Integer KeyFileMissing = 101;

  TEmu2CryptoEngine();

  // Copies SignUID into EncodeUID.
  Integer GetEncodeUIDBySignUID(PWideChar SignUID, PWideChar EncodeUID) override;
  Integer GetCurrentUID(PWideChar CurrentUID) override;
  Integer EncodeData(Pointer mData, Integer* mSize, PWideChar UID) override;
  Integer DecodeData(Pointer mData, Integer* mSize, PWideChar UID) override;
  Integer SignData(Pointer mData, Integer mSize, Pointer mSignData, Integer* mSignSize,
                   PWideChar UID) override;
  Integer VerifyData(Pointer mData, Integer mSize, Pointer mSignData, Integer mSignSize,
                     PWideChar UID) override;

 private:
  // True unless "Use key" is exactly "Yes" and "Key path" names no file.
  bool KeyAvailable() const;
  Integer KeyResult() const { return KeyAvailable() ? 0 : KeyFileMissing; }
  // Parameters as 8-bit text, read by position.
  std::string SignWord() const;
  std::string VerifyWord() const;
  std::string EncodeKey(PWideChar UID) const;  // the UID when given, else "Encode word"
  std::string DecodeWord() const;
};

}  // namespace selvane
