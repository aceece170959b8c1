/* The public header on its own, as a host compiles it in each C and C++
 * standard: the exports with their pointer types, the named answers, and
 * the version the project builds. */
#include "selvane2x.h"

#if SELVANE2X_VERSION_MAJOR != SELVANE2X_EXPECTED_MAJOR || \
    SELVANE2X_VERSION_MINOR != SELVANE2X_EXPECTED_MINOR || \
    SELVANE2X_VERSION_PATCH != SELVANE2X_EXPECTED_PATCH
#error "selvane2x.h gives another version than the project's"
#endif

int HeaderCheckBinding(void);

/* A host that binds the library by dlsym keeps each export in its type. */
int HeaderCheckBinding(void) {
  TGetCryptoEngineTypesFunc types = GetCryptoEngineTypes;
  TInitCryptoEngineFunc open = InitCryptoEngine;
  TSignDataFunc sign = SignData;
  TExportObjectFunc exportObject = ExportObject;
  TSetCryptDebugCallBackProcFunc setLog = SetCryptDebugCallBackProc;
  return types != 0 && open != 0 && sign != 0 && exportObject != 0 && setLog != 0 &&
         SELVANE_OK == 0 && SELVANE_NOT_SUPPORTED == -1;
}
