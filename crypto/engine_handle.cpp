#include "crypto/engine_handle.h"

#include <utility>

#include "crypto/engine_route.h"
#include "platform/threads.h"
#include "runtime/guard.h"

namespace selvane {

// The table the engine object was made by releases it (its DoneEngine); the
// type is not looked up again.  The object is taken out first, so that it
// is released once however the call ends.
void TCryptoEngineWithName::ReleaseEngine() {
  const Pointer engine = std::exchange(EngineHandle, nullptr);
  ReachEntry<void>(Functions, engine, &TCryptEngineFunctions::DoneEngine);
}

TCryptoEngineWithName::~TCryptoEngineWithName() {
  // A destructor cannot pass a cancelled thread's unwind on.
  const platform::TCancellationHold hold;
  // An engine that fails to release its object must not take the host down.
  rtl::Guarded([&] { ReleaseEngine(); });
  EngineType.clear();
}

}  // namespace selvane
