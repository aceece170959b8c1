// A re-entrant lock for many readers or one writer, and the engine's
// last-exception text guarded by one.
#pragma once

#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/types.h"

namespace selvane {

// One thread's read holds.
struct TActiveThreadRecord {
  std::thread::id ThreadID;  // a default id marks a free entry
  Integer RecursionCount = 0;
};
using TActiveThreadArray = std::vector<TActiveThreadRecord>;

// Many readers or one writer.  A thread may read again while it reads, write
// again while it writes, write while it reads (its own read holds do not
// block it) and read while it writes (such reads change nothing).  A thread
// that already reads enters again at once, even while a writer waits; a
// thread that does not read yet waits while a writer waits or writes (also
// a reader that asks to write), so a waiting writer is not starved.
//
// Every count is kept under one mutex and every wait is a predicate wait, so
// the read holds of each thread are exact: a read begun before a write and
// ended during it is released then.  A reader that asks to write goes before
// a writer that waits for it, since that writer could never get in first.
// Two readers that both ask to write wait for each other for ever.
class TRWCriticalSection {
 public:
  TRWCriticalSection();
  // Waits until no other thread reads or writes.
  ~TRWCriticalSection();
  TRWCriticalSection(const TRWCriticalSection&) = delete;
  TRWCriticalSection& operator=(const TRWCriticalSection&) = delete;

  void BeginRead();
  void EndRead();  // ignored when the thread holds no read lock
  void BeginWrite();
  void EndWrite();  // ignored when the thread does not write

 private:
  TActiveThreadRecord* FindEntry(std::thread::id aThread);
  // True when no thread but aThread holds a read lock.
  bool OnlyWriterReads(std::thread::id aThread) const;
  void AcquireWrite(std::unique_lock<std::mutex>& aLock);

  std::mutex FLock;
  std::condition_variable FChanged;
  Integer FCount = 0;       // read locks held by all threads
  Integer FWriteDepth = 0;  // the writer's nesting depth
  Integer FNestedReads = 0; // reads the writer began inside its write
  std::thread::id FWriter;            // the thread that writes, if any
  std::thread::id FWriteRequestorID;  // a writer waiting for readers to leave
  Integer FUpgradeRequests = 0;       // readers waiting to write
  TActiveThreadArray FActiveThreads;
};

// Scoped holds.
class TReadHold {
 public:
  explicit TReadHold(TRWCriticalSection& aLock) : FLock(aLock) { FLock.BeginRead(); }
  ~TReadHold() { FLock.EndRead(); }
  TReadHold(const TReadHold&) = delete;
  TReadHold& operator=(const TReadHold&) = delete;

 private:
  TRWCriticalSection& FLock;
};

class TWriteHold {
 public:
  explicit TWriteHold(TRWCriticalSection& aLock) : FLock(aLock) { FLock.BeginWrite(); }
  ~TWriteHold() { FLock.EndWrite(); }
  TWriteHold(const TWriteHold&) = delete;
  TWriteHold& operator=(const TWriteHold&) = delete;

 private:
  TRWCriticalSection& FLock;
};

// One text, read and replaced from any thread.
class TSyncExceptStr {
 public:
  TSyncExceptStr() = default;
  TSyncExceptStr(const TSyncExceptStr&) = delete;
  TSyncExceptStr& operator=(const TSyncExceptStr&) = delete;

  // The property LastExceptionInfo: a copy when read, replaced when written.
  string LastExceptionInfo() const;
  void SetLastExceptionInfo(const string& aValue);

 private:
  mutable TRWCriticalSection InfoSyncronizer;
  string ExceptionInfo;
};

}  // namespace selvane
