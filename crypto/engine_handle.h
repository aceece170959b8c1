// TCryptoEngineWithName: the handle a host gets from InitCryptoEngine.
#pragma once

#include "crypto/engine_functions.h"
#include "platform/types.h"

namespace selvane {

class TCryptoEngineWithName {
 public:
  TCryptoEngineWithName() = default;
  // Hands an engine object not yet released to its table's DoneEngine;
  // never throws.
  ~TCryptoEngineWithName();
  TCryptoEngineWithName(const TCryptoEngineWithName&) = delete;
  TCryptoEngineWithName& operator=(const TCryptoEngineWithName&) = delete;

  // Hands the engine object to its table's DoneEngine, once.
  void ReleaseEngine();

  string EngineType;               // as the host passed it
  Pointer EngineHandle = nullptr;  // the engine object; never nil in a host's handle

  // The ready table the engine object was made by.  A ready table never
  // changes, so the exports reach it without looking the type up again.
  const TCryptEngineFunctions* Functions = nullptr;
};

}  // namespace selvane
