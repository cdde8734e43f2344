#include "utility/activex_lib.h"

#include <memory>
#include <optional>
#include <string>

#include "platform/dispatch.h"
#include "platform/error.h"
#include "utility/class_ids.h"
#include "utility/error_log.h"
#include "utility/func_array.h"
#include "utility/func_lib.h"
#include "utility/good_info.h"

namespace qev::utility {

namespace {

enum Slot : DispId {
  kCreateFuncLib,
  kCreateFuncArray,
  kCreateGoodInfoClass,
  kErrorCount,
  kErrorText,
  kClearErrors,
  kEchoErrors,
};

const TypeInfo& ActiveXLibTypeInfo() {
  static const TypeInfo info("_ActiveX_Lib", Guid::FromLiteral(kActiveXLibIid),
                             kActiveXLibProgId,
                             {
                                 Function("Create_Func_Lib", {}, VarType::kObject),
                                 Function("Create_Func_Array", {}, VarType::kObject),
                                 Function("Create_Good_Info_Class", {}, VarType::kObject),
                                 Property("ErrorCount", VarType::kInt32, kInvokeGet),
                                 Function("ErrorText", {Param("Index", VarType::kInt32)},
                                          VarType::kString),
                                 Method("ClearErrors", {}),
                                 Property("EchoErrors", VarType::kBool, kInvokeGet | kInvokeLet),
                             });
  return info;
}

class ActiveXLib : public Dispatch {
 public:
  const TypeInfo& type_info() const override { return ActiveXLibTypeInfo(); }

  Variant Invoke(const MemberInfo& member, InvokeKind kind, ArgList& args) override {
    switch (member.id) {
      case kCreateFuncLib:
        return Variant(NewFuncLib(log_));
      case kCreateFuncArray:
        return Variant(NewFuncArray());
      case kCreateGoodInfoClass:
        return Variant(NewGoodInfo());
      case kErrorCount:
        return Variant(static_cast<int32_t>(log_->size()));
      case kErrorText:
        return Variant(ErrorText(args[0].ToInt32()));
      case kClearErrors:
        log_->Clear();
        return Variant();
      case kEchoErrors:
        if (kind != kInvokeLet) return Variant(log_->echo());
        log_->set_echo(args[0].ToBool());
        return Variant();
    }
    return Variant();
  }

 private:
  std::string ErrorText(int32_t index) const {
    std::optional<ReportedError> error;
    if (index >= 0) error = log_->At(static_cast<size_t>(index));
    if (!error)
      Raise(kErrSubscript, "Subscript out of range: error " + std::to_string(index) + " of " +
                               std::to_string(log_->size()) + " reported");
    return error->ToText();
  }

  std::shared_ptr<ErrorLog> log_ = std::make_shared<ErrorLog>();
};

}  // namespace

Object NewActiveXLib() { return std::make_shared<ActiveXLib>(); }

}  // namespace qev::utility
