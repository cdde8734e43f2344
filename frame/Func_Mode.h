// Wrappers around the utility library's function objects. Each wrapper gets
// a fresh function object from GetActiveXObj() through the named factory,
// makes its calls and lets the object go; nothing survives between calls.
#pragma once

#include <cstdint>
#include <string>

#include "platform/variant.h"

namespace qev::frame {

// Create_Func_Lib, then ValueSplitStr(): the value-list separator.
std::string ValueSplitStr();
// Create_Func_Lib, then FormatDec(Value): the result unchanged.
Variant FormatDec(const Variant& value);
// Create_Func_Array, OpenArray(ArrStr, SplitStr), ArrayItem(Index).
std::string ArrayItem(const std::string& arr_str, int16_t index, const std::string& split_str);
// Create_Func_Array, OpenArray(ArrStr, SplitStr), ArrayReplace(Index, NewValue, Flag).
std::string ArrayReplace(const std::string& arr_str, const Variant& index,
                         const std::string& new_value, int16_t flag,
                         const std::string& split_str);
// Create_Func_Lib, then qevRaisError with the same seven arguments.
void RaisError(const std::string& class_name, const std::string& proc_name,
               const std::string& description, int32_t number, const Variant& source,
               const std::string& extra1, const std::string& extra2);

}  // namespace qev::frame
