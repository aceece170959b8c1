#include "crypto/engine_handle.h"

#include "crypto/engine_route.h"

namespace selvane {

// The table the engine object was made by releases it (its DoneEngine); the
// type is not looked up again.
TCryptoEngineWithName::~TCryptoEngineWithName() {
  try {
    ReachEntry<void>(Functions, EngineHandle, &TCryptEngineFunctions::DoneEngine);
  } catch (...) {
    // An engine that fails to release its object must not take the host down.
  }
  EngineType.clear();
}

}  // namespace selvane
