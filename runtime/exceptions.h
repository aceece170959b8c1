// The exception family that every part of the system raises: a class name
// and a message, as the original run-time's exceptions carry them.
#pragma once

#include <exception>
#include <string>

#include "platform/types.h"

namespace rtl {

// The general exception class.
class Exception : public std::exception {
 public:
  explicit Exception(string message);
  const string& Message() const noexcept { return FMessage; }
  virtual const char* ClassName() const noexcept { return "Exception"; }
  const char* what() const noexcept override { return FUtf8.c_str(); }

 private:
  string FMessage;
  std::string FUtf8;
};

// A class of the family: its name as reported, its base, and the message it
// carries when raised without one (empty when it always takes one).
#define RTL_EXCEPTION_CLASS(Name, Base, DefaultMessage)               \
  class Name : public Base {                                          \
   public:                                                            \
    Name() : Base(u"" DefaultMessage) {}                              \
    explicit Name(string message) : Base(std::move(message)) {}       \
    const char* ClassName() const noexcept override { return #Name; } \
  };

RTL_EXCEPTION_CLASS(EConvertError, Exception, "")
RTL_EXCEPTION_CLASS(EListError, Exception, "")
RTL_EXCEPTION_CLASS(EInOutError, Exception, "")
RTL_EXCEPTION_CLASS(EOutOfMemory, Exception, "Out of memory")
RTL_EXCEPTION_CLASS(ERangeError, Exception, "Range check error")
RTL_EXCEPTION_CLASS(EMathError, Exception, "")
RTL_EXCEPTION_CLASS(EInvalidOp, EMathError, "Invalid floating point operation")
RTL_EXCEPTION_CLASS(EZeroDivide, EMathError, "Floating point division by zero")
RTL_EXCEPTION_CLASS(EOverflow, EMathError, "Floating point overflow")
RTL_EXCEPTION_CLASS(EIntError, Exception, "")
RTL_EXCEPTION_CLASS(EDivByZero, EIntError, "Division by zero")
RTL_EXCEPTION_CLASS(EIntOverflow, EIntError, "Integer overflow")

// Class name and message of an exception caught as the family.  The C++
// counterparts count as members: std::bad_alloc is "EOutOfMemory" with "Out
// of memory", any other std::exception its demangled type name and what().
struct TExceptionText {
  string ClassName;
  string Message;
};
TExceptionText DescribeException(const std::exception& e);

// Called inside a handler: the exception being handled, as DescribeException
// gives it.  One that is no std::exception (a library may throw anything)
// gets its demangled type name and "An exception of an unknown type was
// raised".  A thread's forced unwind passes on.
TExceptionText DescribeCurrentException();

}  // namespace rtl
