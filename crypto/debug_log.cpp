#include "crypto/debug_log.h"

#include <algorithm>
#include <atomic>
#include <mutex>
#include <optional>
#include <vector>

#include "crypto/module_path.h"
#include "crypto/process_state.h"
#include "crypto/root_path.h"
#include "platform/modules.h"

namespace selvane {

namespace {

// The host's procedure; read once per line, so a concurrent change never
// turns into a call through null.
constinit std::atomic<TCryptDebugCallBack> CryptDebugCallBack{nullptr};

// Modules that received the callback, in the order they got it.  Host
// threads set the callback while the registry adds modules: one lock.
constinit std::mutex CallBackLibsLock;
constinit TProcessState<std::vector<NativeUInt>> CallBackLibs;

constexpr const char* CallBackEntryName = "SetCryptDebugCallBackProc";
using TModuleSetCallBack = void(stdcall*)(TCryptDebugCallBack aCallBack);

TModuleSetCallBack ModuleSetCallBack(NativeUInt aModule) {
  return reinterpret_cast<TModuleSetCallBack>(platform::ModuleSymbol(aModule, CallBackEntryName));
}

bool IsListed(NativeUInt aModule) {
  std::lock_guard lock(CallBackLibsLock);
  return CallBackLibs &&
         std::find(CallBackLibs->begin(), CallBackLibs->end(), aModule) != CallBackLibs->end();
}

void LogHandOver(NativeUInt aModule) {
  DebugLog(u"SetCryptDebugCallBackProcToLib to: " + ModulePathByHandle(aModule));
}

}  // namespace

void InitDebugLog() {
  std::lock_guard lock(CallBackLibsLock);
  CallBackLibs.emplace();
  CryptDebugCallBack.store(nullptr);
}

void DoneDebugLog() {
  // The callback stays: a line logged during the rest of shut-down still
  // reaches the host.
  std::lock_guard lock(CallBackLibsLock);
  CallBackLibs.reset();
}

void DebugLog(const string& aLine) noexcept {
  const TCryptDebugCallBack callBack = CryptDebugCallBack.load();
  if (callBack == nullptr) return;
  try {
    callBack(aLine.c_str());
  } catch (...) {
    // A failing host procedure must not break the operation that logs.
  }
}

void SetCryptDebugCallBackProcToLib(NativeUInt aModule) {
  if (IsListed(aModule)) return;
  LogHandOver(aModule);
  const TModuleSetCallBack setCallBack = ModuleSetCallBack(aModule);
  if (setCallBack == nullptr) return;
  try {
    setCallBack(CryptDebugCallBack.load());
  } catch (...) {
    // The module was offered the callback; it stays listed so that it is
    // offered the next one too.
  }
  std::lock_guard lock(CallBackLibsLock);
  if (CallBackLibs &&
      std::find(CallBackLibs->begin(), CallBackLibs->end(), aModule) == CallBackLibs->end())
    CallBackLibs->push_back(aModule);
}

void ForgetCallBackLib(NativeUInt aModule) {
  std::lock_guard lock(CallBackLibsLock);
  if (CallBackLibs) std::erase(*CallBackLibs, aModule);
}

std::vector<NativeUInt> CallBackLibsSnapshot() {
  std::lock_guard lock(CallBackLibsLock);
  return CallBackLibs ? *CallBackLibs : std::vector<NativeUInt>{};
}

void SetCryptDebugCallBack(TCryptDebugCallBack aCallBack) {
  CryptDebugCallBack.store(aCallBack);
  DebugLog(u"SetCryptDebugCallBackProc to : " + OwnModulePath());
  // Modules are called outside the lock: one may log, or load another.
  for (const NativeUInt module : CallBackLibsSnapshot()) {
    LogHandOver(module);
    const TModuleSetCallBack setCallBack = ModuleSetCallBack(module);
    if (setCallBack == nullptr) continue;
    try {
      setCallBack(aCallBack);
    } catch (...) {
      // One failing module must not keep the callback from the others.
    }
  }
}

}  // namespace selvane
