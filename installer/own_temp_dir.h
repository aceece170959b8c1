// A directory of this run's own under the temporary path.
#pragma once

#include "platform/backup.h"
#include "platform/types.h"

namespace tarnwick {

// Creates the directory that UniqueTempDir names for the name (with an
// empty base), its missing parents first; when another run takes that name
// first, the next name of the same sequence.  Raises rtl::EInOutError when
// it cannot be created.
platform::TOwnDirectory CreateOwnTempDir(const string& name);

}  // namespace tarnwick
