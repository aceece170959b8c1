#include "crypto/engine_handle.h"

#include "crypto/engine_registry.h"

namespace selvane {

TCryptoEngineWithName::~TCryptoEngineWithName() {
  if (EngineHandle != nullptr) {
    try {
      CryptoCollections().DoneCryptoEngine(EngineHandle, EngineType);
    } catch (...) {
      // An engine that fails to release its object must not take the host down.
    }
  }
  EngineType.clear();
}

}  // namespace selvane
