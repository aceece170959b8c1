// TCryptEngineFunctions: the table of 78 entry points through which the front
// end reaches every engine (built-in or engine module).
#pragma once

#include <array>
#include <cstddef>
#include <cstring>

#include "platform/types.h"

namespace selvane {

// Host callback type of entry SetPasswordRequestFunc.
using TPassRequestFunc = LongBool(stdcall*)(PWideChar aBuff, Integer aBuffSize);

#define SELVANE_UNPAREN(...) __VA_ARGS__
#define SELVANE_PARAMS_OnEngine(...) (Pointer aEngine __VA_OPT__(, ) __VA_ARGS__)
#define SELVANE_PARAMS_NoEngine(...) (__VA_ARGS__)
#define SELVANE_ARGS_OnEngine(...) (aEngine __VA_OPT__(, ) __VA_ARGS__)
#define SELVANE_ARGS_NoEngine(...) (__VA_ARGS__)
// Full parameter list and argument list of an entry, engine object included.
#define SELVANE_ENTRY_PARAMS(Target, Params) SELVANE_PARAMS_##Target Params
#define SELVANE_ENTRY_ARGS(Target, Args) SELVANE_ARGS_##Target Args

// One procedural type per entry: T + the entry name.
#define SELVANE_ENTRY(No, Name, Result, Presence, Target, Kind, Params, Args) \
  using T##Name = Result(stdcall*) SELVANE_ENTRY_PARAMS(Target, Params);
#include "crypto/engine_entries.def"

enum class TEntryPresence { Required, Optional };

struct TCryptEngineFunctions {
#define SELVANE_ENTRY(No, Name, Result, Presence, Target, Kind, Params, Args) T##Name Name = nullptr;
#include "crypto/engine_entries.def"
};

inline constexpr std::size_t EntryCount = 78;
inline constexpr std::size_t RequiredEntryCount = 68;

// Name and place of each entry, in table order, for binding by name.
struct TEntryInfo {
  int No;
  const char* Name;
  TEntryPresence Presence;
  std::size_t Offset;
};

inline constexpr std::array<TEntryInfo, EntryCount> EntryInfos = {{
#define SELVANE_ENTRY(No, Name, Result, Presence, Target, Kind, Params, Args) \
  {No, #Name, TEntryPresence::Presence, offsetof(TCryptEngineFunctions, Name)},
#include "crypto/engine_entries.def"
}};

static_assert(sizeof(TCryptEngineFunctions) == EntryCount * sizeof(void*));

// The table's slots as untyped addresses, for filling by name and the
// readiness test (copied bytewise: the fields have their own types).
inline void SetEntrySlot(TCryptEngineFunctions& table, const TEntryInfo& info, void* address) {
  std::memcpy(reinterpret_cast<char*>(&table) + info.Offset, &address, sizeof address);
}
inline void* EntrySlot(const TCryptEngineFunctions& table, const TEntryInfo& info) {
  void* address = nullptr;
  std::memcpy(&address, reinterpret_cast<const char*>(&table) + info.Offset, sizeof address);
  return address;
}

}  // namespace selvane

// (leading..., the parameters of Params): an entry's parameters behind others.
#define SELVANE_PARAMS_WITH(Params, ...) SELVANE_JOIN_I((__VA_ARGS__), SELVANE_UNPAREN Params)
// The same for argument lists, when forwarding.
#define SELVANE_ARGS_WITH(Args, ...) SELVANE_JOIN_I((__VA_ARGS__), SELVANE_UNPAREN Args)
#define SELVANE_JOIN_I(leading, ...) (SELVANE_UNPAREN leading __VA_OPT__(, ) __VA_ARGS__)
