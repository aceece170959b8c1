#include "crypto/rw_lock.h"

#include <algorithm>

#include "platform/threads.h"

namespace selvane {

namespace {
const std::thread::id NoThread{};
}

TRWCriticalSection::TRWCriticalSection() { FActiveThreads.reserve(4); }

TRWCriticalSection::~TRWCriticalSection() {
  // Wait for every other holder to leave; the mutex is free again when the
  // hold ends, before the members are destroyed.  A destructor cannot pass
  // a cancelled thread's unwind on, so the wait is no cancellation point.
  const platform::TCancellationHold hold;
  std::unique_lock<std::mutex> lock(FLock);
  AcquireWrite(lock);
}

TActiveThreadRecord* TRWCriticalSection::FindEntry(std::thread::id aThread) {
  auto found = std::find_if(FActiveThreads.begin(), FActiveThreads.end(),
                            [&](const TActiveThreadRecord& r) { return r.ThreadID == aThread; });
  return found != FActiveThreads.end() ? &*found : nullptr;
}

bool TRWCriticalSection::OnlyWriterReads(std::thread::id aThread) const {
  if (FCount == 0) return true;
  return std::all_of(FActiveThreads.begin(), FActiveThreads.end(), [&](const TActiveThreadRecord& r) {
    return r.ThreadID == NoThread || r.ThreadID == aThread;
  });
}

void TRWCriticalSection::BeginRead() {
  const std::thread::id self = std::this_thread::get_id();
  std::unique_lock<std::mutex> lock(FLock);
  if (FWriter == self) {
    ++FNestedReads;
    return;
  }
  if (TActiveThreadRecord* entry = FindEntry(self)) {
    // Already reading: no writer can be inside, and a waiting one waits for
    // this thread anyway.
    ++entry->RecursionCount;
    ++FCount;
    return;
  }
  FChanged.wait(lock, [&] {
    return FWriter == NoThread && FWriteRequestorID == NoThread && FUpgradeRequests == 0;
  });
  TActiveThreadRecord* entry = FindEntry(NoThread);
  if (entry == nullptr) entry = &FActiveThreads.emplace_back();
  entry->ThreadID = self;
  entry->RecursionCount = 1;
  ++FCount;
}

void TRWCriticalSection::EndRead() {
  const std::thread::id self = std::this_thread::get_id();
  std::lock_guard<std::mutex> lock(FLock);
  if (FWriter == self && FNestedReads > 0) {
    --FNestedReads;
    return;
  }
  // Also a read held from before the thread's write: it ends now.
  TActiveThreadRecord* entry = FindEntry(self);
  if (entry == nullptr) return;
  --FCount;
  if (--entry->RecursionCount == 0) {
    entry->ThreadID = NoThread;
    // The last hold of this thread: a waiting writer may go on now.
    FChanged.notify_all();
  }
}

namespace {

// Marks a pending write for the time of a wait and takes the mark back
// however the wait ends, also by the unwind of a cancelled thread; the
// threads the mark kept waiting are woken to look again.
class TPendingWrite {
 public:
  TPendingWrite(std::thread::id& aRequestor, std::thread::id aSelf, std::condition_variable& aChanged)
      : FRequestor(&aRequestor), FChanged(aChanged) {
    *FRequestor = aSelf;
  }
  TPendingWrite(Integer& aUpgrades, std::condition_variable& aChanged)
      : FUpgrades(&aUpgrades), FChanged(aChanged) {
    ++*FUpgrades;
  }
  ~TPendingWrite() {
    if (FRequestor != nullptr) *FRequestor = std::thread::id{};
    if (FUpgrades != nullptr) --*FUpgrades;
    FChanged.notify_all();
  }
  TPendingWrite(const TPendingWrite&) = delete;
  TPendingWrite& operator=(const TPendingWrite&) = delete;

 private:
  std::thread::id* FRequestor = nullptr;
  Integer* FUpgrades = nullptr;
  std::condition_variable& FChanged;
};

}  // namespace

void TRWCriticalSection::AcquireWrite(std::unique_lock<std::mutex>& aLock) {
  const std::thread::id self = std::this_thread::get_id();
  if (FWriter == self) {
    ++FWriteDepth;
    return;
  }
  if (FindEntry(self) != nullptr) {
    // A reader that writes: new readers wait from now on, as for any
    // pending write.  A writer that waits for this thread's reads cannot
    // get in first, so this one does not wait for it.
    {
      TPendingWrite pending(FUpgradeRequests, FChanged);
      FChanged.wait(aLock, [&] { return FWriter == NoThread && OnlyWriterReads(self); });
    }
    FWriter = self;
    FWriteDepth = 1;
    return;
  }
  FChanged.wait(aLock, [&] { return FWriter == NoThread && FWriteRequestorID == NoThread; });
  {
    // From here new readers wait; threads that read already may go on until
    // they leave.
    TPendingWrite pending(FWriteRequestorID, self, FChanged);
    FChanged.wait(aLock, [&] { return FWriter == NoThread && OnlyWriterReads(self); });
  }
  FWriter = self;
  FWriteDepth = 1;
}

void TRWCriticalSection::BeginWrite() {
  std::unique_lock<std::mutex> lock(FLock);
  AcquireWrite(lock);
}

void TRWCriticalSection::EndWrite() {
  std::lock_guard<std::mutex> lock(FLock);
  if (FWriter != std::this_thread::get_id()) return;
  if (--FWriteDepth == 0) {
    FWriter = NoThread;
    FNestedReads = 0;
    FChanged.notify_all();
  }
}

string TSyncExceptStr::LastExceptionInfo() const {
  TReadHold hold(InfoSyncronizer);
  return ExceptionInfo;
}

void TSyncExceptStr::SetLastExceptionInfo(const string& aValue) {
  TWriteHold hold(InfoSyncronizer);
  ExceptionInfo = aValue;
}

}  // namespace selvane
