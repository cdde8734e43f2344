#include "frame/catalogue.h"

#include <sstream>
#include <stdexcept>

#include "platform/ci_map.h"

namespace qev::frame {

namespace {

// One line per class: name, CLSID, interface id, then the members in
// interface order. A property is written name:access with access lg
// (let/get), g (get) or sg (set/get); a method is written name().
struct Row {
  const char* name;
  const char* clsid;
  const char* iid;
  const char* members;
};

const Row kRows[] = {
    {"Rpt_Tol_Good", "9F78FEA2-6A8F-4CC1-94FA-982E640927CA", "6E5EF18A-7BAA-4726-BC55-BBADDAB3A17C",
     "SourceViewName:lg RptTab:lg RptDesc:lg CondStr:lg ComputerName:g Global_Lib_Obj:sg "
     "CalcuRpt() GetDetailCondStr()"},
    {"Rpt_RegCz_Day", "96EDB445-9FB1-4FFC-9787-6E029933155D", "913FF3BA-9A27-4AC3-A97A-B8B1E49F6197",
     "SourceViewName:lg RptTab:lg RptDesc:lg CondStr:lg ComputerName:g Global_Lib_Obj:sg "
     "CalcuRpt() GetDetailCondStr()"},
    {"Rpt_RegCz", "83BA54F0-4734-49BD-B7A0-9709BEBBE58C", "F5B6B523-15FD-4767-A14E-942E6CE45763",
     "RptTab:lg RptDesc:lg ComputerName:g Global_Lib_Obj:sg CalcuRpt()"},
    {"Rpt_Fy_Good", "6CAF22AF-6828-49A7-880E-8E43EC66C2CB", "41186068-47EB-4AB0-A674-E3E4999F2206",
     "SourceViewName:lg RptTab:lg RptDesc:lg CondStr:lg ComputerName:g Global_Lib_Obj:sg "
     "CalcuRpt() GetDetailCondStr()"},
    {"Rpt_KcCk", "83657F79-88C0-4E61-B675-3FFF6F5D940B", "01ED9AAC-B006-4AF7-AE22-E25BB083E33B",
     "SourceViewName:lg RptTab:lg RptDesc:lg CondStr:lg ComputerName:g Global_Lib_Obj:sg "
     "CalcuRpt() GetDetailCondStr()"},
    {"Rpt_Kc_Count", "47CE191E-BDCB-491F-95C5-15835CD4CCCA", "E456A235-6BA8-455A-904A-DA29B6DEFD70",
     "SourceViewName:lg RptTab:lg RptDesc:lg CondStr:lg ComputerName:g Global_Lib_Obj:sg "
     "CalcuRpt() GetDetailCondStr()"},
    {"Rpt_KcRk", "651CFD5A-776E-4393-A77F-4A5D3143BD3B", "AE277E87-F40C-4B4A-B7C3-C191DBFE4EF3",
     "SourceViewName:lg RptTab:lg RptDesc:lg CondStr:lg ComputerName:g Global_Lib_Obj:sg "
     "CalcuRpt() GetDetailCondStr()"},
    {"Rpt_Kc_Zz", "DAA14D47-AC7A-4D08-B348-12F2C25845EC", "49F4688F-2AAC-466F-9C56-A2B2EFFB1A64",
     "SourceViewName:lg RptTab:lg RptDetailTab:lg RptDesc:lg JzyMonth:lg CondStr:lg ComputerName:g "
     "Global_Lib_Obj:sg QueryDbSelect:g CalcuRpt() GetDetailCondStr()"},
    {"Rpt_Tol_Type", "FBA1B4E8-B3A1-4E5A-818B-A8C54F78CCE5", "40718365-F385-4FEB-9FC9-FDE7DC27EC06",
     "QtyIndex:lg SourceViewName:lg ObjField:lg TypeField:lg RptTab:lg RptDesc:lg CondStr:lg "
     "Global_Lib_Obj:sg ComputerName:g CalcuRpt() ChangeValue() GetDetailCondStr() UpdateHeader()"},
    {"Rpt_Tol_TypeDx", "1E8A4AEC-E808-41C9-9520-1AB6877D6A6A", "8EA7A92C-50A1-4010-A6A2-AF80EAD37585",
     "QtyIndex:lg SourceViewName:lg TypeField:lg RptTab:lg RptDesc:lg CondStr:lg ComputerName:g "
     "Global_Lib_Obj:sg TypeTab:g CalcuRpt() GetDetailCondStr() GetAllQty() UpdateHeader()"},
    {"Rpt_Tol_Day", "00E365C1-5A02-4502-ACEF-08D1FB942D8A", "366E51E6-4C2F-4B59-9C0F-1D423A1E6972",
     "QtyIndex:lg SourceViewName:lg ObjField:lg RptTab:lg RptDesc:lg CondStr:lg ComputerName:g "
     "AmtQty:lg Global_Lib_Obj:sg CalcuRpt() CalcuDayQty() GetDetailCondStr() UpdateHeader()"},
    {"Rpt_KcRk_Price", "D68BF522-663E-409A-AB4F-B363413E7E5E", "7B3659CE-C83B-4401-8975-518E5AD811F5",
     "SupFac:lg SourceViewName:lg RptTab:lg RptDesc:lg CondStr:lg ComputerName:g Global_Lib_Obj:sg "
     "ObjField:g CalcuRpt() GetDetailCondStr()"},
    {"Rpt_Kc_Query", "8A91AC92-9F76-43B0-AD76-40B6C7EF444E", "7736B9E9-1FEE-4DE7-8EDC-35E724A061F8",
     "Kfhb:lg RptTab:lg RptDesc:lg ComputerName:g Global_Lib_Obj:sg CalcuRpt()"},
    {"Rpt_Zy_Good", "CB4030CD-61AC-4A55-ABA2-FC762CC5EDC0", "1AC67473-8109-4E7D-A603-859CD4675E86",
     "SourceViewName:lg RptTab:lg RptDesc:lg CondStr:lg ComputerName:g Global_Lib_Obj:sg "
     "PriceType:g CalcuRpt() GetDetailCondStr()"},
    {"Rpt_Zy_Day", "6824A2C5-6AF6-4B0A-931C-1C4C68F596F5", "4391C9B4-DF39-4140-954D-07FB0E1CB8AA",
     "SourceViewName:lg ObjField:lg RptTab:lg RptDesc:lg CondStr:lg ComputerName:g AmtQty:lg "
     "Global_Lib_Obj:sg CalcuRpt() CalcuDayQty() GetDetailCondStr() UpdateHeader()"},
    {"Rpt_Zy_Type", "9C651038-768A-49E2-97D1-176644B94444", "CA925BCB-53C4-497C-A7DF-C5C0172AD6DA",
     "SourceViewName:lg ObjField:lg TypeField:lg RptTab:lg RptDesc:lg CondStr:lg ComputerName:g "
     "Global_Lib_Obj:sg CalcuRpt() GetDetailCondStr()"},
    {"Rpt_Zy_TypeDx", "3A48DAE0-3A86-47F7-8C91-34C757061156", "2AC9F272-91D6-42EF-A5C9-4EBC639509DD",
     "SourceViewName:lg TypeField:lg RptTab:lg RptDesc:lg CondStr:lg ComputerName:g "
     "Global_Lib_Obj:sg TypeTab:g CalcuRpt() GetDetailCondStr() GetAllQty() UpdateHeader()"},
    {"Rpt_Tol_Rbb", "47C381EC-570F-462E-90D0-6272187AC7F3", "E8C299A3-ABE7-4FE5-82DB-0CCE2450F187",
     "CondStr:lg JzrDay:lg Submiter:lg Global_Lib_Obj:sg ComputerName:g RptInit() CalcuRpt()"},
    {"Rpt_Yjk_Rbb", "FDF58723-5EBC-41E7-AA6C-72DD5B7537F7", "5A0CA7B2-B8B2-497F-B2E6-3CC033C6C489",
     "CondStr:lg JzrDay:lg Submiter:lg ComputerName:g Global_Lib_Obj:sg RptInit() CalcuRpt()"},
    {"Rpt_Yb_Rbb", "D91D5240-9981-4DDC-B535-6A2DD8B978C8", "96825F1C-36E0-42B8-903F-3CA04231C912",
     "CondStr:lg RptDesc:lg Global_Lib_Obj:sg ComputerName:g RptInit() CalcuRpt()"},
    {"Rpt_Yb_Rbb_Zyjz", "C407D0E6-19F7-4DB3-857A-556DC3639067", "E8DEE7E6-C68B-4E2B-AD6E-3D66DEE7EE55",
     "CondStr:lg RptDesc:lg Global_Lib_Obj:sg ComputerName:g RptInit() CalcuRpt()"},
    {"Rpt_Yb_Rbb_Zyjs", "2D29B077-496D-4CC8-B1CF-A819BFD93F02", "C740C9D9-CC33-470C-A2B2-AB793E8B5DC2",
     "CondStr:lg RptDesc:lg Global_Lib_Obj:sg ComputerName:g RptInit() CalcuRpt()"},
};

// Properties stored as signed 16-bit integers; the object property; every
// other property is a string.
VarType PropertyType(std::string_view name) {
  if (name == "QtyIndex" || name == "AmtQty" || name == "SupFac" || name == "Kfhb")
    return VarType::kInt16;
  if (name == "Global_Lib_Obj" || name == "QueryDbSelect") return VarType::kObject;
  return VarType::kString;
}

std::vector<ParamInfo> SourceParams(bool with_optional_sources) {
  std::vector<ParamInfo> p = {Param("SourceNum", VarType::kInt16),
                              Param("QueryDb1", VarType::kObject)};
  if (with_optional_sources) {
    p.push_back(Param("QueryDb2", VarType::kObject, /*optional=*/true));
    p.push_back(Param("QueryDb3", VarType::kObject, /*optional=*/true));
  }
  return p;
}

// The signature of a method, which for some methods depends on the class.
MemberInfo MethodOf(std::string_view cls, std::string_view method) {
  const std::string m(method);
  if (method == "CalcuRpt") {
    if (cls == "Rpt_RegCz" || cls == "Rpt_Kc_Query") return Method(m, {});
    return Method(m, SourceParams(true));
  }
  if (method == "GetDetailCondStr")
    return Function(m, {Param("KeyValue", VarType::kString)}, VarType::kString);
  if (method == "RptInit") return Method(m, {});
  if (method == "ChangeValue")
    return Method(m, {Param("Name", VarType::kString), Param("TypeID", VarType::kString),
                      Param("Amt", VarType::kDouble)});
  if (method == "UpdateHeader") {
    if (cls == "Rpt_Tol_Type") return Method(m, {Param("EveryAmt", VarType::kDouble)});
    if (cls == "Rpt_Tol_TypeDx")
      return Method(m, {Param("AllQty", VarType::kInt16), Param("EveryAmt", VarType::kDouble)});
    if (cls == "Rpt_Zy_TypeDx") return Method(m, {Param("AllQty", VarType::kInt16)});
    return Method(m, {Param("DayQty", VarType::kString)});  // Rpt_Tol_Day, Rpt_Zy_Day
  }
  if (method == "GetAllQty")
    return Function(m, SourceParams(cls == "Rpt_Zy_TypeDx"), VarType::kInt16);
  if (method == "CalcuDayQty")
    return Function(m, SourceParams(cls == "Rpt_Zy_Day"), VarType::kString);
  throw std::logic_error("catalogue: no signature for " + std::string(cls) + "." + m);
}

std::vector<MemberInfo> ParseMembers(std::string_view cls, const char* text) {
  std::vector<MemberInfo> members;
  std::istringstream in(text);
  std::string token;
  while (in >> token) {
    if (token.size() > 2 && token.substr(token.size() - 2) == "()") {
      members.push_back(MethodOf(cls, token.substr(0, token.size() - 2)));
      continue;
    }
    const size_t colon = token.find(':');
    const std::string name = token.substr(0, colon);
    const std::string access = token.substr(colon + 1);
    uint8_t kinds = kInvokeGet;
    if (access == "lg") kinds |= kInvokeLet;
    else if (access == "sg") kinds |= kInvokeSet;
    else if (access != "g") throw std::logic_error("catalogue: bad access " + token);
    members.push_back(Property(name, PropertyType(name), kinds));
  }
  return members;
}

std::vector<ClassSpec> Build() {
  std::vector<ClassSpec> out;
  for (const Row& row : kRows) {
    const std::string progid = std::string(kLibraryName) + "." + row.name;
    out.push_back(ClassSpec{row.name, progid, Guid::FromLiteral(row.clsid),
                            Guid::FromLiteral(row.iid),
                            TypeInfo(std::string("_") + row.name, Guid::FromLiteral(row.iid),
                                     progid, ParseMembers(row.name, row.members))});
  }
  return out;
}

}  // namespace

const std::vector<ClassSpec>& Catalogue() {
  static const std::vector<ClassSpec>* catalogue = new std::vector<ClassSpec>(Build());
  return *catalogue;
}

const ClassSpec* FindClass(std::string_view name) {
  for (const ClassSpec& c : Catalogue())
    if (EqualsNoCase(c.name, name)) return &c;
  return nullptr;
}

}  // namespace qev::frame
