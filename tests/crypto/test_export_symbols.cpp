// The library's surface: exactly the 85 exported names, prototypes in the
// public header that match the entry-point list, no symbol that would pin
// the library in memory.
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>
#include <type_traits>

#include "crypto/engine_functions.h"
#include "include/selvane2x.h"
#include "platform/files.h"
#include "platform/text.h"

namespace {

// A parameter type without the const of what it points to.
template <class P>
struct TWithoutConstTarget {
  using Type = P;
};
template <class P>
struct TWithoutConstTarget<const P*> {
  using Type = P*;
};
template <class F>
struct TWithoutConstTargets;
template <class R, class... P>
struct TWithoutConstTargets<R (*)(P...)> {
  using Type = R (*)(typename TWithoutConstTarget<P>::Type...);
};

// Every handle export has the type of its entry, the handle standing where
// the engine object does; the header may only add const to what a pointer
// parameter points to.
#define SELVANE_CHECK_Life(Name)
#define SELVANE_CHECK_Call(Name)                                                              \
  static_assert(std::is_same_v<TWithoutConstTargets<decltype(&::Name)>::Type, selvane::T##Name>, \
                #Name);
#define SELVANE_ENTRY(No, Name, Result, Presence, Target, Kind, Params, Args) \
  SELVANE_CHECK_##Kind(Name)
#include "crypto/engine_entries.def"
#undef SELVANE_CHECK_Life
#undef SELVANE_CHECK_Call

struct TDynamicSymbol {
  std::string Name;
  unsigned Binding;
  bool bDefined;
};

template <class T>
T ReadAt(const std::string& file, std::size_t offset) {
  T value{};
  if (offset + sizeof(T) <= file.size()) std::memcpy(&value, file.data() + offset, sizeof(T));
  return value;
}

// The .dynsym entries of an ELF64 file, read from its section headers.
std::vector<TDynamicSymbol> DynamicSymbols(const std::string& file) {
  constexpr std::uint32_t SectionDynsym = 11;
  std::vector<TDynamicSymbol> symbols;
  if (file.size() < 64 || file.compare(0, 4, "\x7f" "ELF") != 0) return symbols;
  const auto shoff = ReadAt<std::uint64_t>(file, 0x28);
  const auto shentsize = ReadAt<std::uint16_t>(file, 0x3a);
  const auto shnum = ReadAt<std::uint16_t>(file, 0x3c);
  auto section = [&](std::size_t i) { return shoff + i * shentsize; };
  for (std::size_t i = 0; i < shnum; ++i) {
    if (ReadAt<std::uint32_t>(file, section(i) + 4) != SectionDynsym) continue;
    const auto offset = ReadAt<std::uint64_t>(file, section(i) + 0x18);
    const auto size = ReadAt<std::uint64_t>(file, section(i) + 0x20);
    const auto link = ReadAt<std::uint32_t>(file, section(i) + 0x28);
    const auto strings = ReadAt<std::uint64_t>(file, section(link) + 0x18);
    for (std::uint64_t at = offset + 24; at + 24 <= offset + size; at += 24) {
      const auto nameOffset = ReadAt<std::uint32_t>(file, at);
      const auto info = ReadAt<std::uint8_t>(file, at + 4);
      const auto shndx = ReadAt<std::uint16_t>(file, at + 6);
      symbols.push_back({std::string(file.c_str() + strings + nameOffset),
                         static_cast<unsigned>(info >> 4), shndx != 0});
    }
  }
  return symbols;
}

std::set<std::string> ExpectedExports() {
  std::set<std::string> names = {
      "GetCryptoEngineTypes", "GetMaxCryptoEngineTypeLength", "GetCryptoEngineStatus",
      "CheckEngineCompatibles", "InitCryptoEngine", "GetCryptoEngineType", "DoneCryptoEngine",
      "GenerateNewSEKMDM", "SetCryptDebugCallBackProc", "SetDllRoot"};
#define SELVANE_NAME_Life(Name)
#define SELVANE_NAME_Call(Name) names.insert(#Name);
#define SELVANE_ENTRY(No, Name, Result, Presence, Target, Kind, Params, Args) \
  SELVANE_NAME_##Kind(Name)
#include "crypto/engine_entries.def"
#undef SELVANE_NAME_Life
#undef SELVANE_NAME_Call
  return names;
}

TEST(ExportedSymbols, ExactlyTheEightyFiveNames) {
  std::string file;
  ASSERT_TRUE(platform::ReadWholeFile(platform::FromUtf8(SELVANE_LIBRARY_PATH), file));
  constexpr unsigned BindingGlobal = 1, BindingWeak = 2, BindingUnique = 10;
  std::set<std::string> exported;
  for (const TDynamicSymbol& symbol : DynamicSymbols(file)) {
    // A unique symbol keeps a library loaded after dlclose.
    EXPECT_NE(symbol.Binding, BindingUnique) << symbol.Name;
    if (symbol.bDefined && (symbol.Binding == BindingGlobal || symbol.Binding == BindingWeak)) {
      exported.insert(symbol.Name);
    }
  }
  const std::set<std::string> expected = ExpectedExports();
  EXPECT_EQ(expected.size(), 85u);
  EXPECT_EQ(exported, expected);
}

}  // namespace
