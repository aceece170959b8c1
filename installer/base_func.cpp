#include "installer/base_func.h"

#include <optional>
#include <string>

#include "platform/codepage.h"
#include "platform/console.h"
#include "platform/modules.h"
#include "platform/text.h"
#include "runtime/guard.h"

namespace tarnwick {

namespace {

using TProcedure = void (*)();

// The reference to the loaded library, given back when it goes out of scope.
class TLoadedLibrary {
 public:
  explicit TLoadedLibrary(const string& name) : FModule(platform::LoadModule(name)) {}
  ~TLoadedLibrary() {
    if (Loaded()) platform::FreeModule(FModule);
  }
  TLoadedLibrary(const TLoadedLibrary&) = delete;
  TLoadedLibrary& operator=(const TLoadedLibrary&) = delete;

  bool Loaded() const { return platform::IsValidModule(FModule); }
  platform::ModuleHandle Handle() const { return FModule; }

 private:
  const platform::ModuleHandle FModule;
};

// The function of that name that the library defines itself; nullptr for a
// missing name and for a data symbol (calling one would jump into data).
TProcedure FindProcedure(const TLoadedLibrary& library, const string& funcName) {
  const std::string name = platform::WideToMultiByte(platform::CodePageAnsi, funcName);
  if (name.find('\0') != std::string::npos) return nullptr;  // never cut short
  void* address = platform::ModuleSymbol(library.Handle(), name.c_str());
  if (address == nullptr || !platform::IsFunctionSymbol(address)) return nullptr;
  return reinterpret_cast<TProcedure>(address);
}

}  // namespace

void CallSimpleFunction(const string& dllName, const string& funcName) {
  std::optional<TLoadedLibrary> library;
  // The texts are copied while the library is loaded: the exception object,
  // its type name and its message may all live in the library.
  std::optional<rtl::TExceptionText> failure;
  rtl::GuardedOr(
      [&] {
        if (platform::Trim(dllName).empty()) throw EBaseFuncError(u"DLLName is empty");
        if (platform::Trim(funcName).empty()) throw EBaseFuncError(u"FuncName is empty");
        library.emplace(dllName);
        if (!library->Loaded()) throw EBaseFuncError(u"Can't load library");
        const TProcedure procedure = FindProcedure(*library, funcName);
        if (procedure == nullptr) throw rtl::Exception(u"Can't load function");
        procedure();
        return true;
      },
      [&] {
        failure = rtl::DescribeCurrentException();
        return false;
      });
  // The handler has ended, so the exception object is destroyed: now the
  // library can go.
  library.reset();
  platform::FlushForeignOutput();
  if (failure)
    throw EBaseFuncError(u"Error on CallSimpleFunction; DLLName: " + dllName + u"; FuncName: " + funcName +
                         u"; " + failure->ClassName + u": " + failure->Message);
}

}  // namespace tarnwick
