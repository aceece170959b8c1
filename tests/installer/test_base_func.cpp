#include "installer/base_func.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/text.h"

using tarnwick::CallSimpleFunction;
using tarnwick::EBaseFuncError;

namespace {

const std::u16string Library = platform::FromUtf8(FIXTURE_DIR "/dll/libfixture_dll.so");

// The message of the EBaseFuncError raised, or "none".
std::u16string Raised(const std::u16string& dll, const std::u16string& func) {
  try {
    CallSimpleFunction(dll, func);
  } catch (const EBaseFuncError& e) {
    EXPECT_STREQ(e.ClassName(), "EBaseFuncError");
    return e.Message();
  }
  return u"none";
}

// The checks that no "-dll" command line reaches: the name given there
// always has a directory in front.
TEST(CallSimpleFunction, NamesAreCheckedTrimmedAndUsedAsGiven) {
  const std::u16string prefix = u"Error on CallSimpleFunction; DLLName: ";
  EXPECT_EQ(Raised(u"", u"Start"), prefix + u"; FuncName: Start; EBaseFuncError: DLLName is empty");
  EXPECT_EQ(Raised(u" \t", u""), prefix + u" \t; FuncName: ; EBaseFuncError: DLLName is empty");
  EXPECT_EQ(Raised(Library, u"  "), prefix + Library + u"; FuncName:   ; EBaseFuncError: FuncName is empty");
  // The function name is not trimmed.
  EXPECT_EQ(Raised(Library, u" Start"), prefix + Library + u"; FuncName:  Start; Exception: Can't load function");
  EXPECT_EQ(Raised(Library, std::u16string(u"Start\0x", 7)),
            prefix + Library + u"; FuncName: " + std::u16string(u"Start\0x", 7) + u"; Exception: Can't load function");
  EXPECT_EQ(Raised(Library, u"Start"), u"none");
}

}  // namespace
