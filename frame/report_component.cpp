#include "frame/report_component.h"

#include "frame/Func_Mode.h"
#include "frame/Rpt_Mode.h"
#include "frame/sql_quote.h"
#include "frame/value_list.h"
#include "platform/ci_map.h"
#include "platform/error.h"

namespace qev::frame {

// Where each property of the common block is stored.
struct CommonFields {
  static const CiMap<std::string ReportComponent::*>& Strings();
  static const CiMap<int16_t ReportComponent::*>& Integers();
};

ReportComponent::~ReportComponent() = default;

Variant ReportComponent::Invoke(const MemberInfo& member, InvokeKind kind, ArgList& args) {
  // Every method but GetDetailCondStr runs statements that name the
  // report's tables, views and columns; a name that is not one is refused
  // before the first of them.
  if ((kind & kInvokeMethod) && !EqualsNoCase(member.name, "GetDetailCondStr")) CheckTableNames();
  Variant result;
  if (InvokeOwn(member, kind, args, &result)) return result;

  if (EqualsNoCase(member.name, "Global_Lib_Obj")) {
    if (kind == kInvokeSet) {
      Global_Lib_Obj_ = args[args.size() - 1].ToObject();
      return Variant();
    }
    return Variant(Global_Lib_Obj_);
  }
  if (EqualsNoCase(member.name, "ComputerName")) return Variant(ComputerName());

  const auto& strings = CommonFields::Strings();
  if (auto it = strings.find(member.name); it != strings.end()) {
    std::string ReportComponent::*field = it->second;
    if (kind == kInvokeLet) {
      this->*field = args[args.size() - 1].string();
      return Variant();
    }
    return Variant(this->*field);
  }
  const auto& integers = CommonFields::Integers();
  if (auto it = integers.find(member.name); it != integers.end()) {
    int16_t ReportComponent::*field = it->second;
    if (kind == kInvokeLet) {
      this->*field = args[args.size() - 1].ToInt16();
      return Variant();
    }
    return Variant(this->*field);
  }
  NotImplemented(member.name);
}

void ReportComponent::CheckTableNames() const {
  const std::pair<const char*, const std::string*> names[] = {
      {"SourceViewName", &SourceViewName_}, {"RptTab", &RptTab_}, {"RptDetailTab", &RptDetailTab_}};
  for (const auto& [property, value] : names)
    if (!value->empty() && spec_.type_info.Find(property))
      CheckTableName(property, *value, spec_.progid);
  const std::pair<const char*, const std::string*> fields[] = {{"ObjField", &ObjField_},
                                                               {"TypeField", &TypeField_}};
  for (const auto& [property, value] : fields)
    if (!value->empty() && spec_.type_info.Find(property))
      CheckFieldName(property, *value, spec_.progid);
}

std::string ReportComponent::ComputerName() const { return GlobalLib().ComputerName(); }

QueryObj ReportComponent::RptQueryObj() const { return GlobalLib().DbA_Query0_Obj(); }

HostLib ReportComponent::GlobalLib() const {
  if (!Global_Lib_Obj_) Raise(kErrObjectNotSet);
  return HostLib(Variant(Global_Lib_Obj_));
}

std::string ReportComponent::OwnRows() const {
  return "computer='" + Quote(ComputerName()) + "'";
}

void ReportComponent::DeleteOwnRows() const { RptQueryObj().DeleteRecord(RptTab_, OwnRows()); }

void ReportComponent::RenewHeader() const {
  RptQueryObj().DeleteRecord("rpt_header",
                             "computer='" + Quote(ComputerName()) + "' and rpttab='" + Quote(RptTab_) + "'");
  const std::string S = ValueSplitStr();
  const std::string N = ComputerName();
  RptQueryObj().InsertRecord("rpt_header", "computer,rpttab,headstr",
                             N + S + RptTab_ + S + GetHeadStr(RptDesc_));
}

void ReportComponent::NotImplemented(std::string_view member) const {
  Raise(kErrNotImplemented,
        "not implemented: " + spec_.name + "." + std::string(member) +
            " (the calculation of this report is not built yet)",
        spec_.progid);
}

const CiMap<std::string ReportComponent::*>& CommonFields::Strings() {
  static const auto* fields = new CiMap<std::string ReportComponent::*>{
      {"SourceViewName", &ReportComponent::SourceViewName_},
      {"RptTab", &ReportComponent::RptTab_},
      {"RptDesc", &ReportComponent::RptDesc_},
      {"CondStr", &ReportComponent::CondStr_},
      {"ObjField", &ReportComponent::ObjField_},
      {"TypeField", &ReportComponent::TypeField_},
      {"RptDetailTab", &ReportComponent::RptDetailTab_},
      {"JzyMonth", &ReportComponent::JzyMonth_},
      {"JzrDay", &ReportComponent::JzrDay_},
      {"Submiter", &ReportComponent::Submiter_},
  };
  return *fields;
}

const CiMap<int16_t ReportComponent::*>& CommonFields::Integers() {
  static const auto* fields = new CiMap<int16_t ReportComponent::*>{
      {"QtyIndex", &ReportComponent::QtyIndex_},
      {"AmtQty", &ReportComponent::AmtQty_},
      {"SupFac", &ReportComponent::SupFac_},
      {"Kfhb", &ReportComponent::Kfhb_},
  };
  return *fields;
}

SourceArgs SourceArgs::From(ArgList& args) {
  SourceArgs s;
  s.SourceNum = args[0].ToInt16();
  s.QueryDb1 = args[1];
  if (args.size() > 2) s.QueryDb2 = args[2];
  if (args.size() > 3) s.QueryDb3 = args[3];
  return s;
}

QueryObj SourceArgs::Source(int k) const {
  return QueryObj(k == 1 ? QueryDb1 : k == 2 ? QueryDb2 : QueryDb3);
}

}  // namespace qev::frame
