#include "crypto/debug_log.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <vector>

#include "crypto/module_path.h"
#include "crypto/process_state.h"
#include "crypto/root_path.h"
#include "platform/modules.h"
#include "runtime/guard.h"

namespace selvane {

namespace {

// The host's procedure; read once per line, so a concurrent change never
// turns into a call through null.
constinit std::atomic<TCryptDebugCallBack> CryptDebugCallBack{nullptr};

// A module that was, or is being, handed the callback.
struct TListedModule {
  NativeUInt Handle;
  bool bReceived = false;  // handed one at least: listed for the export
  std::uint64_t Claim = 0; // the hand-over under way, 0 when none
};

// Guards the list, and the stores of the callback against the end of a
// hand-over.  Never held while a module or the host is called: a module's
// hand-over may log, set the callback again or load another module.
constinit std::mutex CallBackLibsLock;
constinit TProcessState<std::vector<TListedModule>> CallBackLibs;
// Numbers the hand-overs, so that one ends only its own claim, also where
// the module was dropped and listed again meanwhile.
constinit std::uint64_t LastClaim = 0;

constexpr const char* CallBackEntryName = "SetCryptDebugCallBackProc";
using TModuleSetCallBack = void(stdcall*)(TCryptDebugCallBack aCallBack);

TModuleSetCallBack ModuleSetCallBack(NativeUInt aModule) {
  return reinterpret_cast<TModuleSetCallBack>(platform::ModuleSymbol(aModule, CallBackEntryName));
}

TListedModule* FindListed_inlock(NativeUInt aModule) {
  if (!CallBackLibs) return nullptr;
  auto found = std::find_if(CallBackLibs->begin(), CallBackLibs->end(),
                            [&](const TListedModule& m) { return m.Handle == aModule; });
  return found != CallBackLibs->end() ? &*found : nullptr;
}

// Takes the hand-over to a listed module for this thread; 0 when it is not
// listed or another hand-over is under way, which then delivers the
// callback stored last before it ends.
std::uint64_t ClaimHandOver_inlock(NativeUInt aModule) {
  TListedModule* listed = FindListed_inlock(aModule);
  if (listed == nullptr || listed->Claim != 0) return 0;
  listed->Claim = ++LastClaim;
  return listed->Claim;
}

// A claimed hand-over, given up however it ends (also by the unwind of a
// cancelled thread); the module counts as handed the callback then, as one
// that raised does, so that it is offered the next one.
class THandOverClaim {
 public:
  THandOverClaim(NativeUInt aModule, std::uint64_t aClaim) : FModule(aModule), FClaim(aClaim) {}
  ~THandOverClaim() {
    if (!FHeld) return;
    std::lock_guard lock(CallBackLibsLock);
    Release_inlock();
  }
  THandOverClaim(const THandOverClaim&) = delete;
  THandOverClaim& operator=(const THandOverClaim&) = delete;

  void Release_inlock() {
    FHeld = false;
    TListedModule* listed = FindListed_inlock(FModule);
    if (listed == nullptr || listed->Claim != FClaim) return;
    listed->Claim = 0;
    listed->bReceived = true;
  }

 private:
  NativeUInt FModule;
  std::uint64_t FClaim;
  bool FHeld = true;
};

// Hands a claimed module the stored callback until it holds the one stored
// last: another callback stored during the call is delivered by this
// thread, since the store's own hand-over found the module busy.
void HandStoredCallBack(NativeUInt aModule, std::uint64_t aClaim,
                        TModuleSetCallBack aSetCallBack) {
  THandOverClaim claim(aModule, aClaim);
  TCryptDebugCallBack callBack = CryptDebugCallBack.load();
  for (;;) {
    // A module that raises is skipped: it must not keep the callback from
    // the others.
    rtl::Guarded([&] { aSetCallBack(callBack); });
    std::lock_guard lock(CallBackLibsLock);
    const TCryptDebugCallBack stored = CryptDebugCallBack.load();
    if (stored == callBack) {
      claim.Release_inlock();
      return;
    }
    callBack = stored;
  }
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

void DebugLog(const string& aLine) {
  const TCryptDebugCallBack callBack = CryptDebugCallBack.load();
  if (callBack == nullptr) return;
  // A failing host procedure must not break the operation that logs.
  rtl::Guarded([&] { callBack(aLine.c_str()); });
}

void SetCryptDebugCallBackProcToLib(NativeUInt aModule) {
  {
    std::lock_guard lock(CallBackLibsLock);
    if (FindListed_inlock(aModule) != nullptr) return;
  }
  LogHandOver(aModule);
  const TModuleSetCallBack setCallBack = ModuleSetCallBack(aModule);
  if (setCallBack == nullptr) return;
  std::uint64_t claim = 0;
  {
    // Listed before it is called, so that a callback stored meanwhile
    // reaches it too.
    std::lock_guard lock(CallBackLibsLock);
    if (!CallBackLibs || FindListed_inlock(aModule) != nullptr) return;
    claim = ++LastClaim;
    CallBackLibs->push_back({aModule, false, claim});
  }
  HandStoredCallBack(aModule, claim, setCallBack);
}

void ForgetCallBackLib(NativeUInt aModule) {
  std::lock_guard lock(CallBackLibsLock);
  if (CallBackLibs)
    std::erase_if(*CallBackLibs, [&](const TListedModule& m) { return m.Handle == aModule; });
}

std::vector<NativeUInt> CallBackLibsSnapshot() {
  std::lock_guard lock(CallBackLibsLock);
  std::vector<NativeUInt> modules;
  if (!CallBackLibs) return modules;
  for (const TListedModule& m : *CallBackLibs)
    if (m.bReceived) modules.push_back(m.Handle);
  return modules;
}

void SetCryptDebugCallBack(TCryptDebugCallBack aCallBack) {
  {
    std::lock_guard lock(CallBackLibsLock);
    CryptDebugCallBack.store(aCallBack);
  }
  DebugLog(u"SetCryptDebugCallBackProc to : " + OwnModulePath());
  for (const NativeUInt module : CallBackLibsSnapshot()) {
    LogHandOver(module);
    const TModuleSetCallBack setCallBack = ModuleSetCallBack(module);
    if (setCallBack == nullptr) continue;
    std::uint64_t claim = 0;
    {
      std::lock_guard lock(CallBackLibsLock);
      claim = ClaimHandOver_inlock(module);
    }
    if (claim != 0) HandStoredCallBack(module, claim, setCallBack);
  }
}

}  // namespace selvane
