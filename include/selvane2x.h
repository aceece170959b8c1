/*
 * selvane2x: the interface a host program compiles against.
 *
 * A host opens an engine by its engine type name with InitCryptoEngine, names
 * the returned handle in every further call and closes it with
 * DoneCryptoEngine.  Integer results: 0 success, -1 not supported (or no
 * engine behind the handle, or an unknown or unusable engine type, or a
 * failure inside), any other value an engine error code that
 * GetCryptoErrorString turns into text.
 *
 * Texts: names, UIDs, paths, parameter values, error texts and reports are
 * zero-terminated UTF-16 (char16_t); public-key transfers, requests and pure
 * signatures zero-terminated 8-bit text; data and signatures byte buffers
 * with a size.  Every output buffer belongs to the caller, who sizes it with
 * the GetMax* functions of the same handle (sizes of UTF-16 buffers in
 * characters unless a function says bytes).
 */
#ifndef SELVANE2X_H
#define SELVANE2X_H

#include <stdint.h>
#include <uchar.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(SELVANE_BUILDING_LIBRARY)
#define SELVANE_API __attribute__((visibility("default")))
#else
#define SELVANE_API
#endif

/* Characters of an engine type name, terminator included. */
#define SELVANE_MAX_ENGINE_TYPE_LENGTH 100
/* Codes GetCryptoEngineTypes names (code 21 names "Emulation/1.0" again). */
#define SELVANE_FIRST_ENGINE_TYPE_CODE 1
#define SELVANE_LAST_ENGINE_TYPE_CODE 28

/* Host callbacks. */
typedef int32_t (*TPassRequestFunc)(char16_t* aBuff, int32_t aBuffSize);
typedef int32_t (*TTMRequestFunc)(uint8_t aRequestOperation); /* 0 start, 1 stop */
typedef void (*TCryptDebugCallBack)(const char16_t* aLine);   /* one line, no line ending */

/* Engine types and lifetime. */
SELVANE_API void GetCryptoEngineTypes(int32_t Index, char16_t* TypeName);
SELVANE_API int32_t GetMaxCryptoEngineTypeLength(void);
SELVANE_API int32_t GetCryptoEngineStatus(char16_t* EngineType);
SELVANE_API int32_t CheckEngineCompatibles(char16_t* EngineType1, char16_t* EngineType2);
SELVANE_API void* InitCryptoEngine(char16_t* EngineType);
SELVANE_API void GetCryptoEngineType(void* Handle, char16_t* TypeName);
SELVANE_API void DoneCryptoEngine(void* Handle);

/* Always -1: no engine offers it. */
SELVANE_API int32_t GenerateNewSEKMDM(void* Handle);

/* Debug log and the process-wide root path. */
SELVANE_API void SetCryptDebugCallBackProc(TCryptDebugCallBack aCallBack);
SELVANE_API void SetDllRoot(char16_t* aRootPath);

/* Engine operations, in the order of the engine entry-point table.  Each
 * passes the handle's engine and the arguments on unchanged. */
SELVANE_API int32_t GetMaxEncodeAddition(void* Handle);
SELVANE_API int32_t GetMaxSignatureLength(void* Handle);
SELVANE_API int32_t GetMaxUIDLength(void* Handle);
SELVANE_API int32_t GetMaxCryptoParamNameLength(void* Handle);
SELVANE_API int32_t GetMaxCryptoParamValueLength(void* Handle);
SELVANE_API int32_t GetMaxErrorStringLength(void* Handle);
SELVANE_API int32_t GetCryptoParamNumber(void* Handle);
SELVANE_API void GetCryptoParamName(void* Handle, int32_t i, char16_t* Name);
SELVANE_API void GetCryptoParamValue(void* Handle, int32_t i, char16_t* Value);
SELVANE_API int32_t SetCryptoParamValue(void* Handle, int32_t i, char16_t* Value);
SELVANE_API int32_t GetEncodeUIDBySignUID(void* Handle, char16_t* SignUID, char16_t* EncodeUID);
SELVANE_API void GetCryptoErrorString(void* Handle, int32_t ErrorCode, char16_t* ErrorStr);
SELVANE_API int32_t EncodeData(void* Handle, void* mData, int32_t* mSize, char16_t* UID);
SELVANE_API int32_t DecodeData(void* Handle, void* mData, int32_t* mSize, char16_t* UID);
SELVANE_API int32_t SignData(void* Handle, void* mData, int32_t mSize, void* mSignData, int32_t* mSignSize, char16_t* UID);
SELVANE_API int32_t VerifyData(void* Handle, void* mData, int32_t mSize, void* mSignData, int32_t mSignSize, char16_t* UID);
SELVANE_API int32_t GetCurrentUserUID(void* Handle, char16_t* aUserUID);
SELVANE_API int32_t GenerateNewSSK(void* Handle);
SELVANE_API int32_t GenerateNewSEK(void* Handle);
SELVANE_API int32_t IsDifferentKeys(void* Handle);
SELVANE_API void SetPasswordRequestFunc(void* Handle, TPassRequestFunc aFunc);
SELVANE_API int32_t GetMaxPasswordLength(void* Handle);
SELVANE_API int32_t IncludePublicKey(void* Handle, char16_t* aFileName);
SELVANE_API int32_t IncludePublicEncodeKey(void* Handle, char16_t* aFileName);
SELVANE_API int32_t SignFile(void* Handle, char16_t* aFileName);
SELVANE_API int32_t VerifyFile(void* Handle, char16_t* aFileName, char16_t* aUID);
SELVANE_API int32_t RemoveSignaturesFromFile(void* Handle, char16_t* aFileName);
SELVANE_API void GetLastErrorMessage(void* Handle, char16_t* ErrorStr);
SELVANE_API void SetRootPath(void* Handle, char16_t* aRootPath);
SELVANE_API int32_t TransSignatureFromFileToTM(void* Handle);
SELVANE_API int32_t TransPrivateKeyFromFileToTM(void* Handle);
SELVANE_API void SetTMRequestFunc(void* Handle, void* aFunc);
SELVANE_API void ClearCash(void* Handle);
SELVANE_API int32_t RemoteGenerateStart(void* Handle, char* aPublicKeyTransfer);
SELVANE_API void SetRemoteGeneratePath(void* Handle, char16_t* aPath);
SELVANE_API int32_t AddSign(void* Handle, void* mData, int32_t* mSize, char16_t* UID);
SELVANE_API int32_t RemoveSign(void* Handle, void* mData, int32_t* mSize, char16_t* UID);
SELVANE_API int32_t GetMaxSignAddition(void* Handle);
SELVANE_API int32_t GetPublicKeyTransfer(void* Handle, char16_t* aUID, char* aPublicKeyTransfer);
SELVANE_API int32_t RemoteGenerateFinish(void* Handle, char* aPublicKeyTransfer);
SELVANE_API int32_t SavePublicKeyFromTransfer(void* Handle, char16_t* aDestPath, char* aPublicKeyTransfer);
SELVANE_API int32_t GetMaxPublicKeyTransferSize(void* Handle);
SELVANE_API int32_t IncludePublicKeyTransfer(void* Handle, char* aPublicKeyTransfer);
SELVANE_API int32_t ExcludeSelfPublicKeyTransfer(void* Handle, char* aPublicKeyTransfer);
SELVANE_API int32_t GetMaxFilePathLength(void* Handle);
SELVANE_API int32_t GetRemoteGenType(void* Handle);
SELVANE_API int32_t SaveSignedDataToFile(void* Handle, void* DataPtr, int32_t DataSize, void* SignPtr, int32_t SignSize, char16_t* FileName);
SELVANE_API int32_t GetPublicKeyTransferByFile(void* Handle, char* aPublicKeyTransfer, char16_t* aFilenames);
SELVANE_API int32_t GetMaxReportSize(void* Handle);
SELVANE_API int32_t GetReport(void* Handle, char16_t* UID, char16_t* Report);
SELVANE_API int32_t GetMaxAdditionEx(void* Handle, char16_t* aUIDs);
SELVANE_API int32_t GetUIDByPublicKeyTransfer(void* Handle, char* aPublicKeyTransfer, char16_t* aUID);
SELVANE_API int32_t UpdateCertificateCash(void* Handle, char16_t* aUID);
SELVANE_API int32_t GetMaxPublicKeyPropertiesLength(void* Handle);
SELVANE_API int32_t GetPublicKeyProperties(void* Handle, char16_t* UID, char16_t* CertificateProperties);
SELVANE_API int32_t RemoteGenerateStartEx(void* Handle, char16_t* aNewUID, char* aPublicKeyTransfer, int32_t* aStep);
SELVANE_API int32_t RemoteGenerateFinishEx(void* Handle, char* aPublicKeyTransfer, int32_t* aStep);
SELVANE_API int32_t GetPublicKeyPropertiesByTransfer(void* Handle, char* aPublicKeyTransfer, char16_t* CertificateProperties);
SELVANE_API int32_t GetPublicKeyPropertiesByFile(void* Handle, char16_t* aFilename, char16_t* CertificateProperties);
SELVANE_API int32_t IncludeCACertificateFromTransfer(void* Handle, char* aPublicKeyTransfer);
SELVANE_API int32_t CreateDirStructure(void* Handle, char16_t* selfcert, char16_t* CaCertificates);
SELVANE_API int32_t RemoveCertificate(void* Handle, char16_t* UID);
SELVANE_API int32_t VerifySignWOCheckValidity(void* Handle, void* mData, int32_t mSize, void* mSignData, int32_t mSignSize, char16_t* UID);
SELVANE_API int32_t CertAndRequestTransferMatch(void* Handle, char* aCertificateTransfer, char* aRequestTransfer, int32_t* aMatchResult);
SELVANE_API int32_t IncludeCRL(void* Handle, char16_t* aCRLFileName);
SELVANE_API int32_t ConvertTransferToSignedRequest(void* Handle, char* aRequestTransfer);
SELVANE_API int32_t HashData(void* Handle, void* aBuffer, uint32_t aBufSize, int32_t aOutType, void* aHashBuffer, int32_t* aHashSize);
SELVANE_API int32_t GetPureSign(void* Handle, void* aSign, uint32_t aSignSize, int32_t aOutType, void* aPureSign, int32_t* aPureSignLen);
SELVANE_API int32_t ShowCertificate(void* Handle, char16_t* aUID);
SELVANE_API int32_t GetUIDByCertIdent(void* Handle, char16_t* CertIdent, char16_t* UID);
SELVANE_API int32_t InstallCertsInMyStore(void* Handle, char16_t* aEKUoids);
SELVANE_API int32_t RegisterOIDInfo(void* Handle, char16_t* aOID, char16_t* aOIDName);
SELVANE_API int32_t GetParamInfo(void* Handle, int32_t aParamNum, int32_t* aParamType, void* aParamInfo, int32_t* aInfoLength);
SELVANE_API int32_t Import(void* Handle, int32_t aDataType, int32_t aFlags, void* aData, int32_t aDataSize);
SELVANE_API int32_t ExportObject(void* Handle, int32_t aDataType, void* aParamData, int32_t aParamDataSize, int32_t aFlags, void* aData, int32_t* aDataSize);

#ifdef __cplusplus
}
#endif

#endif /* SELVANE2X_H */
