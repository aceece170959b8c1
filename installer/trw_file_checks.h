// The file list of the locked-file and delete checks, and where their
// detail goes.
#pragma once

#include "platform/types.h"
#include "runtime/string_list.h"

namespace tarnwick {

// Trims the entries, drops the empty ones and extends the others.
void ExtendFileNames(rtl::TStringList& list);
// Drops every entry that names no regular file (links followed).
void RemoveMissingFiles(rtl::TStringList& list);
// The "-in" text as a list: its ","-separated names trimmed, the empty ones
// dropped, each "@" entry replaced by the lines of that list file (the
// list file named last first) at the end; then extended and without the
// missing names, as asked.
void BuildFileList(const string& text, rtl::TStringList& list, bool removeMissing, bool extend);
// Creates or truncates the file (a link is followed) and writes EF BB BF
// and the text in UTF-8, without a line break; a failure is ignored.
void WriteOutFile(const string& fileName, const string& text);

}  // namespace tarnwick
