#include "variant/operator_errors.h"

#include <gtest/gtest.h>



namespace {

TEST(OperatorErrors, EachErrorRaisesItsClassWithTheClassMessage) {
  for (const variant::TOperatorErrorRow& row : variant::OperatorErrors) {
    SCOPED_TRACE(row.ClassName);
    try {
      variant::RaiseOperatorError(row.Error);
    } catch (const rtl::EMathError& e) {
      EXPECT_STREQ(e.ClassName(), row.ClassName);
      EXPECT_FALSE(e.Message().empty());
      continue;
    } catch (const rtl::EIntError& e) {
      EXPECT_STREQ(e.ClassName(), row.ClassName);
      EXPECT_FALSE(e.Message().empty());
      continue;
    }
  }
}

TEST(OperatorErrors, FloatAndIntegerFailuresStayApart) {
  using variant::TOperatorError;
  EXPECT_THROW(variant::RaiseOperatorError(TOperatorError::FloatZeroDivide), rtl::EZeroDivide);
  EXPECT_THROW(variant::RaiseOperatorError(TOperatorError::IntegerDivByZero), rtl::EDivByZero);
  EXPECT_THROW(variant::RaiseOperatorError(TOperatorError::CurrencyRange), rtl::EInvalidOp);
  EXPECT_THROW(variant::RaiseOperatorError(TOperatorError::IntegerOverflow), rtl::EIntOverflow);
}

}  // namespace
