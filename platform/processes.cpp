#include "platform/processes.h"

#include <fcntl.h>
#include <linux/capability.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/sysmacros.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <unordered_set>
#include <utility>

#include "platform/descriptor_io.h"
#include "platform/files.h"
#include "platform/last_error.h"
#include "platform/os_name.h"
#include "platform/text.h"

namespace platform {

namespace {

std::u16string ProcEntry(Cardinal id, const char16_t* name) {
  return u"/proc/" + IntToStr(id) + u"/" + name;
}

template <class T>
bool ParseNumber(std::string_view text, T& value, int base = 10) {
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
  return error == std::errc() && end == text.data() + text.size() && !text.empty();
}

// The fields of /proc/PID/stat after the command name, which is in
// parentheses and may itself hold blanks and parentheses.
struct TStat {
  char State = 0;
  std::uint64_t StartTime = 0;
};

bool ParseStat(const std::string& text, TStat& stat) {
  const std::size_t close = text.rfind(')');
  if (close == std::string::npos) {
    SetLastError(EIO);
    return false;
  }
  // Field 3 (the state) follows ") "; field 22 is the start time.
  std::string_view rest(text);
  rest.remove_prefix(std::min(rest.size(), close + 2));
  for (int field = 3; field <= 22; ++field) {
    const std::size_t end = std::min(rest.find(' '), rest.size());
    const std::string_view value = rest.substr(0, end);
    if (field == 3 && !value.empty()) stat.State = value.front();
    if (field == 22) {
      if (!ParseNumber(value, stat.StartTime) || stat.StartTime == 0) break;
      return true;
    }
    rest.remove_prefix(std::min(rest.size(), end + 1));
  }
  SetLastError(EIO);
  return false;
}

bool ReadStat(Cardinal id, TStat& stat) {
  std::string text;
  return ReadWholeFile(ProcEntry(id, u"stat"), text) && ParseStat(text, stat);
}

// /proc/PID opened once.  Every entry read through it belongs to the process
// that had the id when it was opened: once that process is gone they fail
// (ESRCH), also when its id has gone to another process.
class TProcDir {
 public:
  explicit TProcDir(Cardinal id)
      : FDir(::open(("/proc/" + std::to_string(id)).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {
    if (!FDir.Valid()) FailWithErrno();
  }

  bool Valid() const { return FDir.Valid(); }

  bool Read(const char* name, std::string& text) const {
    text.clear();
    const TFd fd(::openat(FDir.Get(), name, O_RDONLY | O_CLOEXEC));
    return (fd.Valid() && ReadAll(fd.Get(), text)) || FailWithErrno();
  }

  bool ReadLink(const char* name, std::u16string& target) const {
    std::string buffer(256, '\0');
    for (;;) {
      const ssize_t n = ::readlinkat(FDir.Get(), name, buffer.data(), buffer.size());
      if (n < 0) return FailWithErrno();
      if (static_cast<std::size_t>(n) < buffer.size()) {
        buffer.resize(static_cast<std::size_t>(n));
        target = FromUtf8(buffer);
        return true;
      }
      buffer.resize(buffer.size() * 2);
    }
  }

  // The file the entry reaches, links followed.
  bool Identity(const char* name, TFileIdentity& identity) const {
    struct stat st;
    if (::fstatat(FDir.Get(), name, &st, 0) != 0) return FailWithErrno();
    identity = {st.st_dev, st.st_ino};
    return true;
  }

 private:
  TFd FDir;
};

bool IsStartedAt(Cardinal id, std::uint64_t startTime) {
  const std::uint64_t now = ProcessStartTime(id);
  if (now != 0 && (startTime == 0 || now == startTime)) return true;
  SetLastError(ESRCH);
  return false;
}

// Whether the id is that of a process rather than of one of its other
// threads (which /proc also answers for, though it does not list them).
bool LeadsItsProcess(Cardinal id) {
  std::string status;
  if (!ReadWholeFile(ProcEntry(id, u"status"), status)) {
    SetLastError(ESRCH);
    return false;
  }
  const std::size_t at = status.find("\nTgid:");
  if (at != std::string::npos) {
    std::string_view value(status);
    value.remove_prefix(at + 6);
    value.remove_prefix(std::min(value.find_first_not_of(" \t"), value.size()));
    Cardinal tgid = 0;
    if (ParseNumber(value.substr(0, value.find('\n')), tgid) && tgid == id) return true;
  }
  SetLastError(EINVAL);
  return false;
}

// /proc writes a newline in a path as "\012"; no other character is escaped
// (a backslash stands for itself).
std::u16string DecodeMapsPath(std::string_view text) {
  if (text.find('\\') == std::string_view::npos) return FromUtf8(text);
  std::string decoded;
  decoded.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text.compare(i, 4, "\\012") == 0) {
      decoded += '\n';
      i += 3;
    } else {
      decoded += text[i];
    }
  }
  return FromUtf8(decoded);
}

// One line of /proc/PID/maps: "start-end perms offset major:minor inode
// path", the path padded with blanks and possibly empty.  With `range`, only
// a mapping that holds range->first counts, and its end goes to
// range->second.
bool ParseMapsLine(std::string_view line, TMappedFile& file,
                   std::pair<std::uintptr_t, std::uintptr_t>* range = nullptr) {
  const auto next = [&line]() {
    line.remove_prefix(std::min(line.find_first_not_of(' '), line.size()));
    const std::size_t end = std::min(line.find(' '), line.size());
    const std::string_view field = line.substr(0, end);
    line.remove_prefix(end);
    return field;
  };
  const std::string_view addresses = next();
  if (range != nullptr) {
    const std::size_t dash = addresses.find('-');
    std::uintptr_t start = 0, end = 0;
    if (dash == std::string_view::npos || !ParseNumber(addresses.substr(0, dash), start, 16) ||
        !ParseNumber(addresses.substr(dash + 1), end, 16) || range->first < start ||
        range->first >= end)
      return false;
    range->second = end;
  }
  next(), next();  // permissions, offset
  const std::string_view device = next();
  const std::string_view inode = next();
  line.remove_prefix(std::min(line.find_first_not_of(' '), line.size()));
  if (line.empty() || line.front() != '/') return false;
  const std::size_t colon = device.find(':');
  unsigned int major = 0, minor = 0;
  std::uint64_t inodeNumber = 0;
  if (colon == std::string_view::npos || !ParseNumber(device.substr(0, colon), major, 16) ||
      !ParseNumber(device.substr(colon + 1), minor, 16) || !ParseNumber(inode, inodeNumber) ||
      inodeNumber == 0)
    return false;
  file.Path = DecodeMapsPath(line);
  file.Identity = {makedev(major, minor), inodeNumber};
  return true;
}

// Through syscall(2): the C library's declarations are not usable from C++
// in every version that has them.
int PidFdOpen(Cardinal id) { return static_cast<int>(::syscall(SYS_pidfd_open, static_cast<pid_t>(id), 0u)); }

int PidFdSendSignal(int fd, int signal) {
  return static_cast<int>(::syscall(SYS_pidfd_send_signal, fd, signal, nullptr, 0u));
}

// Whether a failed pidfd_open means that descriptors for processes are
// missing or refused here, rather than that the id names no process.
bool PidFdUnavailable(int error) { return error == ENOSYS || error == EPERM || error == EACCES; }

bool WaitForEnd(const TFd& process) {
  pollfd entry{process.Get(), POLLIN, 0};
  while (::poll(&entry, 1, -1) < 0) {
    if (errno != EINTR) return FailWithErrno();
  }
  return true;
}

// Without a descriptor for the process, its end shows in /proc: the entry
// goes, turns into a zombie, or belongs to a later process.
void WatchForEnd(Cardinal id, std::uint64_t startTime) {
  for (;;) {
    TStat stat;
    if (!ReadStat(id, stat) || stat.StartTime != startTime || stat.State == 'Z' ||
        stat.State == 'X')
      return;
    const timespec pause{0, 1000 * 1000};
    ::nanosleep(&pause, nullptr);
  }
}

// kill(2) after the same checks: the id may still be reused between the
// check and the signal.
bool TerminateWithoutPidFd(Cardinal id, std::uint64_t startTime, bool waitForEnd) {
  if (!LeadsItsProcess(id) || !IsStartedAt(id, startTime)) return false;
  const std::uint64_t started = startTime != 0 ? startTime : ProcessStartTime(id);
  if (::kill(static_cast<pid_t>(id), SIGKILL) != 0) return FailWithErrno();
  if (waitForEnd) WatchForEnd(id, started);
  return true;
}

bool ThreadCapabilities(__user_cap_data_struct (&data)[_LINUX_CAPABILITY_U32S_3]) {
  __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
  return ::syscall(SYS_capget, &header, data) == 0;
}

bool SetThreadCapabilities(__user_cap_data_struct (&data)[_LINUX_CAPABILITY_U32S_3]) {
  __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
  return ::syscall(SYS_capset, &header, data) == 0;
}

constexpr std::uint32_t KillBit = 1u << CAP_KILL;  // CAP_KILL is below 32

}  // namespace

bool FileIdentity(const std::u16string& path, TFileIdentity& identity) {
  std::string name;
  if (!ToOsName(path, name)) return false;
  struct stat st;
  if (::stat(name.c_str(), &st) != 0) return FailWithErrno();
  identity = {st.st_dev, st.st_ino};
  return true;
}

Cardinal CurrentProcessId() { return static_cast<Cardinal>(::getpid()); }

bool ListProcessIds(std::vector<Cardinal>& ids) {
  ids.clear();
  std::vector<std::u16string> names;
  if (!ListDirectory(u"/proc", names)) return false;
  for (const auto& name : names) {
    Cardinal id = 0;
    if (ParseNumber(ToUtf8(name), id)) ids.push_back(id);
  }
  if (ids.empty()) {
    // /proc is there but is not the process file system.
    SetLastError(ENOENT);
    return false;
  }
  std::sort(ids.begin(), ids.end());
  return true;
}

std::uint64_t ProcessStartTime(Cardinal id) {
  TStat stat;
  return ReadStat(id, stat) ? stat.StartTime : 0;
}

bool ProcessHasEnded(Cardinal id, std::uint64_t startTime) {
  TStat stat;
  return !ReadStat(id, stat) || (startTime != 0 && stat.StartTime != startTime) || stat.State == 'Z' ||
         stat.State == 'X';
}

bool ReadProcessFiles(Cardinal id, TProcessFiles& files) {
  files = {};
  // Everything through one descriptor of /proc/PID, so that all of it is of
  // one process.  The image first: most entries that cannot be read are
  // kernel threads, which have none, and nothing more is read of them.
  const TProcDir process(id);
  TStat stat;
  std::string text;
  if (!process.Valid() || !process.ReadLink("exe", files.Image.Path) || !process.Read("stat", text) ||
      !ParseStat(text, stat) || !process.Identity("exe", files.Image.Identity) || !process.Read("maps", text))
    return false;
  files.StartTime = stat.StartTime;
  files.Modules = ParseMappedFiles(text, files.Image.Path);
  return true;
}

std::vector<TMappedFile> ParseMappedFiles(std::string_view maps, std::u16string_view image) {
  std::vector<TMappedFile> files;
  // No field before the path holds a "/", so a line's path starts at its
  // first one.  A library's mappings follow one another: most lines repeat
  // a path already taken and are dropped before anything is parsed.
  std::unordered_set<std::string_view> seen;
  std::string_view previous;
  while (!maps.empty()) {
    const std::size_t end = std::min(maps.find('\n'), maps.size());
    const std::string_view line = maps.substr(0, end);
    maps.remove_prefix(std::min(maps.size(), end + 1));
    const std::size_t slash = line.find('/');
    if (slash == std::string_view::npos) continue;
    const std::string_view path = line.substr(slash);
    if (path == previous) continue;
    if (seen.count(path) != 0) {
      previous = path;
      continue;
    }
    TMappedFile file;
    if (!ParseMapsLine(line, file)) continue;
    seen.insert(path);
    previous = path;
    if (file.Path != image) files.push_back(std::move(file));
  }
  return files;
}

bool FindMappedFile(std::string_view maps, const void* address, TMappedFile& file) {
  std::pair<std::uintptr_t, std::uintptr_t> range{reinterpret_cast<std::uintptr_t>(address), 0};
  while (!maps.empty()) {
    const std::size_t end = std::min(maps.find('\n'), maps.size());
    if (ParseMapsLine(maps.substr(0, end), file, &range)) return true;
    maps.remove_prefix(std::min(maps.size(), end + 1));
  }
  return false;
}

bool TerminateProcess(Cardinal id, std::uint64_t startTime, bool waitForEnd) {
  if (id == 0 || id >= 0x80000000u || id == CurrentProcessId()) {
    SetLastError(EINVAL);
    return false;
  }
  const TFd process(PidFdOpen(id));
  if (process.Get() < 0) {
    const int error = errno;
    if (PidFdUnavailable(error)) return TerminateWithoutPidFd(id, startTime, waitForEnd);
    // An id of a thread that does not lead its process: EINVAL, or ENOENT
    // from newer kernels.
    SetLastError(static_cast<Cardinal>(error == ENOENT ? EINVAL : error));
    return false;
  }
  // The descriptor holds the process that has the id now; the start time
  // tells whether that is still the one that was found.
  if (!IsStartedAt(id, startTime)) return false;
  if (PidFdSendSignal(process.Get(), SIGKILL) != 0) return FailWithErrno();
  return !waitForEnd || WaitForEnd(process);
}

TKillCapability::TKillCapability() {
  __user_cap_data_struct data[_LINUX_CAPABILITY_U32S_3] = {};
  if (!ThreadCapabilities(data)) return;
  if ((data[0].permitted & KillBit) == 0 || (data[0].effective & KillBit) != 0) return;
  data[0].effective |= KillBit;
  FRaised = SetThreadCapabilities(data);
}

TKillCapability::~TKillCapability() {
  if (!FRaised) return;
  __user_cap_data_struct data[_LINUX_CAPABILITY_U32S_3] = {};
  if (!ThreadCapabilities(data)) return;
  data[0].effective &= ~KillBit;
  SetThreadCapabilities(data);
}

}  // namespace platform
