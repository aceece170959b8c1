#include "platform/file_version.h"

#include <cerrno>
#include <cstring>
#include <vector>

#include "platform/elf_file.h"
#include "platform/last_error.h"
#include "platform/os_name.h"

namespace platform {

namespace {

constexpr char NoteName[] = "FileVersion";  // with its zero: 12 bytes
constexpr std::uint32_t NoteType = 1;
constexpr std::uint32_t NoteDescSize = 8;

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

bool FindVersion(const TElfFile& file, const Elf64_Ehdr& elf, FileVersion& version) {
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
  const TElfFile file(name);
  if (file.OpenError() != 0) {
    SetLastError(static_cast<Cardinal>(file.OpenError()));
    return false;
  }
  Elf64_Ehdr elf;
  if (!ReadElfHeader(file, elf)) {
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
