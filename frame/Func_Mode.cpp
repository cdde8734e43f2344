#include "frame/Func_Mode.h"

#include "frame/CreateActiveXObj.h"
#include "platform/dispatch.h"

namespace qev::frame {

namespace {
Variant FuncLib() { return Call(GetActiveXObj(), "Create_Func_Lib"); }
Variant FuncArray() { return Call(GetActiveXObj(), "Create_Func_Array"); }
}  // namespace

std::string ValueSplitStr() { return Call(FuncLib(), "ValueSplitStr").ToText(); }

Variant FormatDec(const Variant& value) {
  Variant arg = value;
  return Call(FuncLib(), "FormatDec", ByRef{arg});
}

std::string ArrayItem(const std::string& arr_str, int16_t index, const std::string& split_str) {
  Variant list(arr_str), sep(split_str), idx(index);
  Variant array = FuncArray();
  Call(array, "OpenArray", ByRef{list}, ByRef{sep});
  return Call(array, "ArrayItem", ByRef{idx}).ToText();
}

std::string ArrayReplace(const std::string& arr_str, const Variant& index,
                         const std::string& new_value, int16_t flag,
                         const std::string& split_str) {
  Variant list(arr_str), sep(split_str), idx(index), value(new_value), flg(flag);
  Variant array = FuncArray();
  Call(array, "OpenArray", ByRef{list}, ByRef{sep});
  return Call(array, "ArrayReplace", ByRef{idx}, ByRef{value}, ByRef{flg}).ToText();
}

void RaisError(const std::string& class_name, const std::string& proc_name,
               const std::string& description, int32_t number, const Variant& source,
               const std::string& extra1, const std::string& extra2) {
  Variant cls(class_name), proc(proc_name), desc(description), num(number), src(source),
      e1(extra1), e2(extra2);
  Call(FuncLib(), "qevRaisError", ByRef{cls}, ByRef{proc}, ByRef{desc}, ByRef{num}, ByRef{src},
       ByRef{e1}, ByRef{e2});
}

}  // namespace qev::frame
