// Values of every kind a variant record holds, for the tests' tables.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/ole_variant.h"
#include "platform/text.h"
#include "variant/pel_variant.h"

namespace variant::testing {

// An automation object whose references the tests count.
class TCountedDispatch : public platform::TRefCounted<platform::IDispatch> {};

inline platform::TDispatchRef NewDispatch() {
  return platform::NewInterface<platform::IDispatch, TCountedDispatch>();
}

inline Cardinal RefCount(const platform::TDispatchRef& ref) {
  return static_cast<const TCountedDispatch*>(ref.Get())->RefCount();
}

// A record of a kind that no constructor makes, its payload set directly.
inline TPelVariant Raw(TKivType kind, std::uint64_t payload) {
  TPelVariant v;
  v.varType = kind;
  v.vUInt64 = payload;
  return v;
}
inline TPelVariant SysDate(std::int32_t day) {
  TPelVariant v = Raw(vtSysDate, 0);
  v.vSysDate = day;
  return v;
}
inline TPelVariant SysTime(std::int32_t time) {
  TPelVariant v = Raw(vtSysTime, 0);
  v.vSysTime = time;
  return v;
}
inline TPelVariant WordBool(std::int16_t value) {
  TPelVariant v = Raw(vtWordBool, 0);
  v.vWordBool = value;
  return v;
}

inline int SomeObject = 0;

// One value of each of the 25 kinds, in the kinds' order; each converts
// without error wherever its kind is accepted.
inline std::vector<TPelVariant> OneOfEachKind() {
  TPelVariant obj = Raw(vtObj, 0);
  obj.vObj = &SomeObject;
  return {
      TPelVariant(),
      TPelVariant(NewDispatch()),
      TPelVariant(std::uint8_t{200}),
      TPelVariant(std::int16_t{-2}),
      TPelVariant(std::uint16_t{65535}),
      TPelVariant(std::int32_t{-1}),
      TPelVariant(std::uint32_t{4294967295u}),
      TPelVariant(1.5),
      TPelVariant(2.25L),
      TPelVariant(u'A'),
      TPelVariant(u"12"),
      TPelVariant(TBoolean(true)),
      WordBool(-1),
      TPelVariant(TPointer(&SomeObject)),
      SysDate(693596),
      SysTime(36000000),
      TPelVariant(rtl::TDateTime(0.5)),
      Raw(vtVariant, 0),
      TPelVariant(std::int64_t{-5}),
      TPelVariant(std::uint64_t{1} << 40),
      TPelVariant(Currency(12345)),
      TPelVariant(AnsiChar{'a'}),
      TPelVariant(AnsiString("ab")),
      TPelVariant(TBytes{7, 8}),
      obj,
  };
}

inline std::string Utf8(const string& text) { return platform::ToUtf8(text); }

// The message of the ELVarConvertError that `action` raises.
template <class F>
std::string ConvertMessage(F action) {
  try {
    action();
  } catch (const ELVarConvertError& e) {
    return Utf8(e.Message());
  }
  return "(nothing raised)";
}

}  // namespace variant::testing
