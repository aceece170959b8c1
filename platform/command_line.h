// Command lines as one text: the C run-time's rules for splitting the text
// after the program name into arguments, and the text that splits back into
// given arguments.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace platform {

// Blanks and tabs separate arguments outside quotes.  A double quote starts
// or ends a quoted part and is removed; inside one, "" is a literal quote.
// 2n backslashes before a quote give n backslashes and the quote acts; 2n + 1
// give n and a literal quote; other backslashes are literal.  A text of only
// separators gives no argument; "" gives one empty argument.
std::vector<std::u16string> SplitCommandLine(std::u16string_view text);

// The arguments joined by blanks, each quoted where SplitCommandLine would
// otherwise not give it back unchanged (empty, or holding a blank, tab or
// quote), so that SplitCommandLine(JoinCommandLine(a)) == a.
std::u16string JoinCommandLine(const std::vector<std::u16string>& args);

}  // namespace platform
