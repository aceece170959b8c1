#include "platform/files.h"

#include <dirent.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <memory>

#include "platform/descriptor_io.h"
#include "platform/environment.h"
#include "platform/last_error.h"
#include "platform/os_name.h"
#include "platform/text.h"

namespace platform {

bool WriteAll(int fd, const void* data, std::size_t size) {
  const char* p = static_cast<const char*>(data);
  while (size > 0) {
    const ssize_t n = ::write(fd, p, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (n == 0) {
      errno = EIO;
      return false;
    }
    p += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

bool ReadAll(int fd, std::string& contents) {
  char buffer[64 * 1024];
  for (;;) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (n == 0) return true;
    contents.append(buffer, static_cast<std::size_t>(n));
  }
}

bool ToOsName(std::u16string_view name, std::string& osName) {
  if (name.find(u'\0') != std::u16string_view::npos) {
    SetLastError(EINVAL);
    return false;
  }
  osName = ToUtf8(name);
  return true;
}

bool FailWithErrno() {
  SetLastError(static_cast<Cardinal>(errno));
  return false;
}

namespace {


int OpenRetrying(const char* path, int flags, mode_t mode = 0) {
  int fd;
  do fd = ::open(path, flags | O_CLOEXEC, mode);
  while (fd < 0 && errno == EINTR);
  return fd;
}


bool StatIs(const std::u16string& path, mode_t type) {
  std::string name;
  if (!ToOsName(path, name)) return false;
  struct stat st;
  if (::stat(name.c_str(), &st) != 0) return FailWithErrno();
  return (st.st_mode & S_IFMT) == type;
}

// Copies what is left of `in` to `out` and gives `out` the permission bits
// and times of the source.
bool CopyContents(int in, int out, const struct stat& source) {
  char buffer[64 * 1024];
  for (;;) {
    const ssize_t n = ::read(in, buffer, sizeof buffer);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (n == 0) break;
    if (!WriteAll(out, buffer, static_cast<std::size_t>(n))) return false;
  }
  // Best effort: a file copied in place may belong to someone else.
  const struct timespec times[2] = {source.st_atim, source.st_mtim};
  (void)::fchmod(out, source.st_mode & 07777);
  (void)::futimens(out, times);
  return true;
}

bool CopyToNew(int in, const struct stat& source, const std::string& to) {
  TFd out(OpenRetrying(to.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0600));
  if (!out.Valid()) return false;
  if (CopyContents(in, out.Get(), source) && out.Close()) return true;
  const int error = errno;
  ::unlink(to.c_str());
  errno = error;
  return false;
}

// Copies into a fresh file beside `to` and renames it over `to`, so that `to`
// is either the old file or the whole copy.
bool CopyReplacing(int in, const struct stat& source, const std::string& to) {
  std::string temp = to + ".XXXXXX";
  TFd out(::mkostemp(temp.data(), O_CLOEXEC));
  if (!out.Valid()) {
    if (errno != EACCES) return false;
    // The directory is not writable but `to` may be: copy into it in place.
    TFd direct(OpenRetrying(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600));
    if (!direct.Valid()) return false;
    return CopyContents(in, direct.Get(), source) && direct.Close();
  }
  if (CopyContents(in, out.Get(), source) && out.Close() &&
      ::rename(temp.c_str(), to.c_str()) == 0)
    return true;
  const int error = errno;
  ::unlink(temp.c_str());
  errno = error;
  return false;
}

}  // namespace

bool FileExists(const std::u16string& path) { return StatIs(path, S_IFREG); }

bool DirectoryExists(const std::u16string& path) { return StatIs(path, S_IFDIR); }

bool DeleteFile(const std::u16string& path) {
  std::string name;
  if (!ToOsName(path, name)) return false;
  return ::unlink(name.c_str()) == 0 || FailWithErrno();
}

bool RenameFile(const std::u16string& from, const std::u16string& to) {
  std::string a, b;
  if (!ToOsName(from, a) || !ToOsName(to, b)) return false;
  return ::rename(a.c_str(), b.c_str()) == 0 || FailWithErrno();
}

bool CopyFile(const std::u16string& from, const std::u16string& to, bool failIfExists) {
  std::string a, b;
  if (!ToOsName(from, a) || !ToOsName(to, b)) return false;
  TFd in(OpenRetrying(a.c_str(), O_RDONLY));
  if (!in.Valid()) return FailWithErrno();
  struct stat source;
  if (::fstat(in.Get(), &source) != 0) return FailWithErrno();
  if (S_ISDIR(source.st_mode)) {
    SetLastError(EISDIR);
    return false;
  }
  const bool copied = failIfExists ? CopyToNew(in.Get(), source, b)
                                   : CopyReplacing(in.Get(), source, b);
  return copied || FailWithErrno();
}

bool MakeDirectories(const std::u16string& path) {
  std::string name;
  if (!ToOsName(path, name)) return false;
  if (name.empty()) {
    SetLastError(ENOENT);
    return false;
  }
  // Make each prefix that ends before a "/", then the whole path.
  for (std::size_t end = name.find('/', 1);; end = name.find('/', end + 1)) {
    const std::string prefix = name.substr(0, end);
    if (!prefix.empty() && prefix.back() != '/' && ::mkdir(prefix.c_str(), 0777) != 0) {
      if (errno != EEXIST) return FailWithErrno();
      struct stat st;
      if (::stat(prefix.c_str(), &st) != 0) return FailWithErrno();
      if (!S_ISDIR(st.st_mode)) {
        SetLastError(ENOTDIR);
        return false;
      }
    }
    if (end == std::string::npos) return true;
  }
}

bool RemoveDirectory(const std::u16string& path) {
  std::string name;
  if (!ToOsName(path, name)) return false;
  return ::rmdir(name.c_str()) == 0 || FailWithErrno();
}

bool WriteWholeFile(const std::u16string& path, const void* data, std::size_t size) {
  if (data == nullptr && size != 0) {
    SetLastError(EINVAL);
    return false;
  }
  std::string name;
  if (!ToOsName(path, name)) return false;
  // A FIFO without a reader fails here (ENXIO) instead of waiting for one;
  // the writes themselves block as usual.
  TFd fd(OpenRetrying(name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NONBLOCK, 0666));
  if (!fd.Valid()) return FailWithErrno();
  const int flags = ::fcntl(fd.Get(), F_GETFL);
  if (flags < 0 || ::fcntl(fd.Get(), F_SETFL, flags & ~O_NONBLOCK) != 0) return FailWithErrno();
  if (!WriteAll(fd.Get(), data, size)) return FailWithErrno();
  return fd.Close() || FailWithErrno();
}

namespace {

// The process's file-creation mask, without changing it (umask() would, for
// every thread at once).
mode_t CurrentUmask() {
  std::string status;
  if (ReadWholeFile(u"/proc/self/status", status)) {
    const std::size_t at = status.find("\nUmask:");
    if (at != std::string::npos) return static_cast<mode_t>(std::strtoul(status.c_str() + at + 8, nullptr, 8));
  }
  return 022;
}

}  // namespace

namespace {

// Writes the file where it is, for a directory that takes no new file or
// no rename over the target (not writable, or sticky and the file someone
// else's).  The space is claimed first, so that a full disk or a file-size
// limit fails before the old contents are touched; a link is not followed
// and nothing but a regular file is written.
bool WriteInPlace(const std::string& name, const void* data, std::size_t size) {
  // No O_CREAT for a file that exists: a sticky directory refuses that for
  // another user's file even where the file itself may be written.
  int opened = OpenRetrying(name.c_str(), O_WRONLY | O_NOFOLLOW | O_NONBLOCK);
  if (opened < 0 && errno == ENOENT)
    opened = OpenRetrying(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW, 0666);
  TFd fd(opened);
  if (!fd.Valid()) return false;
  struct stat st;
  if (::fstat(fd.Get(), &st) != 0) return false;
  if (!S_ISREG(st.st_mode)) {
    errno = EINVAL;
    return false;
  }
  const auto length = static_cast<off_t>(size);
  if (size > 0 && ::fallocate(fd.Get(), 0, 0, length) != 0) {
    if (errno != EOPNOTSUPP) return false;
    // No space to claim on this file system; a size limit still shows.
    if (length > st.st_size && ::ftruncate(fd.Get(), length) != 0) return false;
  }
  return WriteAll(fd.Get(), data, size) && ::ftruncate(fd.Get(), length) == 0 && fd.Close();
}

}  // namespace

bool ReplaceWholeFile(const std::u16string& path, const void* data, std::size_t size) {
  if (data == nullptr && size != 0) {
    SetLastError(EINVAL);
    return false;
  }
  std::string name;
  if (!ToOsName(path, name)) return false;
  // A fresh file of our own (never one a link points to), short-named so it
  // fits wherever the target's name fits.
  const std::size_t slash = name.rfind('/');
  std::string temp = (slash == std::string::npos ? std::string() : name.substr(0, slash + 1)) +
                     ".~rplXXXXXX";
  TFd fd(::mkostemp(temp.data(), O_CLOEXEC));
  if (!fd.Valid()) return WriteInPlace(name, data, size) || FailWithErrno();
  // A failed write fails the call: the old file stays as it was.
  const bool written = ::fchmod(fd.Get(), 0666 & ~CurrentUmask()) == 0 &&
                       WriteAll(fd.Get(), data, size) && fd.Close();
  if (written && ::rename(temp.c_str(), name.c_str()) == 0) return true;
  const int error = errno;
  ::unlink(temp.c_str());
  if (written) return WriteInPlace(name, data, size) || FailWithErrno();
  errno = error;
  return FailWithErrno();
}

bool ReadWholeFile(const std::u16string& path, std::string& contents) {
  contents.clear();
  std::string name;
  if (!ToOsName(path, name)) return false;
  TFd fd(OpenRetrying(name.c_str(), O_RDONLY));
  if (!fd.Valid()) return FailWithErrno();
  if (ReadAll(fd.Get(), contents)) return true;
  contents.clear();
  return FailWithErrno();
}

bool ListDirectory(const std::u16string& path, std::vector<std::u16string>& names) {
  names.clear();
  std::string name;
  if (!ToOsName(path, name)) return false;
  std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(name.c_str()), ::closedir);
  if (!dir) return FailWithErrno();
  for (;;) {
    errno = 0;
    const dirent* entry = ::readdir(dir.get());
    if (entry == nullptr) {
      if (errno == 0) return true;
      names.clear();
      return FailWithErrno();
    }
    const std::string_view entryName(entry->d_name);
    if (entryName != "." && entryName != "..") names.push_back(FromUtf8(entryName));
  }
}

std::u16string TempDirectory() {
  const auto value = GetEnvironmentVariable(u"TMPDIR");
  if (!value || value->empty() || value->front() != u'/') return u"/tmp";
  std::u16string dir = AbsolutePath(*value);
  if (dir.size() > 1 && dir.back() == u'/') dir.pop_back();
  return dir;
}

std::u16string CurrentDirectory() {
  std::string buffer(256, '\0');
  for (;;) {
    if (::getcwd(buffer.data(), buffer.size()) != nullptr) {
      buffer.resize(std::char_traits<char>::length(buffer.data()));
      return FromUtf8(buffer);
    }
    if (errno != ERANGE) {
      FailWithErrno();
      return {};
    }
    buffer.resize(buffer.size() * 2);
  }
}

std::u16string AbsolutePath(std::u16string_view path) {
  if (path.empty()) {
    SetLastError(EINVAL);
    return {};
  }
  std::u16string full;
  if (path.front() != u'/') {
    full = CurrentDirectory();
    if (full.empty()) return {};
    full += u'/';
  }
  full += path;

  std::vector<std::u16string_view> parts;
  const std::u16string_view text(full);
  for (std::size_t start = 0; start <= text.size();) {
    std::size_t end = text.find(u'/', start);
    if (end == std::u16string_view::npos) end = text.size();
    const std::u16string_view part = text.substr(start, end - start);
    if (part == u"..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!part.empty() && part != u".") {
      parts.push_back(part);
    }
    start = end + 1;
  }
  std::u16string result;
  for (const auto part : parts) {
    result += u'/';
    result += part;
  }
  if (result.empty() || path.back() == u'/') result += u'/';
  return result;
}

std::u16string ExtractFileDir(std::u16string_view path) {
  const std::size_t slash = path.rfind(PathDelim);
  return slash == std::u16string_view::npos ? std::u16string()
                                             : std::u16string(path.substr(0, slash));
}

std::u16string ExtractFileName(std::u16string_view path) {
  const std::size_t slash = path.rfind(PathDelim);
  return std::u16string(slash == std::u16string_view::npos ? path : path.substr(slash + 1));
}

}  // namespace platform
