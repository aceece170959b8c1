// File version numbers (major, minor, release, build) carried by a module.
//
// A module carries its version as an ELF note of owner "FileVersion", type 1,
// whose description is four little-endian 16-bit numbers in that order.  The
// layer reads it from the file without loading the file.  A module declares
// its version once, at file scope, with PLATFORM_FILE_VERSION(4, 12, 0, 318).
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace platform {

struct FileVersion {
  std::uint16_t Major = 0, Minor = 0, Release = 0, Build = 0;
};

// False when the file cannot be read, is no ELF file or has no version note.
bool ReadFileVersion(const std::u16string& path, FileVersion& version);

}  // namespace platform

// Layout of the note as the loader and readers see it.
struct PlatformFileVersionNote {
  std::uint32_t NameSize;
  std::uint32_t DescSize;
  std::uint32_t Type;
  char Name[12];             // "FileVersion" and a zero, 4-byte aligned
  std::uint16_t Numbers[4];  // major, minor, release, build
};

// A section named ".note.*" comes out as SHT_NOTE and the linker gathers it
// into a PT_NOTE segment; "retain" keeps it from --gc-sections.
#if defined(__has_attribute) && __has_attribute(retain)
#define PLATFORM_NOTE_RETAIN retain,
#else
#define PLATFORM_NOTE_RETAIN
#endif

#define PLATFORM_FILE_VERSION(major, minor, release, build)                      \
  extern "C" __attribute__((section(".note.file-version"), aligned(4),           \
                            PLATFORM_NOTE_RETAIN used))                          \
  const PlatformFileVersionNote platform_file_version_note = {                   \
      12, 8, 1, "FileVersion", {(major), (minor), (release), (build)}}
