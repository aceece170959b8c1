// Where the loadable part of an ELF image ends, for tests that cut modules
// short.
#pragma once

#include <elf.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <string>

namespace platform_test {

// The end of the file part of the last loadable segment; the image must be
// a whole 64-bit ELF file.
inline std::size_t LoadedExtent(const std::string& image) {
  Elf64_Ehdr header;
  std::memcpy(&header, image.data(), sizeof header);
  std::size_t end = 0;
  for (std::size_t i = 0; i < header.e_phnum; ++i) {
    Elf64_Phdr segment;
    std::memcpy(&segment, image.data() + header.e_phoff + i * sizeof segment, sizeof segment);
    if (segment.p_type == PT_LOAD)
      end = std::max<std::size_t>(end, segment.p_offset + segment.p_filesz);
  }
  return end;
}

}  // namespace platform_test
