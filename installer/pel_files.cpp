#include "installer/pel_files.h"

#include <vector>

#include "platform/directory_walk.h"
#include "platform/files.h"
#include "platform/text.h"
#include "runtime/file_mask.h"

namespace tarnwick {

namespace {

using platform::TDirEntry;
using platform::TDirectory;
using platform::TEntryType;

string WithTrailingDelim(const string& path) {
  return !path.empty() && path.back() == platform::PathDelim ? path : path + platform::PathDelim;
}

string WithoutTrailingDelim(const string& path) {
  return !path.empty() && path.back() == platform::PathDelim ? path.substr(0, path.size() - 1) : path;
}

bool MatchesEveryName(const string& mask) { return mask == u"*" || mask == u"*.*"; }

Integer ListSubDirsOf(const string& directory, bool followLink, rtl::TStringList& list, bool recurse) {
  const auto dir = TDirectory::Open(directory, followLink);
  std::vector<TDirEntry> entries;
  if (!dir || !dir->Entries(entries)) return 0;
  const string prefix = WithTrailingDelim(directory);
  Integer count = 0;
  for (const TDirEntry& entry : entries) {
    if (entry.Type != TEntryType::Directory) continue;
    const string path = prefix + entry.Name;
    list.Add(path);
    ++count;
    if (recurse) count += ListSubDirsOf(path, false, list, true);
  }
  return count;
}

// Deletes the entries that are not directories and match the mask, last
// first; gives the number found.  The mask is read before anything goes.
Integer DeleteFilesIn(const TDirectory& dir, const std::vector<TDirEntry>& entries, const string& mask) {
  const bool everyName = MatchesEveryName(mask);
  std::vector<const string*> found;
  for (const TDirEntry& entry : entries)
    if (entry.Type != TEntryType::Directory && (everyName || rtl::MatchesMask(entry.Name, mask)))
      found.push_back(&entry.Name);
  for (auto it = found.rbegin(); it != found.rend(); ++it) dir.DeleteEntry(**it);
  return static_cast<Integer>(found.size());
}

// Empties an open directory: its files first, then each subdirectory, last
// first.  Every step goes through descriptors, so nothing outside is reached.
void EmptyDirectory(const TDirectory& dir) {
  std::vector<TDirEntry> entries;
  if (!dir.Entries(entries)) return;
  DeleteFilesIn(dir, entries, u"*");
  for (auto it = entries.rbegin(); it != entries.rend(); ++it) {
    if (it->Type != TEntryType::Directory) continue;
    if (const auto sub = dir.OpenSubDirectory(it->Name)) {
      sub->GrantOwnerWriteAndSearch();
      EmptyDirectory(*sub);
    }
    dir.RemoveSubDirectory(it->Name);
  }
}

}  // namespace

Integer ListSubDirs(const string& directory, rtl::TStringList& list, bool recurse) {
  return ListSubDirsOf(directory, true, list, recurse);
}

string UniqueTempDir(const string& base, const string& name) {
  string dir;
  if (!base.empty() && base.front() == platform::PathDelim) {
    dir = WithoutTrailingDelim(base);
  } else {
    dir = platform::TempDirectory();
    const string rest = !base.empty() && base.front() == u'\\' ? base.substr(1) : base;
    if (!rest.empty()) dir += platform::PathDelim + rest;
  }
  if (name.empty()) return dir;

  const string stem = dir + platform::PathDelim + name;
  string candidate = stem;
  for (Integer i = 0; platform::DirectoryExists(candidate) && i < INT32_MAX; ++i)
    candidate = stem + platform::IntToStr(i);
  return candidate;
}

Integer DeleteFilesByMask(const string& directory, const string& mask) {
  if (directory.empty()) return 0;
  const auto dir = TDirectory::Open(directory, true);
  std::vector<TDirEntry> entries;
  if (!dir || !dir->Entries(entries)) return 0;
  return DeleteFilesIn(*dir, entries, mask);
}

bool RemoveDirTree(const string& directory) {
  if (directory.empty()) return false;
  if (const auto dir = TDirectory::Open(directory, false)) EmptyDirectory(*dir);
  // rmdir never follows a link in place of the directory.
  string path = directory;
  while (path.size() > 1 && path.back() == platform::PathDelim) path.pop_back();
  return platform::RemoveDirectory(path);
}

}  // namespace tarnwick
