#include "platform/directory_walk.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <memory>
#include <string_view>
#include <utility>

#include "platform/last_error.h"
#include "platform/os_name.h"
#include "platform/text.h"

namespace platform {

namespace {

constexpr int DirectoryFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;

bool ToEntryName(const std::u16string& name, std::string& osName) {
  if (name.empty() || name == u"." || name == u".." || name.find(u'/') != std::u16string::npos) {
    SetLastError(EINVAL);
    return false;
  }
  return ToOsName(name, osName);
}

int OpenAtRetrying(int dirFd, const char* name, int flags) {
  int fd;
  do fd = ::openat(dirFd, name, flags);
  while (fd < 0 && errno == EINTR);
  return fd;
}

TEntryType TypeOfMode(mode_t mode) {
  if (S_ISDIR(mode)) return TEntryType::Directory;
  if (S_ISLNK(mode)) return TEntryType::Link;
  if (S_ISREG(mode)) return TEntryType::File;
  return TEntryType::Other;
}

// The entry's own type, from the directory listing when it tells.
std::optional<TEntryType> TypeOfEntry(int dirFd, const dirent& entry) {
  switch (entry.d_type) {
    case DT_DIR: return TEntryType::Directory;
    case DT_LNK: return TEntryType::Link;
    case DT_REG: return TEntryType::File;
    case DT_UNKNOWN: break;
    default: return TEntryType::Other;
  }
  struct stat st;
  if (::fstatat(dirFd, entry.d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) return std::nullopt;
  return TypeOfMode(st.st_mode);
}

}  // namespace

std::optional<TDirectory> TDirectory::Open(const std::u16string& path, bool followLink) {
  std::string name;
  if (!ToOsName(path, name)) return std::nullopt;
  while (name.size() > 1 && name.back() == '/') name.pop_back();
  const int fd = OpenAtRetrying(AT_FDCWD, name.c_str(), DirectoryFlags | (followLink ? 0 : O_NOFOLLOW));
  if (fd < 0) {
    FailWithErrno();
    return std::nullopt;
  }
  return TDirectory(fd);
}

TDirectory::TDirectory(TDirectory&& other) noexcept : FFd(std::exchange(other.FFd, -1)) {}

TDirectory& TDirectory::operator=(TDirectory&& other) noexcept {
  if (this != &other) {
    if (FFd >= 0) ::close(FFd);
    FFd = std::exchange(other.FFd, -1);
  }
  return *this;
}

TDirectory::~TDirectory() {
  if (FFd >= 0) ::close(FFd);
}

std::optional<TDirectory> TDirectory::OpenSubDirectory(const std::u16string& name) const {
  std::string osName;
  if (!ToEntryName(name, osName)) return std::nullopt;
  const int fd = OpenAtRetrying(FFd, osName.c_str(), DirectoryFlags | O_NOFOLLOW);
  if (fd < 0) {
    FailWithErrno();
    return std::nullopt;
  }
  return TDirectory(fd);
}

bool TDirectory::Entries(std::vector<TDirEntry>& entries) const {
  entries.clear();
  // A descriptor of its own: reading moves its position, and closedir closes it.
  const int fd = OpenAtRetrying(FFd, ".", DirectoryFlags);
  if (fd < 0) return FailWithErrno();
  std::unique_ptr<DIR, int (*)(DIR*)> dir(::fdopendir(fd), ::closedir);
  if (!dir) {
    const int error = errno;
    ::close(fd);
    errno = error;
    return FailWithErrno();
  }
  for (;;) {
    errno = 0;
    const dirent* entry = ::readdir(dir.get());
    if (entry == nullptr) {
      if (errno == 0) return true;
      entries.clear();
      return FailWithErrno();
    }
    const std::string_view name(entry->d_name);
    if (name == "." || name == "..") continue;
    if (const auto type = TypeOfEntry(FFd, *entry)) entries.push_back({FromUtf8(name), *type});
  }
}

bool TDirectory::DeleteEntry(const std::u16string& name) const {
  std::string osName;
  if (!ToEntryName(name, osName)) return false;
  return ::unlinkat(FFd, osName.c_str(), 0) == 0 || FailWithErrno();
}

bool TDirectory::RemoveSubDirectory(const std::u16string& name) const {
  std::string osName;
  if (!ToEntryName(name, osName)) return false;
  return ::unlinkat(FFd, osName.c_str(), AT_REMOVEDIR) == 0 || FailWithErrno();
}

bool TDirectory::GrantOwnerWriteAndSearch() const {
  // Checked and changed on the open descriptor: the directory that was
  // opened, never what a name points to now.
  struct stat st;
  if (::fstat(FFd, &st) != 0) return FailWithErrno();
  constexpr mode_t Needed = S_IWUSR | S_IXUSR;
  if ((st.st_mode & Needed) == Needed) return true;
  if (st.st_uid != ::geteuid()) {
    SetLastError(EPERM);
    return false;
  }
  return ::fchmod(FFd, (st.st_mode & 07777) | Needed) == 0 || FailWithErrno();
}

}  // namespace platform
