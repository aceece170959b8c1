// The entry-point table of "Emulation/1.0" and "Emulation/2.0".  Every entry
// passes its call on to the engine object's virtual operation of the same
// name; the entries that differ are the specialisations of TEntry below.
#include "crypto/builtin_table.h"

#include <memory>
#include <string_view>
#include <type_traits>

#include "crypto/emu1_engine.h"
#include "crypto/emu2_engine.h"
#include "crypto/root_path.h"
#include "platform/text.h"

namespace selvane {

namespace {

TCryptoEngine* AsEngine(Pointer aEngine) { return static_cast<TCryptoEngine*>(aEngine); }

// A var parameter (Integer* and LongBool* alike) that is nil.
template <class A>
constexpr bool IsNilReference(A aArg) {
  if constexpr (std::is_same_v<A, Integer*>) {
    return aArg == nullptr;
  } else {
    return false;
  }
}

// What the export's guard answers for a call that would fault: -1, or
// nothing for a procedure.
template <class R>
R FaultAnswer() {
  if constexpr (!std::is_void_v<R>) return -1;
}

// Calls aOperation on the engine unless the engine or a var parameter is nil.
template <class R, class F, class... A>
R OnEngine(Pointer aEngine, F aOperation, A... aArgs) {
  if (aEngine == nullptr || (IsNilReference(aArgs) || ...)) return FaultAnswer<R>();
  return aOperation(*AsEngine(aEngine), aArgs...);
}

// The engine's operation named like entry No (only instantiated for the
// entries that follow the rule).
template <int No>
struct TSameName;
#define SELVANE_ENTRY(No, Name, Result, Presence, Target, Kind, Params, Args) \
  template <>                                                                 \
  struct TSameName<No> {                                                      \
    template <class E, class... A>                                            \
    decltype(auto) operator()(E& aEngine, A... aArgs) const {                 \
      return aEngine.Name(aArgs...);                                          \
    }                                                                         \
  };
#include "crypto/engine_entries.def"

// The rule.
template <int No>
struct TEntry {
  template <class R, class... A>
  static R Call(Pointer aEngine, A... aArgs) {
    return OnEngine<R>(aEngine, TSameName<No>{}, aArgs...);
  }
};

// --- the entries that differ ----------------------------------------------------

// Entries that call an operation of another name with the same arguments.
template <auto Operation>
struct TCallsOperation {
  template <class R, class... A>
  static R Call(Pointer aEngine, A... aArgs) {
    return OnEngine<R>(
        aEngine, [](TCryptoEngine& e, A... a) { return (e.*Operation)(a...); }, aArgs...);
  }
};
template <> struct TEntry<18> : TCallsOperation<&TCryptoEngine::GetCurrentUID> {};
template <> struct TEntry<22> : TCallsOperation<&TCryptoEngine::SetPasswordRequest> {};
template <> struct TEntry<34> : TCallsOperation<&TCryptoEngine::ResetAllKeys> {};         // ClearCash
template <> struct TEntry<38> : TCallsOperation<&TCryptoEngine::RemoveSignature> {};      // RemoveSign
template <> struct TEntry<46> : TCallsOperation<&TCryptoEngine::GetMaxFilePathLength> {}; // always 255
// The public-key properties are the engine's reports.
template <> struct TEntry<55> : TCallsOperation<&TCryptoEngine::GetMaxReportSize> {};
template <> struct TEntry<56> : TCallsOperation<&TCryptoEngine::GetReport> {};
template <> struct TEntry<59> : TCallsOperation<&TCryptoEngine::GetReportByTransfer> {};
template <> struct TEntry<60> : TCallsOperation<&TCryptoEngine::GetReportByFile> {};

// EncodeData and DecodeData: the engine checks the size where it reads it
// (Emulation/1.0 never does, so a nil size is no fault there).
template <int No>
struct TEngineChecksReferences {
  template <class R, class... A>
  static R Call(Pointer aEngine, A... aArgs) {
    if (aEngine == nullptr) return FaultAnswer<R>();
    return TSameName<No>{}(*AsEngine(aEngine), aArgs...);
  }
};
template <> struct TEntry<14> : TEngineChecksReferences<14> {};
template <> struct TEntry<15> : TEngineChecksReferences<15> {};

// GetCryptObj: a new engine for the exact (case-sensitive) type name.
template <>
struct TEntry<0> {
  template <class R>
  static R Call(PWideChar EngineType) {
    const std::u16string_view type = EngineType != nullptr ? EngineType : u"";
    std::unique_ptr<TCryptoEngine> engine;
    if (type == u"Emulation/1.0") engine = std::make_unique<TEmu1CryptoEngine>();
    if (type == u"Emulation/2.0") engine = std::make_unique<TEmu2CryptoEngine>();
    return engine.release();  // the caller owns it until DoneEngine
  }
};

template <>
struct TEntry<1> {
  template <class R>
  static R Call(Pointer aEngine) {
    std::unique_ptr<TCryptoEngine> engine(AsEngine(aEngine));
  }
};

// IsDifferentKeys: the one-byte answer widened, true as all bits set.
template <>
struct TEntry<21> {
  template <class R>
  static R Call(Pointer aEngine) {
    return OnEngine<R>(aEngine,
                       [](TCryptoEngine& e) { return e.IsDifferentKeys() ? LongTrue : LongFalse; });
  }
};

// SetRootPath: the process-wide root first; a conflicting root raises and
// leaves the engine's own root as it was.
template <>
struct TEntry<30> {
  template <class R>
  static R Call(Pointer aEngine, PWideChar aRootPath) {
    if (aEngine == nullptr) return;
    const string path = platform::WideFrom(aRootPath);
    SetOrvRoot(path);
    AsEngine(aEngine)->SetRootPath(path);
  }
};

template <>
struct TEntry<33> {
  template <class R>
  static R Call(Pointer aEngine, Pointer aFunc) {
    OnEngine<R>(
        aEngine,
        [](TCryptoEngine& e, Pointer f) { e.SetTMRequest(reinterpret_cast<TTMRequestFunc>(f)); },
        aFunc);
  }
};

template <>
struct TEntry<36> {
  template <class R>
  static R Call(Pointer aEngine, PWideChar aPath) {
    OnEngine<R>(
        aEngine,
        [](TCryptoEngine& e, PWideChar path) { e.SetKeyTemplatePath(platform::WideFrom(path)); },
        aPath);
  }
};

// UpdateCertificateCash: "not supported" clears the cache instead.
template <>
struct TEntry<54> {
  template <class R>
  static R Call(Pointer aEngine, PWideChar aUID) {
    return OnEngine<R>(
        aEngine,
        [](TCryptoEngine& e, PWideChar uid) {
          const Integer answer = e.UpdateCertificateCash(uid);
          if (answer != -1) return answer;
          e.ResetAllKeys();
          return 0;
        },
        aUID);
  }
};

template <>
struct TEntry<73> {
  template <class R>
  static R Call(Pointer aEngine, PWideChar aOID, PWideChar aOIDName) {
    return OnEngine<R>(
        aEngine,
        [](TCryptoEngine& e, PWideChar oid, PWideChar name) {
          return e.RegisterOIDInfo(platform::WideFrom(oid), WideString(platform::WideFrom(name)));
        },
        aOID, aOIDName);
  }
};

// CheckCompatibles: the built-in engines name no compatible type.
template <>
struct TEntry<76> {
  template <class R>
  static R Call(PWideChar) {
    return 0;
  }
};

}  // namespace

// The entries themselves: C functions of the library, reached only through
// the table.
extern "C" {
#define SELVANE_ENTRY(No, Name, Result, Presence, Target, Kind, Params, Args)       \
  static Result stdcall SelvaneBuiltin##Name SELVANE_ENTRY_PARAMS(Target, Params) { \
    return TEntry<No>::Call<Result> SELVANE_ENTRY_ARGS(Target, Args);               \
  }
#include "crypto/engine_entries.def"
}

void FillEmulatorFunctions(TCryptEngineFunctions& aTable) {
#define SELVANE_ENTRY(No, Name, Result, Presence, Target, Kind, Params, Args)     \
  static_assert(std::is_same_v<decltype(&SelvaneBuiltin##Name), T##Name>, #Name); \
  aTable.Name = &SelvaneBuiltin##Name;
#include "crypto/engine_entries.def"
}

}  // namespace selvane
