#include "installer/pel_sys_tools.h"

#include "crypto/module_path.h"
#include "platform/files.h"

namespace tarnwick {

string OwnExePath() { return selvane::ModulePathByHandle(0); }

string FullPathName(const string& path) { return platform::AbsolutePath(path); }

}  // namespace tarnwick
