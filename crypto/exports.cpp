// The 85 exports of selvane2x.  No exception leaves any of them: each one
// runs through the one guard (runtime/guard.h) and gives its fixed answer;
// only the unwind of a cancelled host thread passes on.
#define SELVANE_BUILDING_LIBRARY
#include "include/selvane2x.h"

#include <cstddef>
#include <memory>
#include <tuple>
#include <type_traits>

#include "crypto/debug_log.h"
#include "crypto/engine_handle.h"
#include "crypto/engine_route.h"
#include "crypto/engine_registry.h"
#include "crypto/root_path.h"
#include "platform/text.h"
#include "runtime/guard.h"

using selvane::CryptoCollections;
using selvane::TCryptEngineFunctions;
using selvane::TCryptoEngineWithName;
using selvane::TRoute;

namespace {

TCryptoEngineWithName* AsHandle(void* aHandle) {
  return static_cast<TCryptoEngineWithName*>(aHandle);
}

// Parameter I of an export as the public header declares it.
template <class F, std::size_t I>
struct THostParamOf;
template <std::size_t I, class R, class... P>
struct THostParamOf<R(P...), I> {
  using Type = std::tuple_element_t<I, std::tuple<P...>>;
};
template <class F, std::size_t I>
using THostParam = typename THostParamOf<F, I>::Type;

// The header declares the inputs an engine only reads const; the entries
// take them as the engine contract types them.  The host's pointer passes
// on unchanged.
template <class A>
auto EngineArg(A aArg) {
  if constexpr (std::is_pointer_v<A> && std::is_const_v<std::remove_pointer_t<A>>) {
    return const_cast<std::remove_const_t<std::remove_pointer_t<A>>*>(aArg);
  } else {
    return aArg;
  }
}

// Runs an export's body: any exception answers -1 (procedures return).
template <class R, class F>
R Guard(F&& aBody) {
  if constexpr (std::is_void_v<R>) {
    rtl::Guarded(std::forward<F>(aBody));
  } else {
    return rtl::Guarded(R(-1), std::forward<F>(aBody));
  }
}

// The handle rule: a nil handle answers -1 (procedures do nothing); otherwise
// the entry of the export's name is reached as the registry reaches it, with
// the handle's engine object; any exception answers -1 (procedures return).
template <int No>
struct TExport {
  template <class R, class F, class... A>
  static R Call(void* aHandle, F TCryptEngineFunctions::*aEntry, A... aArgs) {
    return Guard<R>([&]() -> R {
      TCryptoEngineWithName* handle = AsHandle(aHandle);
      if (handle == nullptr) return R(-1);  // nothing, for a procedure
      return TRoute<No>::template Call<R>(handle->Functions, handle->EngineHandle, aEntry,
                                          EngineArg(aArgs)...);
    });
  }
};

// SetCryptoParamValue: the engine never sees a nil value or one longer than
// its own limit.
template <>
struct TExport<11> {
  template <class R, class F>
  static R Call(void* aHandle, F TCryptEngineFunctions::*aEntry, Integer i,
                const char16_t* Value) {
    return Guard<R>([&]() -> R {
      TCryptoEngineWithName* handle = AsHandle(aHandle);
      if (handle == nullptr) return -1;
      const Integer maxLen = TRoute<6>::Call<Integer>(
          handle->Functions, handle->EngineHandle, &TCryptEngineFunctions::GetMaxCryptoParamValueLength);
      if (maxLen < 0) return -1;
      string value = platform::WideFrom(Value);
      if (value.size() > static_cast<std::size_t>(maxLen)) {
        value.resize(static_cast<std::size_t>(maxLen));
      }
      return TRoute<11>::Call<R>(handle->Functions, handle->EngineHandle, aEntry, i, value.data());
    });
  }
};

// SetRootPath: the process-wide root first; a refused root leaves the
// engine's own root unchanged.
template <>
struct TExport<30> {
  template <class R, class F>
  static R Call(void* aHandle, F TCryptEngineFunctions::*aEntry, const char16_t* aRootPath) {
    Guard<R>([&] {
      TCryptoEngineWithName* handle = AsHandle(aHandle);
      if (handle == nullptr) return;
      selvane::SetOrvRoot(platform::WideFrom(aRootPath));
      TRoute<30>::Call<R>(handle->Functions, handle->EngineHandle, aEntry, EngineArg(aRootPath));
    });
  }
};

}  // namespace

// (void* Handle, the entry's parameters): named as the entry list names
// them, typed as the public header declares the export.
#define SELVANE_HOST_PARAMS(Name, Args) SELVANE_HOST_PARAMS_I(Name, SELVANE_UNPAREN Args)
#define SELVANE_HOST_PARAMS_I(Name, ...) \
  (void* Handle __VA_OPT__(, SELVANE_HOST_PARAM_1(Name, __VA_ARGS__)))
#define SELVANE_HOST_PARAM(N, I, a) THostParam<decltype(::N), I> a
#define SELVANE_HOST_PARAM_1(N, a, ...) \
  SELVANE_HOST_PARAM(N, 1, a) __VA_OPT__(, SELVANE_HOST_PARAM_2(N, __VA_ARGS__))
#define SELVANE_HOST_PARAM_2(N, a, ...) \
  SELVANE_HOST_PARAM(N, 2, a) __VA_OPT__(, SELVANE_HOST_PARAM_3(N, __VA_ARGS__))
#define SELVANE_HOST_PARAM_3(N, a, ...) \
  SELVANE_HOST_PARAM(N, 3, a) __VA_OPT__(, SELVANE_HOST_PARAM_4(N, __VA_ARGS__))
#define SELVANE_HOST_PARAM_4(N, a, ...) \
  SELVANE_HOST_PARAM(N, 4, a) __VA_OPT__(, SELVANE_HOST_PARAM_5(N, __VA_ARGS__))
#define SELVANE_HOST_PARAM_5(N, a, ...) \
  SELVANE_HOST_PARAM(N, 5, a) __VA_OPT__(, SELVANE_HOST_PARAM_6(N, __VA_ARGS__))
#define SELVANE_HOST_PARAM_6(N, a) SELVANE_HOST_PARAM(N, 6, a)

#define SELVANE_EXPORT_Life(No, Name, Result, Params, Args)
#define SELVANE_EXPORT_Call(No, Name, Result, Params, Args)                                  \
  extern "C" Result stdcall Name SELVANE_HOST_PARAMS(Name, Args) {                           \
    return TExport<No>::Call<Result> SELVANE_ARGS_WITH(Args, Handle, &TCryptEngineFunctions::Name); \
  }
#define SELVANE_ENTRY(No, Name, Result, Presence, Target, Kind, Params, Args) \
  SELVANE_EXPORT_##Kind(No, Name, Result, Params, Args)
#include "crypto/engine_entries.def"
#undef SELVANE_EXPORT_Call
#undef SELVANE_EXPORT_Life

// --- engine types and lifetime ---------------------------------------------

extern "C" void stdcall GetCryptoEngineTypes(int32_t Index, char16_t* TypeName) {
  if (TypeName == nullptr) return;
  rtl::Guarded([&] {
    TypeName[0] = u'\0';
    const string name = selvane::EngineTypeNameByCode(Index);
    if (!name.empty()) platform::WideCopyAll(TypeName, name);
  });
}

extern "C" int32_t stdcall GetMaxCryptoEngineTypeLength(void) {
  return SELVANE_MAX_ENGINE_TYPE_LENGTH;
}

extern "C" int32_t stdcall GetCryptoEngineStatus(const char16_t* EngineType) {
  return rtl::Guarded(-1, [&] { return CryptoCollections().GetCryptoEngineStatus(EngineType); });
}

extern "C" int32_t stdcall CheckEngineCompatibles(const char16_t* EngineType1,
                                                  const char16_t* EngineType2) {
  return rtl::Guarded(0, [&] {
    return CryptoCollections().CheckEngineCompatibles(EngineType1, EngineType2);
  });
}

extern "C" void* stdcall InitCryptoEngine(const char16_t* EngineType) {
  return rtl::Guarded<void*>(nullptr, [&]() -> void* {
    auto handle = std::make_unique<TCryptoEngineWithName>();
    handle->EngineType = platform::WideFrom(EngineType);
    handle->EngineHandle = CryptoCollections().InitCryptoEngine(EngineType, &handle->Functions);
    if (handle->EngineHandle == nullptr) return nullptr;
    return handle.release();  // the host owns it until DoneCryptoEngine
  });
}

extern "C" void stdcall GetCryptoEngineType(void* Handle, char16_t* TypeName) {
  if (TypeName == nullptr || Handle == nullptr) return;
  rtl::Guarded([&] {
    platform::WideCopy(TypeName, AsHandle(Handle)->EngineType, SELVANE_MAX_ENGINE_TYPE_LENGTH - 1);
  });
}

extern "C" void stdcall DoneCryptoEngine(void* Handle) {
  rtl::Guarded([&] {
    std::unique_ptr<TCryptoEngineWithName> handle(AsHandle(Handle));
    // Released here rather than by the destructor, so that the engine's
    // release may unwind a cancelled thread; the handle is freed either way.
    if (handle) handle->ReleaseEngine();
  });
}

extern "C" int32_t stdcall GenerateNewSEKMDM(void*) { return -1; }

// --- debug log and root ----------------------------------------------------

extern "C" void stdcall SetCryptDebugCallBackProc(TCryptDebugCallBack aCallBack) {
  rtl::Guarded([&] { selvane::SetCryptDebugCallBack(aCallBack); });
}

extern "C" void stdcall SetDllRoot(const char16_t* aRootPath) {
  rtl::Guarded([&] { selvane::SetOrvRoot(platform::WideFrom(aRootPath)); });
}
