// The conversions of the variant value to UTF-16 and ANSI text.
#include "variant/pel_variant.h"

namespace variant {

namespace {

constexpr std::u16string_view StringFailure = u"Incompatible type in variant to string conversion: ";
constexpr std::u16string_view AnsiStringFailure = u"Incompatible type in variant to ansistring conversion: ";

}  // namespace

TPelVariant::operator string() const {
  switch (varType) {
    case vtString:
      return vString;
    default:
      RaiseIncompatible(StringFailure, varType);
  }
}

TPelVariant::operator AnsiString() const {
  switch (varType) {
    case vtANSIString:
      return vANSIString;
    default:
      RaiseIncompatible(AnsiStringFailure, varType);
  }
}

}  // namespace variant
