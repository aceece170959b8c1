// Writing through a file descriptor, shared by the layer's file services.
// Internal to platform/: the rest of the system never sees a descriptor.
#pragma once

#include <cstddef>

namespace platform {

// Writes every byte, going on after partial writes and interruptions; a
// write that makes no progress fails with EIO.
bool WriteAll(int fd, const void* data, std::size_t size);

}  // namespace platform
