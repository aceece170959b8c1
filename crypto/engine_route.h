// How a call on an engine object reaches the entry of its table: the rule,
// and the few entries whose call differs from it.  Shared by the registry's
// per-entry methods and the exports.
#pragma once

#include <type_traits>

#include "crypto/engine_functions.h"

namespace selvane {

// The rule: no table (unknown or unready type), a nil engine or a missing
// (optional) entry answers -1, procedures do nothing; otherwise the entry is
// called with the engine and the arguments unchanged.
template <class R, class F, class... A>
R ReachEntry(const TCryptEngineFunctions* aTable, Pointer aEngine,
             F TCryptEngineFunctions::*aEntry, A... aArgs) {
  F entry = aTable != nullptr && aEngine != nullptr ? aTable->*aEntry : nullptr;
  if (entry != nullptr) return entry(aEngine, aArgs...);
  if constexpr (!std::is_void_v<R>) return -1;
}

template <int No>
struct TRoute {
  template <class R, class F, class... A>
  static R Call(const TCryptEngineFunctions* aTable, Pointer aEngine,
                F TCryptEngineFunctions::*aOwn, A... aArgs) {
    return ReachEntry<R>(aTable, aEngine, aOwn, aArgs...);
  }
};

// IsDifferentKeys: false, not -1, when the entry cannot be reached.
template <>
struct TRoute<21> {
  template <class R, class F>
  static R Call(const TCryptEngineFunctions* aTable, Pointer aEngine,
                F TCryptEngineFunctions::*aOwn) {
    if (aTable == nullptr || aEngine == nullptr) return LongFalse;
    return ReachEntry<R>(aTable, aEngine, aOwn);
  }
};

// UpdateCertificateCash: an entry answer of -1 clears the cache instead.
template <>
struct TRoute<54> {
  template <class R, class F, class... A>
  static R Call(const TCryptEngineFunctions* aTable, Pointer aEngine,
                F TCryptEngineFunctions::*aOwn, A... aArgs) {
    if (aTable == nullptr || aEngine == nullptr || aTable->*aOwn == nullptr) return -1;
    const Integer answer = (aTable->*aOwn)(aEngine, aArgs...);
    if (answer != -1) return answer;
    ReachEntry<void>(aTable, aEngine, &TCryptEngineFunctions::ClearCash);
    return 0;
  }
};

// GetMaxPublicKeyPropertiesLength and GetPublicKeyProperties are served by
// the report entries; their own entries are never called.
template <>
struct TRoute<55> {
  template <class R, class F>
  static R Call(const TCryptEngineFunctions* aTable, Pointer aEngine, F TCryptEngineFunctions::*) {
    return ReachEntry<R>(aTable, aEngine, &TCryptEngineFunctions::GetMaxReportSize);
  }
};

template <>
struct TRoute<56> {
  template <class R, class F>
  static R Call(const TCryptEngineFunctions* aTable, Pointer aEngine, F TCryptEngineFunctions::*,
                PWideChar UID, PWideChar CertificateProperties) {
    return ReachEntry<R>(aTable, aEngine, &TCryptEngineFunctions::GetReport, UID,
                         CertificateProperties);
  }
};

}  // namespace selvane
