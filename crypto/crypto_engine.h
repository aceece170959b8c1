// TCryptoEngine: the abstract engine object behind a built-in engine type.
// Every operation is virtual with a default result, so an engine class
// overrides only what it supports.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

#include "crypto/engine_functions.h"
#include "crypto/engine_utils.h"
#include "crypto/rw_lock.h"
#include "platform/types.h"

namespace selvane {

using HWND = Cardinal;  // a window handle is a 32-bit value
using WideString = std::u16string;

// Host callbacks an engine keeps (TPassRequestFunc: engine_functions.h).
using TPassRequestExFunc = LongBool(stdcall*)(PWideChar KeyName, PWideChar aBuff,
                                               Integer aBuffSize);
using TPassRequestEx2Func = LongBool(stdcall*)(PWideChar KeyName, PWideChar aBuff,
                                                Integer aBuffSize, Integer Flags);
using TShowInfoFunc = Integer(stdcall*)(Integer aType, PWideChar aInfo);
enum TTMRequest : std::uint8_t { StartTMRequest = 0, StopTMRequest = 1 };
using TTMRequestFunc = Integer(stdcall*)(TTMRequest aRequestOperation);
using TDelKeyRequestFunc = Integer(stdcall*)(PWideChar aKeyName, Pointer aData, Integer aSize);

// Parameter lists of the protected operations (columns of engine_operations.def).
#define SELVANE_OP_PARAMS_None ()
#define SELVANE_OP_PARAMS_ImportData (Integer aFlags, Pointer aData, Integer aDataSize)
#define SELVANE_OP_PARAMS_ImportPointer (Integer aFlags, Pointer aData)
#define SELVANE_OP_PARAMS_ImportBoolean (bool aValue)
#define SELVANE_OP_PARAMS_ExportA (Integer aFlags, Pointer aParamData, Pointer aData, Integer* aDataSize)
#define SELVANE_OP_PARAMS_ExportB (Integer aFlags, Pointer aData, Integer* aDataSize)
#define SELVANE_OP_PARAMS_ExportC \
  (Integer aFlags, Pointer aParamData, Integer aParamDataSize, Pointer aData, Integer* aDataSize)
#define SELVANE_OP_PARAMS_ExportD \
  (Pointer aParamData, Integer aParamDataSize, Integer aFlags, Pointer aData, Integer* aDataSize)
#define SELVANE_OP_PARAMS_ExportE                                                          \
  (Integer aDataType, Pointer aParamData, Integer aParamDataSize, Integer aFlags, Pointer aData, \
   Integer* aDataSize)
#define SELVANE_OP_PARAMS_ExportValue (Pointer aData, Integer aDataSize)
#define SELVANE_OP_PARAMS_Compatibility \
  (const string& EngineTypeName, const string& ParamText, bool* Compatible)
#define SELVANE_OP_PARAMS(Family) SELVANE_OP_PARAMS_##Family

// The same parameters' names, for forwarding.
#define SELVANE_OP_ARGS_None ()
#define SELVANE_OP_ARGS_ImportData (aFlags, aData, aDataSize)
#define SELVANE_OP_ARGS_ImportPointer (aFlags, aData)
#define SELVANE_OP_ARGS_ImportBoolean (aValue)
#define SELVANE_OP_ARGS_ExportA (aFlags, aParamData, aData, aDataSize)
#define SELVANE_OP_ARGS_ExportB (aFlags, aData, aDataSize)
#define SELVANE_OP_ARGS_ExportC (aFlags, aParamData, aParamDataSize, aData, aDataSize)
#define SELVANE_OP_ARGS_ExportD (aParamData, aParamDataSize, aFlags, aData, aDataSize)
#define SELVANE_OP_ARGS_ExportE (aDataType, aParamData, aParamDataSize, aFlags, aData, aDataSize)
#define SELVANE_OP_ARGS_ExportValue (aData, aDataSize)
#define SELVANE_OP_ARGS_Compatibility (EngineTypeName, ParamText, Compatible)
#define SELVANE_OP_ARGS(Family) SELVANE_OP_ARGS_##Family

// 32-bit sums and products of limits wrap, as the engine's integers do.
inline Integer WrapAdd(Integer a, Integer b) {
  return static_cast<Integer>(static_cast<Cardinal>(a) + static_cast<Cardinal>(b));
}
inline Integer WrapMul(Integer a, Integer b) {
  return static_cast<Integer>(static_cast<Cardinal>(a) * static_cast<Cardinal>(b));
}

class TCryptoEngine {
 public:
  // Create.  An engine class calls it first, then fills its parameters with
  // AddParam.
  TCryptoEngine();
  virtual ~TCryptoEngine();
  TCryptoEngine(const TCryptoEngine&) = delete;
  TCryptoEngine& operator=(const TCryptoEngine&) = delete;

  // Properties.
  TPassRequestFunc OnPasswordRequest() const { return FPassReqFunc; }
  TPassRequestExFunc OnPasswordRequestEx() const { return FPassReqExFunc; }
  TPassRequestEx2Func OnPasswordRequestEx2() const { return FPassReqEx2Func; }
  void SetOnPasswordRequestEx2(TPassRequestEx2Func Value) { FPassReqEx2Func = Value; }
  string RootPath() const;
  TTMRequestFunc TMRequest() const { return FTMRequestFunc; }
  void SetTMRequest(TTMRequestFunc Value) { FTMRequestFunc = Value; }
  string KeyTemplatePath() const;

  // Virtual operations, in slot order.  A nil buffer given for a result is
  // never written.
  virtual void SetPasswordRequest(TPassRequestFunc Value) { FPassReqFunc = Value; }
  virtual void SetPasswordRequestEx(TPassRequestExFunc Value) { FPassReqExFunc = Value; }
  virtual void SetKeyTemplatePath(const string& Value);
  virtual Integer GetMaxEncodeAddition() { return 255; }
  virtual Integer GetMaxSignatureLength() { return 255; }
  virtual Integer GetMaxUIDLength() { return 255; }
  virtual Integer GetMaxCryptoParamNameLength() { return 255; }
  virtual Integer GetMaxCryptoParamValueLength() { return 1024; }
  virtual Integer GetMaxErrorStringLength() { return 255; }
  virtual Integer GetMaxPasswordLength() { return 255; }
  virtual Integer GetCryptoParamNumber();
  virtual void GetCryptoParamName(Integer i, PWideChar Name);
  virtual void GetCryptoParamValue(Integer i, PWideChar Value);
  virtual Integer SetCryptoParamValue(Integer i, PWideChar Value);
  virtual Integer GetEncodeUIDBySignUID(PWideChar SignUID, PWideChar EncodeUID) = 0;
  virtual Integer GetCurrentUID(PWideChar CurrentUID) = 0;
  virtual void GetCryptoErrorString(Integer ErrorCode, PWideChar ErrorStr);
  virtual Integer EncodeData(Pointer mData, Integer* mSize, PWideChar UID) = 0;
  virtual Integer DecodeData(Pointer mData, Integer* mSize, PWideChar UID) = 0;
  virtual Integer SignData(Pointer mData, Integer mSize, Pointer mSignData, Integer* mSignSize,
                           PWideChar UID) = 0;
  virtual Integer VerifyData(Pointer mData, Integer mSize, Pointer mSignData, Integer mSignSize,
                             PWideChar UID) = 0;
  virtual Integer IncludePublicKey(PWideChar /*aFileName*/) { return -1; }
  virtual void ResetAllKeys() {}
  virtual Integer UpdateCertificateCash(PWideChar /*aUID*/) { return -1; }
  virtual Integer RemoveCertificate(PWideChar /*UID*/) { return -1; }
  virtual Integer IncludeCRL(PWideChar /*aCRLFileName*/) { return -1; }
  virtual void GetLastErrorMessage(PWideChar ErrorStr);
  virtual Integer GenerateNewSSK() { return -1; }
  virtual Integer GenerateNewSEK() { return -1; }
  virtual bool IsDifferentKeys() { return false; }
  virtual Integer IncludePublicEncodeKey(PWideChar /*aFileName*/) { return -1; }
  virtual Integer SignFile(PWideChar /*aFileName*/) { return -1; }
  virtual Integer VerifyFile(PWideChar /*aFileName*/, PWideChar /*aUID*/) { return -1; }
  virtual Integer RemoveSignaturesFromFile(PWideChar /*aFileName*/) { return -1; }
  virtual Integer TransPrivateKeyFromFileToTM() { return -1; }
  virtual Integer TransSignatureFromFileToTM() { return -1; }
  virtual Integer GetMaxPublicKeyTransferSize() { return 4096; }
  virtual Integer RemoteGenerateStart(PAnsiChar /*aPublicKeyTransfer*/) { return -1; }
  virtual Integer RemoteGenerateFinish(PAnsiChar /*aPublicKeyTransfer*/) { return -1; }
  virtual Integer ExcludeSelfPublicKeyTransfer(PAnsiChar /*aPublicKeyTransfer*/) { return -1; }
  virtual Integer IncludePublicKeyTransfer(PAnsiChar /*aPublicKeyTransfer*/) { return -1; }
  virtual Integer GetPublicKeyTransfer(PWideChar /*aUID*/, PAnsiChar /*aPublicKeyTransfer*/) {
    return -1;
  }
  virtual Integer SavePublicKeyFromTransfer(PWideChar /*aDestPath*/,
                                            PAnsiChar /*aPublicKeyTransfer*/) {
    return -1;
  }
  virtual Integer RemoteGenerateStartEx(PWideChar /*aNewUID*/, PAnsiChar /*aPublicKeyTransfer*/,
                                        Integer* /*aStep*/) {
    return -1;
  }
  virtual Integer RemoteGenerateFinishEx(PAnsiChar /*aPublicKeyTransfer*/, Integer* /*aStep*/) {
    return -1;
  }
  virtual Integer GetPublicKeyTransferByFile(PAnsiChar /*aPublicKeyTransfer*/,
                                             PWideChar /*aFilenames*/) {
    return -1;
  }
  virtual Integer IncludeCACertificateFromTransfer(PAnsiChar /*aPublicKeyTransfer*/) { return -1; }
  virtual Integer AddSign(Pointer /*mData*/, Integer* /*mSize*/, PWideChar /*UID*/) { return -1; }
  virtual Integer RemoveSignature(Pointer /*mData*/, Integer* /*mSize*/, PWideChar /*UID*/) {
    return -1;
  }
  virtual Integer GetMaxSignAddition();
  virtual Integer GetMaxMultiEncodeAddition(Integer aUserCount);
  virtual Integer SaveSignedDataToFile(Pointer DataPtr, Integer DataSize, Pointer SignPtr,
                                       Integer SignSize, PWideChar FileName);
  virtual Integer GetRemoteGenType() { return 1; }
  virtual Integer GetMaxReportSize() { return -1; }
  virtual Integer GetReport(PWideChar /*UID*/, PWideChar /*Report*/) { return -1; }
  virtual Integer GetMaxAdditionEx(PWideChar aUIDs);
  virtual Integer GetUIDByPublicKeyTransfer(PAnsiChar /*aPublicKeyTransfer*/, PWideChar /*UID*/) {
    return -1;
  }
  virtual Integer GetReportByTransfer(PAnsiChar /*aPublicKeyTransfer*/, PWideChar /*Report*/) {
    return -1;
  }
  virtual Integer GetReportByFile(PWideChar /*aFilename*/, PWideChar /*Report*/) { return -1; }
  virtual Integer CreateDirStructure(PWideChar /*selfcert*/, PWideChar /*CaCertificates*/) {
    return -1;
  }
  virtual Integer VerifySignWOCheckValidity(Pointer mData, Integer mSize, Pointer mSignData,
                                            Integer mSignSize, PWideChar UID) {
    return VerifyData(mData, mSize, mSignData, mSignSize, UID);
  }
  virtual Integer CertAndRequestTransferMatch(PAnsiChar aCertificateTransfer,
                                              PAnsiChar aRequestTransfer, LongBool* aMatchResult);
  virtual Integer ConvertTransferToSignedRequest(PAnsiChar /*aRequestTransfer*/) { return -1; }
  virtual Integer HashData(Pointer /*aBuffer*/, Cardinal /*aBufSize*/, Integer /*aOutType*/,
                           Pointer /*aHashBuffer*/, Integer* /*aHashSize*/) {
    return -1;
  }
  virtual Integer ShowCertificate(PWideChar /*aUID*/) { return -1; }
  virtual Integer GetPureSign(Pointer aSign, Cardinal aSignSize, Integer aOutType,
                              Pointer aPureSign, Integer* aPureSignLen);
  virtual Integer GetUIDByCertIdent(PWideChar /*CertIdent*/, PWideChar /*UID*/) { return -1; }
  virtual Integer InstallCertsInMyStore(PWideChar /*aEKUoids*/) { return -1; }
  virtual Integer RegisterOIDInfo(const string& /*aOID*/, const WideString& /*aOIDName*/) {
    return -1;
  }
  virtual Integer GetParamInfo(Integer /*aParamNum*/, Integer* /*aParamType*/,
                               Pointer /*aParamInfo*/, Integer* /*aInfoLength*/) {
    return -1;
  }
  // Route a data type to one protected operation (engine_dispatch.cpp).
  virtual Integer Import(Integer aDataType, Integer aFlags, Pointer aData, Integer aDataSize);
  virtual Integer ExportObject(Integer aDataType, Pointer aParamData, Integer aParamDataSize,
                               Integer aFlags, Pointer aData, Integer* aDataSize);

  // Not virtual.
  void SetRootPath(const string& Value);
  // Copies at most aMaxLen characters and a terminator; aDest holds aMaxLen + 1.
  bool MoveSafe(PWideChar aSrc, PWideChar aDest, Integer aMaxLen);
  Integer GetMaxFilePathLength() const { return 255; }
  // ExportObject data type 27: whether the engine type of code aFlags + 1 is
  // compatible, as a 32-bit 1 or 0 at aData.
  Integer ExportCompatibility(Integer aFlags, const string& ParamText, Pointer aData,
                              Integer* aDataSize);

 protected:
  // The operations that Import and ExportObject reach.
#define SELVANE_ENGINE_OP(Slot, Name, Family, Default) virtual Integer Name SELVANE_OP_PARAMS(Family);
#include "crypto/engine_operations.def"

  // Parameter lists, counted from 1.  Several host threads may use one
  // engine, so the lists are only reached through these, under FParamLock;
  // readers get copies.
  void AddParam(const string& aName, const string& aValue);
  Integer ParamNameCount() const;
  Integer ParamValueCount() const;
  string ParamName(Integer i) const;   // empty when out of range
  string ParamValue(Integer i) const;  // empty when out of range
  bool StoreParamValue(Integer i, const string& aValue);  // false when out of range

  TSyncExceptStr FFiledCause;
  std::atomic<TPassRequestFunc> FPassReqFunc{nullptr};
  std::atomic<TPassRequestExFunc> FPassReqExFunc{nullptr};
  std::atomic<TPassRequestEx2Func> FPassReqEx2Func{nullptr};
  std::atomic<TShowInfoFunc> FShowInfoFunc{nullptr};
  std::atomic<TTMRequestFunc> FTMRequestFunc{nullptr};
  std::atomic<TDelKeyRequestFunc> FDelKeyRequestFunc{nullptr};
  std::atomic<HWND> FhWindow{0};
  std::atomic<bool> FParamsChanged{true};

 private:
  // A leading "%OrvRoot%" (any letter case) stands for FRootPath.
  string ExpandRootMacro(const string& aValue) const;

  mutable std::mutex FParamLock;  // guards the lists and the two paths
  TStringList FParamNames;
  TStringList FParamValues;
  string FRootPath;         // ends with "/" once set
  string FKeyTemplatePath;  // macro expanded; ends with "/" once set
};

}  // namespace selvane
