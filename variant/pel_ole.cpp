// The variant value to and from the platform variant.
#include "platform/text.h"
#include "variant/pel_variant.h"

namespace variant {

namespace {

constexpr std::u16string_view FromOleFailure = u"Incompatible type in vexlan variant to variant conversion: ";
constexpr std::u16string_view ToOleFailure = u"Incompatible type in variant to vexlan variant conversion: ";

constexpr std::int16_t OleTrue = -1;

}  // namespace

TPelVariant::TPelVariant(const platform::TOleVariant& v) : vUInt64(0) {
  using namespace platform;
  switch (v.VarType()) {
    case VarEmpty:
    case VarNull:
      return;
    case VarSmallint:
      varType = vtSmallint;
      vSmallint = v.AsSmallint();
      return;
    case VarShortInt:
      varType = vtSmallint;
      vSmallint = v.AsShortInt();
      return;
    case VarInteger:
      varType = vtInt32;
      vInt32 = v.AsInteger();
      return;
    case VarSingle:
      varType = vtDouble;
      vDouble = v.AsSingle();
      return;
    case VarDouble:
      varType = vtDouble;
      vDouble = v.AsDouble();
      return;
    case VarCurrency:
      varType = vtCurrency;
      vCurrency = v.AsCurrency();
      return;
    case VarDate:
      varType = vtDateTime;
      vDateTime = v.AsDate();
      return;
    case VarOleStr:
    case VarUString:
    case VarUStrArg:
      varType = vtString;
      if (const TOleWideText* text = v.AsWideText()) vString = text->Text;
      return;
    case VarDispatch:
      varType = vtCOMObj;
      vCOMObj = TDispatchRef(v.AsDispatch());
      return;
    case VarBoolean:
      varType = vtBoolean;
      vBoolean = v.AsBoolean() != 0 ? 1 : 0;
      return;
    case VarByte:
      varType = vtByte;
      vByte = v.AsByte();
      return;
    case VarWord:
      varType = vtWord;
      vWord = v.AsWord();
      return;
    case VarUInt32:
      // Read as unsigned: every value of the code is valid.
      varType = vtUInt32;
      vUInt32 = v.AsUInt32();
      return;
    case VarInt64:
      varType = vtInt64;
      vInt64 = v.AsInt64();
      return;
    case VarUInt64:
      varType = vtUInt64;
      vUInt64 = v.AsUInt64();
      return;
    case VarString:
    case VarStrArg:
      varType = vtANSIString;
      if (const TOleAnsiText* text = v.AsAnsiText()) vANSIString = AnsiString(text->Bytes, text->CodePage);
      return;
    default:
      throw ELVarConvertError(string(FromOleFailure) + platform::IntToStr(v.VarType()));
  }
}

TPelVariant::operator platform::TOleVariant() const {
  using namespace platform;
  TOleVariant ole;
  switch (varType) {
    case vtNone:
      ole.SetNull();
      break;
    case vtCOMObj:
      ole.SetDispatch(vCOMObj.Get());
      break;
    case vtByte:
      ole.SetByte(vByte);
      break;
    case vtSmallint:
      ole.SetSmallint(vSmallint);
      break;
    case vtWord:
      ole.SetWord(vWord);
      break;
    case vtInt32:
      ole.SetInteger(vInt32);
      break;
    case vtUInt32:
      ole.SetUInt32(vUInt32);
      break;
    case vtSysDate:
      ole.SetInteger(vSysDate);
      break;
    case vtSysTime:
      ole.SetInteger(vSysTime);
      break;
    case vtDouble:
    case vtExtended:
      ole.SetDouble(vDouble);
      break;
    case vtDateTime:
      ole.SetDate(vDateTime);
      break;
    case vtInt64:
      ole.SetInt64(vInt64);
      break;
    case vtUInt64:
      ole.SetUInt64(vUInt64);
      break;
    case vtCurrency:
      ole.SetCurrency(vCurrency);
      break;
    case vtBoolean:
      ole.SetBoolean(vBoolean != 0 ? OleTrue : 0);
      break;
    case vtWordBool:
      ole.SetBoolean(vWordBool != 0 ? OleTrue : 0);
      break;
    case vtChar:
      ole.SetWideText(VarUString, string(1, vChar));
      break;
    case vtString:
      ole.SetWideText(VarUString, vString);
      break;
    case vtANSIChar:
      ole.SetAnsiText(VarString, std::string(1, static_cast<char>(vANSIChar)), AnsiCodePage());
      break;
    case vtANSIString:
      ole.SetAnsiText(VarString, vANSIString.Bytes, vANSIString.CodePage);
      break;
    case vtBytes: {
      TSafeArray array;
      array.ElementSize = 1;
      array.LowerBound = 0;
      array.Data = vBytes.ToVector();
      ole.SetArray(VarByte, std::move(array));
      break;
    }
    default:
      RaiseIncompatible(ToOleFailure, varType);
  }
  return ole;
}

}  // namespace variant
