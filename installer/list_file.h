// "@" list files: one file name per line.
#pragma once

#include "platform/types.h"
#include "runtime/string_list.h"

namespace tarnwick {

// Appends the trimmed, non-empty lines of the list file to the list.  The
// encoding is the byte-order mark's (UTF-8, UTF-16 little- or big-endian),
// else the ANSI code page; lines end at CR LF, LF or CR.  A line with a
// zero character inside is no name and is left out.  False, with nothing
// appended, when the name is no regular file or cannot be read.
bool ReadListFile(const string& name, rtl::TStringList& list);

// The text of a list file's bytes, as ReadListFile decodes them.
string DecodeListFile(const std::string& bytes);

}  // namespace tarnwick
