// The public header in a C++ host: everything a C host sees, and read-only
// texts taken as they are written.
#include "header_check.c"

#if __cplusplus >= 201103L
void* HeaderCheckOpenLiteral();
void* HeaderCheckOpenLiteral() {
  return GetCryptoEngineStatus(u"Emulation/2.0") == 1 ? InitCryptoEngine(u"Emulation/2.0") : 0;
}
#endif
