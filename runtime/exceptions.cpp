#include "runtime/exceptions.h"

#include <cxxabi.h>

#include <cstdlib>
#include <memory>
#include <new>
#include <typeinfo>
#include <utility>

#include "platform/text.h"
#include "runtime/guard.h"

namespace rtl {

Exception::Exception(string message)
    : FMessage(std::move(message)), FUtf8(platform::ToUtf8(FMessage)) {}

namespace {

std::string DemangledName(const std::type_info& type) {
  int status = 0;
  std::unique_ptr<char, decltype(&std::free)> name(
      abi::__cxa_demangle(type.name(), nullptr, nullptr, &status), &std::free);
  return status == 0 && name ? std::string(name.get()) : std::string(type.name());
}

}  // namespace

TExceptionText DescribeException(const std::exception& e) {
  if (const auto* own = dynamic_cast<const Exception*>(&e)) {
    return {platform::FromUtf8(own->ClassName()), own->Message()};
  }
  if (dynamic_cast<const std::bad_alloc*>(&e) != nullptr) {
    return {u"EOutOfMemory", EOutOfMemory().Message()};
  }
  return {platform::FromUtf8(DemangledName(typeid(e))), platform::FromUtf8(e.what())};
}

RTL_FORCED_UNWIND_HANDLER TExceptionText DescribeCurrentException() {
  try {
    throw;
  } catch (const std::exception& e) {
    return DescribeException(e);
  } catch (abi::__forced_unwind&) {
    throw;
  } catch (...) {
    const std::type_info* type = abi::__cxa_current_exception_type();
    return {type != nullptr ? platform::FromUtf8(DemangledName(*type)) : u"Unknown exception",
            u"An exception of an unknown type was raised"};
  }
}

}  // namespace rtl
