/*
 * A host of selvane2x: lists the engine types, then runs a two-party
 * protocol on the "Emulation/2.0" engine: each party signs with its word and
 * accepts the other's, encodes for the other's UID and decodes with its own
 * word.  Every log line of the library is printed as it arrives.  Buffers are
 * sized from the engine's limits, as the header's buffer rule says.
 */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "selvane2x.h"

/* Emulation/2.0's parameters, by number. */
enum { UseKey = 1, KeyPath = 2, SignWord = 3, VerifyWord = 4, DecodeWord = 6 };

static void PutWide(const char16_t *text) {
  for (; text != NULL && *text != 0; ++text) putchar(*text < 128 ? (char)*text : '?');
}

static void OnLogLine(const char16_t *line) {
  printf("  log: ");
  PutWide(line);
  printf("\n");
}

/* A buffer for a text result of at most limit characters, or NULL when the
 * engine has no such result. */
static char16_t *TextBuffer(int32_t limit) {
  return limit < 0 ? NULL : (char16_t *)calloc((size_t)limit + 1, sizeof(char16_t));
}

static void ShowResult(void *engine, const char *what, int32_t result) {
  printf("%s: %d", what, result);
  if (result != SELVANE_OK) {
    char16_t *text = TextBuffer(GetMaxErrorStringLength(engine));
    if (text != NULL) {
      GetCryptoErrorString(engine, result, text);
      printf(" (");
      PutWide(text);
      printf(")");
      free(text);
    }
  }
  printf("\n");
}

static void *OpenParty(const char *name, const char16_t *signWord, const char16_t *verifyWord,
                       const char16_t *decodeWord) {
  void *engine = InitCryptoEngine(u"Emulation/2.0");
  char16_t *uid;
  if (engine == NULL) {
    printf("%s: cannot open Emulation/2.0\n", name);
    return NULL;
  }
  SetCryptoParamValue(engine, SignWord, signWord);
  SetCryptoParamValue(engine, VerifyWord, verifyWord);
  SetCryptoParamValue(engine, DecodeWord, decodeWord);
  uid = TextBuffer(GetMaxUIDLength(engine));
  if (uid != NULL) {
    GetCurrentUserUID(engine, uid);
    printf("%s opened, current UID \"", name);
    PutWide(uid);
    printf("\"\n");
    free(uid);
  }
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

static void SignAndVerify(void *signer, void *verifier) {
  static const unsigned char data[] = "payment order 17";
  int32_t signLimit = GetMaxSignatureLength(signer);
  unsigned char *sign = (unsigned char *)malloc(signLimit > 0 ? (size_t)signLimit : 1);
  char16_t *uid = TextBuffer(GetMaxUIDLength(verifier));
  int32_t signSize = 0;
  if (sign == NULL || uid == NULL) {
    free(sign);
    free(uid);
    return;
  }
  ShowResult(signer, "sign", SignData(signer, data, (int32_t)sizeof data, sign, &signSize, NULL));
  printf("signature: %.*s\n", (int)signSize, (const char *)sign);
  ShowResult(verifier, "verify by the other party",
             VerifyData(verifier, data, (int32_t)sizeof data, sign, signSize, uid));
  printf("signer UID \"");
  PutWide(uid);
  printf("\"\n");
  ShowResult(signer, "verify by the signer itself",
             VerifyData(signer, data, (int32_t)sizeof data, sign, signSize, uid));
  free(sign);
  free(uid);
}

/* EncodeData works in place: the buffer holds the data and the engine's
 * addition. */
static void EncodeForOther(void *sender, void *receiver, const char16_t *receiverUid) {
  static const char message[] = "meet at noon";
  int32_t size = (int32_t)strlen(message);
  int32_t addition = GetMaxEncodeAddition(sender);
  unsigned char *data = (unsigned char *)malloc((size_t)size + (addition > 0 ? (size_t)addition : 0));
  if (data == NULL) return;
  memcpy(data, message, (size_t)size);
  ShowResult(sender, "encode", EncodeData(sender, data, &size, receiverUid));
  ShowResult(receiver, "decode", DecodeData(receiver, data, &size, NULL));
  printf("decoded: %.*s\n", (int)size, (const char *)data);
  free(data);
}

static void MissingKeyFile(void *engine) {
  static const unsigned char data[] = "x";
  unsigned char sign[256];
  int32_t signSize = 0;
  SetCryptoParamValue(engine, UseKey, u"Yes");
  SetCryptoParamValue(engine, KeyPath, u"/nonexistent/key.file");
  if (GetMaxSignatureLength(engine) > (int32_t)sizeof sign) return;
  ShowResult(engine, "sign with a missing key file",
             SignData(engine, data, 1, sign, &signSize, NULL));
}

int main(void) {
  void *tessel, *harbor;
  SetCryptDebugCallBackProc(OnLogLine);
  ListEngineTypes();
  tessel = OpenParty("tessel", u"tessel_4", u"harbor", u"tessel_4");
  harbor = OpenParty("harbor", u"harbor", u"tessel_4", u"harbor");
  if (tessel == NULL || harbor == NULL) return 1;
  SignAndVerify(harbor, tessel);
  EncodeForOther(tessel, harbor, u"harbor");
  MissingKeyFile(tessel);
  DoneCryptoEngine(tessel);
  DoneCryptoEngine(harbor);
  printf("closed\n");
  return 0;
}
