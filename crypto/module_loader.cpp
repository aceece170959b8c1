#include "crypto/module_loader.h"

#include <string>
#include <string_view>

#include "crypto/debug_log.h"
#include "crypto/engine_utils.h"
#include "crypto/module_path.h"
#include "crypto/root_path.h"
#include "platform/files.h"
#include "platform/last_error.h"
#include "platform/modules.h"
#include "platform/text.h"

namespace selvane {

namespace {

string HandleText(NativeUInt aHandle) { return platform::FromLatin1(std::to_string(aHandle)); }

string Quoted(const string& aText) { return u"\"" + aText + u"\""; }

// The name's file-name part: after its last "/", "\" or ":".
string ShortName(const string& aName) {
  const std::size_t delim = aName.find_last_of(u"/\\:");
  return delim == string::npos ? aName : aName.substr(delim + 1);
}

void LogLoaded(const string& aShown, const char16_t* aHow, NativeUInt aHandle) {
  const string fullName = ModulePathByHandle(aHandle);
  DebugLog(u"Library " + aShown + aHow + u" Handle: " + HandleText(aHandle) + u" FullName: " +
           Quoted(fullName) + u" version: " + GetFileVersionString(fullName));
}

void LogNotLoaded(const string& aShown, const char16_t* aSuffix, const string& aError) {
  DebugLog(u"Library " + Quoted(aShown) + aSuffix + u" " + aError);
}

// A load attempt: a library that changes the floating-point state while it
// loads must not change it for the host.  The error text is taken at once.
NativeUInt LoadGuarded(const string& aFileOrPath, string& aError) {
  platform::FloatingPointGuard guard;
  const NativeUInt handle = platform::LoadModule(aFileOrPath);
  if (!platform::IsValidModule(handle)) aError = SystemErrorText();
  return handle;
}

NativeUInt SearchAndLoad(const string& aShortName, string& aError) {
  const NativeUInt handle = PelLoadLibrary(aShortName);
  if (!platform::IsValidModule(handle)) aError = SystemErrorText();
  return handle;
}

}  // namespace

string SystemErrorText() {
  const Cardinal code = platform::GetLastError();
  return u"System error " + platform::IntToStr(static_cast<Integer>(code)) + u". " +
         platform::LastErrorText();
}

NativeUInt SelvaneLoadLibrary(const string& aName) {
  DebugLog(u"Start exec LoadLibrary: " + aName);
  const string shortName = ShortName(aName);
  DebugLog(u"Check Library " + shortName + u" is loaded");

  // Loaded by the host or another library: take a reference of our own, so
  // the registry's table stays valid whoever unloads it.  It gets no callback.
  NativeUInt handle = platform::FindLoadedModule(shortName, true);
  if (platform::IsValidModule(handle)) {
    LogLoaded(shortName, u" already loaded", handle);
    return handle;
  }
  LogNotLoaded(shortName, u" not loaded yet.", SystemErrorText());

  string error;
  const string nearSelf =
      platform::ExtractFileDir(OwnModulePath()) + platform::PathDelim + shortName;
  DebugLog(u"Try LoadLibrary near self: " + nearSelf);
  handle = LoadGuarded(nearSelf, error);
  if (platform::IsValidModule(handle)) {
    SetCryptDebugCallBackProcToLib(handle);
    LogLoaded(nearSelf, u" loaded", handle);
    return handle;
  }
  LogNotLoaded(nearSelf, u" not loaded.", error);

  DebugLog(u"Try PelLoadLibrary: " + shortName);
  handle = SearchAndLoad(shortName, error);
  if (platform::IsValidModule(handle)) {
    SetCryptDebugCallBackProcToLib(handle);
    LogLoaded(shortName, u" loaded", handle);
    return handle;
  }
  LogNotLoaded(shortName, u" not loaded.", error);
  return 0;
}

void SelvaneFreeLibrary(NativeUInt& aHandle) {
  const string fullName = ModulePathByHandle(aHandle);
  const string fileName = platform::ExtractFileName(fullName);
  DebugLog(u"Start exec SelvaneFreeLibrary: " + Quoted(fullName) + u" Handle: " +
           HandleText(aHandle));
  if (!platform::IsValidModule(aHandle)) return;

  // This library holds one reference per handle, so one release gives back
  // all it took; references of the host or other libraries stay theirs.
  const NativeUInt released = aHandle;
  ForgetCallBackLib(released);  // before the release: the export must not call into it
  const string attempt = u" Attempt: 1";
  DebugLog(u"Before FreeLibrary " + Quoted(fullName) + u" Handle: " + HandleText(released) +
           attempt);
  platform::FreeModule(released);
  DebugLog(u"After FreeLibrary " + Quoted(fullName) + u" Handle: " + HandleText(released) +
           attempt + u". " + SystemErrorText());
  aHandle = platform::FindLoadedModule(fileName, false);
  DebugLog(u"Check loaded library " + Quoted(fileName) + u" Handle: " + HandleText(aHandle) +
           attempt + u". " + SystemErrorText());
}

}  // namespace selvane
