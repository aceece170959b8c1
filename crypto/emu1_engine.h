// The built-in emulation engines: what both share, and "Emulation/1.0", the
// null engine that lets a host run its protocol without any cryptography.
#pragma once

#include "crypto/crypto_engine.h"

namespace selvane {

// Limits and parameter access common to both built-in engines.  Parameters
// are counted from 1; an index out of range answers 10.
class TEmulationEngine : public TCryptoEngine {
 public:
  Integer GetMaxEncodeAddition() override { return 100; }
  Integer GetMaxSignatureLength() override { return 255; }
  Integer GetMaxUIDLength() override { return 255; }
  Integer GetMaxCryptoParamNameLength() override { return 255; }
  Integer GetMaxCryptoParamValueLength() override { return 255; }
  Integer GetMaxErrorStringLength() override { return 255; }
  Integer GetCryptoParamNumber() override { return ParamNameCount(); }
  void GetCryptoParamName(Integer i, PWideChar Name) override;
  void GetCryptoParamValue(Integer i, PWideChar Value) override;
  // Out of range: the caller's buffer is emptied and the answer is 10.
  Integer SetCryptoParamValue(Integer i, PWideChar Value) override;
  Integer TransPrivateKeyFromFileToTM() override { return 0; }
  Integer TransSignatureFromFileToTM() override { return 0; }

 protected:
  // Copies a UID from one caller buffer to another, at most GetMaxUIDLength
  // characters and a terminator; nothing when either is nil.
  void CopyUID(PWideChar aFrom, PWideChar aTo);
};

// Every UID is empty, data stay as they are, signatures are empty and every
// verification succeeds.
class TEmu1CryptoEngine : public TEmulationEngine {
 public:
  TEmu1CryptoEngine();

  // Copies EncodeUID into SignUID.
  Integer GetEncodeUIDBySignUID(PWideChar SignUID, PWideChar EncodeUID) override;
  Integer GetCurrentUID(PWideChar CurrentUID) override;
  Integer EncodeData(Pointer mData, Integer* mSize, PWideChar UID) override;
  Integer DecodeData(Pointer mData, Integer* mSize, PWideChar UID) override;
  Integer SignData(Pointer mData, Integer mSize, Pointer mSignData, Integer* mSignSize,
                   PWideChar UID) override;
  Integer VerifyData(Pointer mData, Integer mSize, Pointer mSignData, Integer mSignSize,
                     PWideChar UID) override;
};

}  // namespace selvane
