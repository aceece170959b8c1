#include "variant/operator_errors.h"

namespace variant {

void RaiseOperatorError(TOperatorError error) {
  OperatorErrorRow(error).Raise();
  throw rtl::EInvalidOp();  // a row's raiser always throws
}

}  // namespace variant
