// The entry-point table of the two built-in engine types.
#pragma once

#include "crypto/engine_functions.h"

namespace selvane {

// Writes the 78 built-in entries into the table.
void FillEmulatorFunctions(TCryptEngineFunctions& aTable);

}  // namespace selvane
