// Rpt_Kc_Zz: the month stock ledger of a store.
//
// For every good with stock rows in the source, one summary row in RptTab
// (opening quantity carried over, receipts, issues, closing quantity) and,
// in RptDetailTab, the ledger itself: an opening row (Sn 0), one row per
// movement in date order with the good's running balance after it, and a
// month-total row (Type "100"). Quantities are base quantities, Qty times
// UnitRate through FormatDec.
//
// With one source the passes read the source view through QueryDb1. With
// several, every source row is first copied into the scratch table
// tem_rpt_kcdetail, and for the passes the SourceViewName field names that
// table and CondStr selects the workstation's scratch rows, so the passes
// read it exactly as they read a single view. SourceViewName is put back
// from its shadow copy when CalcuRpt ends, by return or by error; CondStr
// keeps the workstation condition.
#include <cstdint>
#include <memory>
#include <string>

#include "frame/Func_Mode.h"
#include "frame/sql_quote.h"
#include "frame/report_component.h"
#include "frame/report_makers.h"
#include "frame/row_loop.h"
#include "frame/utility_lib.h"
#include "frame/value_list.h"
#include "platform/checked.h"
#include "platform/ci_map.h"

namespace qev::frame {

namespace {

// The movement codes of the source's Type column and the month-total code
// written by the ledger itself.
bool IsOpening(const std::string& type) { return type == "0"; }
bool IsReceipt(const std::string& type) { return type == "1"; }
bool IsIssue(const std::string& type) {
  return type == "2" || type == "3" || type == "4" || type == "5" || type == "6" || type == "7" ||
         type == "8";
}

// The label the finishing pass writes into TypeName; a code outside the
// table has none.
std::string TypeLabel(const std::string& type) {
  if (type == "0") return "结转上月期末";
  if (type == "1") return "入库";
  if (type == "2") return "出库";
  if (type == "3") return "调拔";
  if (type == "4") return "盘点";
  if (type == "5") return "门诊发药";
  if (type == "6") return "收费发药";
  if (type == "7") return "住院发药";
  if (type == "8") return "病房发药";
  if (type == "100") return "本月合计";
  return "";
}

// A column of the current row where Null counts as 0.
double N(const Recordset& rs, const char* column) {
  const Variant v = rs.Fields(column);
  return v.IsNull() ? 0 : v.ToDouble();
}

// The row's base quantity: FormatDec(qty * unitrate) as a double.
double BaseQty(const Recordset& rs) {
  return FormatDec(VarMul(rs.Fields("qty"), rs.Fields("unitrate"))).ToDouble();
}

class Rpt_Kc_Zz : public ReportComponent {
 public:
  using ReportComponent::ReportComponent;

 protected:
  bool InvokeOwn(const MemberInfo& member, InvokeKind kind, ArgList& args,
                 Variant* result) override {
    if (EqualsNoCase(member.name, "SourceViewName") && kind == kInvokeLet) {
      SourceViewName_ = args[args.size() - 1].string();
      SourceViewShadow_ = SourceViewName_;
      return true;
    }
    if (EqualsNoCase(member.name, "QueryDbSelect")) {
      *result = Variant(QueryDbSelect_);
      return true;
    }
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

 private:
  // The selected query object: the one the ledger passes read through.
  QueryObj Selected() const { return QueryObj(Variant(QueryDbSelect_)); }

  void CalcuRpt(const SourceArgs& a) {
    try {
      RptQueryObj().DeleteRecord(RptTab_, "computer='" + Quote(ComputerName()) + "'");
      RptQueryObj().DeleteRecord(RptDetailTab_, "computer='" + Quote(ComputerName()) + "'");
      RenewHeader();
      if (a.SourceNum != 1) {
        CalcuSourceDb(a);
        QueryDbSelect_ = RptQueryObj().DbA_Query_Obj().object().ToObject();
        SourceViewName_ = "tem_rpt_kcdetail";
        CondStr_ = "computer='" + Quote(ComputerName()) + "'";
      }
      if (a.SourceNum == 1) QueryDbSelect_ = a.QueryDb1.ToObject();
      CalcuQcQty();
      const int32_t next = CalcuDetail();
      CalcuMonthTotal(next);
      FillRptInfo();
      SourceViewName_ = SourceViewShadow_;
    } catch (...) {
      // Only the redirected view name is put back; the error goes on as it
      // came, and the rows written so far stay.
      SourceViewName_ = SourceViewShadow_;
      throw;
    }
  }

  // Copies the rows of every source into tem_rpt_kcdetail: QueryDb1 and
  // QueryDb2 always, QueryDb3 from SourceNum 3 on.
  void CalcuSourceDb(const SourceArgs& a) {
    RptQueryObj().DeleteRecord("tem_rpt_kcdetail", "computer='" + Quote(ComputerName()) + "'");
    const int count = a.SourceNum >= 3 ? 3 : 2;
    for (int k = 1; k <= count; ++k) {
      const QueryObj Q = a.Source(k);
      const std::string X = CondStr_.empty() ? "" : " where " + Q.CondAfterStr(CondStr_);
      const Recordset rs = Q.OpenRs("select *  from " + SourceViewName_ + X);
      const int32_t last = rs.RecordCount() - 1;
      for (int32_t i = 0; i <= last; ++i) {
        InsertTemDetail(rs);
        rs.MoveNext();
      }
      rs.Close();
    }
  }

  void InsertTemDetail(const Recordset& rs) {
    const std::string S = ValueSplitStr();
    ValueList V(S);
    V.Add(rs("ID")).Add(ComputerName());
    for (const char* f : {"GoodID", "YfCkID", "UnitID", "UnitPrice", "JhPrice", "UnitRate", "iDate",
                          "Type", "FromID", "Qty"})
      V.Add(rs(f));
    RptQueryObj().InsertRecord(
        "tem_rpt_kcdetail",
        "ID,Computer,GoodID,YfCkID,UnitID,UnitPrice,JhPrice,UnitRate,iDate,Type,FromID,Qty",
        V.str());
  }

  // " and " & condition for the ledger passes, "" without a condition.
  std::string AndCond(const QueryObj& S) const {
    return CondStr_.empty() ? "" : " and " + S.CondAfterStr(CondStr_);
  }

  // The opening pass: every "0" row adds to its good's summary row and
  // opening detail row.
  void CalcuQcQty() {
    const QueryObj S = Selected();
    const std::string X = AndCond(S);
    const Recordset rs = S.OpenRs("select goodid,Type,Qty,UnitRate from " + SourceViewName_ +
                                  " where Type='0' " + X);
    ForEachRow(rs, [&](int16_t) {
      const std::string GoodID = rs.Fields("goodid").ToText();
      const std::string Type = rs.Fields("Type").ToText();
      const double q = BaseQty(rs);
      UpdateRptQty(GoodID, Type, q);
      UpdateQcDetail(GoodID, q);
    });
    rs.Close();
  }

  // The movement pass: every other row in date order (equal dates by the
  // numeric id), one detail row each with the good's balance after it.
  // Returns the next free Sn, the row count + 1.
  int32_t CalcuDetail() {
    const QueryObj S = Selected();
    const std::string X = AndCond(S);
    const Recordset rs =
        S.OpenRs("select goodid,Type,Qty,UnitRate,YfCkID,iDate,FromID from " + SourceViewName_ +
                 " where type<>'0' " + X + " order by idate, " + S.OrderStrToNumField("id"));
    int16_t rows = 0;
    ForEachRow(rs, [&](int16_t i) {
      const std::string GoodID = rs.Fields("goodid").ToText();
      const std::string Type = rs.Fields("Type").ToText();
      const double q = BaseQty(rs);
      const double e = UpdateRptQty(GoodID, Type, q);
      double receipt = 0, issue = 0;
      if (IsReceipt(Type)) {
        receipt = q;
      } else if (IsIssue(Type)) {
        issue = -q;
      }
      InsertDetailRow(GoodID, rs.Fields("YfCkID").ToText(), Type, rs.Fields("FromID").ToText(),
                      rs.Fields("iDate").ToText(), receipt, issue, e, CheckedAdd16(i, 1));
      rows = CheckedAdd16(i, 1);
    });
    rs.Close();
    // The 16-bit counter stands at the row count after the loop; the next
    // free Sn is formed from it in 16 bits too.
    return CheckedAdd16(rows, 1);
  }

  // Adds one source row's q to its good's summary row (creating it with the
  // column of the row's type and EndQty). Returns the good's new EndQty. A
  // code outside "0" to "8" moves only EndQty.
  double UpdateRptQty(const std::string& good, const std::string& type, double q) {
    const std::string S = ValueSplitStr();
    const std::string cond = "name='" + Quote(good) + "' and computer='" + Quote(ComputerName()) + "'";
    const Recordset rs = RptQueryObj().OpenRs("select * from " + RptTab_ + " where " + cond);
    double result;
    if (rs.RecordCount() == 0) {
      std::string fields = "computer,name";
      ValueList values(S, {ComputerName(), good});
      if (IsOpening(type)) {
        fields += ",QcQty";
        values.Add(q);
      } else if (IsReceipt(type)) {
        fields += ",RkQty";
        values.Add(q);
      } else if (IsIssue(type)) {
        fields += ",CkQty";
        values.Add(-q);
      }
      fields += ",EndQty";
      values.Add(q);
      RptQueryObj().InsertRecord(RptTab_, fields, values.str());
      result = q;
    } else {
      std::string fields;
      ValueList values(S);
      if (IsOpening(type)) {
        fields = "QcQty";
        values.Add(N(rs, "QcQty") + q);
      } else if (IsReceipt(type)) {
        fields = "RkQty";
        values.Add(N(rs, "RkQty") + q);
      } else if (IsIssue(type)) {
        fields = "CkQty";
        values.Add(N(rs, "CkQty") - q);
      }
      result = N(rs, "EndQty") + q;
      fields += fields.empty() ? "EndQty" : ",EndQty";
      values.Add(result);
      RptQueryObj().UpdateRecord(RptTab_, fields, values.str(), cond);
    }
    rs.Close();
    return result;
  }

  void InsertDetailRow(const std::string& good, const std::string& store, const std::string& type,
                       const std::string& from_id, const std::string& date, double receipt,
                       double issue, double balance, int32_t sn) {
    const std::string S = ValueSplitStr();
    const Variant id = RptQueryObj().SnValue("TempID");
    RptQueryObj().InsertRecord(RptDetailTab_,
                               "id,computer,goodid,YfCkID,Type,FromID,iDate,RkQty,CkQty,EndQty,Sn",
                               JoinValues(S, {id, ComputerName(), good, store, type, from_id, date,
                                              receipt, issue, balance, sn}));
  }

  // Creates the good's opening detail row (Sn "0") or adds q to it.
  void UpdateQcDetail(const std::string& good, double q) {
    const std::string S = ValueSplitStr();
    const std::string cond =
        "goodid='" + Quote(good) + "' and type='0' and computer='" + Quote(ComputerName()) + "'";
    const Recordset rs = RptQueryObj().OpenRs("select * from " + RptDetailTab_ + " where " + cond);
    if (rs.RecordCount() == 0) {
      const Variant id = RptQueryObj().SnValue("TempID");
      RptQueryObj().InsertRecord(
          RptDetailTab_, "id,computer,goodid,yfckid,type,fromid,idate,endqty,sn",
          JoinValues(S, {id, ComputerName(), good, "", "0", "", "", q, "0"}));
    } else {
      RptQueryObj().UpdateRecord(RptDetailTab_, "EndQty", JoinValues(S, {N(rs, "EndQty") + q}),
                                 cond);
    }
    rs.Close();
  }

  // One month-total row per summary row, numbered on from `next`. Runs
  // while the summary's name still holds the good id.
  void CalcuMonthTotal(int32_t next) {
    const Recordset rs = RptQueryObj().OpenRs("select Name,RkQty,CkQty,EndQty from " + RptTab_ +
                                              " where computer='" + Quote(ComputerName()) + "'");
    ForEachRow(rs, [&](int16_t i) {
      InsertDetailRow(rs.Fields("Name").ToText(), "", "100", "", "", N(rs, "RkQty"), N(rs, "CkQty"),
                      N(rs, "EndQty"), static_cast<int32_t>(i) + next);
    });
    rs.Close();
  }

  // The finishing pass: the goods' names, specifications and units on the
  // summary rows; the store name, unit name and movement label on every
  // detail row.
  void FillRptInfo() {
    const std::string S = ValueSplitStr();
    {
      const Recordset rs = RptQueryObj().OpenRs("select * from " + RptTab_ + "  where computer='" +
                                                Quote(ComputerName()) + "'");
      {
        const GoodInfo info(Global_Lib_Obj_);
        ForEachRow(rs, [&](int16_t) {
          info.CheckInfo(rs.Fields("name"));
          RptQueryObj().UpdateRecord(
              RptTab_, "nameid,name,spec,UnitName",
              JoinValues(S, {rs.Fields("name"), info.Field("Name"), info.Field("spec"),
                             info.Field("UnitName")}),
              "computer='" + Quote(ComputerName()) + "' and name='" + Quote(ConcatText(rs.Fields("Name"))) + "'");
        });
      }
      rs.Close();
    }
    const Recordset rs = RptQueryObj().OpenRs("select * from " + RptDetailTab_ +
                                              "  where computer='" + Quote(ComputerName()) + "'");
    ForEachRow(rs, [&](int16_t) {
      const Variant store = RptQueryObj().TabFieldValue(
          "name", "qev_pub_depa", "id='" + Quote(ConcatText(rs.Fields("YfCkID"))) + "'");
      const Variant unit = RptQueryObj().TabFieldValue(
          "UnitName", "qev_pub_Good_V", "id='" + Quote(ConcatText(rs.Fields("GoodID"))) + "'");
      const std::string label = TypeLabel(ConcatText(rs.Fields("Type")));
      RptQueryObj().UpdateRecord(RptDetailTab_, "YfCkName,UnitName,TypeName",
                                 JoinValues(S, {store, unit, label}),
                                 "id='" + Quote(ConcatText(rs.Fields("id"))) + "'");
    });
    rs.Close();
  }

  std::string GetDetailCondStr(const std::string& KeyValue) const {
    return " goodid='" + Quote(KeyValue) + "'";
  }

  // The caller's SourceViewName, kept while the field names the scratch
  // table during a calculation over several sources.
  std::string SourceViewShadow_;
  // The query object the last calculation read the ledger through.
  Object QueryDbSelect_;
};

}  // namespace

Object MakeRpt_Kc_Zz(const ClassSpec& spec) { return std::make_shared<Rpt_Kc_Zz>(spec); }

}  // namespace qev::frame
