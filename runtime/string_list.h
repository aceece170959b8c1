// The run-time's string list: ordered texts, each with an optional tag (the
// object slot of the original, used here for small integer flags).
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/types.h"

namespace rtl {

class TStringList {
 public:
  using TTag = std::optional<NativeUInt>;

  struct TItem {
    string Text;
    TTag Tag;
  };

  Integer Count() const { return static_cast<Integer>(FItems.size()); }
  bool Empty() const { return FItems.empty(); }

  // Index errors raise EListError "List index out of bounds (%d)".
  const string& Strings(Integer index) const;
  void SetString(Integer index, string text);
  const TTag& Objects(Integer index) const;
  const string& operator[](Integer index) const { return Strings(index); }

  Integer Add(string text, TTag tag = std::nullopt);
  void Insert(Integer index, string text, TTag tag = std::nullopt);
  void Delete(Integer index);
  void Clear() { FItems.clear(); }
  // The first index of an exactly equal text (letter case counts), or -1.
  Integer IndexOf(const string& text) const;

  const std::vector<TItem>& Items() const { return FItems; }
  auto begin() const { return FItems.begin(); }
  auto end() const { return FItems.end(); }

 private:
  void CheckIndex(Integer index, bool allowEnd = false) const;

  std::vector<TItem> FItems;
};

}  // namespace rtl
