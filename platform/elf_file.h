// Reading the headers of an ELF file from disk, never past its end.  Used
// inside the layer only (it includes the OS's ELF definitions).
#pragma once

#include <elf.h>

#include <cstdint>
#include <string>
#include <vector>

namespace platform {

// Reads pieces of a file, each checked against the file's size first, so a
// header that points past the end gives false rather than a wild read.  Only
// a regular file (links followed) is opened, and without waiting: a FIFO or
// device of that name is never opened at all.
class TElfFile {
 public:
  explicit TElfFile(const std::string& osName);
  ~TElfFile();
  TElfFile(const TElfFile&) = delete;
  TElfFile& operator=(const TElfFile&) = delete;

  // The errno of a name that reaches no file or cannot be opened; 0 once
  // opened, and for a file that is not regular.
  int OpenError() const { return FOpenError; }
  bool IsOpen() const { return FFd >= 0; }
  // False for a file that exists but is not a regular file.
  bool IsRegular() const { return FRegular; }

  bool Contains(std::uint64_t offset, std::uint64_t size) const {
    return offset <= FSize && size <= FSize - offset;
  }
  bool Read(std::uint64_t offset, std::uint64_t size, void* out) const;
  bool Read(std::uint64_t offset, std::uint64_t size, std::vector<unsigned char>& out) const;
  template <typename T>
  bool Read(std::uint64_t offset, T& value) const {
    return Read(offset, sizeof value, &value);
  }

 private:
  int FFd = -1;
  int FOpenError = 0;
  bool FRegular = false;
  std::uint64_t FSize = 0;
};

// The ELF header, when the file starts with one (any class or byte order).
bool ReadElfIdent(const TElfFile& file, unsigned char (&ident)[EI_NIDENT]);
// The ELF header of a 64-bit little-endian file.
bool ReadElfHeader(const TElfFile& file, Elf64_Ehdr& header);
// Every header table and every part they describe lies inside the file; a
// truncated or damaged file fails here as a whole, whatever it still holds.
bool ReadSections(const TElfFile& file, const Elf64_Ehdr& elf, std::vector<Elf64_Shdr>& sections);
bool ReadSegments(const TElfFile& file, const Elf64_Ehdr& elf, std::vector<Elf64_Phdr>& segments);

}  // namespace platform
