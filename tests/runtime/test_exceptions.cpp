#include "runtime/exceptions.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

struct TFamilyCase {
  std::function<void()> Raise;
  std::u16string ClassName;
  std::u16string Message;
};

TEST(ExceptionFamily, ClassNamesAndDefaultMessages) {
  const std::vector<TFamilyCase> cases = {
      {[] { throw rtl::Exception(u"text"); }, u"Exception", u"text"},
      {[] { throw rtl::EConvertError(u"bad"); }, u"EConvertError", u"bad"},
      {[] { throw rtl::EListError(u"List index out of bounds (3)"); }, u"EListError",
       u"List index out of bounds (3)"},
      {[] { throw rtl::EOutOfMemory(); }, u"EOutOfMemory", u"Out of memory"},
      {[] { throw rtl::ERangeError(); }, u"ERangeError", u"Range check error"},
      {[] { throw rtl::EInvalidOp(); }, u"EInvalidOp", u"Invalid floating point operation"},
      {[] { throw rtl::EZeroDivide(); }, u"EZeroDivide", u"Floating point division by zero"},
      {[] { throw rtl::EOverflow(); }, u"EOverflow", u"Floating point overflow"},
      {[] { throw rtl::EDivByZero(); }, u"EDivByZero", u"Division by zero"},
      {[] { throw rtl::EIntOverflow(); }, u"EIntOverflow", u"Integer overflow"},
      {[] { throw std::bad_alloc(); }, u"EOutOfMemory", u"Out of memory"},
      {[] { throw std::runtime_error("näh"); }, u"std::runtime_error", u"näh"},
  };
  for (const TFamilyCase& c : cases) {
    try {
      c.Raise();
      ADD_FAILURE() << "nothing raised";
    } catch (const std::exception& e) {
      const rtl::TExceptionText text = rtl::DescribeException(e);
      EXPECT_EQ(text.ClassName, c.ClassName);
      EXPECT_EQ(text.Message, c.Message);
    }
  }
}

TEST(ExceptionFamily, GroupsCatchTheirMembers) {
  EXPECT_THROW(throw rtl::EZeroDivide(), rtl::EMathError);
  EXPECT_THROW(throw rtl::EIntOverflow(), rtl::EIntError);
  EXPECT_THROW(throw rtl::EDivByZero(), rtl::Exception);
  EXPECT_STREQ(rtl::EOverflow().what(), "Floating point overflow");
}

struct TForeignError {};

// What a library may throw: the family, or any type at all.
TEST(ExceptionFamily, DescribesTheExceptionBeingHandled) {
  const std::vector<TFamilyCase> cases = {
      {[] { throw rtl::EListError(u"x"); }, u"EListError", u"x"},
      {[] { throw std::out_of_range("range"); }, u"std::out_of_range", u"range"},
      {[] { throw 42; }, u"int", u"An exception of an unknown type was raised"},
      {[] { throw TForeignError(); }, u"(anonymous namespace)::TForeignError",
       u"An exception of an unknown type was raised"},
  };
  for (const TFamilyCase& c : cases) {
    rtl::TExceptionText text;
    try {
      c.Raise();
    } catch (...) {
      text = rtl::DescribeCurrentException();
    }
    EXPECT_EQ(text.ClassName, c.ClassName);
    EXPECT_EQ(text.Message, c.Message);
  }
}

}  // namespace
