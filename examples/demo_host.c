/*
 * A host of selvane2x: lists the engine types, then runs a two-party
 * protocol on the "Emulation/2.0" engine: each party signs with its word and
 * accepts the other's, encodes for the other's UID and decodes with its own
 * word.  Every log line of the library is printed as it arrives.
 */
#include <stdio.h>
#include <string.h>

#include "selvane2x.h"

enum { TextSize = 512 };

static void PutWide(const char16_t* text) {
  for (; text != NULL && *text != 0; ++text) putchar(*text < 128 ? (char)*text : '?');
}

static void Widen(const char* text, char16_t* out) {
  while ((*out++ = (unsigned char)*text++) != 0) {
  }
}

static void OnLogLine(const char16_t* line) {
  printf("  log: ");
  PutWide(line);
  printf("\n");
}

static void SetParam(void* engine, int32_t index, const char* value) {
  char16_t wide[TextSize];
  Widen(value, wide);
  SetCryptoParamValue(engine, index, wide);
}

static void ShowResult(void* engine, const char* what, int32_t result) {
  char16_t text[TextSize];
  printf("%s: %d", what, result);
  if (result != 0) {
    GetCryptoErrorString(engine, result, text);
    printf(" (");
    PutWide(text);
    printf(")");
  }
  printf("\n");
}

static void* OpenParty(const char* name, const char* signWord, const char* verifyWord,
                       const char* decodeWord) {
  char16_t type[SELVANE_MAX_ENGINE_TYPE_LENGTH], uid[TextSize];
  void* engine;
  Widen("Emulation/2.0", type);
  engine = InitCryptoEngine(type);
  if (engine == NULL) {
    printf("%s: cannot open Emulation/2.0\n", name);
    return NULL;
  }
  SetParam(engine, 3, signWord);
  SetParam(engine, 4, verifyWord);
  SetParam(engine, 6, decodeWord);
  GetCurrentUserUID(engine, uid);
  printf("%s opened, current UID \"", name);
  PutWide(uid);
  printf("\"\n");
  return engine;
}

static void ListEngineTypes(void) {
  char16_t name[SELVANE_MAX_ENGINE_TYPE_LENGTH];
  int32_t code;
  printf("engine types:\n");
  for (code = SELVANE_FIRST_ENGINE_TYPE_CODE; code <= SELVANE_LAST_ENGINE_TYPE_CODE; ++code) {
    GetCryptoEngineTypes(code, name);
    printf("  %2d ", code);
    PutWide(name);
    /* Asking a module type's status would load its engine module. */
    if (code <= 2 || code == 21) {
      printf(": built in, status %d\n", GetCryptoEngineStatus(name));
    } else {
      printf(": engine module\n");
    }
  }
}

static void SignAndVerify(void* signer, void* verifier) {
  unsigned char data[] = "payment order 17";
  unsigned char sign[TextSize];
  char16_t uid[TextSize];
  int32_t signSize = (int32_t)sizeof sign;
  ShowResult(signer, "sign", SignData(signer, data, (int32_t)sizeof data, sign, &signSize, NULL));
  printf("signature: %.*s\n", (int)signSize, (const char*)sign);
  ShowResult(verifier, "verify by the other party",
             VerifyData(verifier, data, (int32_t)sizeof data, sign, signSize, uid));
  printf("signer UID \"");
  PutWide(uid);
  printf("\"\n");
  ShowResult(signer, "verify by the signer itself",
             VerifyData(signer, data, (int32_t)sizeof data, sign, signSize, uid));
}

static void EncodeForOther(void* sender, void* receiver, const char* receiverUid) {
  unsigned char data[] = "meet at noon";
  char16_t uid[TextSize];
  int32_t size = (int32_t)strlen((const char*)data);
  Widen(receiverUid, uid);
  ShowResult(sender, "encode", EncodeData(sender, data, &size, uid));
  ShowResult(receiver, "decode", DecodeData(receiver, data, &size, NULL));
  printf("decoded: %.*s\n", (int)size, (const char*)data);
}

static void MissingKeyFile(void* engine) {
  unsigned char data[] = "x", sign[TextSize];
  int32_t signSize = (int32_t)sizeof sign;
  SetParam(engine, 1, "Yes");
  SetParam(engine, 2, "/nonexistent/key.file");
  ShowResult(engine, "sign with a missing key file",
             SignData(engine, data, 1, sign, &signSize, NULL));
}

int main(void) {
  void *tessel, *harbor;
  SetCryptDebugCallBackProc(OnLogLine);
  ListEngineTypes();
  tessel = OpenParty("tessel", "tessel_4", "harbor", "tessel_4");
  harbor = OpenParty("harbor", "harbor", "tessel_4", "harbor");
  if (tessel == NULL || harbor == NULL) return 1;
  SignAndVerify(harbor, tessel);
  EncodeForOther(tessel, harbor, "harbor");
  MissingKeyFile(tessel);
  DoneCryptoEngine(tessel);
  DoneCryptoEngine(harbor);
  printf("closed\n");
  return 0;
}
