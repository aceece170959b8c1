// Reading a file that must be a regular one.
#pragma once

#include <string>

namespace platform {

// Reads the whole of a regular file, links followed.  A FIFO, a device or
// a directory is refused (EINVAL) without waiting for a writer and without
// reading endlessly; false (last error) too when it cannot be read.
bool ReadRegularFile(const std::u16string& path, std::string& contents);

}  // namespace platform
