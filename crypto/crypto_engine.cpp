#include "crypto/crypto_engine.h"

#include <cstring>
#include <limits>
#include <string_view>
#include <vector>

#include "crypto/debug_log.h"
#include "platform/text.h"
#include "runtime/guard.h"

namespace selvane {

namespace {

template <class... T>
constexpr void Unused(const T&...) {}

constexpr std::u16string_view RootMacro = u"%OrvRoot%";

string WithTrailingDelimiter(string aPath) {
  if (aPath.empty() || aPath.back() != u'/') aPath.push_back(u'/');
  return aPath;
}

}  // namespace

// The protected operations whose default is a fixed answer.
#define SELVANE_OP_DEFINE_Fail(Name, Family)                \
  Integer TCryptoEngine::Name SELVANE_OP_PARAMS(Family) {   \
    Unused SELVANE_OP_ARGS(Family);                         \
    return -1;                                              \
  }
#define SELVANE_OP_DEFINE_Zero(Name, Family)                \
  Integer TCryptoEngine::Name SELVANE_OP_PARAMS(Family) {   \
    Unused SELVANE_OP_ARGS(Family);                         \
    return 0;                                               \
  }
#define SELVANE_OP_DEFINE_Custom(Name, Family)
#define SELVANE_ENGINE_OP(Slot, Name, Family, Default) SELVANE_OP_DEFINE_##Default(Name, Family)
#include "crypto/engine_operations.def"
#undef SELVANE_OP_DEFINE_Fail
#undef SELVANE_OP_DEFINE_Zero
#undef SELVANE_OP_DEFINE_Custom

TCryptoEngine::TCryptoEngine() = default;
TCryptoEngine::~TCryptoEngine() = default;

// --- Protected operations with a body of their own --------------------------

Integer TCryptoEngine::ImportType3(Integer aFlags, Pointer aData, Integer aDataSize) {
  return ImportType1(aFlags, aData, aDataSize);
}

Integer TCryptoEngine::SetDelKeyRequestFunc(Integer, Pointer aData) {
  FDelKeyRequestFunc = reinterpret_cast<TDelKeyRequestFunc>(aData);
  return 0;
}

Integer TCryptoEngine::SetOwnerWindow(Integer, Pointer aData) {
  if (aData == nullptr) return -1;
  HWND window;
  std::memcpy(&window, aData, sizeof window);
  FhWindow = window;
  return 0;
}

Integer TCryptoEngine::SetShowInfoCallBackFunction(Integer, Pointer aData) {
  DebugLog(u"SetShowInfoCallBackFunction");
  FShowInfoFunc = reinterpret_cast<TShowInfoFunc>(aData);
  return 0;
}

Integer TCryptoEngine::IsCompatibleEngineType(const string&, const string&, bool* Compatible) {
  if (Compatible != nullptr) *Compatible = false;
  return -1;
}

// --- Parameters ---------------------------------------------------------------

void TCryptoEngine::AddParam(const string& aName, const string& aValue) {
  std::lock_guard<std::mutex> lock(FParamLock);
  FParamNames.push_back(aName);
  FParamValues.push_back(aValue);
}

Integer TCryptoEngine::ParamNameCount() const {
  std::lock_guard<std::mutex> lock(FParamLock);
  return static_cast<Integer>(FParamNames.size());
}

Integer TCryptoEngine::ParamValueCount() const {
  std::lock_guard<std::mutex> lock(FParamLock);
  return static_cast<Integer>(FParamValues.size());
}

string TCryptoEngine::ParamName(Integer i) const {
  std::lock_guard<std::mutex> lock(FParamLock);
  if (i < 1 || static_cast<std::size_t>(i) > FParamNames.size()) return {};
  return FParamNames[i - 1];
}

string TCryptoEngine::ParamValue(Integer i) const {
  std::lock_guard<std::mutex> lock(FParamLock);
  if (i < 1 || static_cast<std::size_t>(i) > FParamValues.size()) return {};
  return FParamValues[i - 1];
}

bool TCryptoEngine::StoreParamValue(Integer i, const string& aValue) {
  std::lock_guard<std::mutex> lock(FParamLock);
  if (i < 1 || static_cast<std::size_t>(i) > FParamValues.size()) return false;
  FParamValues[i - 1] = aValue;
  return true;
}

Integer TCryptoEngine::GetCryptoParamNumber() { return ParamNameCount(); }

void TCryptoEngine::GetCryptoParamName(Integer i, PWideChar Name) {
  if (Name == nullptr) return;
  platform::WideCopyAll(Name, ParamName(i));
}

void TCryptoEngine::GetCryptoParamValue(Integer i, PWideChar Value) {
  if (Value == nullptr) return;
  // Cut so that value and terminator fit a buffer of the limit's size.
  const Integer limit = GetMaxCryptoParamValueLength();
  if (limit <= 0) {
    Value[0] = 0;
    return;
  }
  platform::WideCopy(Value, ParamValue(i), static_cast<std::size_t>(limit) - 1);
}

Integer TCryptoEngine::SetCryptoParamValue(Integer i, PWideChar Value) {
  if (!StoreParamValue(i, platform::WideFrom(Value))) return -1;
  FParamsChanged = true;
  return 0;
}

// --- Errors -------------------------------------------------------------------

void TCryptoEngine::GetCryptoErrorString(Integer ErrorCode, PWideChar ErrorStr) {
  if (ErrorStr == nullptr) return;
  // The operation reports nothing.
  rtl::Guarded([&] {
    platform::WideCopyAll(ErrorStr, u"CRYPTO ENGINE ERROR : " + platform::IntToStr(ErrorCode));
  });
}

void TCryptoEngine::GetLastErrorMessage(PWideChar ErrorStr) {
  if (ErrorStr != nullptr) ErrorStr[0] = 0;
}

// --- Limits -------------------------------------------------------------------

Integer TCryptoEngine::GetMaxSignAddition() { return WrapAdd(GetMaxSignatureLength(), 255); }

Integer TCryptoEngine::GetMaxMultiEncodeAddition(Integer aUserCount) {
  return WrapMul(aUserCount, GetMaxEncodeAddition());
}

Integer TCryptoEngine::GetMaxAdditionEx(PWideChar aUIDs) {
  const Integer addition = GetMaxEncodeAddition();
  if (aUIDs == nullptr || aUIDs[0] == 0) return addition;
  TStringList uids;
  DecodeUIDsList(aUIDs, uids);
  return WrapMul(addition, static_cast<Integer>(uids.size()));
}

// --- Signed data and signatures --------------------------------------------------

Integer TCryptoEngine::SaveSignedDataToFile(Pointer DataPtr, Integer DataSize, Pointer SignPtr,
                                            Integer SignSize, PWideChar FileName) {
  if (FileName == nullptr || FileName[0] == 0 || DataPtr == nullptr || DataSize <= 0 ||
      SignSize < 0)
    return 0;
  const std::int64_t total = std::int64_t{DataSize} + SignSize;
  if (total > std::numeric_limits<Integer>::max()) return -102;
  return rtl::Guarded(-102, [&] {
    // Zero-filled: a signature size without signature bytes writes zeros.
    std::vector<std::uint8_t> buffer(static_cast<std::size_t>(total));
    std::memcpy(buffer.data(), DataPtr, static_cast<std::size_t>(DataSize));
    if (SignSize > 0 && SignPtr != nullptr)
      std::memcpy(buffer.data() + DataSize, SignPtr, static_cast<std::size_t>(SignSize));
    const string path = ExpandRootMacro(platform::WideFrom(FileName));
    return WriteBufferToFile(path.c_str(), buffer.data(), static_cast<Integer>(total)) ? 0 : -106;
  });
}

Integer TCryptoEngine::CertAndRequestTransferMatch(PAnsiChar, PAnsiChar, LongBool* aMatchResult) {
  if (aMatchResult == nullptr) return -1;
  *aMatchResult = LongTrue;
  return 0;
}

Integer TCryptoEngine::GetPureSign(Pointer aSign, Cardinal aSignSize, Integer, Pointer aPureSign,
                                   Integer* aPureSignLen) {
  if (aSign == nullptr || aSignSize == 0 || aPureSignLen == nullptr) return -1;
  // Two digits a byte, and a blank and CR LF before every 256th byte.
  constexpr Cardinal RunLength = 255;
  const std::uint64_t needed =
      2 * std::uint64_t{aSignSize} + 3 * std::uint64_t{(aSignSize - 1) / RunLength} + 1;
  if (needed > static_cast<std::uint64_t>(std::numeric_limits<Integer>::max())) return -1;
  const std::string text = HexDump(aSign, aSignSize, RunLength, RunLength);
  const Integer available = *aPureSignLen;
  *aPureSignLen = static_cast<Integer>(text.size() + 1);
  if (aPureSign == nullptr) return 0;
  if (available < 0 || static_cast<std::size_t>(available) < text.size() + 1) return -1;
  std::memcpy(aPureSign, text.c_str(), text.size() + 1);
  return 0;
}

// --- Paths ----------------------------------------------------------------------

string TCryptoEngine::RootPath() const {
  std::lock_guard<std::mutex> lock(FParamLock);
  return FRootPath;
}

string TCryptoEngine::KeyTemplatePath() const {
  std::lock_guard<std::mutex> lock(FParamLock);
  return FKeyTemplatePath;
}

void TCryptoEngine::SetRootPath(const string& Value) {
  string path = WithTrailingDelimiter(Value);
  std::lock_guard<std::mutex> lock(FParamLock);
  FRootPath = std::move(path);
}

void TCryptoEngine::SetKeyTemplatePath(const string& Value) {
  string path = WithTrailingDelimiter(ExpandRootMacro(Value));
  std::lock_guard<std::mutex> lock(FParamLock);
  FKeyTemplatePath = std::move(path);
}

string TCryptoEngine::ExpandRootMacro(const string& aValue) const {
  // The token is matched without regard to case; the path keeps its own.
  if (aValue.size() < RootMacro.size() ||
      platform::AsciiUpper(std::u16string_view(aValue).substr(0, RootMacro.size())) !=
          platform::AsciiUpper(RootMacro))
    return aValue;
  std::u16string_view rest = std::u16string_view(aValue).substr(RootMacro.size());
  if (!rest.empty() && (rest.front() == u'\\' || rest.front() == u'/')) rest.remove_prefix(1);
  return RootPath() + string(rest);
}

bool TCryptoEngine::MoveSafe(PWideChar aSrc, PWideChar aDest, Integer aMaxLen) {
  if (aSrc == nullptr || aDest == nullptr || aMaxLen <= 0) return false;
  Integer count = 0;
  for (; count < aMaxLen && aSrc[count] != 0; ++count) aDest[count] = aSrc[count];
  aDest[count] = 0;
  return true;
}

}  // namespace selvane
