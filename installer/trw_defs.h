// Tarnwick's parsed command line: the operation and its options.
#pragma once

#include <cstdint>

#include "platform/types.h"

namespace tarnwick {

// The operation, selected by the first parameter's key.
enum class TOpType : std::uint8_t {
  otNone = 0,        // never left after a successful parse
  otRunDLL = 1,      // "dll"
  otCheckLockFiles,  // "chklock"
  otUnLockFiles,     // "unlock"
  otCheckDelFiles,   // "chkdel"
  otRunExe,          // "run"
  otTest,            // "test"
};

struct TCMDInfo {
  TOpType op_type = TOpType::otNone;
  Integer FuncType = 0;     // the value of "dll" and "test"
  string FileName;          // "n"
  string FuncName;          // "f"
  string ExeName;           // "exe"
  string ExeParams;         // "prm"
  string WorkDir;           // "dir"
  string InFile;            // "in"
  string OutFile;           // "out"
  bool bExtendInFileNames = false;   // "extin"
  bool bExtendOutFileNames = false;  // "extout"
  bool bExtendExeFileName = false;   // "extexe"
  bool bWait = false;                // "wait"
  bool bAdminRights = false;         // "admin"
  bool bCheckExitCode = false;       // "checkexit"
};

// The reset value that every parse starts from.
inline const TCMDInfo EmptyCMDInfo{};

}  // namespace tarnwick
