// The operations that are not built yet.  Each reports itself and what it
// was asked to do as an exception, which Execute turns into its "Error on
// action : " report and exit code 1.
#include <initializer_list>
#include <utility>

#include "installer/trw_exec.h"
#include "runtime/exceptions.h"

namespace tarnwick {

namespace {

using TArgument = std::pair<std::u16string_view, string>;

string BoolText(bool value) { return value ? u"True" : u"False"; }

[[noreturn]] void NotBuiltYet(std::u16string_view operation,
                              std::initializer_list<TArgument> arguments) {
  string message = string(operation) + u" is not built yet";
  for (const auto& [name, value] : arguments) message += u"; " + string(name) + u": " + value;
  throw rtl::Exception(message);
}

}  // namespace

void TCmdExecutor::CheckLockFiles(const string& inFile, const string& outFile, bool extendIn,
                                  bool extendOut) {
  NotBuiltYet(u"CheckLockFiles", {{u"InFile", inFile},
                                  {u"OutFile", outFile},
                                  {u"bExtendInFileNames", BoolText(extendIn)},
                                  {u"bExtendOutFileNames", BoolText(extendOut)}});
}

void TCmdExecutor::UnLockFiles(const string& inFile, const string& outFile, bool extendIn,
                               bool extendOut) {
  NotBuiltYet(u"UnLockFiles", {{u"InFile", inFile},
                               {u"OutFile", outFile},
                               {u"bExtendInFileNames", BoolText(extendIn)},
                               {u"bExtendOutFileNames", BoolText(extendOut)}});
}

void TCmdExecutor::CheckDelFiles(const string& inFile, const string& outFile, bool extendIn) {
  NotBuiltYet(u"CheckDelFiles", {{u"InFile", inFile},
                                 {u"OutFile", outFile},
                                 {u"bExtendInFileNames", BoolText(extendIn)}});
}

void TCmdExecutor::OwnTest() { NotBuiltYet(u"OwnTest", {}); }

}  // namespace tarnwick
