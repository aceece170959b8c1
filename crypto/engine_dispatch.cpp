// Import and ExportObject: each data type reaches one operation with a fixed
// choice and order of arguments.  The route tables below are the whole rule.
#include <algorithm>
#include <cstring>
#include <limits>
#include <vector>

#include "crypto/crypto_engine.h"
#include "crypto/engine_registry.h"
#include "platform/text.h"

namespace selvane {

namespace {

PWideChar Wide(Pointer aData) { return static_cast<PWideChar>(aData); }
PAnsiChar Ansi(Pointer aData) { return static_cast<PAnsiChar>(aData); }

// The fixed text that CheckSecretKeyReady signs, without its terminator.
constexpr char SecretKeyCheckText[] = "Data for sign to check secret key ready";
constexpr Integer SecretKeyCheckSize = sizeof SecretKeyCheckText - 1;
static_assert(SecretKeyCheckSize == 39);

}  // namespace

Integer TCryptoEngine::Import(Integer aDataType, Integer aFlags, Pointer aData, Integer aDataSize) {
  struct TRoute {
    Integer DataType;
    Integer (*Call)(TCryptoEngine& aEngine, Integer aFlags, Pointer aData, Integer aDataSize);
  };
#define SELVANE_IMPORT(Type, Operation, Args)                                                \
  TRoute {                                                                                   \
    Type, [](TCryptoEngine& aEngine, [[maybe_unused]] Integer aFlags,                        \
             [[maybe_unused]] Pointer aData, [[maybe_unused]] Integer aDataSize) -> Integer { \
      return aEngine.Operation Args;                                                         \
    }                                                                                        \
  }
  static constexpr TRoute Routes[] = {
      SELVANE_IMPORT( 1, ImportType1,                      (aFlags, aData, aDataSize)),
      SELVANE_IMPORT( 2, IncludePublicKey,                 (Wide(aData))),
      SELVANE_IMPORT( 3, ImportType3,                      (aFlags, aData, aDataSize)),
      SELVANE_IMPORT( 4, IncludePublicEncodeKey,           (Wide(aData))),
      SELVANE_IMPORT( 5, ImportType5,                      (aFlags, aData, aDataSize)),
      SELVANE_IMPORT( 6, ImportType6,                      (aFlags, aData)),
      SELVANE_IMPORT( 7, IncludePublicKeyTransfer,         (Ansi(aData))),
      SELVANE_IMPORT( 8, IncludeCACertificateFromTransfer, (Ansi(aData))),
      SELVANE_IMPORT( 9, ImportType9,                      (aFlags, aData, aDataSize)),
      SELVANE_IMPORT(10, IncludeCRL,                       (Wide(aData))),
      SELVANE_IMPORT(11, ImportType11,                     (aFlags, aData, aDataSize)),
      SELVANE_IMPORT(12, ImportType12,                     (aFlags, aData, aDataSize)),
      SELVANE_IMPORT(13, ImportType13,                     (aFlags, aData, aDataSize)),
      SELVANE_IMPORT(14, ImportType14,                     ()),
      SELVANE_IMPORT(15, ImportType15,                     (aFlags, aData)),
      SELVANE_IMPORT(16, ImportType16,                     (aFlags == 1)),
      SELVANE_IMPORT(17, ImportType17,                     (aFlags, aData, aDataSize)),
      SELVANE_IMPORT(18, SetDelKeyRequestFunc,             (aFlags, aData)),
      SELVANE_IMPORT(19, SetOwnerWindow,                   (aFlags, aData)),
      SELVANE_IMPORT(20, SetShowInfoCallBackFunction,      (aFlags, aData)),
      SELVANE_IMPORT(21, ImportType21,                     (aFlags, aData, aDataSize)),
  };
#undef SELVANE_IMPORT
  const auto* route = std::find_if(std::begin(Routes), std::end(Routes),
                                   [&](const TRoute& r) { return r.DataType == aDataType; });
  if (route == std::end(Routes)) return -1;
  return route->Call(*this, aFlags, aData, aDataSize);
}

Integer TCryptoEngine::ExportObject(Integer aDataType, Pointer aParamData, Integer aParamDataSize,
                                    Integer aFlags, Pointer aData, Integer* aDataSize) {
  struct TRoute {
    Integer DataType;
    Integer (*Call)(TCryptoEngine& aEngine, Integer aDataType, Pointer aParamData,
                    Integer aParamDataSize, Integer aFlags, Pointer aData, Integer* aDataSize);
  };
#define SELVANE_EXPORT(Type, Operation, Args)                                                  \
  TRoute {                                                                                     \
    Type, [](TCryptoEngine& aEngine, [[maybe_unused]] Integer aDataType,                       \
             [[maybe_unused]] Pointer aParamData, [[maybe_unused]] Integer aParamDataSize,     \
             [[maybe_unused]] Integer aFlags, [[maybe_unused]] Pointer aData,                  \
             [[maybe_unused]] Integer* aDataSize) -> Integer { return aEngine.Operation Args; } \
  }
#define SELVANE_EXPORT_A(Type, Operation) \
  SELVANE_EXPORT(Type, Operation, (aFlags, aParamData, aData, aDataSize))
#define SELVANE_EXPORT_B(Type, Operation) \
  SELVANE_EXPORT(Type, Operation, (aFlags, aData, aDataSize))
#define SELVANE_EXPORT_C(Type, Operation) \
  SELVANE_EXPORT(Type, Operation, (aFlags, aParamData, aParamDataSize, aData, aDataSize))
#define SELVANE_EXPORT_D(Type, Operation) \
  SELVANE_EXPORT(Type, Operation, (aParamData, aParamDataSize, aFlags, aData, aDataSize))
#define SELVANE_EXPORT_E(Type, Operation) \
  SELVANE_EXPORT(Type, Operation, (aDataType, aParamData, aParamDataSize, aFlags, aData, aDataSize))
  static constexpr TRoute Routes[] = {
      // Family A
      SELVANE_EXPORT_A(  1, ExportType1),
      SELVANE_EXPORT_A(  5, ExportType5),
      SELVANE_EXPORT_A(  6, ExportType6),
      // Family B
      SELVANE_EXPORT_B(  4, ExportType4),
      SELVANE_EXPORT_B(  8, ExportType8),
      SELVANE_EXPORT_B( 11, ExportType11),
      SELVANE_EXPORT_B( 12, ExportType12),
      SELVANE_EXPORT_B( 13, ExportType13),
      SELVANE_EXPORT_B( 17, ExportType17),
      SELVANE_EXPORT_B( 20, CheckSecretKeyReady),
      SELVANE_EXPORT_B( 21, ExportType21),
      // Family C
      SELVANE_EXPORT_C(  7, ExportType7),
      SELVANE_EXPORT_C(  9, ExportType9),
      SELVANE_EXPORT_C( 10, ExportType10),
      SELVANE_EXPORT_C( 14, ExportType14),
      SELVANE_EXPORT_C( 15, ExportType15),
      SELVANE_EXPORT_C( 16, ExportType16),
      SELVANE_EXPORT_C( 41, ExportType41),
      SELVANE_EXPORT_C( 54, ExportType54),
      SELVANE_EXPORT_C( 55, ExportType55),
      SELVANE_EXPORT_C( 56, ExportType56),
      SELVANE_EXPORT_C( 57, ExportType57),
      SELVANE_EXPORT_C( 58, ExportType58),
      SELVANE_EXPORT_C( 59, ExportType59),
      SELVANE_EXPORT_C( 60, ExportType60),
      // Family D
      SELVANE_EXPORT_D( 19, ExportType19),
      SELVANE_EXPORT_D( 22, ExportType22),
      SELVANE_EXPORT_D( 24, ExportType24),
      SELVANE_EXPORT_D( 25, ExportType25),
      SELVANE_EXPORT_D( 28, ExportType28),
      SELVANE_EXPORT_D( 29, ExportType29),
      SELVANE_EXPORT_D( 30, ExportType30),
      SELVANE_EXPORT_D( 42, ExportType42),
      SELVANE_EXPORT_D( 52, ExportType52),
      SELVANE_EXPORT_D( 53, ExportType53),
      // Family E
      SELVANE_EXPORT_E( 18, ExportType18),
      SELVANE_EXPORT_E( 35, ExportType35),
      SELVANE_EXPORT_E( 36, ExportType36),
      SELVANE_EXPORT_E( 37, ExportType37),
      SELVANE_EXPORT_E( 38, ExportType38),
      SELVANE_EXPORT_E( 39, ExportType39),
      SELVANE_EXPORT_E( 40, ExportType40),
      SELVANE_EXPORT_E( 43, ExportType43),
      SELVANE_EXPORT_E( 44, ExportType44),
      SELVANE_EXPORT_E( 45, ExportType45),
      SELVANE_EXPORT_E( 46, ExportType46),
      SELVANE_EXPORT_E( 47, ExportType47),
      SELVANE_EXPORT_E( 48, ExportType48),
      SELVANE_EXPORT_E( 49, ExportType49),
      SELVANE_EXPORT_E( 50, ExportType50),
      SELVANE_EXPORT_E( 51, ExportType51),
      SELVANE_EXPORT_E(101, ExportTypes101To103),
      SELVANE_EXPORT_E(102, ExportTypes101To103),
      SELVANE_EXPORT_E(103, ExportTypes101To103),
      SELVANE_EXPORT_E(201, ExportType201),
      // Single: the size by value; the text of aParamData
      SELVANE_EXPORT( 26, ExportType26,        (aData, *aDataSize)),
      SELVANE_EXPORT( 27, ExportCompatibility, (aFlags, platform::WideFrom(Wide(aParamData)), aData, aDataSize)),
  };
#undef SELVANE_EXPORT_A
#undef SELVANE_EXPORT_B
#undef SELVANE_EXPORT_C
#undef SELVANE_EXPORT_D
#undef SELVANE_EXPORT_E
#undef SELVANE_EXPORT
  // Every route reads or may write the size; a nil one answers as a fault would.
  if (aDataSize == nullptr) return -1;
  const auto* route = std::find_if(std::begin(Routes), std::end(Routes),
                                   [&](const TRoute& r) { return r.DataType == aDataType; });
  if (route == std::end(Routes)) return -1;
  return route->Call(*this, aDataType, aParamData, aParamDataSize, aFlags, aData, aDataSize);
}

Integer TCryptoEngine::CheckSecretKeyReady(Integer, Pointer aData, Integer* aDataSize) {
  if (aDataSize == nullptr) return -1;
  const Integer uidLength = GetMaxUIDLength();
  // Bytes of a UID buffer; at least room for the terminator.
  const std::int64_t needed = std::max<std::int64_t>(2 * std::int64_t{uidLength}, 2);
  if (needed > std::numeric_limits<Integer>::max()) return -1;
  if (aData == nullptr) {
    *aDataSize = static_cast<Integer>(needed);
    return 0;
  }
  if (*aDataSize < needed) {
    *aDataSize = static_cast<Integer>(needed);
    return -1;
  }

  const Integer signLength = std::max(GetMaxSignatureLength(), 0);
  std::vector<std::uint8_t> signature(static_cast<std::size_t>(signLength));
  char text[sizeof SecretKeyCheckText];
  std::memcpy(text, SecretKeyCheckText, sizeof text);
  const PWideChar uid = Wide(aData);

  Integer signSize = signLength;
  Integer result = SignData(text, SecretKeyCheckSize, signature.data(), &signSize, uid);
  if (result != 0) return result;
  signSize = std::clamp(signSize, 0, signLength);

  // The engine may write a whole UID and its terminator: verify into a
  // buffer of that size, then give the caller what its buffer holds.
  uid[0] = 0;
  std::vector<char16_t> signer(static_cast<std::size_t>(std::max(uidLength, 0)) + 1, 0);
  result = VerifyData(text, SecretKeyCheckSize, signature.data(), signSize, signer.data());
  signer.back() = 0;
  const std::size_t capacity = static_cast<std::size_t>(*aDataSize) / 2;
  std::size_t length = 0;
  while (length + 1 < capacity && signer[length] != 0) ++length;
  std::copy_n(signer.begin(), length, uid);
  uid[length] = 0;
  if (result == 0) *aDataSize = static_cast<Integer>(2 * length);
  return result;
}

Integer TCryptoEngine::ExportCompatibility(Integer aFlags, const string& ParamText, Pointer aData,
                                           Integer* aDataSize) {
  if (aDataSize == nullptr) return -1;
  constexpr Integer ValueSize = 4;
  if (aData == nullptr) {
    *aDataSize = ValueSize;
    return 0;
  }
  if (*aDataSize < ValueSize) {
    *aDataSize = ValueSize;
    return -1;
  }
  // aFlags holds the engine type code minus one.
  bool compatible = false;
  const Integer result =
      IsCompatibleEngineType(EngineTypeNameByCode(WrapAdd(aFlags, 1)), ParamText, &compatible);
  if (result == 0) {
    const std::int32_t value = compatible ? 1 : 0;
    std::memcpy(aData, &value, sizeof value);
  }
  return result;
}

}  // namespace selvane
