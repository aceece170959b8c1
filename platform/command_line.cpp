#include "platform/command_line.h"

namespace platform {

namespace {

bool IsSeparator(char16_t c) { return c == u' ' || c == u'\t'; }

bool NeedsQuotes(std::u16string_view arg) {
  return arg.empty() || arg.find_first_of(u" \t\"") != std::u16string_view::npos;
}

}  // namespace

std::vector<std::u16string> SplitCommandLine(std::u16string_view text) {
  std::vector<std::u16string> args;
  std::u16string current;
  bool inArgument = false;
  bool quoted = false;
  for (std::size_t i = 0; i < text.size();) {
    const char16_t c = text[i];
    if (IsSeparator(c) && !quoted) {
      if (inArgument) args.push_back(std::move(current));
      current.clear();
      inArgument = false;
      ++i;
      continue;
    }
    inArgument = true;
    if (c == u'\\') {
      std::size_t end = i;
      while (end < text.size() && text[end] == u'\\') ++end;
      const std::size_t count = end - i;
      if (end < text.size() && text[end] == u'"') {
        current.append(count / 2, u'\\');
        if (count % 2 == 1) {
          current += u'"';
          ++end;
        }
        // With an even count the quote is read as a quote, next round.
      } else {
        current.append(count, u'\\');
      }
      i = end;
    } else if (c == u'"') {
      if (quoted && i + 1 < text.size() && text[i + 1] == u'"') {
        current += u'"';
        i += 2;
      } else {
        quoted = !quoted;
        ++i;
      }
    } else {
      current += c;
      ++i;
    }
  }
  if (inArgument) args.push_back(std::move(current));
  return args;
}

std::u16string JoinCommandLine(const std::vector<std::u16string>& args) {
  std::u16string text;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::u16string& arg = args[i];
    if (i > 0) text += u' ';
    if (!NeedsQuotes(arg)) {
      text += arg;
      continue;
    }
    text += u'"';
    std::size_t backslashes = 0;
    for (const char16_t c : arg) {
      if (c == u'\\') {
        ++backslashes;
        continue;
      }
      // Backslashes before a quote are doubled and the quote escaped.
      text.append(c == u'"' ? 2 * backslashes + 1 : backslashes, u'\\');
      backslashes = 0;
      text += c;
    }
    // Before the closing quote they are doubled too.
    text.append(2 * backslashes, u'\\');
    text += u'"';
  }
  return text;
}

}  // namespace platform
