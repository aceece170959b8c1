#include "installer/own_temp_dir.h"

#include <cstdint>

#include "installer/pel_files.h"
#include "platform/files.h"
#include "platform/last_error.h"
#include "platform/text.h"
#include "runtime/exceptions.h"

namespace tarnwick {

namespace {

[[noreturn]] void CannotCreate(const string& path) {
  throw rtl::EInOutError(u"Cannot create the directory '" + path + u"': " + platform::LastErrorText());
}

// The number after the stem in a name of the sequence stem, stem0, stem1,
// ...; -1 for the stem itself.
std::int64_t SequenceIndex(const string& stem, const string& candidate) {
  std::int64_t index = -1;
  for (std::size_t i = stem.size(); i < candidate.size(); ++i)
    index = (index < 0 ? 0 : index * 10) + (candidate[i] - u'0');
  return index;
}

}  // namespace

platform::TOwnDirectory CreateOwnTempDir(const string& name) {
  const string first = UniqueTempDir(u"", name);
  const string parent = platform::ExtractFileDir(first);
  if (!parent.empty() && !platform::MakeDirectories(parent)) CannotCreate(parent);
  const string stem = parent + platform::PathDelim + name;
  string candidate = first;
  for (std::int64_t index = SequenceIndex(stem, first); index < INT32_MAX;) {
    if (auto directory = platform::TOwnDirectory::Create(candidate)) return std::move(*directory);
    if (platform::GetLastError() != platform::ErrorAlreadyExists) CannotCreate(candidate);
    candidate = stem + platform::IntToStr(++index);
  }
  CannotCreate(candidate);
}

}  // namespace tarnwick
