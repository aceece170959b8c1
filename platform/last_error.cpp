#include "platform/last_error.h"

#include <pthread.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <cerrno>
#include <mutex>

#include "platform/text.h"

namespace platform {

namespace {

// Trivially destructible on purpose: a thread_local with a destructor would
// register a per-thread exit handler that keeps the library that holds it
// from being unloaded by dlclose.
thread_local Cardinal LastErrorCode = 0;

// The detail has no fixed limit (a loader text holds whole paths), so each
// thread keeps it in a block of its own, held by a thread-specific key.  The
// block comes from malloc and the key frees it with the C library's free
// when the thread ends: code that is still there after this library has
// been unloaded, as a destructor of ours would not be.
struct TDetailBlock {
  std::size_t Capacity;  // characters
  std::size_t Length;
  char16_t* Text() { return reinterpret_cast<char16_t*>(this + 1); }
};

// No destructor either: the key lives as long as the process, so that a
// thread ending after an unload still has its block freed.
class TDetailKey {
 public:
  constexpr TDetailKey() = default;

  // The calling thread's block; nullptr before its first detail.  Once the
  // key has freed it for an ending thread, this is nullptr again.
  TDetailBlock* Current() {
    return Created() ? static_cast<TDetailBlock*>(::pthread_getspecific(FKey)) : nullptr;
  }

  // The calling thread's block with room for `length` characters; nullptr
  // when there is no memory or key for it.
  TDetailBlock* WithRoom(std::size_t length) {
    TDetailBlock* block = Current();
    if (block != nullptr && block->Capacity >= length) return block;
    if (!Created()) return nullptr;
    const std::size_t capacity = std::max<std::size_t>(length, 256);
    void* memory = ::malloc(sizeof(TDetailBlock) + capacity * sizeof(char16_t));
    if (memory == nullptr) return nullptr;
    if (::pthread_setspecific(FKey, memory) != 0) {
      ::free(memory);
      return nullptr;
    }
    ::free(block);
    block = static_cast<TDetailBlock*>(memory);
    *block = {capacity, 0};
    return block;
  }

 private:
  bool Created() {
    std::call_once(FOnce, [this] { FCreated = ::pthread_key_create(&FKey, &::free) == 0; });
    return FCreated;
  }

  std::once_flag FOnce;
  pthread_key_t FKey{};
  bool FCreated = false;
};

constinit TDetailKey DetailKey;

std::u16string WithoutTrailingNoise(std::u16string text) {
  while (!text.empty() && (text.back() <= 32 || text.back() == u'.')) text.pop_back();
  return text;
}

}  // namespace

Cardinal GetLastError() { return LastErrorCode; }

void SetLastError(Cardinal code, std::u16string detail) {
  LastErrorCode = code;
  TDetailBlock* block = detail.empty() ? DetailKey.Current() : DetailKey.WithRoom(detail.size());
  if (block == nullptr) {
    // No room: the detail is dropped, and an older one must not show.
    if (TDetailBlock* old = DetailKey.Current()) old->Length = 0;
    return;
  }
  std::copy(detail.begin(), detail.end(), block->Text());
  block->Length = detail.size();
}

std::u16string SystemMessage(Cardinal code) {
  if (code == ErrorLoadFailed) return u"The module could not be loaded";
  char buffer[256];
  // The GNU variant returns the message, which need not be in the buffer.
  const char* text = strerror_r(static_cast<int>(code), buffer, sizeof buffer);
  return WithoutTrailingNoise(FromUtf8(text != nullptr ? text : ""));
}

std::u16string LastErrorText() {
  if (TDetailBlock* block = DetailKey.Current(); block != nullptr && block->Length != 0)
    return std::u16string(block->Text(), block->Length);
  return SystemMessage(LastErrorCode);
}

}  // namespace platform
