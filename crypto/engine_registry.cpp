#include "crypto/engine_registry.h"

#include <array>
#include <memory>
#include <string_view>

#include "crypto/builtin_table.h"
#include "crypto/debug_log.h"
#include "crypto/engine_route.h"
#include "crypto/module_loader.h"
#include "crypto/process_state.h"
#include "platform/modules.h"
#include "platform/text.h"
#include "platform/threads.h"
#include "runtime/exceptions.h"
#include "runtime/guard.h"

namespace selvane {

// One engine type: its code, its exact (case-sensitive) name and the module
// file and registry fields that serve it; built-in types have no module.
struct TCryptoCollections::TEngineType {
  Integer Code;
  std::u16string_view Name;
  const char16_t* ModuleFile;
  NativeUInt TCryptoCollections::*DLLHandle;
  TStoredTable TCryptoCollections::*Functions;
};

// The engine types by code; the module file comes with the registry fields
// (SELVANE_ENGINE_MODULES).
#define SELVANE_MODULE_TYPE(Prefix)                                      \
  TCryptoCollections::F##Prefix##_File, &TCryptoCollections::F##Prefix##_DLLHandle, \
      &TCryptoCollections::F##Prefix##_Functions
#define SELVANE_BUILTIN_TYPE nullptr, nullptr, &TCryptoCollections::FEmulators_Functions

const std::array<TCryptoCollections::TEngineType, 28>& TCryptoCollections::EngineTypes() {
  static constexpr std::array<TEngineType, 28> Types = {{
      {1, u"Emulation/1.0", SELVANE_BUILTIN_TYPE},
      {2, u"Emulation/2.0", SELVANE_BUILTIN_TYPE},
      {3, u"Amber/4.0", SELVANE_MODULE_TYPE(Amber4)},
      {4, u"Brightline Crypto/2.35", SELVANE_MODULE_TYPE(Brightline235)},
      {5, u"Corvel-W/4", SELVANE_MODULE_TYPE(Corvel4)},
      {6, u"Dunmark 1.1", SELVANE_MODULE_TYPE(Dunmark)},
      {7, u"Orison COM/2.2", SELVANE_MODULE_TYPE(Orison22)},
      {8, u"Garnet CSP/1.1", SELVANE_MODULE_TYPE(Garnet)},
      {9, u"System Crypto API 2.0", SELVANE_MODULE_TYPE(Garnet)},
      {10, u"D-Mark v2.x", SELVANE_MODULE_TYPE(Dunmark2x)},
      {11, u"D-Mark v1.34 (PSE)", SELVANE_MODULE_TYPE(DunmarkWin)},
      {12, u"Isle Guard", SELVANE_MODULE_TYPE(Isle)},
      {13, u"Jasper SSL", SELVANE_MODULE_TYPE(Jasper)},
      {14, u"Keyline-K (c) Kestrel JSC.", SELVANE_MODULE_TYPE(Kestrel)},
      {15, u"Lumen Crypto Engine", SELVANE_MODULE_TYPE(Lumen)},
      {16, u"Morrow-C", SELVANE_MODULE_TYPE(MorrowC)},
      {17, u"Nimbus CSP", SELVANE_MODULE_TYPE(Nimbus)},
      {18, u"Orison 32x", SELVANE_MODULE_TYPE(Orison3x)},
      {19, u"Pinnacle-C", SELVANE_MODULE_TYPE(PinnacleC)},
      {20, u"QuillSSL", SELVANE_MODULE_TYPE(QuillSSL)},
      {21, u"Emulation/1.0", SELVANE_BUILTIN_TYPE},  // a second code, no type of its own
      {22, u"SMS", SELVANE_MODULE_TYPE(SMS)},
      {23, u"Password", SELVANE_MODULE_TYPE(PASS)},
      {24, u"Token Pass", SELVANE_MODULE_TYPE(TokenPass)},
      {25, u"Orison 33x", SELVANE_MODULE_TYPE(Orison33)},
      {26, u"Rune Token", SELVANE_MODULE_TYPE(RuneToken)},
      {27, u"Tally Control", SELVANE_MODULE_TYPE(Tally)},
      {28, u"mySigner", SELVANE_MODULE_TYPE(MySigner)},
  }};
  return Types;
}

#undef SELVANE_BUILTIN_TYPE
#undef SELVANE_MODULE_TYPE

const TCryptoCollections::TEngineType* TCryptoCollections::FindEngineType(
    const string& aEngineType) {
  if (aEngineType.empty()) return nullptr;
  for (const TEngineType& type : EngineTypes()) {
    if (type.Name == aEngineType) return &type;
  }
  return nullptr;
}

string EngineTypeNameByCode(Integer aCode) {
  for (const auto& type : TCryptoCollections::EngineTypes()) {
    if (type.Code == aCode) return string(type.Name);
  }
  return {};
}

// --- tables ---------------------------------------------------------------

namespace {

// Marks a module load under way for the time of one scope.
class TLoadingMark {
 public:
  explicit TLoadingMark(bool& aMark) : FMark(aMark) { FMark = true; }
  ~TLoadingMark() { FMark = false; }
  TLoadingMark(const TLoadingMark&) = delete;
  TLoadingMark& operator=(const TLoadingMark&) = delete;

 private:
  bool& FMark;
};

}  // namespace

bool TCryptoCollections::FunctionsReady(const TCryptEngineFunctions& aTable) {
  for (std::size_t i = 0; i < RequiredEntryCount; ++i) {
    if (EntrySlot(aTable, EntryInfos[i]) == nullptr) return false;
  }
  return true;
}

void TCryptoCollections::LoadFunctionsByName(NativeUInt aModule, TCryptEngineFunctions& aTable) {
  for (const TEntryInfo& info : EntryInfos) {
    SetEntrySlot(aTable, info, platform::ModuleSymbol(aModule, info.Name));
  }
}

bool TCryptoCollections::FillBuiltinFunctions() {
  std::lock_guard lock(RegistryLock());
  TStoredTable& stored = FEmulators_Functions;
  if (!stored.bReady.load(std::memory_order_relaxed)) {
    FillEmulatorFunctions(stored.Functions);
    if (FunctionsReady(stored.Functions)) stored.bReady.store(true, std::memory_order_release);
  }
  return stored.bReady.load(std::memory_order_relaxed);
}

bool TCryptoCollections::LoadCryptFunctions_inlock(const char16_t* aModuleFile,
                                                   NativeUInt& aModuleHandle,
                                                   TStoredTable& aStoredTable) {
  if (aModuleHandle == 0) {
    // The host's debug callback runs while the module loads, on this thread
    // and under this (re-entrant) lock; if it asks for the same module
    // again, that request fails instead of loading it within itself.
    if (aStoredTable.bLoading) return false;
    {
      // Cleared however the load ends.
      const TLoadingMark loading(aStoredTable.bLoading);
      aModuleHandle = SelvaneLoadLibrary(aModuleFile);
    }
    if (aModuleHandle == 0) {
      DebugLog(u"LoadCryptFunctions - can not load library " + string(aModuleFile));
      return false;
    }
  }
  if (!aStoredTable.bReady.load(std::memory_order_relaxed)) {
    LoadFunctionsByName(aModuleHandle, aStoredTable.Functions);
    if (FunctionsReady(aStoredTable.Functions)) {
      aStoredTable.bReady.store(true, std::memory_order_release);
    }
  }
  return true;
}

const TCryptEngineFunctions* TCryptoCollections::GetFunctionsForEngineType(
    const string& aEngineType) {
  if (aEngineType.empty()) return nullptr;
  return rtl::Guarded<const TCryptEngineFunctions*>(nullptr, [&]() -> const TCryptEngineFunctions* {
    const TEngineType* type = FindEngineType(aEngineType);
    bool ready = false;
    if (type != nullptr) {
      TStoredTable& stored = this->*type->Functions;
      // A ready table never changes again, so it is read without the lock.
      if (stored.bReady.load(std::memory_order_acquire)) return &stored.Functions;
      if (type->ModuleFile == nullptr) {
        ready = FillBuiltinFunctions();
      } else {
        std::lock_guard lock(RegistryLock());
        if (!LoadCryptFunctions_inlock(type->ModuleFile, this->*type->DLLHandle, stored)) {
          return nullptr;
        }
        ready = stored.bReady.load(std::memory_order_relaxed);
      }
      if (ready) return &stored.Functions;
    }
    DebugLog(u"GetFunctionsForEngineType - Functions not Ready for " + aEngineType);
    return nullptr;
  });
}

// --- lifetime ---------------------------------------------------------------

TCryptoCollections::TCryptoCollections() = default;

TCryptoCollections::~TCryptoCollections() {
  // Releasing logs through the host's callback; a destructor cannot pass a
  // cancelled thread's unwind on.
  const platform::TCancellationHold hold;
  std::lock_guard lock(RegistryLock());
  ReleaseModules_inlock();
}

void TCryptoCollections::ReleaseModules_inlock() {
  // Not quite the field order: Dunmark2x goes before MorrowC.
  static constexpr std::array<NativeUInt TCryptoCollections::*, 24> ReleaseOrder = {
      &TCryptoCollections::FAmber4_DLLHandle,     &TCryptoCollections::FBrightline235_DLLHandle,
      &TCryptoCollections::FCorvel4_DLLHandle,    &TCryptoCollections::FDunmark_DLLHandle,
      &TCryptoCollections::FOrison22_DLLHandle,   &TCryptoCollections::FGarnet_DLLHandle,
      &TCryptoCollections::FDunmarkWin_DLLHandle, &TCryptoCollections::FIsle_DLLHandle,
      &TCryptoCollections::FJasper_DLLHandle,     &TCryptoCollections::FKestrel_DLLHandle,
      &TCryptoCollections::FLumen_DLLHandle,      &TCryptoCollections::FDunmark2x_DLLHandle,
      &TCryptoCollections::FMorrowC_DLLHandle,    &TCryptoCollections::FNimbus_DLLHandle,
      &TCryptoCollections::FOrison3x_DLLHandle,   &TCryptoCollections::FPinnacleC_DLLHandle,
      &TCryptoCollections::FQuillSSL_DLLHandle,   &TCryptoCollections::FSMS_DLLHandle,
      &TCryptoCollections::FPASS_DLLHandle,       &TCryptoCollections::FTokenPass_DLLHandle,
      &TCryptoCollections::FOrison33_DLLHandle,   &TCryptoCollections::FRuneToken_DLLHandle,
      &TCryptoCollections::FTally_DLLHandle,      &TCryptoCollections::FMySigner_DLLHandle,
  };
  for (auto field : ReleaseOrder) {
    NativeUInt& handle = this->*field;
    if (handle == 0) continue;
    rtl::Guarded([&] { SelvaneFreeLibrary(handle); });
  }
}

Pointer TCryptoCollections::InitCryptoEngine(const char16_t* EngineType,
                                             const TCryptEngineFunctions** aTable) {
  const string type = platform::WideFrom(EngineType);
  const TCryptEngineFunctions* table = GetFunctionsForEngineType(type);
  if (table == nullptr) {
    DebugLog(u"InitCryptoEngine - Can not GetFunctionsForEngineType " + type);
    return nullptr;
  }
  Pointer engine = table->GetCryptObj(const_cast<PWideChar>(EngineType));
  if (engine == nullptr) DebugLog(u"InitCryptoEngine - Can not GetCryptObj " + type);
  if (aTable != nullptr) *aTable = table;
  return engine;
}

Integer TCryptoCollections::GetCryptoEngineStatus(const char16_t* EngineType) {
  return GetFunctionsForEngineType(platform::WideFrom(EngineType)) != nullptr ? 1 : 0;
}

void TCryptoCollections::DoneCryptoEngine(Pointer aEngine, const string& aEngineType) {
  if (aEngine == nullptr) return;
  if (const TCryptEngineFunctions* table = GetFunctionsForEngineType(aEngineType)) {
    table->DoneEngine(aEngine);
  }
}

Integer TCryptoCollections::CheckEngineCompatibles(const char16_t* EngineType1,
                                                   const char16_t* EngineType2) {
  if (EngineType1 == nullptr || EngineType2 == nullptr) return 0;
  const string type1 = platform::WideFrom(EngineType1);
  const string type2 = platform::WideFrom(EngineType2);
  if (type1 == type2) return 1;
  const TCryptEngineFunctions* table1 = GetFunctionsForEngineType(type1);
  const TCryptEngineFunctions* table2 = GetFunctionsForEngineType(type2);
  if (table1 == nullptr || table2 == nullptr) return 0;
  if (table1->CheckCompatibles == nullptr || table2->CheckCompatibles == nullptr) return 0;
  // A module that raises here answers "not compatible".
  return rtl::Guarded(0, [&] {
    if (table1->CheckCompatibles(const_cast<PWideChar>(EngineType2)) != 1) return 0;
    return table2->CheckCompatibles(const_cast<PWideChar>(EngineType1)) == 1 ? 1 : 0;
  });
}

// --- the per-entry methods ------------------------------------------------

// A nil engine answers without a lookup; otherwise the table is looked up
// anew and the entry reached by its route (engine_route.h).
#define SELVANE_REGISTRY_METHOD_Life(No, Name, Result, Params, Args)
#define SELVANE_REGISTRY_METHOD_Call(No, Name, Result, Params, Args)                          \
  Result TCryptoCollections::Name SELVANE_PARAMS_WITH(Params, Pointer aEngine,                \
                                                      const string& aEngineType) {            \
    const TCryptEngineFunctions* table =                                                     \
        aEngine != nullptr ? GetFunctionsForEngineType(aEngineType) : nullptr;               \
    return TRoute<No>::Call<Result> SELVANE_ARGS_WITH(Args, table, aEngine,                  \
                                                      &TCryptEngineFunctions::Name);          \
  }
#define SELVANE_ENTRY(No, Name, Result, Presence, Target, Kind, Params, Args) \
  SELVANE_REGISTRY_METHOD_##Kind(No, Name, Result, Params, Args)
#include "crypto/engine_entries.def"
#undef SELVANE_REGISTRY_METHOD_Life
#undef SELVANE_REGISTRY_METHOD_Call

// --- process-wide state ---------------------------------------------------

namespace {
constinit TProcessState<std::recursive_mutex> GRegistryLock;
constinit TProcessState<TCryptoCollections> GCryptoCollections;
}  // namespace

std::recursive_mutex& RegistryLock() { return *GRegistryLock; }

void InitRegistry() {
  GRegistryLock.emplace();
  GCryptoCollections.emplace();
}

void DoneRegistry() {
  GCryptoCollections.reset();
  GRegistryLock.reset();
}

TCryptoCollections& CryptoCollections() {
  // Not there before start-up, nor once shut-down has begun (a debug
  // callback may call back in while the registry releases its modules).
  if (!GCryptoCollections) throw rtl::Exception(u"The engine registry is not available");
  return *GCryptoCollections;
}

}  // namespace selvane
