#include "platform/backup.h"

#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <string>
#include <utility>

#include "platform/descriptor_io.h"
#include "platform/last_error.h"
#include "platform/os_name.h"
#include "platform/text.h"

namespace platform {

namespace {

std::atomic<Cardinal> InjectedRestoreFault{0};
std::atomic<unsigned> TempNameCounter{0};

constexpr int DirectoryFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;

// Keeps errno across clean-up calls.
class TErrnoKeeper {
 public:
  TErrnoKeeper() : FErrno(errno) {}
  ~TErrnoKeeper() { errno = FErrno; }

 private:
  int FErrno;
};

// The directory part and the last name of a path: "/" for a name right
// below the root, "." for a name without "/".
void SplitPath(const std::string& path, std::string& dir, std::string& leaf) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) {
    dir = ".";
    leaf = path;
  } else {
    dir = slash == 0 ? "/" : path.substr(0, slash);
    leaf = path.substr(slash + 1);
  }
}

bool SameFile(const struct stat& a, std::uint64_t device, std::uint64_t inode) {
  return a.st_dev == device && a.st_ino == inode;
}

// Gives the temporary entry the final name unless something has it: never
// replaces.  Where the file system has no exclusive rename, a hard link
// does the same.
bool TakeName(int dir, const char* temp, const char* leaf) {
  if (::renameat2(dir, temp, dir, leaf, RENAME_NOREPLACE) == 0) return true;
  if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP) return false;
  if (::linkat(dir, temp, dir, leaf, 0) != 0) return false;
  ::unlinkat(dir, temp, 0);
  return true;
}

// Short, so that it fits wherever the file's own name fits.
std::string TempName() {
  return ".~chkdel" + std::to_string(::getpid()) + "." +
         std::to_string(TempNameCounter.fetch_add(1));
}

}  // namespace

std::optional<TOwnDirectory> TOwnDirectory::Create(const std::u16string& path) {
  std::string name;
  if (!ToOsName(path, name)) return std::nullopt;
  while (name.size() > 1 && name.back() == '/') name.pop_back();
  std::string dir, leaf;
  SplitPath(name, dir, leaf);
  if (leaf.empty() || leaf == "." || leaf == "..") {
    SetLastError(EINVAL);
    return std::nullopt;
  }
  TFd parent(::open(dir.c_str(), DirectoryFlags));
  if (!parent.Valid() || ::mkdirat(parent.Get(), leaf.c_str(), 0700) != 0) {
    FailWithErrno();
    return std::nullopt;
  }
  TFd fd(::openat(parent.Get(), leaf.c_str(), DirectoryFlags | O_NOFOLLOW));
  struct stat st;
  if (!fd.Valid() || ::fstat(fd.Get(), &st) != 0) {
    FailWithErrno();
    return std::nullopt;
  }
  // Swapped for another's directory between the two calls.
  if (st.st_uid != ::geteuid()) {
    SetLastError(EEXIST);
    return std::nullopt;
  }
  ::fchmod(fd.Get(), 0700);  // whatever the creation mask left
  const int parentFd = parent.Release();
  return TOwnDirectory(parentFd, fd.Release(), path, leaf);
}

TOwnDirectory::TOwnDirectory(TOwnDirectory&& other) noexcept
    : FParent(std::exchange(other.FParent, -1)),
      FFd(std::exchange(other.FFd, -1)),
      FPath(std::move(other.FPath)),
      FLeaf(std::move(other.FLeaf)) {}

TOwnDirectory& TOwnDirectory::operator=(TOwnDirectory&& other) noexcept {
  if (this != &other) {
    Close();
    FParent = std::exchange(other.FParent, -1);
    FFd = std::exchange(other.FFd, -1);
    FPath = std::move(other.FPath);
    FLeaf = std::move(other.FLeaf);
  }
  return *this;
}

TOwnDirectory::~TOwnDirectory() { Close(); }

void TOwnDirectory::Close() {
  if (FFd >= 0) ::close(FFd);
  if (FParent >= 0) ::close(FParent);
  FFd = FParent = -1;
}

bool TOwnDirectory::Remove() const {
  struct stat own;
  if (FFd < 0 || ::fstat(FFd, &own) != 0) return FailWithErrno();
  const int listFd = ::openat(FFd, ".", DirectoryFlags);
  if (listFd < 0) return FailWithErrno();
  if (DIR* dir = ::fdopendir(listFd)) {
    while (const dirent* entry = ::readdir(dir)) {
      const std::string_view entryName(entry->d_name);
      if (entryName == "." || entryName == "..") continue;
      struct stat st;
      if (::fstatat(FFd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 && !S_ISDIR(st.st_mode))
        ::unlinkat(FFd, entry->d_name, 0);
    }
    ::closedir(dir);
  } else {
    ::close(listFd);
  }
  struct stat named;
  if (::fstatat(FParent, FLeaf.c_str(), &named, AT_SYMLINK_NOFOLLOW) != 0) return FailWithErrno();
  if (!SameFile(named, own.st_dev, own.st_ino)) {
    SetLastError(ESTALE);
    return false;
  }
  return ::unlinkat(FParent, FLeaf.c_str(), AT_REMOVEDIR) == 0 || FailWithErrno();
}

TFileBackup::TFileBackup(const TOwnDirectory& directory, std::u16string name)
    : FDirFd(directory.FFd), FDirPath(directory.Path()), FName(ToUtf8(name)) {}

std::u16string TFileBackup::Path() const { return FDirPath + u"/" + FromUtf8(FName); }

TBackupResult TFileBackup::Take(const std::u16string& source) {
  FSource = source;
  std::string name;
  if (!ToOsName(source, name)) return TBackupResult::SourceUnreadable;
  struct stat st;
  if (::lstat(name.c_str(), &st) != 0) {
    FailWithErrno();
    return TBackupResult::SourceUnreadable;
  }
  FMeta = {static_cast<std::uint32_t>(st.st_uid), static_cast<std::uint32_t>(st.st_gid),
           static_cast<std::uint32_t>(st.st_mode), st.st_atim.tv_sec, st.st_atim.tv_nsec,
           st.st_mtim.tv_sec, st.st_mtim.tv_nsec, st.st_dev, st.st_ino,
           static_cast<std::uint64_t>(st.st_size)};
  if (S_ISLNK(st.st_mode)) return TakeLink(name);
  if (S_ISREG(st.st_mode)) return TakeFile(name);
  SetLastError(EINVAL);
  return TBackupResult::SourceUnreadable;
}

TBackupResult TFileBackup::TakeLink(const std::string& source) {
  FIsLink = true;
  std::string target(256, '\0');
  for (;;) {
    const ssize_t n = ::readlink(source.c_str(), target.data(), target.size());
    if (n < 0) {
      FailWithErrno();
      return TBackupResult::SourceUnreadable;
    }
    if (static_cast<std::size_t>(n) < target.size()) {
      target.resize(static_cast<std::size_t>(n));
      break;
    }
    target.resize(target.size() * 2);
  }
  FLinkTarget = target;
  struct stat st;
  // linkat without AT_SYMLINK_FOLLOW links the link itself.
  if (::linkat(AT_FDCWD, source.c_str(), FDirFd, FName.c_str(), 0) == 0) {
    if (::fstatat(FDirFd, FName.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 &&
        SameFile(st, FMeta.Device, FMeta.Inode)) {
      FHardLinked = true;
      return ::fsync(FDirFd) == 0 ? TBackupResult::Done
                                  : (FailWithErrno(), TBackupResult::BackupFailed);
    }
    ::unlinkat(FDirFd, FName.c_str(), 0);
  }
  if (::symlinkat(FLinkTarget.c_str(), FDirFd, FName.c_str()) != 0 || ::fsync(FDirFd) != 0) {
    FailWithErrno();
    return TBackupResult::BackupFailed;
  }
  return TBackupResult::Done;
}

bool TFileBackup::CopyInto(int from, int to, std::uint64_t size, bool& readFailed) const {
  readFailed = false;
  char buffer[64 * 1024];
  std::uint64_t total = 0;
  for (;;) {
    const ssize_t n = ::read(from, buffer, sizeof buffer);
    if (n < 0) {
      if (errno == EINTR) continue;
      readFailed = true;
      return false;
    }
    if (n == 0) break;
    if (!WriteAll(to, buffer, static_cast<std::size_t>(n))) return false;
    total += static_cast<std::uint64_t>(n);
  }
  if (total != size) {
    // The file changed while it was read: what was read is no copy of it.
    readFailed = true;
    errno = EIO;
    return false;
  }
  return true;
}

TBackupResult TFileBackup::TakeFile(const std::string& source) {
  // Without blocking: the name may have become a FIFO since it was looked at.
  TFd in(::open(source.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC));
  struct stat st;
  if (!in.Valid() || ::fstat(in.Get(), &st) != 0) {
    FailWithErrno();
    return TBackupResult::SourceUnreadable;
  }
  if (!S_ISREG(st.st_mode) || !SameFile(st, FMeta.Device, FMeta.Inode)) {
    SetLastError(ESTALE);
    return TBackupResult::SourceUnreadable;
  }
  FMeta.Size = static_cast<std::uint64_t>(st.st_size);

  // A hard link is the file itself, exact in every respect.
  if (::linkat(AT_FDCWD, source.c_str(), FDirFd, FName.c_str(), 0) == 0) {
    struct stat linked;
    if (::fstatat(FDirFd, FName.c_str(), &linked, AT_SYMLINK_NOFOLLOW) == 0 &&
        SameFile(linked, FMeta.Device, FMeta.Inode)) {
      FHardLinked = true;
      if (::fsync(FDirFd) == 0) return TBackupResult::Done;
      FailWithErrno();
      return TBackupResult::BackupFailed;
    }
    ::unlinkat(FDirFd, FName.c_str(), 0);
  }

  // A copy also needs the attributes that a copy does not carry.
  const ssize_t listSize = ::flistxattr(in.Get(), nullptr, 0);
  if (listSize > 0) {
    std::string names(static_cast<std::size_t>(listSize), '\0');
    const ssize_t got = ::flistxattr(in.Get(), names.data(), names.size());
    for (std::size_t at = 0; got > 0 && at < static_cast<std::size_t>(got);) {
      const std::string attribute(names.c_str() + at);
      at += attribute.size() + 1;
      const ssize_t valueSize = ::fgetxattr(in.Get(), attribute.c_str(), nullptr, 0);
      if (valueSize < 0) continue;
      std::string value(static_cast<std::size_t>(valueSize), '\0');
      const ssize_t read = ::fgetxattr(in.Get(), attribute.c_str(), value.data(), value.size());
      if (read < 0) continue;
      value.resize(static_cast<std::size_t>(read));
      FXattrs.emplace_back(attribute, value);
    }
  }

  TFd out(::openat(FDirFd, FName.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
  if (!out.Valid()) {
    FailWithErrno();
    return TBackupResult::BackupFailed;
  }
  bool readFailed = false;
  if (CopyInto(in.Get(), out.Get(), FMeta.Size, readFailed) && ::fsync(out.Get()) == 0 &&
      out.Close() && ::fsync(FDirFd) == 0)
    return TBackupResult::Done;
  FailWithErrno();
  ::unlinkat(FDirFd, FName.c_str(), 0);
  return readFailed ? TBackupResult::SourceUnreadable : TBackupResult::BackupFailed;
}

bool TFileBackup::DeleteSource() const {
  std::string name;
  if (!ToOsName(FSource, name)) return false;
  struct stat st;
  if (::lstat(name.c_str(), &st) != 0) return FailWithErrno();
  if (!SameFile(st, FMeta.Device, FMeta.Inode)) {
    SetLastError(ESTALE);
    return false;
  }
  return ::unlink(name.c_str()) == 0 || FailWithErrno();
}

bool TFileBackup::SourceNameTaken() const {
  std::string name;
  struct stat st;
  return ToOsName(FSource, name) && ::lstat(name.c_str(), &st) == 0;
}

TRestoreResult TFileBackup::Restore() const {
  std::string name, dir, leaf;
  if (!ToOsName(FSource, name)) return TRestoreResult::Failed;
  SplitPath(name, dir, leaf);
  TFd targetDir(::open(dir.c_str(), DirectoryFlags));
  if (!targetDir.Valid()) {
    FailWithErrno();
    return TRestoreResult::Failed;
  }
  if (FHardLinked) {
    if (const Cardinal fault = InjectedRestoreFault.load()) {
      SetLastError(fault);
      return TRestoreResult::Failed;
    }
    if (::linkat(FDirFd, FName.c_str(), targetDir.Get(), leaf.c_str(), 0) == 0) {
      ::fsync(targetDir.Get());
      return TRestoreResult::Restored;
    }
    if (errno == EEXIST) return TRestoreResult::NameTaken;
    // Not on this file system or not permitted: as a copy.
  }
  return RestoreCopy(targetDir.Get(), leaf);
}

TRestoreResult TFileBackup::RestoreCopy(int targetDir, const std::string& leaf) const {
  std::string temp;
  TFd out;
  for (int attempt = 0; attempt < 100; ++attempt) {
    temp = TempName();
    if (FIsLink) {
      if (::symlinkat(FLinkTarget.c_str(), targetDir, temp.c_str()) == 0) break;
    } else {
      out.Reset(::openat(targetDir, temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
      if (out.Valid()) break;
    }
    if (errno != EEXIST) {
      FailWithErrno();
      return TRestoreResult::Failed;
    }
    temp.clear();
  }
  if (temp.empty()) {
    SetLastError(EEXIST);
    return TRestoreResult::Failed;
  }
  const struct timespec times[2] = {{FMeta.AccessSec, FMeta.AccessNsec},
                                    {FMeta.ModifySec, FMeta.ModifyNsec}};
  bool written = true;
  if (FIsLink) {
    (void)::fchownat(targetDir, temp.c_str(), FMeta.Uid, FMeta.Gid, AT_SYMLINK_NOFOLLOW);
    (void)::utimensat(targetDir, temp.c_str(), times, AT_SYMLINK_NOFOLLOW);
  } else {
    TFd in(::openat(FDirFd, FName.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    bool readFailed = false;
    written = in.Valid() && CopyInto(in.Get(), out.Get(), FMeta.Size, readFailed);
    if (written) {
      // Owner first: a change of owner clears the set-id bits.
      (void)::fchown(out.Get(), FMeta.Uid, FMeta.Gid);
      struct stat st;
      const bool ownerKept = ::fstat(out.Get(), &st) == 0 && st.st_uid == FMeta.Uid && st.st_gid == FMeta.Gid;
      mode_t mode = FMeta.Mode & 07777;
      if (!ownerKept) mode &= ~static_cast<mode_t>(S_ISUID | S_ISGID);
      written = ::fchmod(out.Get(), mode) == 0 && ::futimens(out.Get(), times) == 0;
      for (const auto& [attribute, value] : FXattrs)
        (void)::fsetxattr(out.Get(), attribute.c_str(), value.data(), value.size(), 0);
      written = written && ::fsync(out.Get()) == 0;
    }
    written = out.Close() && written;
  }
  const Cardinal fault = InjectedRestoreFault.load();
  if (written && fault != 0) errno = static_cast<int>(fault);
  if (written && fault == 0 && TakeName(targetDir, temp.c_str(), leaf.c_str())) {
    ::fsync(targetDir);
    return TRestoreResult::Restored;
  }
  const bool taken = written && fault == 0 && errno == EEXIST;
  {
    TErrnoKeeper keep;
    ::unlinkat(targetDir, temp.c_str(), 0);
  }
  if (taken) return TRestoreResult::NameTaken;
  FailWithErrno();
  return TRestoreResult::Failed;
}

bool TFileBackup::Discard() const {
  return ::unlinkat(FDirFd, FName.c_str(), 0) == 0 || FailWithErrno();
}

ScopedRestoreFault::ScopedRestoreFault(Cardinal error) : FPrevious(InjectedRestoreFault.exchange(error)) {}

ScopedRestoreFault::~ScopedRestoreFault() { InjectedRestoreFault.store(FPrevious); }

}  // namespace platform
