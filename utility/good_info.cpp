#include "utility/good_info.h"

#include <array>
#include <string>

#include "platform/ci_map.h"
#include "platform/dispatch.h"
#include "platform/error.h"
#include "utility/class_ids.h"

namespace qev::utility {

namespace {

enum Slot : DispId { kGlobalLibObj, kCheckInfo, kField };

const TypeInfo& GoodInfoTypeInfo() {
  static const TypeInfo info(
      "_Good_Info_Class", Guid::FromLiteral(kGoodInfoIid), kGoodInfoSource,
      {
          Property("Global_Lib_Obj", VarType::kObject, kInvokeGet | kInvokeSet),
          Function("CheckInfo", {Param("GoodId", VarType::kString)}, VarType::kBool),
          Function("Field", {Param("Name", VarType::kString)}, VarType::kString),
      });
  return info;
}

// The attributes of a good, in the column order of the lookup statement.
constexpr std::array<const char*, 4> kAttributes = {"id", "Name", "spec", "UnitName"};

std::string QuoteDoubled(const std::string& text) {
  std::string out;
  out.reserve(text.size() + 2);
  for (char c : text) {
    out += c;
    if (c == '\'') out += '\'';
  }
  return out;
}

// Closes a recordset when the lookup leaves early by an error; the error
// that ended the lookup is the one the caller sees.
class CloseOnExit {
 public:
  explicit CloseOnExit(const Variant& recordset) : recordset_(recordset) {}
  ~CloseOnExit() {
    if (armed_) {
      try {
        Call(recordset_, "Close");
      } catch (...) {
      }
    }
  }
  CloseOnExit(const CloseOnExit&) = delete;
  CloseOnExit& operator=(const CloseOnExit&) = delete;

  void Close() {
    armed_ = false;
    Call(recordset_, "Close");
  }

 private:
  const Variant& recordset_;
  bool armed_ = true;
};

class GoodInfo : public Dispatch {
 public:
  const TypeInfo& type_info() const override { return GoodInfoTypeInfo(); }

  Variant Invoke(const MemberInfo& member, InvokeKind kind, ArgList& args) override {
    switch (member.id) {
      case kGlobalLibObj:
        if (kind == kInvokeSet) {
          lib_ = args[0].ToObject();
          return Variant();
        }
        return Variant(lib_);
      case kCheckInfo:
        return Variant(CheckInfo(args[0].string()));
      case kField:
        return Variant(FieldValue(args[0].string()));
    }
    return Variant();
  }

 private:
  bool CheckInfo(const std::string& id) {
    values_.fill(std::string());
    if (!lib_)
      Raise(kErrObjectNotSet,
            "Object variable not set: Global_Lib_Obj must be set before CheckInfo");
    const Variant query = Get(Variant(lib_), "DbA_Query0_Obj");
    const Variant recordset =
        Call(query, "OpenRs",
             Variant("select id,Name,spec,UnitName from qev_pub_Good_V where id='" +
                     QuoteDoubled(id) + "'"));
    CloseOnExit closer(recordset);
    std::array<std::string, kAttributes.size()> loaded;
    const bool found = Get(recordset, "RecordCount").ToInt32() > 0;
    if (found) {
      for (size_t i = 0; i < kAttributes.size(); ++i)
        loaded[i] = ConcatText(Call(recordset, "Fields", Variant(kAttributes[i])));
    }
    closer.Close();
    values_ = std::move(loaded);
    return found;
  }

  const std::string& FieldValue(const std::string& name) const {
    for (size_t i = 0; i < kAttributes.size(); ++i)
      if (EqualsNoCase(name, kAttributes[i])) return values_[i];
    Raise(kErrInvalidArgument, "Invalid procedure call or argument: the good has no attribute \"" +
                                   name + "\" (known: id, Name, spec, UnitName)");
  }

  Object lib_;
  std::array<std::string, kAttributes.size()> values_;
};

}  // namespace

Object NewGoodInfo() { return std::make_shared<GoodInfo>(); }

}  // namespace qev::utility
