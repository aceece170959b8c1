// The variant value to and from the platform variant.
#include "platform/text.h"
#include "variant/pel_variant.h"

namespace variant {

TPelVariant::TPelVariant(const platform::TOleVariant& v) : vUInt64(0) {
  throw ELVarConvertError(u"Incompatible type in vexlan variant to variant conversion: " +
                          platform::IntToStr(v.VarType()));
}

TPelVariant::operator platform::TOleVariant() const {
  RaiseIncompatible(u"Incompatible type in variant to vexlan variant conversion: ", varType);
}

}  // namespace variant
