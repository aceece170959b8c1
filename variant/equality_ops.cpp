#include <optional>

#include "variant/comparison_rules.h"
#include "variant/comparisons.h"

namespace variant {

namespace {

constexpr const char16_t* EqualityPrefix =
    u"Incompatible type in variant equality comparision: ";
constexpr const char16_t* InequalityPrefix =
    u"Incompatible type in variant not equality comparision: ";

bool Equal(const TPelVariant& v1, const TPelVariant& v2, const char16_t* prefix) {
  const std::optional<TComparisonRoute> route = EqualityRoute(v1.varType, v2.varType);
  const std::optional<bool> equal = route ? EqualShared(v1, v2, *route) : std::nullopt;
  if (!equal) RaiseComparisonRefused(prefix, v1, v2);
  return *equal;
}

// The text operand read as the kind of the other one, where a parser reads
// that kind; otherwise the text itself.
TPelVariant InterpretedAs(const TPelVariant& text, TKivSimpleType kind) {
  switch (kind) {
    case vtByte:
    case vtSmallint:
    case vtWord:
    case vtInt32:
    case vtUInt32:
    case vtInt64:
    case vtSysDate:
    case vtSysTime: return TPelVariant(_StrToInt64(static_cast<string>(text)));
    case vtUInt64: return TPelVariant(_StrToUInt64(static_cast<string>(text)));
    case vtDouble:
    case vtExtended:
    case vtCurrency: return TPelVariant(_StrToDouble(static_cast<string>(text)));
    case vtDateTime: return TPelVariant(rtl::TDateTime(_StrToDouble(static_cast<string>(text))));
    case vtBoolean:
    case vtWordBool: return TPelVariant(TBoolean(_StrToBool(static_cast<string>(text))));
    default: return text;
  }
}

}  // namespace

bool operator==(const TPelVariant& v1, const TPelVariant& v2) {
  return Equal(v1, v2, EqualityPrefix);
}

bool operator!=(const TPelVariant& v1, const TPelVariant& v2) {
  return !Equal(v1, v2, InequalityPrefix);
}

// The text side is read as the other side's kind and always compared as the
// left operand, so a refusal names the text kind first.
bool TPelVariant::EqualTI(const TPelVariant& Arg) const {
  const bool selfIsText = IsTextKind(varType);
  if (selfIsText == IsTextKind(Arg.varType)) return *this == Arg;
  const TPelVariant& text = selfIsText ? *this : Arg;
  const TPelVariant& other = selfIsText ? Arg : *this;
  return InterpretedAs(text, other.varType) == other;
}

}  // namespace variant
