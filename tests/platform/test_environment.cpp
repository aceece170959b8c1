#include "platform/environment.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <string>

#include "platform/last_error.h"
#include "platform/text.h"

using namespace platform;

namespace {

TEST(Environment, SetReadAndUnset) {
  const std::u16string name = u"PLATFORM_TEST_VARIABLE";
  ASSERT_TRUE(UnsetEnvironmentVariable(name));
  EXPECT_FALSE(GetEnvironmentVariable(name).has_value());

  // Non-ASCII text and bytes that are not UTF-8 both come back unchanged.
  const std::u16string value = u"a:\u00E4\u20AC\U0001F600:" + FromUtf8("\xFF\xC3");
  ASSERT_TRUE(SetEnvironmentVariable(name, value));
  EXPECT_EQ(GetEnvironmentVariable(name), value);

  ASSERT_TRUE(SetEnvironmentVariable(name, u""));
  EXPECT_EQ(GetEnvironmentVariable(name), u"");  // set but empty is not unset

  ASSERT_TRUE(UnsetEnvironmentVariable(name));
  EXPECT_FALSE(GetEnvironmentVariable(name).has_value());
  EXPECT_EQ(GetLastError(), static_cast<Cardinal>(ENOENT));
}

TEST(Environment, RefusesNamesAndValuesTheOsWouldMangle) {
  const std::u16string badNames[] = {u"", u"A=B", u"=A", std::u16string(u"A\0B", 3)};
  for (const auto& name : badNames) {
    SCOPED_TRACE(ToUtf8(name));
    SetLastError(0);
    EXPECT_FALSE(SetEnvironmentVariable(name, u"x"));
    EXPECT_EQ(GetLastError(), static_cast<Cardinal>(EINVAL));
    EXPECT_FALSE(GetEnvironmentVariable(name).has_value());
    EXPECT_FALSE(UnsetEnvironmentVariable(name));
  }
  EXPECT_FALSE(SetEnvironmentVariable(u"PLATFORM_TEST_VARIABLE", std::u16string(u"a\0b", 3)));
  EXPECT_EQ(GetLastError(), static_cast<Cardinal>(EINVAL));
  EXPECT_FALSE(GetEnvironmentVariable(u"A").has_value());  // "A=B" did not set A
}

}  // namespace
