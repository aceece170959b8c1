#include "platform/elf_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace platform {

TElfFile::TElfFile(const std::string& osName) {
  // stat before open: opening a FIFO waits for a writer, opening a device
  // may act on it.
  struct stat st;
  if (::stat(osName.c_str(), &st) != 0) {
    FOpenError = errno;
    return;
  }
  if (!S_ISREG(st.st_mode)) return;
  // Non-blocking all the same, should a FIFO replace the file in between.
  do FFd = ::open(osName.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  while (FFd < 0 && errno == EINTR);
  if (FFd < 0) {
    FOpenError = errno;
    return;
  }
  if (::fstat(FFd, &st) == 0 && S_ISREG(st.st_mode)) {
    FRegular = true;
    FSize = static_cast<std::uint64_t>(st.st_size);
  }
}

TElfFile::~TElfFile() {
  if (FFd >= 0) ::close(FFd);
}

bool TElfFile::Read(std::uint64_t offset, std::uint64_t size, void* out) const {
  if (!FRegular || !Contains(offset, size)) return false;
  char* p = static_cast<char*>(out);
  while (size > 0) {
    const ssize_t n = ::pread(FFd, p, size, static_cast<off_t>(offset));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    p += n;
    offset += static_cast<std::uint64_t>(n);
    size -= static_cast<std::uint64_t>(n);
  }
  return true;
}

bool TElfFile::Read(std::uint64_t offset, std::uint64_t size,
                    std::vector<unsigned char>& out) const {
  if (!Contains(offset, size)) return false;
  out.resize(size);
  return Read(offset, size, out.data());
}

bool ReadElfIdent(const TElfFile& file, unsigned char (&ident)[EI_NIDENT]) {
  return file.Read(0, sizeof ident, ident) && std::memcmp(ident, ELFMAG, SELFMAG) == 0;
}

bool ReadElfHeader(const TElfFile& file, Elf64_Ehdr& header) {
  return file.Read(0, header) && std::memcmp(header.e_ident, ELFMAG, SELFMAG) == 0 &&
         header.e_ident[EI_CLASS] == ELFCLASS64 && header.e_ident[EI_DATA] == ELFDATA2LSB;
}

bool ReadSections(const TElfFile& file, const Elf64_Ehdr& elf, std::vector<Elf64_Shdr>& sections) {
  if (elf.e_shoff == 0) return true;
  if (elf.e_shentsize != sizeof(Elf64_Shdr) ||
      !file.Contains(elf.e_shoff, std::uint64_t{elf.e_shnum} * sizeof(Elf64_Shdr)))
    return false;
  sections.resize(elf.e_shnum);
  for (std::size_t i = 0; i < sections.size(); ++i) {
    Elf64_Shdr& section = sections[i];
    if (!file.Read(elf.e_shoff + i * sizeof section, section)) return false;
    if (section.sh_type != SHT_NOBITS && section.sh_type != SHT_NULL &&
        !file.Contains(section.sh_offset, section.sh_size))
      return false;
  }
  return true;
}

bool ReadSegments(const TElfFile& file, const Elf64_Ehdr& elf, std::vector<Elf64_Phdr>& segments) {
  if (elf.e_phoff == 0) return true;
  if (elf.e_phentsize != sizeof(Elf64_Phdr) ||
      !file.Contains(elf.e_phoff, std::uint64_t{elf.e_phnum} * sizeof(Elf64_Phdr)))
    return false;
  segments.resize(elf.e_phnum);
  for (std::size_t i = 0; i < segments.size(); ++i) {
    Elf64_Phdr& segment = segments[i];
    if (!file.Read(elf.e_phoff + i * sizeof segment, segment)) return false;
    if (!file.Contains(segment.p_offset, segment.p_filesz)) return false;
  }
  return true;
}

}  // namespace platform
