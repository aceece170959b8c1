// The cost of one export call on a ready engine against a direct call through
// the entry-point table, on one thread and on eight.
#include <benchmark/benchmark.h>

#include <string>

#include "crypto/builtin_table.h"
#include "include/selvane2x.h"
#include "platform/modules.h"
#include "platform/text.h"

namespace {

// The built library, loaded once for the whole run, with one engine open.
struct TLoadedLibrary {
  platform::ModuleHandle Module = platform::LoadModule(platform::FromUtf8(SELVANE_LIBRARY_PATH));
  template <class F>
  F Get(const char* name) const {
    return reinterpret_cast<F>(platform::ModuleSymbol(Module, name));
  }
};

const TLoadedLibrary& Library() {
  static const TLoadedLibrary library;
  return library;
}

std::u16string EngineType() { return u"Emulation/2.0"; }

void* OpenHandle() {
  std::u16string type = EngineType();
  return Library().Get<decltype(&::InitCryptoEngine)>("InitCryptoEngine")(type.data());
}

// A built-in table and engine of our own, reached without the exports.
struct TDirectEngine {
  TDirectEngine() {
    selvane::FillEmulatorFunctions(Table);
    std::u16string type = EngineType();
    Engine = Table.GetCryptObj != nullptr ? Table.GetCryptObj(type.data()) : nullptr;
  }
  selvane::TCryptEngineFunctions Table;
  void* Engine = nullptr;
};

void ExportGetMaxUIDLength(benchmark::State& state) {
  static void* const handle = OpenHandle();
  static const auto call = Library().Get<decltype(&::GetMaxUIDLength)>("GetMaxUIDLength");
  if (handle == nullptr || call == nullptr) {
    state.SkipWithError("engine not available");
    return;
  }
  for (auto _ : state) benchmark::DoNotOptimize(call(handle));
}

void DirectGetMaxUIDLength(benchmark::State& state) {
  static const TDirectEngine direct;
  if (direct.Engine == nullptr) {
    state.SkipWithError("engine not available");
    return;
  }
  for (auto _ : state) benchmark::DoNotOptimize(direct.Table.GetMaxUIDLength(direct.Engine));
}

// Signing and verifying on an engine of each thread's own, as host threads do.
void ExportSignVerify(benchmark::State& state) {
  void* const handle = OpenHandle();
  static const auto sign = Library().Get<decltype(&::SignData)>("SignData");
  static const auto verify = Library().Get<decltype(&::VerifyData)>("VerifyData");
  if (handle == nullptr || sign == nullptr || verify == nullptr) {
    state.SkipWithError("engine not available");
    return;
  }
  unsigned char data[64] = {}, signature[256];
  char16_t uid[256];
  for (auto _ : state) {
    int32_t size = sizeof signature;
    benchmark::DoNotOptimize(sign(handle, data, sizeof data, signature, &size, nullptr));
    benchmark::DoNotOptimize(verify(handle, data, sizeof data, signature, size, uid));
  }
  Library().Get<decltype(&::DoneCryptoEngine)>("DoneCryptoEngine")(handle);
}

void DirectSignVerify(benchmark::State& state) {
  const TDirectEngine direct;
  if (direct.Engine == nullptr) {
    state.SkipWithError("engine not available");
    return;
  }
  unsigned char data[64] = {}, signature[256];
  char16_t uid[256];
  for (auto _ : state) {
    int32_t size = sizeof signature;
    benchmark::DoNotOptimize(
        direct.Table.SignData(direct.Engine, data, sizeof data, signature, &size, nullptr));
    benchmark::DoNotOptimize(
        direct.Table.VerifyData(direct.Engine, data, sizeof data, signature, size, uid));
  }
  direct.Table.DoneEngine(direct.Engine);
}

}  // namespace

BENCHMARK(ExportGetMaxUIDLength)->Threads(1)->Threads(8)->UseRealTime();
BENCHMARK(DirectGetMaxUIDLength)->Threads(1)->Threads(8)->UseRealTime();
BENCHMARK(ExportSignVerify)->Threads(1)->Threads(8)->UseRealTime();
BENCHMARK(DirectSignVerify)->Threads(1)->Threads(8)->UseRealTime();

BENCHMARK_MAIN();
