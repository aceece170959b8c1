// Exceptions of selvane2x.  They never leave an export: every export catches
// them and gives its fixed answer.
#pragma once

#include <exception>
#include <string>

#include "platform/types.h"

namespace selvane {

// The general exception class: a message and the name of the class.
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

}  // namespace selvane
