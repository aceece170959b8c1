#include "runtime/string_list.h"

#include <utility>

#include "platform/text.h"
#include "runtime/exceptions.h"

namespace rtl {

void TStringList::CheckIndex(Integer index, bool allowEnd) const {
  const Integer limit = allowEnd ? Count() : Count() - 1;
  if (index < 0 || index > limit) {
    throw EListError(u"List index out of bounds (" + platform::IntToStr(index) + u")");
  }
}

const string& TStringList::Strings(Integer index) const {
  CheckIndex(index);
  return FItems[static_cast<std::size_t>(index)].Text;
}

void TStringList::SetString(Integer index, string text) {
  CheckIndex(index);
  FItems[static_cast<std::size_t>(index)].Text = std::move(text);
}

const TStringList::TTag& TStringList::Objects(Integer index) const {
  CheckIndex(index);
  return FItems[static_cast<std::size_t>(index)].Tag;
}

Integer TStringList::Add(string text, TTag tag) {
  FItems.push_back({std::move(text), tag});
  return Count() - 1;
}

void TStringList::Insert(Integer index, string text, TTag tag) {
  CheckIndex(index, true);
  FItems.insert(FItems.begin() + index, {std::move(text), tag});
}

void TStringList::Delete(Integer index) {
  CheckIndex(index);
  FItems.erase(FItems.begin() + index);
}

Integer TStringList::IndexOf(const string& text) const {
  for (Integer i = 0; i < Count(); ++i) {
    if (FItems[static_cast<std::size_t>(i)].Text == text) return i;
  }
  return -1;
}

}  // namespace rtl
