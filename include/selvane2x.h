/*
 * selvane2x: the interface a host program compiles against.
 *
 * A host opens an engine by its engine type name with InitCryptoEngine, names
 * the returned handle in every further call and closes it with
 * DoneCryptoEngine.  Two engine types are built in ("Emulation/1.0" and
 * "Emulation/2.0", emulations for testing hosts that give no security); every
 * other one is served by an engine module that the library loads by file name
 * on first use.  docs/hosts.md has the engine types, the module search, the
 * built-in engines' parameters and a worked host.
 *
 * Plain C: compiles as C89 to C2x and as C++98 to C++23.  Link with
 * -lselvane2x (pkg-config selvane2x, or the CMake target selvane2x::selvane2x).
 *
 * Results.  Integer results are 0 (SELVANE_OK) on success and -1
 * (SELVANE_NOT_SUPPORTED) when the operation is not supported, the handle is
 * NULL, the engine type is unknown or unusable, an optional engine entry is
 * missing or a failure happened inside; any other value is the engine's own
 * error code, which GetCryptoErrorString turns into text.  The library passes
 * an engine module's codes through unchanged; the codes of the built-in
 * engines are the SELVANE_EMU_* constants below.  Where an export is marked
 * "engine-defined", the engine module decides what it does and the built-in
 * engines answer -1 unless the comment says otherwise.
 *
 * Texts.  Names, UIDs, paths, parameter values, error texts and reports are
 * zero-terminated UTF-16 (char16_t); public-key, certificate and request
 * transfers are zero-terminated 8-bit text; data and signatures are byte
 * buffers with a size in bytes.  A parameter declared const is only read.
 *
 * The buffer rule.  Every buffer belongs to the caller; the library never
 * allocates one for a result nor checks its size.  A GetMax* length counts
 * characters (or bytes) without the terminator, so a text buffer for a result
 * holds GetMax*() + 1 elements: an engine may write the maximum and then the
 * terminator.  The one exception is GetMaxCryptoEngineTypeLength, which
 * counts the terminator.  Ask the limits on the handle the buffer is for: they
 * are the engine's own.  A negative limit means the engine has no such
 * result; do not call the export that fills it.  Exports that size a buffer
 * otherwise say so below.
 *
 * Threads.  Every export may be called from any thread, also at the same
 * time.  Calls on different handles share only the library's process-wide
 * state (loaded engine modules, root path, debug callback), which it guards
 * itself.  Calls on one handle reach one engine object at the same time:
 * the built-in engines allow that (a parameter changed meanwhile may or may
 * not be seen by the other call), an engine module as far as it says.
 * Closing a handle while another thread still uses it is the host's error.
 *
 * Handles.  A handle is valid from InitCryptoEngine to DoneCryptoEngine.
 * Using it after DoneCryptoEngine, or after the library was unloaded, is
 * undefined and typically crashes.  Handles still open when the library is
 * unloaded are not closed: their engines are not released.
 */
#ifndef SELVANE2X_H
#define SELVANE2X_H

#include <stdint.h>
#include <uchar.h>

/* The version of the library this header belongs to. */
#define SELVANE2X_VERSION_MAJOR 1
#define SELVANE2X_VERSION_MINOR 0
#define SELVANE2X_VERSION_PATCH 0

#ifdef __cplusplus
extern "C" {
#endif

#if defined(SELVANE_BUILDING_LIBRARY)
#define SELVANE_API __attribute__((visibility("default")))
#else
#define SELVANE_API
#endif

/* Declares the export Name and its function-pointer type TNameFunc, for
 * hosts that bind the library with dlopen and dlsym. */
#define SELVANE_FUNCTION(Result, Name, Params) \
  typedef Result (*T##Name##Func) Params;      \
  SELVANE_API Result Name Params

/* Answers of the library itself. */
#define SELVANE_OK 0
#define SELVANE_NOT_SUPPORTED (-1)

/* Answers of the built-in engines. */
/* SetCryptoParamValue: there is no parameter of that number. */
#define SELVANE_EMU_NO_SUCH_PARAM 10
/* VerifyData (Emulation/2.0): the signature is longer than 255 bytes or does
 * not contain the "Verify word". */
#define SELVANE_EMU_SIGNATURE_REJECTED 100
/* Emulation/2.0: "Use key" is "Yes" and "Key path" names no file.  The
 * operation has done its work all the same (data transformed, signature or
 * UID written). */
#define SELVANE_EMU_KEY_FILE_MISSING 101
/* SaveSignedDataToFile: data and signature do not fit one buffer, or
 * building the file's contents failed. */
#define SELVANE_EMU_NO_BUFFER (-102)
/* SaveSignedDataToFile: the file could not be written (the line "Write file
 * ... error." goes to the debug callback). */
#define SELVANE_EMU_WRITE_FAILED (-106)

/* Characters of an engine type name buffer, terminator included. */
#define SELVANE_MAX_ENGINE_TYPE_LENGTH 100
/* Codes GetCryptoEngineTypes names (code 21 names "Emulation/1.0" again). */
#define SELVANE_FIRST_ENGINE_TYPE_CODE 1
#define SELVANE_LAST_ENGINE_TYPE_CODE 28

/* Host callbacks. */
/* Asked by an engine module for a password: the host writes it into aBuff
 * [out], whose size aBuffSize the engine gives as it documents, and answers
 * nonzero when it did.  The built-in engines never ask. */
typedef int32_t (*TPassRequestFunc)(char16_t *aBuff, int32_t aBuffSize);
/* Called by an engine with 0 (start) or 1 (stop) around a request to its key
 * device (TM). */
typedef int32_t (*TTMRequestFunc)(uint8_t aRequestOperation);
/* One log line, zero-terminated, valid only during the call; it has no line
 * ending of its own but may hold CR LF inside.  Called on the thread that
 * logs, possibly on several threads at once; it may call the library. */
typedef void (*TCryptDebugCallBack)(const char16_t *aLine);

/* --- Engine types and lifetime --------------------------------------------- */

/* TypeName [out, SELVANE_MAX_ENGINE_TYPE_LENGTH characters] receives the name
 * of engine type code Index (SELVANE_FIRST_ENGINE_TYPE_CODE to
 * SELVANE_LAST_ENGINE_TYPE_CODE), or the empty text for any other code.
 * Nothing is written to a NULL TypeName. */
SELVANE_FUNCTION(void, GetCryptoEngineTypes, (int32_t Index, char16_t *TypeName));

/* Always 100 (SELVANE_MAX_ENGINE_TYPE_LENGTH): characters of a type name
 * buffer, terminator included. */
SELVANE_FUNCTION(int32_t, GetMaxCryptoEngineTypeLength, (void));

/* 1 when EngineType [in] is a known engine type whose engine can be opened,
 * 0 when not (unknown, NULL, module missing or incomplete), -1 on a failure
 * inside.  Asking loads the type's engine module, which stays loaded. */
SELVANE_FUNCTION(int32_t, GetCryptoEngineStatus, (const char16_t *EngineType));

/* 1 when engine types EngineType1 and EngineType2 [in] work together: the
 * same text, or two module types that each accept the other; else 0 (also
 * for NULL).  The built-in types accept no other type. */
SELVANE_FUNCTION(int32_t, CheckEngineCompatibles,
                 (const char16_t *EngineType1, const char16_t *EngineType2));

/* Opens a new engine of EngineType [in], matched exactly (letter case
 * counts), and answers its handle; NULL when the type is unknown or unusable
 * or the engine refused (the reason goes to the debug callback).  Every call
 * opens a new, independent engine. */
SELVANE_FUNCTION(void *, InitCryptoEngine, (const char16_t *EngineType));

/* TypeName [out, SELVANE_MAX_ENGINE_TYPE_LENGTH characters] receives the
 * engine type Handle was opened with.  Nothing is written for a NULL Handle
 * or TypeName. */
SELVANE_FUNCTION(void, GetCryptoEngineType, (void *Handle, char16_t *TypeName));

/* Closes Handle and releases its engine; the handle is invalid afterwards.
 * NULL does nothing. */
SELVANE_FUNCTION(void, DoneCryptoEngine, (void *Handle));

/* Always -1: no engine offers it; Handle is not read. */
SELVANE_FUNCTION(int32_t, GenerateNewSEKMDM, (void *Handle));

/* --- Debug log and the process-wide root path ------------------------------ */

/* Sets the procedure that receives every log line of the library and of the
 * engine modules it loaded (NULL: no logging; the default).  Replaces the
 * previous one, also in every engine module that received that one. */
SELVANE_FUNCTION(void, SetCryptDebugCallBackProc, (TCryptDebugCallBack aCallBack));

/* Sets the process-wide root path aRootPath [in; NULL or empty: "/"], once
 * per process: the root's EXE/, SYSTEM/ and USER/ directories are then
 * searched for engine modules and added to PATH.  The same root again is
 * accepted; a different one is refused without an answer. */
SELVANE_FUNCTION(void, SetDllRoot, (const char16_t *aRootPath));

/* --- Engine operations, in the order of the engine entry-point table --------
 * Each passes the handle's engine and the arguments on unchanged; a NULL
 * Handle answers -1 (procedures do nothing). */

/* Bytes EncodeData may add to the data.  Built-in engines: 100. */
SELVANE_FUNCTION(int32_t, GetMaxEncodeAddition, (void *Handle));

/* Bytes of a signature (SignData's buffer).  Built-in engines: 255. */
SELVANE_FUNCTION(int32_t, GetMaxSignatureLength, (void *Handle));

/* Characters of a UID.  Built-in engines: 255. */
SELVANE_FUNCTION(int32_t, GetMaxUIDLength, (void *Handle));

/* Characters of a parameter name.  Built-in engines: 255. */
SELVANE_FUNCTION(int32_t, GetMaxCryptoParamNameLength, (void *Handle));

/* Characters of a parameter value; SetCryptoParamValue cuts longer values to
 * it.  Built-in engines: 255. */
SELVANE_FUNCTION(int32_t, GetMaxCryptoParamValueLength, (void *Handle));

/* Characters of an error text.  Built-in engines: 255. */
SELVANE_FUNCTION(int32_t, GetMaxErrorStringLength, (void *Handle));

/* The number of engine parameters, numbered from 1.  Emulation/1.0: 2,
 * Emulation/2.0: 6. */
SELVANE_FUNCTION(int32_t, GetCryptoParamNumber, (void *Handle));

/* Name [out, GetMaxCryptoParamNameLength() + 1 characters] receives the name
 * of parameter i, or the empty text when there is none. */
SELVANE_FUNCTION(void, GetCryptoParamName, (void *Handle, int32_t i, char16_t *Name));

/* Value [out, GetMaxCryptoParamValueLength() + 1 characters] receives the
 * value of parameter i, or the empty text when there is none. */
SELVANE_FUNCTION(void, GetCryptoParamValue, (void *Handle, int32_t i, char16_t *Value));

/* Sets parameter i to Value [in; NULL: the empty text], cut to
 * GetMaxCryptoParamValueLength() characters; the engine gets a copy, so Value
 * is never written.  -1 without asking the engine when that limit is
 * negative.  Built-in engines: 0, or 10 when there is no parameter i. */
SELVANE_FUNCTION(int32_t, SetCryptoParamValue, (void *Handle, int32_t i, const char16_t *Value));

/* The encryption UID that belongs to a signing UID.  Both buffers hold
 * GetMaxUIDLength() + 1 characters; which one is written is the engine's
 * matter: Emulation/2.0 copies SignUID into EncodeUID, Emulation/1.0 copies
 * EncodeUID into SignUID.  Built-in engines: 0. */
SELVANE_FUNCTION(int32_t, GetEncodeUIDBySignUID,
                 (void *Handle, char16_t *SignUID, char16_t *EncodeUID));

/* ErrorStr [out, GetMaxErrorStringLength() + 1 characters] receives the text
 * of ErrorCode.  Built-in engines: "CRYPTO ENGINE ERROR : " and the code. */
SELVANE_FUNCTION(void, GetCryptoErrorString, (void *Handle, int32_t ErrorCode, char16_t *ErrorStr));

/* Encodes the *mSize bytes at mData [in/out] in place for the recipient UID
 * [in; NULL or empty: the engine's default recipient].  mData holds *mSize +
 * GetMaxEncodeAddition() bytes; *mSize [in/out] is the data size before and
 * the encoded size after.  Emulation/2.0 adds the UID's bytes (default: the
 * "Encode word") and keeps the size; Emulation/1.0 leaves the data alone. */
SELVANE_FUNCTION(int32_t, EncodeData,
                 (void *Handle, void *mData, int32_t *mSize, const char16_t *UID));

/* Decodes the *mSize bytes at mData [in/out] in place; *mSize [in/out] as for
 * EncodeData.  UID [out, GetMaxUIDLength() + 1 characters, or NULL] is the
 * engine's: Emulation/1.0 empties it, Emulation/2.0 ignores it and subtracts
 * its "Decode word"; decoding with the wrong word answers 0 and gives
 * garbage. */
SELVANE_FUNCTION(int32_t, DecodeData,
                 (void *Handle, void *mData, int32_t *mSize, char16_t *UID));

/* Signs the mSize bytes at mData [in] with the key of UID [in; NULL: the
 * engine's own] into mSignData [out], which holds GetMaxSignatureLength()
 * bytes; *mSignSize [out] receives the signature's size (the built-in engines
 * do not read it on entry).  Emulation/2.0: the signature is the "Sign word"
 * and does not depend on the data; Emulation/1.0: size 0. */
SELVANE_FUNCTION(int32_t, SignData,
                 (void *Handle, const void *mData, int32_t mSize, void *mSignData,
                  int32_t *mSignSize, const char16_t *UID));

/* Verifies the mSignSize bytes at mSignData [in] over the mSize bytes at
 * mData [in]; UID [out, GetMaxUIDLength() + 1 characters] receives the
 * signer's UID.  Emulation/2.0: 0 when the signature contains the "Verify
 * word" (the data are not examined), the signature's text as UID; 100 when
 * not, or when it is longer than 255 bytes (UID then untouched).
 * Emulation/1.0: always 0 and an empty UID. */
SELVANE_FUNCTION(int32_t, VerifyData,
                 (void *Handle, const void *mData, int32_t mSize, const void *mSignData,
                  int32_t mSignSize, char16_t *UID));

/* aUserUID [out, GetMaxUIDLength() + 1 characters] receives the UID of the
 * engine's own key.  Emulation/2.0: the "Sign word"; Emulation/1.0: empty. */
SELVANE_FUNCTION(int32_t, GetCurrentUserUID, (void *Handle, char16_t *aUserUID));

/* Makes the engine generate a new signing key; engine-defined. */
SELVANE_FUNCTION(int32_t, GenerateNewSSK, (void *Handle));

/* Makes the engine generate a new encryption key; engine-defined. */
SELVANE_FUNCTION(int32_t, GenerateNewSEK, (void *Handle));

/* Whether the engine keeps different keys (0 false, any other value true):
 * engine-defined.  Built-in engines and unusable types: 0; a NULL Handle or
 * a failure inside: -1, which reads as true. */
SELVANE_FUNCTION(int32_t, IsDifferentKeys, (void *Handle));

/* Gives the engine the host's password callback (NULL: none).  The built-in
 * engines keep it and never call it. */
SELVANE_FUNCTION(void, SetPasswordRequestFunc, (void *Handle, TPassRequestFunc aFunc));

/* Characters of a password.  Built-in engines: 255. */
SELVANE_FUNCTION(int32_t, GetMaxPasswordLength, (void *Handle));

/* Adds the public signing key in file aFileName [in]; engine-defined. */
SELVANE_FUNCTION(int32_t, IncludePublicKey, (void *Handle, const char16_t *aFileName));

/* Adds the public encryption key in file aFileName [in]; engine-defined. */
SELVANE_FUNCTION(int32_t, IncludePublicEncodeKey, (void *Handle, const char16_t *aFileName));

/* Signs file aFileName [in]; engine-defined. */
SELVANE_FUNCTION(int32_t, SignFile, (void *Handle, const char16_t *aFileName));

/* Verifies the signatures of file aFileName [in]; aUID [in/out,
 * GetMaxUIDLength() + 1 characters] is engine-defined. */
SELVANE_FUNCTION(int32_t, VerifyFile, (void *Handle, const char16_t *aFileName, char16_t *aUID));

/* Removes the signatures from file aFileName [in]; engine-defined. */
SELVANE_FUNCTION(int32_t, RemoveSignaturesFromFile, (void *Handle, const char16_t *aFileName));

/* ErrorStr [out, GetMaxErrorStringLength() + 1 characters] receives the
 * engine's text about its last failure.  Built-in engines: the empty text. */
SELVANE_FUNCTION(void, GetLastErrorMessage, (void *Handle, char16_t *ErrorStr));

/* Sets the process-wide root path as SetDllRoot does, then the engine's own
 * root path aRootPath [in].  When the process already has a different root,
 * neither changes.  The built-in engines expand a leading "%OrvRoot%" in
 * file names to their root. */
SELVANE_FUNCTION(void, SetRootPath, (void *Handle, const char16_t *aRootPath));

/* Moves the signature from its file to the key device; engine-defined.
 * Built-in engines: 0. */
SELVANE_FUNCTION(int32_t, TransSignatureFromFileToTM, (void *Handle));

/* Moves the private key from its file to the key device; engine-defined.
 * Built-in engines: 0. */
SELVANE_FUNCTION(int32_t, TransPrivateKeyFromFileToTM, (void *Handle));

/* Gives the engine the host's key-device callback, a TTMRequestFunc passed as
 * a pointer (NULL: none).  The built-in engines keep it and never call it. */
SELVANE_FUNCTION(void, SetTMRequestFunc, (void *Handle, void *aFunc));

/* Makes the engine forget the keys and certificates it caches.  The built-in
 * engines cache nothing. */
SELVANE_FUNCTION(void, ClearCash, (void *Handle));

/* Starts a remote key generation; aPublicKeyTransfer [in/out,
 * GetMaxPublicKeyTransferSize() + 1 bytes] is engine-defined. */
SELVANE_FUNCTION(int32_t, RemoteGenerateStart, (void *Handle, char *aPublicKeyTransfer));

/* Sets the directory aPath [in] for remote key generation.  Built-in
 * engines: a leading "%OrvRoot%" (any letter case) stands for the engine's
 * root path. */
SELVANE_FUNCTION(void, SetRemoteGeneratePath, (void *Handle, const char16_t *aPath));

/* Adds the signature of UID [in] to the *mSize bytes at mData [in/out] in
 * place; mData holds *mSize + GetMaxSignAddition() bytes and *mSize [in/out]
 * is the size before and after.  Engine-defined. */
SELVANE_FUNCTION(int32_t, AddSign, (void *Handle, void *mData, int32_t *mSize, const char16_t *UID));

/* Removes a signature from the *mSize bytes at mData [in/out] in place;
 * *mSize [in/out] is the size before and after; UID [in/out,
 * GetMaxUIDLength() + 1 characters] is engine-defined. */
SELVANE_FUNCTION(int32_t, RemoveSign, (void *Handle, void *mData, int32_t *mSize, char16_t *UID));

/* Bytes AddSign may add to the data.  Built-in engines: 510. */
SELVANE_FUNCTION(int32_t, GetMaxSignAddition, (void *Handle));

/* aPublicKeyTransfer [out, GetMaxPublicKeyTransferSize() + 1 bytes]
 * receives the public-key transfer of aUID [in]; engine-defined. */
SELVANE_FUNCTION(int32_t, GetPublicKeyTransfer,
                 (void *Handle, const char16_t *aUID, char *aPublicKeyTransfer));

/* Finishes a remote key generation; aPublicKeyTransfer [in/out,
 * GetMaxPublicKeyTransferSize() + 1 bytes] is engine-defined. */
SELVANE_FUNCTION(int32_t, RemoteGenerateFinish, (void *Handle, char *aPublicKeyTransfer));

/* Saves the public key of transfer aPublicKeyTransfer [in] into aDestPath
 * [in]; engine-defined. */
SELVANE_FUNCTION(int32_t, SavePublicKeyFromTransfer,
                 (void *Handle, const char16_t *aDestPath, const char *aPublicKeyTransfer));

/* Bytes of a public-key transfer.  Built-in engines: 4096. */
SELVANE_FUNCTION(int32_t, GetMaxPublicKeyTransferSize, (void *Handle));

/* Adds the public key of transfer aPublicKeyTransfer [in]; engine-defined. */
SELVANE_FUNCTION(int32_t, IncludePublicKeyTransfer, (void *Handle, const char *aPublicKeyTransfer));

/* Takes the engine's own key out of transfer aPublicKeyTransfer [in/out,
 * GetMaxPublicKeyTransferSize() + 1 bytes]; engine-defined. */
SELVANE_FUNCTION(int32_t, ExcludeSelfPublicKeyTransfer, (void *Handle, char *aPublicKeyTransfer));

/* Characters of a file path.  Built-in engines: 255. */
SELVANE_FUNCTION(int32_t, GetMaxFilePathLength, (void *Handle));

/* The engine's kind of remote key generation; engine-defined.  Built-in
 * engines: 1. */
SELVANE_FUNCTION(int32_t, GetRemoteGenType, (void *Handle));

/* Writes the DataSize bytes at DataPtr [in] followed by the SignSize bytes
 * at SignPtr [in] to file FileName [in], replacing it.  Built-in engines:
 * "%OrvRoot%" in FileName stands for the engine's root; 0 without writing
 * when FileName is NULL or empty, DataPtr is NULL, DataSize <= 0 or
 * SignSize < 0; -102 or -106 on failure.  They write a new file beside it
 * that takes its name or, where the directory allows no new file there (not
 * writable, another user's file in a sticky directory), write the file in
 * place; a write cut short (a full disk, a file-size limit) keeps the old
 * contents and answers -106. */
SELVANE_FUNCTION(int32_t, SaveSignedDataToFile,
                 (void *Handle, const void *DataPtr, int32_t DataSize, const void *SignPtr,
                  int32_t SignSize, const char16_t *FileName));

/* aPublicKeyTransfer [out, GetMaxPublicKeyTransferSize() + 1 bytes]
 * receives the transfer of the keys in files aFilenames [in];
 * engine-defined. */
SELVANE_FUNCTION(int32_t, GetPublicKeyTransferByFile,
                 (void *Handle, char *aPublicKeyTransfer, const char16_t *aFilenames));

/* Characters of a report.  Built-in engines: -1 (no reports). */
SELVANE_FUNCTION(int32_t, GetMaxReportSize, (void *Handle));

/* Report [out, GetMaxReportSize() + 1 characters] receives the engine's
 * report on UID [in]; engine-defined. */
SELVANE_FUNCTION(int32_t, GetReport, (void *Handle, const char16_t *UID, char16_t *Report));

/* Bytes EncodeData may add when encoding for the recipients aUIDs [in],
 * separated by ";".  Built-in engines: GetMaxEncodeAddition() times the
 * number of recipients (NULL or empty: one). */
SELVANE_FUNCTION(int32_t, GetMaxAdditionEx, (void *Handle, const char16_t *aUIDs));

/* aUID [out, GetMaxUIDLength() + 1 characters] receives the UID of transfer
 * aPublicKeyTransfer [in]; engine-defined. */
SELVANE_FUNCTION(int32_t, GetUIDByPublicKeyTransfer,
                 (void *Handle, const char *aPublicKeyTransfer, char16_t *aUID));

/* Refreshes the engine's cached certificate of aUID [in].  When the engine
 * answers -1 the library calls ClearCash instead and answers 0, so the
 * built-in engines answer 0. */
SELVANE_FUNCTION(int32_t, UpdateCertificateCash, (void *Handle, const char16_t *aUID));

/* The same as GetMaxReportSize. */
SELVANE_FUNCTION(int32_t, GetMaxPublicKeyPropertiesLength, (void *Handle));

/* The same as GetReport: CertificateProperties [out, GetMaxReportSize() + 1
 * characters] receives the report on UID [in]. */
SELVANE_FUNCTION(int32_t, GetPublicKeyProperties,
                 (void *Handle, const char16_t *UID, char16_t *CertificateProperties));

/* Starts a remote key generation in steps; aNewUID [in/out,
 * GetMaxUIDLength() + 1 characters], aPublicKeyTransfer [in/out,
 * GetMaxPublicKeyTransferSize() + 1 bytes] and *aStep [in/out] are
 * engine-defined. */
SELVANE_FUNCTION(int32_t, RemoteGenerateStartEx,
                 (void *Handle, char16_t *aNewUID, char *aPublicKeyTransfer, int32_t *aStep));

/* Finishes a remote key generation in steps; aPublicKeyTransfer and *aStep
 * [in/out] as for RemoteGenerateStartEx; engine-defined. */
SELVANE_FUNCTION(int32_t, RemoteGenerateFinishEx,
                 (void *Handle, char *aPublicKeyTransfer, int32_t *aStep));

/* CertificateProperties [out, GetMaxReportSize() + 1 characters] receives
 * the properties of the key in transfer aPublicKeyTransfer [in];
 * engine-defined. */
SELVANE_FUNCTION(int32_t, GetPublicKeyPropertiesByTransfer,
                 (void *Handle, const char *aPublicKeyTransfer, char16_t *CertificateProperties));

/* CertificateProperties [out, GetMaxReportSize() + 1 characters] receives
 * the properties of the key in file aFilename [in]; engine-defined. */
SELVANE_FUNCTION(int32_t, GetPublicKeyPropertiesByFile,
                 (void *Handle, const char16_t *aFilename, char16_t *CertificateProperties));

/* Adds the CA certificate of transfer aPublicKeyTransfer [in];
 * engine-defined. */
SELVANE_FUNCTION(int32_t, IncludeCACertificateFromTransfer,
                 (void *Handle, const char *aPublicKeyTransfer));

/* Creates the engine's directories for its own certificate and the CA
 * certificates; selfcert and CaCertificates [in/out] are engine-defined. */
SELVANE_FUNCTION(int32_t, CreateDirStructure,
                 (void *Handle, char16_t *selfcert, char16_t *CaCertificates));

/* Removes the certificate of UID [in]; engine-defined. */
SELVANE_FUNCTION(int32_t, RemoveCertificate, (void *Handle, const char16_t *UID));

/* VerifyData without checking that the signer's certificate is valid.
 * Built-in engines: exactly VerifyData. */
SELVANE_FUNCTION(int32_t, VerifySignWOCheckValidity,
                 (void *Handle, const void *mData, int32_t mSize, const void *mSignData,
                  int32_t mSignSize, char16_t *UID));

/* *aMatchResult [out] tells whether certificate transfer
 * aCertificateTransfer [in] answers request transfer aRequestTransfer [in]
 * (0 no, any other value yes).  Built-in engines: 0, and -1 (yes) for every
 * pair. */
SELVANE_FUNCTION(int32_t, CertAndRequestTransferMatch,
                 (void *Handle, const char *aCertificateTransfer, const char *aRequestTransfer,
                  int32_t *aMatchResult));

/* Adds the certificate revocation list in file aCRLFileName [in];
 * engine-defined. */
SELVANE_FUNCTION(int32_t, IncludeCRL, (void *Handle, const char16_t *aCRLFileName));

/* Turns request transfer aRequestTransfer [in/out,
 * GetMaxPublicKeyTransferSize() + 1 bytes] into a signed request in place;
 * engine-defined. */
SELVANE_FUNCTION(int32_t, ConvertTransferToSignedRequest, (void *Handle, char *aRequestTransfer));

/* The exports from here on reach optional engine entries: -1 when the engine
 * module lacks the entry. */

/* Hashes the aBufSize bytes at aBuffer [in] into aHashBuffer [out];
 * *aHashSize [in/out] is the buffer's size in bytes before and the hash's
 * after; aOutType is engine-defined.  Engine-defined. */
SELVANE_FUNCTION(int32_t, HashData,
                 (void *Handle, const void *aBuffer, uint32_t aBufSize, int32_t aOutType,
                  void *aHashBuffer, int32_t *aHashSize));

/* aPureSign [out] receives the signature's bare value for the aSignSize bytes
 * at aSign [in]; *aPureSignLen [in/out] is the buffer's size in bytes before
 * and the size needed after.  Built-in engines: the bytes as upper-case hex
 * digits (a blank and CR LF after every 255 bytes) and a zero byte; a NULL
 * aPureSign asks for the size (0), a buffer too small answers -1, a NULL aSign
 * or size 0 answers -1 and writes nothing; aOutType is not used. */
SELVANE_FUNCTION(int32_t, GetPureSign,
                 (void *Handle, const void *aSign, uint32_t aSignSize, int32_t aOutType,
                  void *aPureSign, int32_t *aPureSignLen));

/* Shows the certificate of aUID [in] to the user; engine-defined. */
SELVANE_FUNCTION(int32_t, ShowCertificate, (void *Handle, const char16_t *aUID));

/* UID [out, GetMaxUIDLength() + 1 characters] receives the UID of the
 * certificate that CertIdent [in] identifies; engine-defined. */
SELVANE_FUNCTION(int32_t, GetUIDByCertIdent, (void *Handle, const char16_t *CertIdent, char16_t *UID));

/* Installs the engine's certificates for the usages aEKUoids [in] in the
 * system's certificate store; engine-defined. */
SELVANE_FUNCTION(int32_t, InstallCertsInMyStore, (void *Handle, const char16_t *aEKUoids));

/* Registers the name aOIDName [in] of object identifier aOID [in];
 * engine-defined. */
SELVANE_FUNCTION(int32_t, RegisterOIDInfo,
                 (void *Handle, const char16_t *aOID, const char16_t *aOIDName));

/* Describes parameter aParamNum: *aParamType [out], and aParamInfo [out]
 * with *aInfoLength [in/out] its size in bytes before and after;
 * engine-defined. */
SELVANE_FUNCTION(int32_t, GetParamInfo,
                 (void *Handle, int32_t aParamNum, int32_t *aParamType, void *aParamInfo,
                  int32_t *aInfoLength));

/* Hands the engine the aDataSize bytes at aData [in] as data type aDataType
 * with aFlags.  Built-in engines: 16 (0), 18 delete-key callback, 19 owner
 * window (aData points to a 32-bit window handle), 20 show-info callback
 * (aData is the procedure) answer 0; every other type -1. */
SELVANE_FUNCTION(int32_t, Import,
                 (void *Handle, int32_t aDataType, int32_t aFlags, const void *aData,
                  int32_t aDataSize));

/* Asks the engine for data type aDataType, given aParamData [in] of
 * aParamDataSize bytes and aFlags, into aData [out]; *aDataSize [in/out] is
 * the buffer's size in bytes before and the data's after.  A NULL aData asks
 * for the size (0); a buffer too small answers -1 with the size needed.
 * Built-in engines: 20 signs and verifies a fixed text with the key of the
 * UID in aData (in/out, 2 * GetMaxUIDLength() bytes or more) and leaves the
 * signer's UID there; 27 answers whether the engine works with engine type
 * code aFlags + 1 (aData 4 bytes; -1 for the built-in engines); every other
 * type -1. */
SELVANE_FUNCTION(int32_t, ExportObject,
                 (void *Handle, int32_t aDataType, const void *aParamData, int32_t aParamDataSize,
                  int32_t aFlags, void *aData, int32_t *aDataSize));

#ifdef __cplusplus
}
#endif

#endif /* SELVANE2X_H */
