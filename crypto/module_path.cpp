#include "crypto/module_path.h"

#include "platform/modules.h"
#include "platform/text.h"

namespace selvane {

string ModulePathByHandle(NativeUInt aHandle) {
  return platform::Trim(platform::ModuleFileName(aHandle));
}

}  // namespace selvane
