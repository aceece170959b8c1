#include "crypto/engine_utils.h"

#include "crypto/debug_log.h"
#include "platform/file_version.h"
#include "platform/files.h"
#include "platform/last_error.h"
#include "platform/text.h"

namespace selvane {

namespace {

bool WriteFailed(const string& aFileName, const string& aMessage) {
  DebugLog(u"Write file " + aFileName + u" error.\r\n" + aMessage);
  return false;
}

}  // namespace

bool WriteBufferToFile(const char16_t* aFileName, const void* aBuffer, Integer aSize) {
  const string fileName = platform::WideFrom(aFileName);
  if (aSize < 0) return WriteFailed(fileName, u"Invalid size " + platform::IntToStr(aSize));
  if (aBuffer == nullptr && aSize > 0) return WriteFailed(fileName, u"No data buffer");
  if (fileName.empty()) return WriteFailed(fileName, u"No file name");
  // A failed write leaves the old file as it was.
  if (!platform::ReplaceWholeFile(fileName, aBuffer, static_cast<std::size_t>(aSize))) {
    return WriteFailed(fileName, platform::LastErrorText());
  }
  return true;
}

Integer DecodeUIDsList(const char16_t* aUIDList, TStringList& aList) {
  const std::u16string_view text(aUIDList == nullptr ? u"" : aUIDList);
  if (text.empty()) return 0;
  Integer count = 0;
  std::size_t start = 0;
  while (true) {
    const std::size_t end = text.find(u';', start);
    aList.emplace_back(text.substr(start, end - start));
    ++count;
    if (end == std::u16string_view::npos) return count;
    start = end + 1;
  }
}

std::string HexDump(const void* aData, Cardinal aLength, Cardinal aGroupLength,
                    Cardinal aLineLength) {
  static constexpr char digits[] = "0123456789ABCDEF";
  const auto* bytes = static_cast<const unsigned char*>(aData);
  std::string result;
  if (bytes == nullptr) return result;
  Cardinal group = 0;
  Cardinal line = 0;
  for (Cardinal i = 0; i < aLength; ++i) {
    // Separators go before a byte, never after the last one.
    if (++group > aGroupLength) {
      result += ' ';
      group = 1;
    }
    if (++line > aLineLength) {
      result += "\r\n";
      line = 1;
    }
    result += digits[bytes[i] >> 4];
    result += digits[bytes[i] & 0x0F];
  }
  return result;
}

bool GetFileVersionNumbers(const string& aFileName, std::uint16_t& aMajor, std::uint16_t& aMinor,
                           std::uint16_t& aRelease, std::uint16_t& aBuild) {
  if (!platform::FileExists(aFileName)) return false;
  platform::FileVersion version;
  if (!platform::ReadFileVersion(aFileName, version)) return false;
  aMajor = version.Major;
  aMinor = version.Minor;
  aRelease = version.Release;
  aBuild = version.Build;
  return true;
}

string GetFileVersionString(const string& aFileName) {
  std::uint16_t major = 0, minor = 0, release = 0, build = 0;
  if (!GetFileVersionNumbers(aFileName, major, minor, release, build)) return {};
  return platform::IntToStr(major) + u"." + platform::IntToStr(minor) + u"." +
         platform::IntToStr(release) + u"." + platform::IntToStr(build);
}

}  // namespace selvane
