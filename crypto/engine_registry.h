// TCryptoCollections: the one process-wide map from engine type name to the
// engine's entry-point table, loading engine modules on first use.
#pragma once

#include <array>
#include <atomic>
#include <string_view>
#include <mutex>

#include "crypto/engine_functions.h"

namespace selvane {

// The name of an engine type code, 1 to 28 (21 names "Emulation/1.0" again);
// empty for any other code.
string EngineTypeNameByCode(Integer aCode);

// The engine modules, in the order of the registry's fields: field prefix
// (F<Prefix>_DLLHandle, F<Prefix>_Functions) and module file name.
#define SELVANE_ENGINE_MODULES(X)          \
  X(Amber4, u"kv_amsel.dll")               \
  X(Brightline235, u"kv_birke.dll")        \
  X(Corvel4, u"kv_corvo.dll")              \
  X(Dunmark, u"kv_dorne.dll")              \
  X(Orison22, u"kv_elvar.dll")             \
  X(Garnet, u"kv_garth.dll")               \
  X(DunmarkWin, u"kv_holme.dll")           \
  X(Isle, u"kv_istra.dll")                 \
  X(Jasper, u"kv_jarro.dll")               \
  X(Kestrel, u"kv_kesto.dll")              \
  X(Lumen, u"kv_lurno.dll")                \
  X(MorrowC, u"kv_morva.dll")              \
  X(Dunmark2x, u"kv_fenlo.dll")            \
  X(Nimbus, u"kv_nessi.dll")               \
  X(Orison3x, u"kv_orlen.dll")             \
  X(PinnacleC, u"kv_pelto.dll")            \
  X(QuillSSL, u"kv_quarn.dll")             \
  X(SMS, u"kv_rasko.dll")                  \
  X(PASS, u"kv_sirne.dll")                 \
  X(TokenPass, u"kv_tulve.dll")            \
  X(Orison33, u"kv_ulmar.dll")             \
  X(RuneToken, u"kv_vesko.dll")            \
  X(Tally, u"kv_wolde.dll")                \
  X(MySigner, u"kv_yarne.dll")

class TCryptoCollections {
 public:
  TCryptoCollections();
  ~TCryptoCollections();  // releases every loaded module, each step logged
  TCryptoCollections(const TCryptoCollections&) = delete;
  TCryptoCollections& operator=(const TCryptoCollections&) = delete;

  // The new engine object or nil; aTable, when given, receives the ready
  // table the object was made by (it stays valid until shut-down).
  Pointer InitCryptoEngine(const char16_t* EngineType,
                           const TCryptEngineFunctions** aTable = nullptr);
  Integer GetCryptoEngineStatus(const char16_t* EngineType);
  void DoneCryptoEngine(Pointer aEngine, const string& aEngineType);
  Integer CheckEngineCompatibles(const char16_t* EngineType1, const char16_t* EngineType2);

  // One method per entry that a host reaches through a handle: the engine
  // object and engine type, then the entry's own parameters.
#define SELVANE_REGISTRY_METHOD_Life(Name, Result, Params)
#define SELVANE_REGISTRY_METHOD_Call(Name, Result, Params) \
  Result Name SELVANE_PARAMS_WITH(Params, Pointer aEngine, const string& aEngineType);
#define SELVANE_ENTRY(No, Name, Result, Presence, Target, Kind, Params, Args) \
  SELVANE_REGISTRY_METHOD_##Kind(Name, Result, Params)
#include "crypto/engine_entries.def"
#undef SELVANE_REGISTRY_METHOD_Life
#undef SELVANE_REGISTRY_METHOD_Call

  // The ready table of an engine type, or nil (logged) when the type is
  // unknown or its table is not ready.  A ready table never changes again.
  const TCryptEngineFunctions* GetFunctionsForEngineType(const string& aEngineType);

  static bool FunctionsReady(const TCryptEngineFunctions& aTable);
  static void LoadFunctionsByName(NativeUInt aModule, TCryptEngineFunctions& aTable);

 private:
  // A table with its readiness published for lock-free readers.
  struct TStoredTable {
    TCryptEngineFunctions Functions;
    std::atomic<bool> bReady{false};
    bool bLoading = false;  // its module is being loaded (under the lock)
  };
  struct TEngineType;
  static const std::array<TEngineType, 28>& EngineTypes();
  static const TEngineType* FindEngineType(const string& aEngineType);
  friend string EngineTypeNameByCode(Integer aCode);

#define SELVANE_MODULE_FILE(Prefix, File) static constexpr const char16_t* F##Prefix##_File = File;
  SELVANE_ENGINE_MODULES(SELVANE_MODULE_FILE)
#undef SELVANE_MODULE_FILE

  bool FillBuiltinFunctions();
  bool LoadCryptFunctions_inlock(const char16_t* aModuleFile, NativeUInt& aModuleHandle,
                                 TStoredTable& aStoredTable);
  void ReleaseModules_inlock();

#define SELVANE_MODULE_HANDLE(Prefix, File) NativeUInt F##Prefix##_DLLHandle = 0;
  SELVANE_ENGINE_MODULES(SELVANE_MODULE_HANDLE)
#undef SELVANE_MODULE_HANDLE
  TStoredTable FEmulators_Functions;
#define SELVANE_MODULE_TABLE(Prefix, File) TStoredTable F##Prefix##_Functions;
  SELVANE_ENGINE_MODULES(SELVANE_MODULE_TABLE)
#undef SELVANE_MODULE_TABLE
};

// The registry lock: re-entrant, held while modules load and tables fill
// (the host's debug callback runs under it then), never around an entry call.
std::recursive_mutex& RegistryLock();

// The one registry; created and destroyed by the library's start-up and
// shut-down (library_state.h).
void InitRegistry();
void DoneRegistry();
TCryptoCollections& CryptoCollections();

}  // namespace selvane
