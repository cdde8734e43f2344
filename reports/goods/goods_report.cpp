#include "reports/goods/goods_report.h"

#include "frame/Func_Mode.h"
#include "frame/sql_quote.h"
#include "frame/row_loop.h"
#include "frame/utility_lib.h"
#include "frame/value_list.h"
#include "platform/ci_map.h"

namespace qev::frame {

bool GoodsReport::InvokeOwn(const MemberInfo& member, InvokeKind, ArgList& args,
                            Variant* result) {
  if (EqualsNoCase(member.name, "CalcuRpt")) {
    CalcuRpt(SourceArgs::From(args));
    return true;
  }
  if (EqualsNoCase(member.name, "GetDetailCondStr")) {
    *result = Variant(GetDetailCondStr(args[0].ToText()));
    return true;
  }
  return false;
}

void GoodsReport::CalcuRpt(const SourceArgs& sources) {
  CommonPreamble();
  CalcuSourceDb(sources);
  FillGoodInfo();
}

void GoodsReport::CalcuSourceDb(const SourceArgs& sources) {
  for (int k = 1; k <= sources.Count(); ++k) {
    const QueryObj Q = sources.Source(k);
    const Recordset rs = Q.OpenRs(SourceStatement(Q));
    ForEachRow(rs, [&](int16_t) { MergeSourceRow(rs); });
    rs.Close();
  }
}

std::string GoodsReport::WhereOf(const QueryObj& Q) const {
  const std::string cond = Q.CondAfterStr(CondStr_);
  return CondStr_.empty() ? "" : " where " + cond;
}

std::string GoodsReport::GetDetailCondStr(const std::string& KeyValue) {
  std::string cond = "goodid='" + Quote(KeyValue) + "'";
  if (!CondStr_.empty()) cond += " and (" + CondStr_ + ")";
  return cond;
}

double GoodsReport::OldValue(const Recordset& rs, const char* column) {
  const Variant v = rs.Fields(column);
  return v.IsNull() ? 0 : v.ToDouble();
}

void GoodsReport::ChangeGoodValue(const std::string& GoodID, double Qty, double Amt) {
  const std::string S = ValueSplitStr();
  const std::string T = RptTab_;
  const std::string C = "name='" + Quote(GoodID) + "' and computer='" + Quote(ComputerName()) + "'";
  const Recordset rs = RptQueryObj().OpenRs("select computer,qty,name, amt from " + T +
                                            " where " + C);
  if (rs.RecordCount() == 0) {
    RptQueryObj().InsertRecord(
        T, "computer,qty,name,amt",
        JoinValues(S, {ComputerName(), FormatDec(Variant(Qty)), GoodID, Variant(Amt)}));
  } else {
    RptQueryObj().UpdateRecord(
        T, "qty,amt",
        JoinValues(S, {VarAdd(rs.Fields("qty"), FormatDec(Variant(Qty))),
                       VarAdd(rs.Fields("amt"), Variant(Amt))}),
        C);
  }
  rs.Close();
}

void GoodsReport::FillGoodInfoWithPrice() {
  const std::string S = ValueSplitStr();
  const std::string T = RptTab_;
  const Recordset rs = RptQueryObj().OpenRs(
      "select everyprice,name,spec,unitname,nameid,amt,qty from " + T + "  where computer='" +
      Quote(ComputerName()) + "'");
  const GoodInfo info(Global_Lib_Obj_);
  ForEachRow(rs, [&](int16_t) {
    std::string F = "nameid";
    ValueList V(S, {rs.Fields("name").ToText()});
    const Variant qty = rs.Fields("qty");
    // A Null quantity is not "not 0": no price is written for it either.
    if (!qty.IsNull() && qty.ToDouble() != 0) {
      F += ",EveryPrice";
      V.Add(FormatDec(VarDiv(rs.Fields("amt"), qty)));
    }
    info.CheckInfo(rs.Fields("name"));
    F += ",name";
    V.Add(info.Field("Name"));
    F += ",spec";
    V.Add(info.Field("spec"));
    F += ",UnitName";
    V.Add(info.Field("UnitName"));
    RptQueryObj().UpdateRecord(T, F, V.str(),
                               "computer='" + Quote(ComputerName()) + "' and name='" +
                                   Quote(rs.Fields("Name").ToText()) + "'");
  });
  rs.Close();
}

void GoodsReport::FillGoodInfoWithoutPrice() {
  const std::string S = ValueSplitStr();
  const std::string T = RptTab_;
  const Recordset rs = RptQueryObj().OpenRs("select name,spec,unitname,nameid from " + T +
                                            "  where computer='" + Quote(ComputerName()) + "'");
  const GoodInfo info(Global_Lib_Obj_);
  ForEachRow(rs, [&](int16_t) {
    info.CheckInfo(rs.Fields("name"));
    RptQueryObj().UpdateRecord(T, std::string("nameid") + ",name" + ",spec" + ",UnitName",
                               JoinValues(S, {rs.Fields("name"), info.Field("Name"),
                                              info.Field("spec"), info.Field("UnitName")}),
                               "computer='" + Quote(ComputerName()) + "' and name='" +
                                   Quote(rs.Fields("Name").ToText()) + "'");
  });
  rs.Close();
}

}  // namespace qev::frame
