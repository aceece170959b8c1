// Files, directories and path names.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "platform/types.h"

namespace platform {

inline constexpr char16_t PathDelim = u'/';
inline constexpr char16_t PathListSeparator = u':';

// Every call that fails sets the thread's last error (last_error.h).

bool FileExists(const std::u16string& path);        // regular file, links followed
bool DirectoryExists(const std::u16string& path);   // links followed
bool DeleteFile(const std::u16string& path);
bool RenameFile(const std::u16string& from, const std::u16string& to);  // replaces `to`
// Copies contents, permission bits and modification time.  Replaces `to`
// only once the copy is complete (a failed copy leaves it as it was); with
// failIfExists an existing `to` makes the call fail with EEXIST.
bool CopyFile(const std::u16string& from, const std::u16string& to, bool failIfExists = false);
bool MakeDirectories(const std::u16string& path);   // with parents; an existing one is fine
bool RemoveDirectory(const std::u16string& path);   // empty directory only

// Creates or truncates the file and writes all bytes; a short write fails.
// A FIFO that no one reads fails at once.
bool WriteWholeFile(const std::u16string& path, const void* data, std::size_t size);
// Writes all bytes to a new file beside `path` and renames it over `path`,
// so that a failure leaves the old file as it was; the new file is never
// one that a link points to.  Where no new file can be made there or not
// renamed over `path` (a directory that is not writable, another user's
// file in a sticky directory), a regular file `path` is written in place,
// after its space has been claimed, so that a full disk or a size limit
// still leaves the old contents.
bool ReplaceWholeFile(const std::u16string& path, const void* data, std::size_t size);
// Reads the whole file; false when it cannot be read.
bool ReadWholeFile(const std::u16string& path, std::string& contents);

// Names of the entries of a directory, without "." and "..", unsorted.
bool ListDirectory(const std::u16string& path, std::vector<std::u16string>& names);

// $TMPDIR when set and absolute, else /tmp; no trailing "/".
std::u16string TempDirectory();
std::u16string CurrentDirectory();

// Lexical absolute path: the current directory prefixed to a relative path,
// ".", ".." and repeated "/" folded; a trailing "/" is kept.  No link is
// resolved.  Empty for an empty path or when the current directory is gone.
std::u16string AbsolutePath(std::u16string_view path);

// The text up to the last "/" (without it), or empty; and the text after it.
std::u16string ExtractFileDir(std::u16string_view path);
std::u16string ExtractFileName(std::u16string_view path);

}  // namespace platform
