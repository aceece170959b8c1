// The text parsers.
#include "variant/pel_variant.h"

namespace variant {

namespace {

[[noreturn]] void RaiseParse(std::u16string_view format, const string& text) {
  string message(format);
  message += text;
  throw ELVarConvertError(message);
}

}  // namespace

std::int64_t _StrToInt64(const string& text) { RaiseParse(u"(113972) Error converting _StrToInt64. Val: ", text); }
std::uint64_t _StrToUInt64(const string& text) { RaiseParse(u"(436323) Error converting _StrToUInt64. Val: ", text); }
double _StrToDouble(const string& text) { RaiseParse(u"(733168) Error converting _StrToDouble. Val: ", text); }
bool _StrToBool(const string& text) { RaiseParse(u"(284519) Error converting _StrToBool. Val: ", text); }

}  // namespace variant
