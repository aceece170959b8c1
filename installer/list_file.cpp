#include "installer/list_file.h"

#include <string>
#include <string_view>

#include "platform/codepage.h"
#include "platform/regular_file.h"
#include "platform/text.h"

namespace tarnwick {

namespace {

bool StartsWith(std::string_view bytes, std::string_view mark) { return bytes.substr(0, mark.size()) == mark; }

// UTF-16 code units from byte pairs; an odd last byte is no character.
string FromUtf16(std::string_view bytes, bool bigEndian) {
  string text;
  text.reserve(bytes.size() / 2);
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
    const auto first = static_cast<unsigned char>(bytes[i]), second = static_cast<unsigned char>(bytes[i + 1]);
    text += static_cast<char16_t>(bigEndian ? (first << 8 | second) : (second << 8 | first));
  }
  return text;
}

}  // namespace

string DecodeListFile(const std::string& bytes) {
  const std::string_view view(bytes);
  if (StartsWith(view, "\xEF\xBB\xBF"))
    return platform::MultiByteToWide(platform::CodePageUtf8, view.substr(3));
  if (StartsWith(view, "\xFF\xFE")) return FromUtf16(view.substr(2), false);
  if (StartsWith(view, "\xFE\xFF")) return FromUtf16(view.substr(2), true);
  return platform::MultiByteToWide(platform::CodePageAnsi, view);
}

bool ReadListFile(const string& name, rtl::TStringList& list) {
  std::string bytes;
  if (!platform::ReadRegularFile(name, bytes)) return false;
  const string text = DecodeListFile(bytes);
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find_first_of(u"\r\n", start);
    if (end == string::npos) end = text.size();
    const string line = platform::Trim(std::u16string_view(text).substr(start, end - start));
    if (!line.empty() && line.find(u'\0') == string::npos) list.Add(line);
    start = end + (text.compare(end, 2, u"\r\n") == 0 ? 2 : 1);
  }
  return true;
}

}  // namespace tarnwick
