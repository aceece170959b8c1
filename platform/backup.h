// Backing a file up before it is deleted and putting it back afterwards,
// inside a directory that belongs to this process alone.
#pragma once

#include <cerrno>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/types.h"

namespace platform {

// The last error of a name that is taken.
inline constexpr Cardinal ErrorAlreadyExists = EEXIST;

// A directory this process created itself, mode 0700.  Everything done in
// it goes through its descriptor, so that another process cannot swap it
// for a link or a directory of its own.  Closing it removes nothing.
class TOwnDirectory {
 public:
  // Creates the directory exclusively; its parent must exist.  Fails (last
  // error) with EEXIST when anything, a link included, has the name.
  static std::optional<TOwnDirectory> Create(const std::u16string& path);

  TOwnDirectory(TOwnDirectory&& other) noexcept;
  TOwnDirectory& operator=(TOwnDirectory&& other) noexcept;
  ~TOwnDirectory();

  const std::u16string& Path() const { return FPath; }

  // Removes the entries in it that are not directories, then the directory
  // itself when its name still reaches it.  False (last error) when it
  // remains.
  bool Remove() const;

 private:
  friend class TFileBackup;
  TOwnDirectory(int parent, int fd, std::u16string path, std::string leaf)
      : FParent(parent), FFd(fd), FPath(std::move(path)), FLeaf(std::move(leaf)) {}
  void Close();

  int FParent = -1;
  int FFd = -1;
  std::u16string FPath;
  std::string FLeaf;
};

enum class TBackupResult {
  Done,
  SourceUnreadable,  // no regular file or link, or it cannot be read
  BackupFailed,      // the backup could not be written whole (no space, I/O)
};

enum class TRestoreResult {
  Restored,
  NameTaken,  // another file has the name; it is left alone
  Failed,     // the name is still free (last error)
};

// The backup of one file or link, kept in an own directory (which must
// outlive it).  A backup is a hard link to the file where the file system
// allows one, else an exact copy, flushed to disk before the source goes.
class TFileBackup {
 public:
  TFileBackup(const TOwnDirectory& directory, std::u16string name);

  // Backs the source up (a link as the link itself).  The last error tells
  // why it failed.
  TBackupResult Take(const std::u16string& source);
  // Deletes the source when its name still reaches what was backed up.
  bool DeleteSource() const;
  // Whether anything has the source's name.
  bool SourceNameTaken() const;
  // Puts the source back under its name, whole or not at all: owner and
  // group where permitted, the mode (set-user-id and set-group-id only with
  // them), times and extended attributes, then the name, never replacing a
  // file that took the name meanwhile.
  TRestoreResult Restore() const;
  // Removes the backup.
  bool Discard() const;

  const std::u16string& Source() const { return FSource; }
  std::u16string Path() const;

 private:
  struct TMeta {
    std::uint32_t Uid = 0, Gid = 0, Mode = 0;
    std::int64_t AccessSec = 0, AccessNsec = 0, ModifySec = 0, ModifyNsec = 0;
    std::uint64_t Device = 0, Inode = 0, Size = 0;
  };

  TBackupResult TakeLink(const std::string& source);
  TBackupResult TakeFile(const std::string& source);
  bool CopyInto(int from, int to, std::uint64_t size, bool& readFailed) const;
  TRestoreResult RestoreCopy(int targetDir, const std::string& leaf) const;

  int FDirFd;
  std::u16string FDirPath;
  std::string FName;
  std::u16string FSource;
  bool FIsLink = false;
  bool FHardLinked = false;
  std::string FLinkTarget;
  TMeta FMeta;
  std::vector<std::pair<std::string, std::string>> FXattrs;
};

// Tests only: while it lives, every restore fails with the error before it
// takes the file's name.
class ScopedRestoreFault {
 public:
  explicit ScopedRestoreFault(Cardinal error);
  ~ScopedRestoreFault();
  ScopedRestoreFault(const ScopedRestoreFault&) = delete;
  ScopedRestoreFault& operator=(const ScopedRestoreFault&) = delete;

 private:
  Cardinal FPrevious;
};

}  // namespace platform
