// The run-time's file-name mask match.
#pragma once

#include <string_view>

#include "runtime/exceptions.h"

namespace rtl {

// A mask that cannot be read: "Invalid mask '%s'" with the mask.
RTL_EXCEPTION_CLASS(EMaskError, Exception, "")

// Whether the name matches the mask as a whole.  "*" stands for any run of
// characters, "?" for exactly one, "[set]" for one character of the set,
// which holds single characters and ranges such as "a-z" ("-" first or last
// stands for itself), "[!set]" for one character not in it.  Every other
// character stands for itself: letter case counts and there is no escape
// character.  Characters are UTF-16 code units.  A "[" without its "]"
// raises EMaskError, whether or not the name gets that far.
bool MatchesMask(std::u16string_view name, std::u16string_view mask);

}  // namespace rtl
