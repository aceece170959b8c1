// The program's own file name and absolute path names.
#pragma once

#include "platform/types.h"

namespace tarnwick {

// The program's own full file name, trimmed.
string OwnExePath();

// The absolute form of a path (lexical: links are not resolved); empty for
// an empty path or when the current directory is gone.
string FullPathName(const string& path);

}  // namespace tarnwick
