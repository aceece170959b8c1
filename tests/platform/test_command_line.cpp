#include "platform/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/text.h"

using namespace platform;

namespace {

using TArgs = std::vector<std::u16string>;

std::string Show(const TArgs& args) {
  std::string text;
  for (const auto& arg : args) text += "[" + ToUtf8(arg) + "]";
  return text;
}

TEST(SplitCommandLine, FollowsTheRunTimeRules) {
  const struct {
    std::u16string Text;
    TArgs Args;
  } cases[] = {
      {u"", {}},
      {u" \t ", {}},
      {u"a", {u"a"}},
      {u"  a \t b  ", {u"a", u"b"}},
      {u"a\nb", {u"a\nb"}},                  // only blanks and tabs separate
      {u"\"a b\" c", {u"a b", u"c"}},
      {u"a\"b c\"d", {u"ab cd"}},            // a quoted part inside an argument
      {u"\"\"", {u""}},                      // an empty argument
      {u"a \"\" b", {u"a", u"", u"b"}},
      {u"\"a", {u"a"}},                      // an unclosed quote runs to the end
      {u"\"a b", {u"a b"}},
      {u"\"a\"\"b\"", {u"a\"b"}},            // "" inside quotes: one literal quote
      {u"\"\"\"", {u"\""}},
      {u"a\"\"b", {u"ab"}},                  // outside quotes "" is an empty quoted part
      {u"a\\b", {u"a\\b"}},                  // backslashes are literal ...
      {u"a\\\\b", {u"a\\\\b"}},
      {u"a\\", {u"a\\"}},
      {u"\\\\server\\share", {u"\\\\server\\share"}},
      {u"\\\"a", {u"\"a"}},                  // ... unless before a quote: 2n+1 give n and a quote
      {u"\\\\\\\"a", {u"\\\"a"}},
      {u"\\\\\"a b\"", {u"\\a b"}},          // 2n give n, and the quote acts
      {u"\"a\\\\\" b", {u"a\\", u"b"}},
      {u"\"a\\\" b\"", {u"a\" b"}},
      {u"\"a b\\\\\"\"c\"", {u"a b\\\"c"}},  // after 2n backslashes "" is still a quote
      {u"a\\\\\\b d\"e f\"g h", {u"a\\\\\\b", u"de fg", u"h"}},
      {u"a\\\\\\\"b c d", {u"a\\\"b", u"c", u"d"}},
      {u"a\\\\\\\\\"b c\" d e", {u"a\\\\b c", u"d", u"e"}},
      {u"a\"b\"\" c d", {u"ab\" c d"}},
      {u"\"C:\\Program Files\\x\\\\\" -y", {u"C:\\Program Files\\x\\", u"-y"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(ToUtf8(c.Text));
    EXPECT_EQ(Show(SplitCommandLine(c.Text)), Show(c.Args));
  }
}

TEST(JoinCommandLine, QuotesOnlyWhereNeeded) {
  const struct {
    TArgs Args;
    std::u16string Text;
  } cases[] = {
      {{}, u""},
      {{u"a", u"b\\c"}, u"a b\\c"},
      {{u""}, u"\"\""},
      {{u"a b", u"\t"}, u"\"a b\" \"\t\""},
      {{u"say \"hi\""}, u"\"say \\\"hi\\\"\""},
      {{u"dir\\", u"x"}, u"dir\\ x"},         // unquoted: the backslash stays single
      {{u"a dir\\"}, u"\"a dir\\\\\""},      // before the closing quote: doubled
      {{u"a\\\"b"}, u"\"a\\\\\\\"b\""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(Show(c.Args));
    EXPECT_EQ(JoinCommandLine(c.Args), c.Text);
  }
}

// Every argument of up to five characters from the ones the rules treat
// specially, alone and next to another.
TEST(JoinCommandLine, SplitsBackIntoTheSameArguments) {
  const std::u16string alphabet = u"a \t\"\\";
  std::vector<std::u16string> words{u""};
  for (std::size_t begin = 0, length = 0; length < 5; ++length) {
    const std::size_t end = words.size();
    for (std::size_t i = begin; i < end; ++i)
      for (const char16_t c : alphabet) words.push_back(words[i] + c);
    begin = end;
  }
  for (const auto& word : words) {
    for (const TArgs& args : {TArgs{word}, TArgs{word, u"x"}, TArgs{u"\\", word, word}}) {
      const std::u16string text = JoinCommandLine(args);
      ASSERT_EQ(Show(SplitCommandLine(text)), Show(args)) << ToUtf8(text);
    }
  }
}

}  // namespace
