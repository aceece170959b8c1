// Holder of a piece of the library's process-wide state.
//
// The state is created by the library's start-up and destroyed by its
// shut-down (library_state.h), nothing else.  The holder has no destructor of
// its own on purpose: when a process exits without unloading the library,
// the run-time destroys C++ statics before it runs the library's shut-down,
// which still needs its state (the registry logs the module releases).
#pragma once

#include <type_traits>
#include <utility>

namespace selvane {

template <class T>
class TProcessState {
 public:
  constexpr TProcessState() = default;
  TProcessState(const TProcessState&) = delete;
  TProcessState& operator=(const TProcessState&) = delete;

  template <class... A>
  T& emplace(A&&... aArgs) {
    reset();
    FObject = new T(std::forward<A>(aArgs)...);
    return *FObject;
  }
  void reset() { delete std::exchange(FObject, nullptr); }

  explicit operator bool() const { return FObject != nullptr; }
  T& operator*() const { return *FObject; }
  T* operator->() const { return FObject; }

 private:
  T* FObject = nullptr;
};

static_assert(std::is_trivially_destructible_v<TProcessState<int>>);

}  // namespace selvane
