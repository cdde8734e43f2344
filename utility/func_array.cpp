#include "utility/func_array.h"

#include <string>
#include <string_view>
#include <vector>

#include "platform/dispatch.h"
#include "platform/error.h"
#include "utility/class_ids.h"

namespace qev::utility {

namespace {

enum Slot : DispId { kOpenArray, kArrayItem, kArrayReplace };

const TypeInfo& FuncArrayTypeInfo() {
  static const TypeInfo info(
      "_Func_Array", Guid::FromLiteral(kFuncArrayIid), kFuncArraySource,
      {
          Method("OpenArray",
                 {Param("ListText", VarType::kString), Param("SplitText", VarType::kString)}),
          Function("ArrayItem", {Param("Index", VarType::kInt16)}, VarType::kString),
          Function("ArrayReplace",
                   {Param("Index", VarType::kEmpty), Param("NewValue", VarType::kString),
                    Param("Flag", VarType::kInt16)},
                   VarType::kString),
      });
  return info;
}

constexpr std::string_view kDefaultSeparator = ",";

// Splits at every occurrence of a non-empty separator.
std::vector<std::string> Split(std::string_view text, std::string_view separator) {
  std::vector<std::string> items;
  if (separator.empty()) return {std::string(text)};
  size_t start = 0;
  for (size_t pos = text.find(separator); pos != std::string_view::npos;
       pos = text.find(separator, start)) {
    items.emplace_back(text.substr(start, pos - start));
    start = pos + separator.size();
  }
  items.emplace_back(text.substr(start));
  return items;
}

std::string Join(const std::vector<std::string>& items, std::string_view separator) {
  std::string text;
  for (size_t i = 0; i < items.size(); ++i) {
    if (i > 0) text += separator;
    text += items[i];
  }
  return text;
}

class FuncArray : public Dispatch {
 public:
  const TypeInfo& type_info() const override { return FuncArrayTypeInfo(); }

  Variant Invoke(const MemberInfo& member, InvokeKind, ArgList& args) override {
    switch (member.id) {
      case kOpenArray:
        Open(args[0].string(), args[1].string());
        return Variant();
      case kArrayItem:
        RequireOpen("ArrayItem");
        return Variant(items_[CheckedIndex(args[0].ToInt16())]);
      case kArrayReplace:
        return Replace(args[0], args[1].string(), args[2].ToInt16());
    }
    return Variant();
  }

 private:
  void Open(const std::string& text, const std::string& separator) {
    separator_ = separator.empty() ? std::string(kDefaultSeparator) : separator;
    items_ = Split(text, separator_);
    open_ = true;
  }

  Variant Replace(const Variant& index, const std::string& value, int16_t flag) {
    RequireOpen("ArrayReplace");
    if (flag != 0)
      Raise(kErrInvalidArgument, "Invalid procedure call or argument: ArrayReplace flag " +
                                     std::to_string(flag) + " is not supported (only 0)");
    items_[CheckedIndex(index.ToInt32())] = value;
    return Variant(Join(items_, separator_));
  }

  void RequireOpen(const char* member) const {
    if (!open_)
      Raise(kErrInvalidArgument, std::string("Invalid procedure call or argument: ") + member +
                                     " called before OpenArray loaded a list");
  }

  size_t CheckedIndex(int32_t index) const {
    if (index < 0 || static_cast<size_t>(index) >= items_.size())
      Raise(kErrSubscript, "Subscript out of range: item " + std::to_string(index) +
                               " of a list of " + std::to_string(items_.size()) + " items");
    return static_cast<size_t>(index);
  }

  bool open_ = false;
  std::string separator_;
  std::vector<std::string> items_;
};

}  // namespace

Object NewFuncArray() { return std::make_shared<FuncArray>(); }

}  // namespace qev::utility
