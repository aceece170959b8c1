#include "runtime/file_mask.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/text.h"

namespace {

TEST(FileMask, MatchesWholeNames) {
  const struct {
    std::u16string Mask, Name;
    bool Match;
  } cases[] = {
      {u"*", u"", true},
      {u"*", u".hidden", true},
      {u"*.*", u"a.b", true},
      {u"*.*", u"noext", false},         // the dot is a character like any other
      {u"*.dll", u"a.dll", true},
      {u"*.dll", u"a.dll.bak", false},
      {u"*.dll", u"a.DLL", false},       // letter case counts
      {u"a*b*c", u"abxbyc", true},
      {u"a*b*c", u"abxbycd", false},
      {u"*ab", u"aab", true},            // the star has to give back
      {u"**x", u"x", true},
      {u"?", u"", false},
      {u"?", u"x", true},
      {u"??", u"x", false},
      {u"a?c", u"abc", true},
      {u"", u"", true},
      {u"", u"a", false},
      {u"[abc]", u"b", true},
      {u"[abc]", u"d", false},
      {u"[a-c]x", u"bx", true},
      {u"[a-c]x", u"Bx", false},
      {u"[!a-c]", u"d", true},
      {u"[!a-c]", u"b", false},
      {u"[!a-c]", u"", false},           // a set takes one character
      {u"[a-]", u"-", true},             // "-" last stands for itself
      {u"[-a]", u"-", true},
      {u"[z-a]", u"m", false},           // a reversed range holds nothing
      {u"[]", u"x", false},
      {u"[!]", u"x", true},
      {u"[*?]", u"?", true},             // no wildcard inside a set
      {u"[*?]", u"x", false},
      {u"a]", u"a]", true},              // "]" outside a set is plain
      {u"\\*", u"\\abc", true},          // no escape character
      {u"\\*", u"*", false},
      {u"*[0-9]", u"log7", true},
      {u"\u00e9*", u"\u00e9t\u00e9", true},
      {u"?", u"\U0001F600", false},      // two code units
      {u"??", u"\U0001F600", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(platform::ToUtf8(c.Mask) + " / " + platform::ToUtf8(c.Name));
    EXPECT_EQ(rtl::MatchesMask(c.Name, c.Mask), c.Match);
  }
}

TEST(FileMask, UnclosedSetIsAnError) {
  for (const std::u16string mask : {u"[", u"a[bc", u"[!", u"[a-", u"x*["}) {
    SCOPED_TRACE(platform::ToUtf8(mask));
    try {
      // The name stops matching before the set: the mask is refused anyway.
      rtl::MatchesMask(u"zzz", mask);
      ADD_FAILURE() << "nothing raised";
    } catch (const rtl::EMaskError& e) {
      EXPECT_STREQ(e.ClassName(), "EMaskError");
      EXPECT_EQ(e.Message(), u"Invalid mask '" + mask + u"'");
    }
  }
}

TEST(FileMask, ManyStarsStayFast) {
  // Backtracking over every star would take exponential time here.
  const std::u16string name(2000, u'a');
  EXPECT_FALSE(rtl::MatchesMask(name, u"*a*a*a*a*a*a*a*a*a*a*b"));
  EXPECT_TRUE(rtl::MatchesMask(name + u"b", u"*a*a*a*a*a*a*a*a*a*a*b"));
}

}  // namespace
