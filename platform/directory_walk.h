// Walking a directory tree through directory descriptors, so that what is
// found under a directory is always inside it: no name is resolved through
// a link, and a path component swapped for a link during the walk cannot
// lead anywhere else.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace platform {

// The kind of an entry itself: a link is a Link, whatever it points to.
enum class TEntryType { File, Directory, Link, Other };

struct TDirEntry {
  std::u16string Name;
  TEntryType Type;
};

// An open directory.  Entry names are names within it: "", ".", ".." and
// names holding "/" are refused (EINVAL).  Every call that fails sets the
// thread's last error.
class TDirectory {
 public:
  // With followLink false a link in place of the directory itself is refused
  // (ENOTDIR); trailing "/" are dropped first, as they would make the OS
  // follow it.
  static std::optional<TDirectory> Open(const std::u16string& path, bool followLink);

  TDirectory(TDirectory&& other) noexcept;
  TDirectory& operator=(TDirectory&& other) noexcept;
  ~TDirectory();

  // A subdirectory; a link is refused (ENOTDIR).
  std::optional<TDirectory> OpenSubDirectory(const std::u16string& name) const;

  // The entries without "." and "..", in the file system's order.  An entry
  // that vanishes while it is read is left out.
  bool Entries(std::vector<TDirEntry>& entries) const;

  // Removes an entry that is not a directory; a link goes, its target stays.
  bool DeleteEntry(const std::u16string& name) const;
  // Removes an empty subdirectory; a link is refused (ENOTDIR).
  bool RemoveSubDirectory(const std::u16string& name) const;

  // Gives the directory owner write and search permission when the calling
  // user owns it and it lacks them, so that its entries can be removed.
  // False (EPERM) for a directory of someone else that lacks them.
  bool GrantOwnerWriteAndSearch() const;

 private:
  explicit TDirectory(int fd) : FFd(fd) {}

  int FFd;
};

}  // namespace platform
