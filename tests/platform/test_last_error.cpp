#include "platform/last_error.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <thread>

#include "platform/files.h"
#include "platform/text.h"

using namespace platform;

namespace {

TEST(LastError, SystemMessageHasNoTrailingBlanksOrFullStops) {
  EXPECT_EQ(SystemMessage(ENOENT), u"No such file or directory");
  for (Cardinal code : {0u, 1u, 2u, 13u, 22u, 39u, 133u, 4000u, ErrorLoadFailed}) {
    SCOPED_TRACE(code);
    const std::u16string text = SystemMessage(code);
    ASSERT_FALSE(text.empty());
    EXPECT_GT(text.back(), u' ');
    EXPECT_NE(text.back(), u'.');
  }
}

TEST(LastError, DetailLastsUntilTheNextError) {
  SetLastError(ErrorLoadFailed, u"loader says: no");
  EXPECT_EQ(GetLastError(), ErrorLoadFailed);
  EXPECT_EQ(LastErrorText(), u"loader says: no");

  EXPECT_FALSE(DeleteFile(u"/nonexistent-dir/x"));
  EXPECT_EQ(GetLastError(), static_cast<Cardinal>(ENOENT));
  EXPECT_EQ(LastErrorText(), SystemMessage(ENOENT));
}

// No limit of its own: a loader text holds whole paths.  Threads that end
// leave nothing behind (the leak checker sees to that).
TEST(LastError, ALongDetailIsKeptWhole) {
  std::u16string longText;
  for (int i = 0; i < 20000; ++i) longText += IntToStr(i) + u"/";
  longText += u": the reason";
  const auto check = [&longText] {
    SetLastError(ErrorLoadFailed, longText);
    EXPECT_EQ(LastErrorText(), longText);
    SetLastError(ENOENT, u"short");
    EXPECT_EQ(LastErrorText(), u"short");
    SetLastError(ENOENT);
    EXPECT_EQ(LastErrorText(), SystemMessage(ENOENT));
    SetLastError(ErrorLoadFailed, longText);
  };
  check();
  std::thread(check).join();
  EXPECT_EQ(LastErrorText(), longText);
}

TEST(LastError, BelongsToTheThread) {
  SetLastError(EACCES, u"main thread");
  Cardinal seen = 1;
  std::u16string seenText;
  std::thread other([&] {
    seen = GetLastError();
    SetLastError(EPERM, u"other thread");
    seenText = LastErrorText();
  });
  other.join();
  EXPECT_EQ(seen, ErrorSuccess);
  EXPECT_EQ(seenText, u"other thread");
  EXPECT_EQ(GetLastError(), static_cast<Cardinal>(EACCES));
  EXPECT_EQ(LastErrorText(), u"main thread");
}

}  // namespace
