#include "platform/modules.h"

#include <dlfcn.h>
#include <link.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <vector>

#include "platform/elf_file.h"
#include "platform/files.h"
#include "platform/last_error.h"
#include "platform/os_name.h"
#include "platform/processes.h"
#include "platform/text.h"

#if !defined(__x86_64__)
#error "FloatingPointGuard and the module checks are written for x86-64"
#endif

namespace platform {

namespace {

// A module handle is the loader's link_map of the object, which is also what
// dlopen returns.
struct TLoadedObject {
  link_map* Map;
  std::string Name;  // as the loader keeps it; empty for the program
  // The file the system mapped, as /proc shows it (every link resolved),
  // when asked for; empty for an object without a file.
  TMappedFile Mapped;
};

link_map* ProgramMap() {
  static link_map* const map = [] {
    link_map* result = nullptr;
    void* self = ::dlopen(nullptr, RTLD_NOW | RTLD_NOLOAD);
    if (self != nullptr) {
      ::dlinfo(self, RTLD_DI_LINKMAP, &result);
      ::dlclose(self);
    }
    return result;
  }();
  return map;
}

// The objects of the process's main namespace.  The list is walked inside a
// dl_iterate_phdr callback because the loader holds the lock that guards the
// list while it runs, so a concurrent dlclose cannot free an entry under us,
// nor map another object where one of them was.  With bWithFiles each object
// gets the file mapped where its dynamic section lies: the name the loader
// keeps may be relative to the directory current at load, or run through a
// link and "..", and so name another file by now.
std::vector<TLoadedObject> LoadedObjects(bool bWithFiles = false) {
  struct TWalk {
    link_map* Head;
    bool bWithFiles;
    std::vector<TLoadedObject> Objects;
  } walk{ProgramMap(), bWithFiles, {}};
  ::dl_iterate_phdr(
      [](dl_phdr_info*, std::size_t, void* data) -> int {
        auto& w = *static_cast<TWalk*>(data);
        std::string maps;
        if (w.bWithFiles && !ReadWholeFile(u"/proc/self/maps", maps)) maps.clear();
        for (link_map* map = w.Head; map != nullptr; map = map->l_next) {
          TLoadedObject& object =
              w.Objects.emplace_back(map, map->l_name != nullptr ? map->l_name : "");
          if (!maps.empty() && !FindMappedFile(maps, map->l_ld, object.Mapped))
            object.Mapped = {};
        }
        return 1;  // once is enough
      },
      &walk);
  return std::move(walk.Objects);
}

const TLoadedObject* FindObject(const std::vector<TLoadedObject>& objects, ModuleHandle module) {
  for (const auto& object : objects)
    if (reinterpret_cast<ModuleHandle>(object.Map) == module) return &object;
  return nullptr;
}

std::u16string ExecutablePath() {
  std::string buffer(256, '\0');
  for (;;) {
    const ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (n < 0) {
      FailWithErrno();
      return {};
    }
    if (static_cast<std::size_t>(n) < buffer.size()) {
      buffer.resize(static_cast<std::size_t>(n));
      return FromUtf8(buffer);
    }
    buffer.resize(buffer.size() * 2);
  }
}

// /proc appends " (deleted)" once the name reaches another file or none;
// the module still lives where it was loaded from.
std::u16string WithoutDeletedMark(const TMappedFile& mapped) {
  constexpr std::u16string_view Mark = u" (deleted)";
  const std::u16string& path = mapped.Path;
  if (path.size() <= Mark.size() || path.compare(path.size() - Mark.size(), Mark.size(), Mark) != 0)
    return path;
  TFileIdentity identity;
  if (FileIdentity(path, identity) && identity == mapped.Identity) return path;
  return path.substr(0, path.size() - Mark.size());
}

std::u16string ObjectPath(const TLoadedObject& object) {
  if (object.Map == ProgramMap()) return ExecutablePath();
  if (!object.Mapped.Path.empty()) return WithoutDeletedMark(object.Mapped);
  const std::u16string name = FromUtf8(object.Name);
  // Only the kernel's own object has a bare name; it has no file.
  if (name.find(PathDelim) == std::u16string::npos) return name;
  return AbsolutePath(name);
}

// One more reference to an object that is loaded already; nullptr when it
// is gone.
void* OpenAgain(const TLoadedObject& object) {
  return ::dlopen(object.Map == ProgramMap() ? nullptr : object.Name.c_str(),
                  RTLD_NOW | RTLD_NOLOAD);
}

std::u16string LoaderText() {
  const char* text = ::dlerror();
  return text != nullptr ? FromUtf8(text) : std::u16string();
}

bool EndsWith(std::string_view text, std::string_view tail) {
  return text.size() >= tail.size() && text.substr(text.size() - tail.size()) == tail;
}

// ENOENT when the file (or, for a bare name, the file the loader searched
// for) does not exist; otherwise the loader gives no code.
Cardinal LoadErrorCode(const std::string& name, const std::u16string& loaderText) {
  if (name.find('/') != std::string::npos) {
    struct stat st;
    if (::stat(name.c_str(), &st) != 0) return static_cast<Cardinal>(errno);
    return ErrorLoadFailed;
  }
  const std::string missing = std::string(": ") + ::strerror(ENOENT);
  return EndsWith(ToUtf8(loaderText), missing) ? ENOENT : ErrorLoadFailed;
}

ModuleHandle FailNotLoaded() {
  SetLastError(EINVAL, u"The handle names no loaded module");
  return 0;
}

// What a load of a file would meet.  The loader itself opens a file without
// looking at its kind (a FIFO blocks it for good, with its lock held) and
// maps segments that a truncated file does not hold (the first touch raises
// SIGBUS), so a file is checked before it is handed over.
enum class TCandidate {
  Absent,   // no such file, or it cannot be read: the loader reports it
  Foreign,  // an ELF file for another machine: a search passes over it
  Fit,
  Refused,  // last error set
};

TCandidate CheckCandidate(const std::string& name) {
  const TElfFile file(name);
  if (file.OpenError() != 0) return TCandidate::Absent;
  if (!file.IsRegular()) {
    // As exec answers for a file that is not regular.
    SetLastError(EACCES);
    return TCandidate::Refused;
  }
  unsigned char ident[EI_NIDENT];
  if (ReadElfIdent(file, ident) &&
      (ident[EI_CLASS] != ELFCLASS64 || ident[EI_DATA] != ELFDATA2LSB))
    return TCandidate::Foreign;
  // The headers, and the file part of every segment, inside the file.
  Elf64_Ehdr elf;
  std::vector<Elf64_Phdr> segments;
  const bool bHeader = ReadElfHeader(file, elf);
  if (bHeader && elf.e_machine != EM_X86_64) return TCandidate::Foreign;
  if (!bHeader || !ReadSegments(file, elf, segments)) {
    SetLastError(ENOEXEC);
    return TCandidate::Refused;
  }
  return TCandidate::Fit;
}

// The directories the loader searches for a bare name, in its order: the
// run paths of the object that calls it, LD_LIBRARY_PATH as read at program
// start, then the system's own.  What the loader finds through its cache
// (the administrator's library directories) is not looked at here.
std::vector<std::string> LoaderSearchDirectories() {
  const ModuleHandle self =
      ModuleOfAddress(reinterpret_cast<const void*>(&LoaderSearchDirectories));
  void* handle = reinterpret_cast<void*>(self);
  Dl_serinfo size;
  if (handle == nullptr || ::dlinfo(handle, RTLD_DI_SERINFOSIZE, &size) != 0) return {};
  std::vector<std::max_align_t> storage(size.dls_size / sizeof(std::max_align_t) + 1);
  auto* info = reinterpret_cast<Dl_serinfo*>(storage.data());
  info->dls_size = size.dls_size;
  info->dls_cnt = size.dls_cnt;
  if (::dlinfo(handle, RTLD_DI_SERINFO, info) != 0) return {};
  std::vector<std::string> directories;
  for (unsigned int i = 0; i < info->dls_cnt; ++i)
    directories.emplace_back(info->dls_serpath[i].dls_name);
  return directories;
}

// False (last error set) when the load must not be tried.  A path is
// checked itself; for a bare name, the first file of that name in the
// loader's search that the loader would take.
bool MayLoad(const std::string& name) {
  if (name.find('/') != std::string::npos) {
    switch (CheckCandidate(name)) {
      case TCandidate::Refused:
        return false;
      case TCandidate::Foreign:
        SetLastError(ENOEXEC);
        return false;
      default:
        return true;
    }
  }
  for (const std::string& directory : LoaderSearchDirectories()) {
    const std::string candidate = (directory.empty() ? std::string(".") : directory) + "/" + name;
    switch (CheckCandidate(candidate)) {
      case TCandidate::Refused:
        return false;
      case TCandidate::Fit:
        return true;
      default:
        break;
    }
  }
  return true;
}

}  // namespace

ModuleHandle LoadModule(const std::u16string& fileOrPath) {
  std::string name;
  if (!ToOsName(fileOrPath, name)) return 0;
  // dlopen takes an empty name for the program itself.
  if (name.empty()) {
    SetLastError(EINVAL);
    return 0;
  }
  if (!MayLoad(name)) return 0;
  void* handle = ::dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) {
    const std::u16string text = LoaderText();
    SetLastError(LoadErrorCode(name, text), text);
    return 0;
  }
  return reinterpret_cast<ModuleHandle>(handle);
}

ModuleHandle FindLoadedModule(const std::u16string& fileName, bool addReference) {
  if (fileName.empty() || fileName.find(u'\0') != std::u16string::npos) {
    SetLastError(ENOENT);
    return 0;
  }
  const bool byPath = fileName.find(PathDelim) != std::u16string::npos;
  const std::u16string wanted = byPath ? AbsolutePath(fileName) : fileName;
  TFileIdentity wantedFile;
  // The file the name reaches as the system resolves it: a link followed
  // by ".." does not fold lexically.
  const bool bWantedExists = byPath && FileIdentity(fileName, wantedFile);
  for (const auto& object : LoadedObjects(true)) {
    const std::u16string path = ObjectPath(object);
    // By path: that path, or another name of the mapped file.  By file
    // name: the mapped file's, or the one it was loaded by (a link).
    const bool bMatch =
        byPath ? path == wanted || (bWantedExists && !object.Mapped.Path.empty() &&
                                    object.Mapped.Identity == wantedFile)
               : ExtractFileName(path) == wanted ||
                     ExtractFileName(FromUtf8(object.Name)) == wanted;
    if (!bMatch) continue;
    if (!addReference) return reinterpret_cast<ModuleHandle>(object.Map);
    void* handle = OpenAgain(object);
    if (handle == nullptr) break;  // unloaded meanwhile
    return reinterpret_cast<ModuleHandle>(handle);
  }
  SetLastError(ENOENT);
  return 0;
}

void* ModuleSymbol(ModuleHandle module, const char* name) {
  if (name == nullptr) {
    SetLastError(EINVAL);
    return nullptr;
  }
  const auto objects = LoadedObjects();
  const TLoadedObject* object = FindObject(objects, module);
  if (object == nullptr) {
    FailNotLoaded();
    return nullptr;
  }
  // An object loaded only as a dependency has no lookup scope until it is
  // opened itself, and dlsym on it would crash; a short reference gives it
  // one and keeps it loaded during the lookup.
  void* reference = OpenAgain(*object);
  if (reference == nullptr) {
    SetLastError(ENOENT, LoaderText());
    return nullptr;
  }
  void* address = ::dlsym(reference, name);
  const std::u16string lookupError = address == nullptr ? LoaderText() : std::u16string();
  ::dlclose(reference);
  if (address == nullptr) {
    SetLastError(ENOENT, lookupError);
    return nullptr;
  }
  // dlsym also finds what the module's dependencies define; only the
  // module's own definitions count.
  Dl_info info;
  link_map* owner = nullptr;
  if (::dladdr1(address, &info, reinterpret_cast<void**>(&owner), RTLD_DL_LINKMAP) == 0 ||
      reinterpret_cast<ModuleHandle>(owner) != module) {
    SetLastError(ENOENT, u"The module does not define " + FromLatin1(name));
    return nullptr;
  }
  return address;
}

bool FreeModule(ModuleHandle module) {
  if (FindObject(LoadedObjects(), module) == nullptr) return FailNotLoaded() != 0;
  if (::dlclose(reinterpret_cast<void*>(module)) != 0) {
    SetLastError(EINVAL, LoaderText());
    return false;
  }
  return true;
}

std::u16string ModuleFileName(ModuleHandle module) {
  if (module == 0) return ExecutablePath();
  const auto objects = LoadedObjects(true);
  const TLoadedObject* object = FindObject(objects, module);
  if (object == nullptr) {
    FailNotLoaded();
    return {};
  }
  return ObjectPath(*object);
}

ModuleHandle ModuleOfAddress(const void* address) {
  Dl_info info;
  link_map* owner = nullptr;
  if (address == nullptr ||
      ::dladdr1(address, &info, reinterpret_cast<void**>(&owner), RTLD_DL_LINKMAP) == 0 ||
      owner == nullptr) {
    SetLastError(ENOENT);
    return 0;
  }
  return reinterpret_cast<ModuleHandle>(owner);
}

FloatingPointGuard::FloatingPointGuard() {
  asm volatile("fnstcw %0" : "=m"(FX87Control));
  asm volatile("stmxcsr %0" : "=m"(FMxcsr));
}

FloatingPointGuard::~FloatingPointGuard() {
  // Clear before loading the control word: a pending exception that the old
  // word unmasks would otherwise trap at the next x87 instruction.
  constexpr unsigned int MxcsrStatusFlags = 0x3F;
  const unsigned int mxcsr = FMxcsr & ~MxcsrStatusFlags;
  asm volatile("fnclex");
  asm volatile("fldcw %0" : : "m"(FX87Control));
  asm volatile("ldmxcsr %0" : : "m"(mxcsr));
}

}  // namespace platform

namespace platform {

namespace {

// Whether the address lies in an executable segment of a loaded object.
bool InExecutableSegment(const void* address) {
  struct TQuery {
    ElfW(Addr) Address;
    bool Found;
  } query{reinterpret_cast<ElfW(Addr)>(address), false};
  ::dl_iterate_phdr(
      [](dl_phdr_info* object, std::size_t, void* data) -> int {
        auto& q = *static_cast<TQuery*>(data);
        for (ElfW(Half) i = 0; i < object->dlpi_phnum; ++i) {
          const ElfW(Phdr)& segment = object->dlpi_phdr[i];
          const ElfW(Addr) start = object->dlpi_addr + segment.p_vaddr;
          if (segment.p_type == PT_LOAD && (segment.p_flags & PF_X) != 0 && q.Address >= start &&
              q.Address - start < segment.p_memsz)
            q.Found = true;
        }
        return q.Found ? 1 : 0;
      },
      &query);
  return query.Found;
}

}  // namespace

bool IsFunctionSymbol(const void* address) {
  Dl_info info;
  void* entry = nullptr;
  if (address == nullptr || ::dladdr1(address, &info, &entry, RTLD_DL_SYMENT) == 0) {
    SetLastError(ENOENT);
    return false;
  }
  if (entry != nullptr && info.dli_saddr == address) {
    // The type bits are the same in 32- and 64-bit symbols.
    const unsigned type = ELF64_ST_TYPE(static_cast<const ElfW(Sym)*>(entry)->st_info);
    if (type == STT_FUNC || type == STT_GNU_IFUNC) return true;
  } else if (entry == nullptr && InExecutableSegment(address)) {
    // What an indirect function resolved to: code that need not have an
    // exported symbol of its own.  Data always has one.
    return true;
  }
  SetLastError(ENOENT, u"The symbol is no function");
  return false;
}

}  // namespace platform
