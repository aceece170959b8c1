#include "crypto/exceptions.h"

#include <utility>

#include "platform/text.h"

namespace selvane {

Exception::Exception(string message)
    : FMessage(std::move(message)), FUtf8(platform::ToUtf8(FMessage)) {}

}  // namespace selvane
