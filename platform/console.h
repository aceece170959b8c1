// Standard output, as the program's console lines reach it.
#pragma once

#include <string_view>

namespace platform {

// Writes the text as it stands (a line brings its own CR LF) to descriptor 1
// in one write(2), converted with the lossless UTF-8 conversion.  A partial
// write is continued, EINTR retried and a full non-blocking descriptor
// waited for; any other failure (a closed or broken standard output) drops
// the text, so a missing reader never ends the program.
void WriteStandardOutput(std::u16string_view text);

// The same for standard error (descriptor 2), where the program's notes
// that are no part of its answer go.
void WriteStandardError(std::u16string_view text);

// Flushes what code other than the program's own (a called library
// procedure) left in the C library's stdout buffer, so that it comes out
// before the program's next line.
void FlushForeignOutput();

}  // namespace platform
