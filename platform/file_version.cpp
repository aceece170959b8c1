#include "platform/file_version.h"

#include <elf.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "platform/last_error.h"
#include "platform/os_name.h"

namespace platform {

namespace {

constexpr char NoteName[] = "FileVersion";  // with its zero: 12 bytes
constexpr std::uint32_t NoteType = 1;
constexpr std::uint32_t NoteDescSize = 8;

// Reads pieces of a file, each checked against the file's size first, so a
// header that points past the end gives false rather than a wild read.
class TFileReader {
 public:
  explicit TFileReader(const std::string& path) {
    do FFd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    while (FFd < 0 && errno == EINTR);
    FOpenError = FFd < 0 ? errno : 0;
    struct stat st;
    if (FFd >= 0 && ::fstat(FFd, &st) == 0 && S_ISREG(st.st_mode))
      FSize = static_cast<std::uint64_t>(st.st_size);
  }
  ~TFileReader() {
    if (FFd >= 0) ::close(FFd);
  }
  TFileReader(const TFileReader&) = delete;
  TFileReader& operator=(const TFileReader&) = delete;

  int OpenError() const { return FOpenError; }

  bool Contains(std::uint64_t offset, std::uint64_t size) const {
    return offset <= FSize && size <= FSize - offset;
  }

  bool Read(std::uint64_t offset, std::uint64_t size, void* out) const {
    if (!Contains(offset, size)) return false;
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

  bool Read(std::uint64_t offset, std::uint64_t size, std::vector<unsigned char>& out) const {
    if (!Contains(offset, size)) return false;
    out.resize(size);
    return Read(offset, size, out.data());
  }

  template <typename T>
  bool Read(std::uint64_t offset, T& value) const {
    return Read(offset, sizeof value, &value);
  }

 private:
  int FFd = -1;
  int FOpenError = 0;
  std::uint64_t FSize = 0;
};

std::uint64_t AlignUp(std::uint64_t value, std::uint64_t alignment) {
  return (value + alignment - 1) / alignment * alignment;
}

// Looks through the notes of one note section or segment.
bool FindInNotes(const std::vector<unsigned char>& notes, std::uint64_t alignment,
                 FileVersion& version) {
  // Notes are 4-aligned, except in sections the linker aligned to 8.
  alignment = alignment == 8 ? 8 : 4;
  std::uint64_t at = 0;
  while (notes.size() - at >= sizeof(Elf64_Nhdr)) {
    Elf64_Nhdr header;
    std::memcpy(&header, notes.data() + at, sizeof header);
    const std::uint64_t nameAt = at + sizeof header;
    const std::uint64_t descAt = nameAt + AlignUp(header.n_namesz, alignment);
    const std::uint64_t next = descAt + AlignUp(header.n_descsz, alignment);
    if (descAt + header.n_descsz > notes.size()) return false;
    if (header.n_namesz == sizeof NoteName && header.n_type == NoteType &&
        header.n_descsz == NoteDescSize &&
        std::memcmp(notes.data() + nameAt, NoteName, sizeof NoteName) == 0) {
      const unsigned char* d = notes.data() + descAt;
      const auto number = [d](int i) {
        return static_cast<std::uint16_t>(d[2 * i] | (d[2 * i + 1] << 8));
      };
      version = {number(0), number(1), number(2), number(3)};
      return true;
    }
    if (next > notes.size()) return false;
    at = next;
  }
  return false;
}

// Every header table and every part they describe lies inside the file; a
// truncated or damaged file fails here as a whole, whatever it still holds.
bool ReadSections(const TFileReader& file, const Elf64_Ehdr& elf,
                  std::vector<Elf64_Shdr>& sections) {
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

bool ReadSegments(const TFileReader& file, const Elf64_Ehdr& elf,
                  std::vector<Elf64_Phdr>& segments) {
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

bool FindVersion(const TFileReader& file, const Elf64_Ehdr& elf, FileVersion& version) {
  std::vector<Elf64_Shdr> sections;
  std::vector<Elf64_Phdr> segments;
  if (!ReadSections(file, elf, sections) || !ReadSegments(file, elf, segments)) return false;
  std::vector<unsigned char> notes;
  // Section headers first; a stripped file may have only program headers.
  for (const auto& section : sections)
    if (section.sh_type == SHT_NOTE && file.Read(section.sh_offset, section.sh_size, notes) &&
        FindInNotes(notes, section.sh_addralign, version))
      return true;
  for (const auto& segment : segments)
    if (segment.p_type == PT_NOTE && file.Read(segment.p_offset, segment.p_filesz, notes) &&
        FindInNotes(notes, segment.p_align, version))
      return true;
  return false;
}

}  // namespace

bool ReadFileVersion(const std::u16string& path, FileVersion& version) {
  std::string name;
  if (!ToOsName(path, name)) return false;
  const TFileReader file(name);
  if (file.OpenError() != 0) {
    SetLastError(static_cast<Cardinal>(file.OpenError()));
    return false;
  }
  Elf64_Ehdr elf;
  if (!file.Read(0, elf) || std::memcmp(elf.e_ident, ELFMAG, SELFMAG) != 0 ||
      elf.e_ident[EI_CLASS] != ELFCLASS64 || elf.e_ident[EI_DATA] != ELFDATA2LSB) {
    SetLastError(ENOEXEC);
    return false;
  }
  FileVersion found;
  if (FindVersion(file, elf, found)) {
    version = found;
    return true;
  }
  SetLastError(ENOEXEC);
  return false;
}

}  // namespace platform
