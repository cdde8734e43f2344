// Rpt_Tol_Type: the amounts of a source view per object (ObjField: a
// department, a doctor, a day or any other key) spread over one column per
// category id (TypeField: "f" followed by the id), with the row's total, a
// count of distinct keys (QtyIndex), the average amount per key and the
// row's share of the workstation's total, added up over the source
// databases. Departments, doctors and days get display names.
#include <memory>

#include "frame/Func_Mode.h"
#include "frame/sql_quote.h"
#include "frame/report_makers.h"
#include "frame/row_loop.h"
#include "frame/value_list.h"
#include "platform/ci_map.h"
#include "reports/category/category_report.h"

namespace qev::frame {

namespace {

class Rpt_Tol_Type : public CategoryReport {
 public:
  using CategoryReport::CategoryReport;

 protected:
  bool InvokeOwn(const MemberInfo& member, InvokeKind, ArgList& args, Variant* result) override {
    if (EqualsNoCase(member.name, "CalcuRpt")) {
      CalcuRpt(SourceArgs::From(args));
      return true;
    }
    if (EqualsNoCase(member.name, "ChangeValue")) {
      ChangeValue(args[0].ToText(), args[1].ToText(), args[2].ToDouble());
      return true;
    }
    if (EqualsNoCase(member.name, "GetDetailCondStr")) {
      *result = Variant(GetDetailCondStr(args[0].ToText()));
      return true;
    }
    if (EqualsNoCase(member.name, "UpdateHeader")) {
      UpdateHeader(args[0].ToDouble());
      return true;
    }
    return false;
  }

 private:
  void CalcuRpt(const SourceArgs& sources) {
    CommonPreamble();
    CalcuSourceDb(sources);
    CalcuQty(sources);
    FinishRpt();
  }

  // Amounts by object and category, one grouped statement per database.
  void CalcuSourceDb(const SourceArgs& sources) {
    for (int k = 1; k <= sources.Count(); ++k) {
      const QueryObj Q = sources.Source(k);
      const std::string W = WhereOf(Q);
      const Recordset rs = Q.OpenRs("select " + ObjField_ + "," + TypeField_ +
                                    ",Sum(Amt) as f_Amt from " + SourceViewName_ + W +
                                    " Group By " + ObjField_ + "," + TypeField_);
      ForEachRow(rs, [&](int16_t) {
        ChangeValue(rs.Fields(ObjField_).ToText(), rs.Fields(TypeField_).ToText(),
                    rs.Fields("f_amt").ToDouble());
      });
      rs.Close();
    }
  }

  // Adds one amount to the object's row: its total and the column of the
  // category; the row is inserted with qty 0 on first sight.
  void ChangeValue(const std::string& Name, const std::string& TypeID, double Amt) {
    const std::string S = ValueSplitStr();
    const std::string cond = "name='" + Quote(Name) + "' and computer='" + Quote(ComputerName()) + "'";
    const Recordset rs = RptQueryObj().OpenRs("select computer,qty,name, amt,f" + TypeID +
                                              " from " + RptTab_ + " where " + cond);
    if (rs.RecordCount() == 0) {
      RptQueryObj().InsertRecord(RptTab_, "computer,qty,name,amt,f" + TypeID,
                                 JoinValues(S, {ComputerName(), "0", Name, Amt, Amt}));
    } else {
      // A category column first touched here starts from 0.
      const Variant old_type = rs.Fields("f" + TypeID);
      const double type_amt = (old_type.IsNull() ? 0 : old_type.ToDouble()) + Amt;
      RptQueryObj().UpdateRecord(
          RptTab_, "amt,f" + TypeID,
          JoinValues(S, {VarAdd(rs.Fields("amt"), Variant(Amt)), type_amt}), cond);
    }
    rs.Close();
  }

  // Key counts: straight from the one source database, or merged over
  // several in tem_rpt_qty so that a key is counted once by its total.
  void CalcuQty(const SourceArgs& sources) {
    if (sources.SourceNum != 1) {
      CalcuQtyOverDatabases(sources, ObjField_);
      return;
    }
    const QueryObj Q = sources.Source(1);
    const std::string W = WhereOf(Q);
    const Recordset rs = Q.OpenRs("select " + ObjField_ + " ,sum(amt) as SfAmt from " +
                                  SourceViewName_ + W + " group by " + ObjField_ + "," +
                                  QtyFieldStr());
    ForEachRow(rs, [&](int16_t) {
      ChangeQty(rs.Fields(ObjField_).ToText(), rs.Fields("Sfamt").ToDouble());
    });
    rs.Close();
  }

  // Drops the rows with neither amount nor count, then writes nameid,
  // average, share and, for departments, doctors and days, the display name.
  void FinishRpt() {
    RptQueryObj().DeleteRecord(RptTab_, "amt=0 and qty=0 and computer='" + Quote(ComputerName()) + "'");
    const double total = WorkstationTotal();
    const std::string obj = ToUpperAscii(ObjField_);
    FinishRows(total, [&](const std::string& name, std::string* F, ValueList* V) {
      if (obj == "DEPAID") {
        *F += ",name";
        V->Add(RptQueryObj().TabFieldValue("name", "qev_pub_depa", "id='" + Quote(name) + "'"));
      } else if (obj == "DOCTORID") {
        *F += ",name";
        V->Add(RptQueryObj().TabFieldValue("name", "qev_pub_user", "id='" + Quote(name) + "'"));
      } else if (obj == "JZRDAY") {
        *F += ",name";
        V->Add(Variant(FormatDay(name)));
      }
    });
  }

  std::string GetDetailCondStr(const std::string& KeyValue) {
    std::string cond;
    if (ToLowerAscii(ObjField_) == "jzrday")
      cond = " jzrday =" + RptQueryObj().CondDateValue(KeyValue);
    else
      cond = ObjField_ + "='" + Quote(KeyValue) + "'";
    if (!CondStr_.empty()) cond += " and (" + CondStr_ + ")";
    return cond;
  }

  // The host's average per key into the workstation's header row.
  void UpdateHeader(double EveryAmt) {
    RptQueryObj().UpdateRecord("rpt_header", "everyamt", FormatDouble(EveryAmt),
                               "computer='" + Quote(ComputerName()) + "' and rpttab='" + Quote(RptTab_) + "'");
  }
};

}  // namespace

Object MakeRpt_Tol_Type(const ClassSpec& spec) { return std::make_shared<Rpt_Tol_Type>(spec); }

}  // namespace qev::frame
