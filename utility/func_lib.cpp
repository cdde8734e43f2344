#include "utility/func_lib.h"

#include <cstdio>
#include <string>

#include "platform/dispatch.h"
#include "platform/value_list.h"
#include "utility/class_ids.h"
#include "utility/format_dec.h"

namespace qev::utility {

namespace {

enum Slot : DispId { kValueSplitStr, kFormatDec, kRaisError };

const TypeInfo& FuncLibTypeInfo() {
  static const TypeInfo info(
      "_Func_Lib", Guid::FromLiteral(kFuncLibIid), kFuncLibSource,
      {
          Function("ValueSplitStr", {}, VarType::kString),
          Function("FormatDec", {Param("Value", VarType::kEmpty)}, VarType::kEmpty),
          Method("qevRaisError",
                 {Param("ClassName", VarType::kString), Param("ProcName", VarType::kString),
                  Param("Description", VarType::kString), Param("Number", VarType::kInt32),
                  Param("Source", VarType::kEmpty), Param("Extra1", VarType::kString),
                  Param("Extra2", VarType::kString)}),
      });
  return info;
}

// The text of an error's source, whatever the caller passed.
std::string SourceText(const Variant& source) {
  if (source.IsObject()) return "(object)";
  try {
    return ConcatText(source);
  } catch (...) {
    return "(" + std::string(VarTypeName(source.type())) + ")";
  }
}

class FuncLib : public Dispatch {
 public:
  explicit FuncLib(std::shared_ptr<ErrorLog> log) : log_(std::move(log)) {}

  const TypeInfo& type_info() const override { return FuncLibTypeInfo(); }

  Variant Invoke(const MemberInfo& member, InvokeKind, ArgList& args) override {
    switch (member.id) {
      case kValueSplitStr:
        return Variant(std::string(kValueListSeparator));
      case kFormatDec:
        return FormatDec(args[0]);
      case kRaisError:
        RaisError(args);
        return Variant();
    }
    return Variant();
  }

 private:
  void RaisError(ArgList& args) noexcept {
    try {
      ReportedError error;
      error.class_name = args[0].ToText();
      error.proc_name = args[1].ToText();
      error.description = args[2].ToText();
      error.number = args[3].ToInt32();
      error.source = SourceText(args[4]);
      error.extra1 = args[5].ToText();
      error.extra2 = args[6].ToText();
      if (log_->echo()) {
        const std::string line = "qevActiveXLib: " + error.ToText() + "\n";
        // One write per report, so that reports of several threads do not mix.
        std::fwrite(line.data(), 1, line.size(), stderr);
        std::fflush(stderr);
      }
      log_->Append(std::move(error));
    } catch (...) {
      // Reporting must never fail the component that reports.
    }
  }

  std::shared_ptr<ErrorLog> log_;
};

}  // namespace

Object NewFuncLib(std::shared_ptr<ErrorLog> log) {
  return std::make_shared<FuncLib>(std::move(log));
}

}  // namespace qev::utility
