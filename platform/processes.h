// Running processes: their ids, images and mapped files, as /proc shows
// them, and their termination.
#pragma once

#include <cerrno>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/types.h"

namespace platform {

// What two names of one file share: the device and inode behind them.
struct TFileIdentity {
  std::uint64_t Device = 0;
  std::uint64_t Inode = 0;
  friend bool operator==(const TFileIdentity&, const TFileIdentity&) = default;
};

// The identity of the file a name reaches, links followed.  False (last
// error) when there is no such file.
bool FileIdentity(const std::u16string& path, TFileIdentity& identity);

// A file mapped into a process.  The path is the one /proc shows: every link
// resolved, and " (deleted)" appended once the name no longer reaches the
// mapped file (removed, or replaced by another file).
struct TMappedFile {
  std::u16string Path;
  TFileIdentity Identity;
};

// What the process search reads of one process.
struct TProcessFiles {
  std::uint64_t StartTime = 0;       // see ProcessStartTime
  TMappedFile Image;                 // the program file
  std::vector<TMappedFile> Modules;  // mapped files, first seen first, without the image
};

Cardinal CurrentProcessId();

// The ids of the running processes, ascending (the numeric entries of
// /proc).  False (last error) when /proc cannot be listed.
bool ListProcessIds(std::vector<Cardinal>& ids);

// When the process started, in clock ticks since boot (field 22 of
// /proc/PID/stat): with the id, it names one process, also after the id has
// been reused.  0 when the process is gone or cannot be read.
std::uint64_t ProcessStartTime(Cardinal id);

// Whether the process of the id that started at startTime (0: any) has
// ended: it is gone, a zombie, or its id belongs to a later process.
bool ProcessHasEnded(Cardinal id, std::uint64_t startTime);

// The image and the mapped files of a process.  False (last error) when it
// cannot be read (another user's, a kernel thread, a zombie) or ended or was
// replaced by another process of the same id while it was read.
bool ReadProcessFiles(Cardinal id, TProcessFiles& files);

// The distinct file-backed mappings listed in the text of a /proc/PID/maps
// file (a path starting with "/" and an inode other than 0), in the order
// first seen, without those of the image path; "\012" in a path is the
// newline that /proc escapes.
std::vector<TMappedFile> ParseMappedFiles(std::string_view maps, std::u16string_view image);

// The file-backed mapping that holds the address, in the text of a
// /proc/PID/maps file; false when no such mapping holds it.
bool FindMappedFile(std::string_view maps, const void* address, TMappedFile& file);

// Ends a process with SIGKILL; with waitForEnd, returns once it has ended
// (it may not be reaped yet).  With a start time other than 0 only the
// process that started then is signalled: an id that was reused in between
// is left alone.  Never signals id 0, ids of 2^31 or more (kill(2) would read
// them as process groups), a thread that does not lead its process, or this
// process.  False with the last error: EINVAL for those ids, ESRCH for a
// process that is gone or started at another time, EPERM when the process
// may not be signalled.
bool TerminateProcess(Cardinal id, std::uint64_t startTime, bool waitForEnd = false);

// The last error of a termination that was not permitted ("access denied").
inline constexpr Cardinal ErrorNotPermitted = EPERM;

// Stands in for enabling the debug privilege: while it lives, CAP_KILL is in
// the calling thread's effective set, if it is permitted but was not
// effective; the previous set is restored at the end of its scope.
class TKillCapability {
 public:
  TKillCapability();
  ~TKillCapability();
  TKillCapability(const TKillCapability&) = delete;
  TKillCapability& operator=(const TKillCapability&) = delete;

  // Whether it was raised here (false when it was not permitted, or already
  // effective, so that having it changes nothing).
  bool Raised() const { return FRaised; }

 private:
  bool FRaised = false;
};

// There is no window system: no process has top-level windows, so a quit
// message reaches no one and a process's window caption is empty.
inline void PostQuitToWindowsOf(Cardinal /*processId*/) {}
inline std::u16string WindowCaptionOf(Cardinal /*processId*/) { return {}; }

}  // namespace platform
