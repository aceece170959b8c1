#include "crypto/emu1_engine.h"

#include <algorithm>

#include "platform/text.h"

namespace selvane {

namespace {

void WriteEmpty(PWideChar aBuffer) {
  if (aBuffer != nullptr) aBuffer[0] = 0;
}

}  // namespace

// --- TEmulationEngine -----------------------------------------------------------

void TEmulationEngine::GetCryptoParamName(Integer i, PWideChar Name) {
  platform::WideCopyAll(Name, ParamName(i));
}

void TEmulationEngine::GetCryptoParamValue(Integer i, PWideChar Value) {
  // Values arrive cut to the limit, so this writes them whole; the bound only
  // keeps a caller's buffer of limit + 1 characters safe.
  const Integer limit = std::max(GetMaxCryptoParamValueLength(), 0);
  platform::WideCopy(Value, ParamValue(i), static_cast<std::size_t>(limit));
}

Integer TEmulationEngine::SetCryptoParamValue(Integer i, PWideChar Value) {
  if (StoreParamValue(i, platform::WideFrom(Value))) return 0;
  WriteEmpty(Value);
  return 10;
}

void TEmulationEngine::CopyUID(PWideChar aFrom, PWideChar aTo) {
  if (aFrom == nullptr || aTo == nullptr) return;
  const Integer limit = std::max(GetMaxUIDLength(), 0);
  // Read no further than the limit: the source may be a buffer of that size.
  Integer length = 0;
  while (length < limit && aFrom[length] != 0) ++length;
  // Source and destination may be the same buffer.
  std::copy_n(aFrom, length, aTo);
  aTo[length] = 0;
}

// --- TEmu1CryptoEngine ----------------------------------------------------------

TEmu1CryptoEngine::TEmu1CryptoEngine() {
  AddParam(u"Parameter 1", u"value 1");
  AddParam(u"Parameter 2", u"value 2");
}

Integer TEmu1CryptoEngine::GetEncodeUIDBySignUID(PWideChar SignUID, PWideChar EncodeUID) {
  CopyUID(EncodeUID, SignUID);
  return 0;
}

Integer TEmu1CryptoEngine::GetCurrentUID(PWideChar CurrentUID) {
  WriteEmpty(CurrentUID);
  return 0;
}

Integer TEmu1CryptoEngine::EncodeData(Pointer, Integer*, PWideChar) { return 0; }

Integer TEmu1CryptoEngine::DecodeData(Pointer, Integer*, PWideChar UID) {
  WriteEmpty(UID);
  return 0;
}

Integer TEmu1CryptoEngine::SignData(Pointer, Integer, Pointer, Integer* mSignSize, PWideChar) {
  if (mSignSize != nullptr) *mSignSize = 0;
  return 0;
}

Integer TEmu1CryptoEngine::VerifyData(Pointer, Integer, Pointer, Integer, PWideChar UID) {
  WriteEmpty(UID);
  return 0;
}

}  // namespace selvane
