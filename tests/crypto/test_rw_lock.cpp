#include "crypto/rw_lock.h"

#include <gtest/gtest.h>

#include <pthread.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace selvane {
namespace {

using namespace std::chrono_literals;

// A step given to an actor: done when its future is ready.
struct TStep {
  std::future<void> Done;
  const class TActor* By = nullptr;
  std::uint64_t Number = 0;

  void wait() const { Done.wait(); }
  template <class D>
  std::future_status wait_for(D aTime) const { return Done.wait_for(aTime); }
};

// A thread that runs the steps it is given, one after another, so that a
// test can hold locks on several threads and watch who waits.
class TActor {
 public:
  TActor() : FThread([this] { Run(); }) {}
  ~TActor() {
    {
      std::lock_guard<std::mutex> lock(FMutex);
      FStop = true;
    }
    FWake.notify_one();
    FThread.join();
  }

  TStep Do(std::function<void()> aStep) {
    std::packaged_task<void()> task(std::move(aStep));
    TStep step{task.get_future(), this, 0};
    {
      std::lock_guard<std::mutex> lock(FMutex);
      FSteps.push_back(std::move(task));
      step.Number = ++FQueued;
    }
    FWake.notify_one();
    return step;
  }

  // True once the actor runs step aNumber and the kernel has put its thread
  // to sleep: the step then waits in the lock, not for a processor.
  bool SleepsIn(std::uint64_t aNumber) const {
    if (FStarted.load() < aNumber) return false;
    std::ifstream stat("/proc/self/task/" + std::to_string(FTid.load()) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    const auto close = text.rfind(')');
    return close != std::string::npos && close + 2 < text.size() && text[close + 2] == 'S';
  }

 private:
  void Run() {
    FTid = static_cast<pid_t>(syscall(SYS_gettid));
    for (;;) {
      std::packaged_task<void()> step;
      {
        std::unique_lock<std::mutex> lock(FMutex);
        FWake.wait(lock, [&] { return FStop || !FSteps.empty(); });
        if (FSteps.empty()) return;
        step = std::move(FSteps.front());
        FSteps.pop_front();
      }
      ++FStarted;
      step();
    }
  }

  std::mutex FMutex;
  std::condition_variable FWake;
  std::deque<std::packaged_task<void()>> FSteps;
  std::uint64_t FQueued = 0;
  std::atomic<std::uint64_t> FStarted{0};
  std::atomic<pid_t> FTid{0};
  bool FStop = false;
  std::thread FThread;
};

bool Returns(TStep& aStep) { return aStep.Done.wait_for(10s) == std::future_status::ready; }

// A step waits when its thread has gone to sleep inside it and it is still
// not done a little later.  Sleeping is waited for first, so that a thread
// not yet scheduled on a busy machine is not taken for one that waits.
bool Waits(TStep& aStep) {
  const auto deadline = std::chrono::steady_clock::now() + 10s;
  while (!aStep.By->SleepsIn(aStep.Number)) {
    if (aStep.Done.wait_for(1ms) == std::future_status::ready) return false;
    if (std::chrono::steady_clock::now() > deadline) return false;
  }
  return aStep.Done.wait_for(150ms) == std::future_status::timeout;
}

// R BeginRead, r EndRead, W BeginWrite, w EndWrite.
void RunSteps(TRWCriticalSection& aLock, const std::string& aSteps) {
  for (char step : aSteps) {
    switch (step) {
      case 'R': aLock.BeginRead(); break;
      case 'r': aLock.EndRead(); break;
      case 'W': aLock.BeginWrite(); break;
      case 'w': aLock.EndWrite(); break;
      default: FAIL() << "unknown step " << step;
    }
  }
}

std::function<void()> Steps(TRWCriticalSection& aLock, std::string aSteps) {
  return [&aLock, aSteps] { RunSteps(aLock, aSteps); };
}

TEST(RWLock, OneThreadNesting) {
  struct TCase {
    const char* Steps;
    const char* StillHeld;  // the read holds left after Steps, ended last
  };
  const TCase cases[] = {
      {"RRrr", ""},
      {"RWwr", ""},
      {"RWw", "r"},      // the read begun before the write outlives it
      {"RRWwr", "r"},
      {"WWw", "w"},      // the outer write still holds
      {"WWRrww", ""},    // a read inside the write changes nothing
      {"WRw", ""},       // also one left open when the write ends
      {"WRwr", ""},      // whose late end then matches nothing
      {"RWrw", ""},      // a read ended during the write is released
      {"RWRrrw", ""},
      {"r", ""},         // an end without a begin is ignored
      {"w", ""},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Steps);
    TRWCriticalSection lock;
    TActor owner, other;
    auto own = owner.Do(Steps(lock, c.Steps));
    ASSERT_TRUE(Returns(own));
    auto write = other.Do(Steps(lock, "Ww"));
    if (*c.StillHeld != 0) {
      EXPECT_TRUE(Waits(write));
      auto end = owner.Do(Steps(lock, c.StillHeld));
      ASSERT_TRUE(Returns(end));
    }
    ASSERT_TRUE(Returns(write));
    auto read = other.Do(Steps(lock, "Rr"));
    ASSERT_TRUE(Returns(read));
  }
}

TEST(RWLock, WriterWaitsForReaderAndReadersForWriter) {
  TRWCriticalSection lock;
  TActor a, b, c;
  auto read = a.Do(Steps(lock, "R"));
  ASSERT_TRUE(Returns(read));
  auto write = b.Do(Steps(lock, "W"));
  EXPECT_TRUE(Waits(write));
  auto endRead = a.Do(Steps(lock, "r"));
  ASSERT_TRUE(Returns(endRead));
  ASSERT_TRUE(Returns(write));
  auto reader = c.Do(Steps(lock, "R"));
  EXPECT_TRUE(Waits(reader));
  auto endWrite = b.Do(Steps(lock, "w"));
  ASSERT_TRUE(Returns(endWrite));
  ASSERT_TRUE(Returns(reader));
  auto last = c.Do(Steps(lock, "r"));
  ASSERT_TRUE(Returns(last));
}

TEST(RWLock, ReaderReentersWhileWriterWaitsButNewReaderWaits) {
  TRWCriticalSection lock;
  TActor a, b, c;
  auto first = a.Do(Steps(lock, "R"));
  ASSERT_TRUE(Returns(first));
  auto write = b.Do(Steps(lock, "W"));
  ASSERT_TRUE(Waits(write));
  auto again = a.Do(Steps(lock, "R"));
  EXPECT_TRUE(Returns(again));
  auto newReader = c.Do(Steps(lock, "R"));
  EXPECT_TRUE(Waits(newReader));
  auto endOne = a.Do(Steps(lock, "r"));
  ASSERT_TRUE(Returns(endOne));
  EXPECT_TRUE(Waits(write));
  auto endTwo = a.Do(Steps(lock, "r"));
  ASSERT_TRUE(Returns(endTwo));
  ASSERT_TRUE(Returns(write));
  EXPECT_TRUE(Waits(newReader));
  auto endWrite = b.Do(Steps(lock, "w"));
  ASSERT_TRUE(Returns(endWrite));
  ASSERT_TRUE(Returns(newReader));
  auto last = c.Do(Steps(lock, "r"));
  ASSERT_TRUE(Returns(last));
}

TEST(RWLock, ReaderThatWritesIsReleasedByTheOtherReader) {
  TRWCriticalSection lock;
  TActor a, b, c;
  auto reads = a.Do(Steps(lock, "R"));
  ASSERT_TRUE(Returns(reads));
  auto readsToo = b.Do(Steps(lock, "R"));
  ASSERT_TRUE(Returns(readsToo));
  auto write = b.Do(Steps(lock, "W"));
  ASSERT_TRUE(Waits(write));
  auto endRead = a.Do(Steps(lock, "r"));
  ASSERT_TRUE(Returns(endRead));
  ASSERT_TRUE(Returns(write));
  auto endWrite = b.Do(Steps(lock, "w"));
  ASSERT_TRUE(Returns(endWrite));
  // b still reads, so another writer waits for it.
  auto other = c.Do(Steps(lock, "Ww"));
  EXPECT_TRUE(Waits(other));
  auto last = b.Do(Steps(lock, "r"));
  ASSERT_TRUE(Returns(last));
  ASSERT_TRUE(Returns(other));
}

TEST(RWLock, ReaderThatWaitsToWriteKeepsNewReadersAndWritersOut) {
  TRWCriticalSection lock;
  TActor a, b, newReader, newWriter;
  auto reads = a.Do(Steps(lock, "R"));
  ASSERT_TRUE(Returns(reads));
  auto readsToo = b.Do(Steps(lock, "R"));
  ASSERT_TRUE(Returns(readsToo));
  auto upgrade = a.Do(Steps(lock, "W"));
  ASSERT_TRUE(Waits(upgrade));
  // A pending write: newcomers wait, a thread that reads already re-enters.
  auto read = newReader.Do(Steps(lock, "R"));
  if (!Waits(read)) {
    // Let every thread out, so that the failure does not hang the test.
    for (TActor* reader : {&newReader, &b}) reader->Do(Steps(lock, "r")).wait();
    upgrade.wait();
    a.Do(Steps(lock, "wr")).wait();
    FAIL() << "a new reader got in while a reader waited to write";
  }
  auto write = newWriter.Do(Steps(lock, "W"));
  EXPECT_TRUE(Waits(write));
  auto again = b.Do(Steps(lock, "Rr"));
  ASSERT_TRUE(Returns(again));
  // The other reader leaves: the reader that asked first writes.
  auto endRead = b.Do(Steps(lock, "r"));
  ASSERT_TRUE(Returns(endRead));
  ASSERT_TRUE(Returns(upgrade));
  EXPECT_TRUE(Waits(read));
  EXPECT_TRUE(Waits(write));
  auto done = a.Do(Steps(lock, "wr"));
  ASSERT_TRUE(Returns(done));
  // Then the newcomers, one at a time, in either order.
  const auto deadline = std::chrono::steady_clock::now() + 10s;
  while (read.wait_for(1ms) != std::future_status::ready &&
         write.wait_for(1ms) != std::future_status::ready)
    ASSERT_LT(std::chrono::steady_clock::now(), deadline);
  const bool readerFirst = read.wait_for(0s) == std::future_status::ready;
  auto& second = readerFirst ? write : read;
  EXPECT_TRUE(Waits(second));
  auto endFirst = readerFirst ? newReader.Do(Steps(lock, "r")) : newWriter.Do(Steps(lock, "w"));
  ASSERT_TRUE(Returns(endFirst));
  ASSERT_TRUE(Returns(second));
  auto endSecond = readerFirst ? newWriter.Do(Steps(lock, "w")) : newReader.Do(Steps(lock, "r"));
  ASSERT_TRUE(Returns(endSecond));
}

// A writer cancelled while it waits for a reader takes its pending mark
// back, and the readers that the mark kept out get in.
TEST(RWLock, CancelledWaitingWriterLetsNewReadersIn) {
  for (const char* before : {"", "R"}) {  // a plain writer, a reader that writes
    SCOPED_TRACE(std::string("writer steps before the write: ") + before);
    TRWCriticalSection lock;
    TActor a, newReader;
    auto reads = a.Do(Steps(lock, "R"));
    ASSERT_TRUE(Returns(reads));
    struct TWriter {
      TRWCriticalSection* Lock;
      bool ReadsFirst;
      std::atomic<bool> Started{false};
    } writer{&lock, *before != 0};
    pthread_t thread;
    ASSERT_EQ(::pthread_create(
                  &thread, nullptr,
                  [](void* aWriter) -> void* {
                    auto* w = static_cast<TWriter*>(aWriter);
                    std::optional<TReadHold> read;  // given back by the unwind
                    if (w->ReadsFirst) read.emplace(*w->Lock);
                    w->Started = true;
                    w->Lock->BeginWrite();  // waits for a, until cancelled
                    return nullptr;
                  },
                  &writer),
              0);
    while (!writer.Started) std::this_thread::yield();
    auto read = newReader.Do(Steps(lock, "R"));
    EXPECT_TRUE(Waits(read));
    ::pthread_cancel(thread);
    void* result = nullptr;
    ASSERT_EQ(::pthread_join(thread, &result), 0);
    EXPECT_EQ(result, PTHREAD_CANCELED);
    ASSERT_TRUE(Returns(read));
    auto ends = newReader.Do(Steps(lock, "r"));
    ASSERT_TRUE(Returns(ends));
    auto last = a.Do(Steps(lock, "r"));
    ASSERT_TRUE(Returns(last));
  }
}

TEST(RWLock, ReaderThatWritesGoesBeforeAWaitingWriter) {
  // The waiting writer waits for a's read; were a to queue behind it, both
  // would wait for ever.
  TRWCriticalSection lock;
  TActor a, b;
  auto reads = a.Do(Steps(lock, "R"));
  ASSERT_TRUE(Returns(reads));
  auto waiting = b.Do(Steps(lock, "W"));
  ASSERT_TRUE(Waits(waiting));
  auto upgrade = a.Do(Steps(lock, "Ww"));
  ASSERT_TRUE(Returns(upgrade));
  EXPECT_TRUE(Waits(waiting));
  auto endRead = a.Do(Steps(lock, "r"));
  ASSERT_TRUE(Returns(endRead));
  ASSERT_TRUE(Returns(waiting));
  auto endWrite = b.Do(Steps(lock, "w"));
  ASSERT_TRUE(Returns(endWrite));
}

TEST(RWLock, ReadEndedDuringWriteDoesNotBlockLaterWritersOrDestruction) {
  auto lock = std::make_unique<TRWCriticalSection>();
  TActor a, b;
  auto steps = a.Do(Steps(*lock, "RWrw"));
  ASSERT_TRUE(Returns(steps));
  auto write = b.Do(Steps(*lock, "Ww"));
  ASSERT_TRUE(Returns(write));
  auto destroy = b.Do([&] { lock.reset(); });
  ASSERT_TRUE(Returns(destroy));
}

TEST(RWLock, DestructionWaitsForReaders) {
  auto lock = std::make_unique<TRWCriticalSection>();
  TRWCriticalSection* const raw = lock.get();
  TActor a, b;
  auto reads = a.Do(Steps(*raw, "R"));
  ASSERT_TRUE(Returns(reads));
  auto destroy = b.Do([&] { lock.reset(); });
  EXPECT_TRUE(Waits(destroy));
  auto endRead = a.Do([raw] { raw->EndRead(); });
  ASSERT_TRUE(Returns(endRead));
  ASSERT_TRUE(Returns(destroy));
}

TEST(RWLock, EndReadOfAnotherThreadReleasesNothing) {
  TRWCriticalSection lock;
  TActor a, b, c;
  auto reads = a.Do(Steps(lock, "R"));
  ASSERT_TRUE(Returns(reads));
  auto stray = c.Do(Steps(lock, "r"));
  ASSERT_TRUE(Returns(stray));
  auto write = b.Do(Steps(lock, "Ww"));
  EXPECT_TRUE(Waits(write));
  auto endRead = a.Do(Steps(lock, "r"));
  ASSERT_TRUE(Returns(endRead));
  ASSERT_TRUE(Returns(write));
}

TEST(RWLockStress, WriterIsAlone) {
  TRWCriticalSection lock;
  std::atomic<int> readersInside{0};
  std::atomic<bool> writerInside{false};
  std::atomic<int> faults{0};
  long long guarded = 0;  // plain: a race on it shows up under ThreadSanitizer
  constexpr int Rounds = 3000;
  constexpr int Writers = 2;

  auto readerCheck = [&] {
    if (writerInside.load()) ++faults;
  };
  auto writerCheck = [&] {
    if (writerInside.exchange(true) || readersInside.load() != 0) ++faults;
  };

  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([&, t] {
      long long seen = 0;  // the count this reader saw last
      for (int i = 0; i < Rounds; ++i) {
        lock.BeginRead();
        const bool nested = (i + t) % 3 == 0;
        if (nested) lock.BeginRead();
        ++readersInside;
        readerCheck();
        const long long now = guarded;
        std::this_thread::yield();  // room for a wrongly admitted writer to show
        readerCheck();
        // No write while reading, and none lost or undone between reads.
        if (guarded != now || now < seen) ++faults;
        seen = now;
        --readersInside;
        if (nested) lock.EndRead();
        lock.EndRead();
      }
      EXPECT_LE(seen, static_cast<long long>(Rounds) * (Writers + 1));
    });
  for (int t = 0; t < Writers; ++t)
    threads.emplace_back([&, t] {
      for (int i = 0; i < Rounds; ++i) {
        lock.BeginWrite();
        const bool nested = (i + t) % 2 == 0;
        if (nested) {
          lock.BeginWrite();
          lock.BeginRead();
        }
        writerCheck();
        ++guarded;
        std::this_thread::yield();
        writerInside = false;
        if (nested) {
          lock.EndRead();
          lock.EndWrite();
        }
        lock.EndWrite();
      }
    });
  // One reader that writes, now and then ending its read inside the write.
  threads.emplace_back([&] {
    for (int i = 0; i < Rounds; ++i) {
      lock.BeginRead();
      lock.BeginWrite();
      writerCheck();
      ++guarded;
      writerInside = false;
      if (i % 2 == 0) {
        lock.EndRead();
        lock.EndWrite();
      } else {
        lock.EndWrite();
        lock.EndRead();
      }
    }
  });
  for (std::thread& thread : threads) thread.join();

  EXPECT_EQ(faults.load(), 0);
  lock.BeginRead();
  EXPECT_EQ(guarded, static_cast<long long>(Rounds) * (Writers + 1));
  lock.EndRead();
}

TEST(RWLockStress, ExceptionTextIsNeverTorn) {
  TSyncExceptStr holder;
  const string shortText(1000, u'a');
  const string longText(3000, u'b');
  std::atomic<bool> stop{false};
  std::atomic<int> torn{0};
  std::vector<std::thread> readers;
  for (int t = 0; t < 3; ++t)
    readers.emplace_back([&] {
      while (!stop.load()) {
        const string text = holder.LastExceptionInfo();
        if (!text.empty() && text != shortText && text != longText) ++torn;
      }
    });
  for (int i = 0; i < 5000; ++i) holder.SetLastExceptionInfo(i % 2 == 0 ? shortText : longText);
  stop = true;
  for (std::thread& reader : readers) reader.join();
  EXPECT_EQ(torn.load(), 0);
  EXPECT_EQ(holder.LastExceptionInfo(), longText);
}

}  // namespace
}  // namespace selvane
