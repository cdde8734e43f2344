// Rpt_Zy_Type: inpatient charges per object (ObjField: a ward, a doctor, a
// day of account or any other key) spread over one column per category id
// (TypeField: "f" followed by the id), with the row's total and the number
// of inpatient registrations (zydjid) charged, added up over the source
// databases. For the prescription and ward-account views the amounts are
// also split into what was already dispensed (doamt) and what was not
// (nodoamt). Wards, doctors and days get display names; no row is dropped
// and no average or share is computed.
#include <memory>

#include "frame/Func_Mode.h"
#include "frame/report_makers.h"
#include "frame/row_loop.h"
#include "frame/sql_quote.h"
#include "frame/value_list.h"
#include "platform/ci_map.h"
#include "reports/category/category_report.h"

namespace qev::frame {

namespace {

class Rpt_Zy_Type : public CategoryReport {
 public:
  using CategoryReport::CategoryReport;

 protected:
  bool InvokeOwn(const MemberInfo& member, InvokeKind, ArgList& args, Variant* result) override {
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
  // The views whose lines carry the dispensed flag isdoamt: the inpatient
  // prescriptions and the ward accounts. The settlement view rpt_zyjs_v has
  // no such flag and, like any other view, no split.
  bool IsDoView() const {
    const std::string view = ToLowerAscii(SourceViewName_);
    if (view == "rpt_zyqd_v" || view == "rpt_zyjz_v") return true;
    if (view == "rpt_zyjs_v") return false;
    return false;
  }

  void CalcuRpt(const SourceArgs& sources) {
    CommonPreamble();
    CalcuSourceDb(sources);
    CalcuQty(sources);
    FinishRpt();
  }

  // Amounts by object and category (and dispensed flag), one grouped
  // statement per database; "group by" is followed by two blanks.
  void CalcuSourceDb(const SourceArgs& sources) {
    for (int k = 1; k <= sources.Count(); ++k) {
      const QueryObj Q = sources.Source(k);
      const std::string W = WhereOf(Q);
      const bool split = IsDoView();
      const std::string sql =
          split
              ? "select " + ObjField_ + "," + TypeField_ + ",sum(Amt) as f_amt,isdoamt from " +
                    SourceViewName_ + W + " group by  " + ObjField_ + "," + TypeField_ + ",isdoamt"
              : "select " + ObjField_ + "," + TypeField_ + ",sum(Amt) as f_amt from " +
                    SourceViewName_ + W + " group by  " + ObjField_ + "," + TypeField_;
      const Recordset rs = Q.OpenRs(sql);
      ForEachRow(rs, [&](int16_t) {
        const std::string Name = rs.Fields(ObjField_).ToText();
        const std::string TypeID = rs.Fields(TypeField_).ToText();
        const double Amt = rs.Fields("f_amt").ToDouble();
        // A Null flag cannot become a number and ends the calculation.
        const int16_t flag = split ? rs.Fields("isdoamt").ToInt16() : int16_t{0};
        ChangeDoValue(Name, TypeID, Amt, flag);
      });
      rs.Close();
    }
  }

  // Adds one amount to the object's row: its total, the column of the
  // category and, for the views with the flag, doamt (flag 1) or nodoamt
  // (any other flag). The row is inserted with qty 0 on first sight; a
  // column first touched by an update starts from 0.
  void ChangeDoValue(const std::string& Name, const std::string& TypeID, double Amt, int16_t flag) {
    const std::string S = ValueSplitStr();
    const std::string cond =
        "name='" + Quote(Name) + "' and computer='" + Quote(ComputerName()) + "'";
    const Recordset rs = RptQueryObj().OpenRs("select computer,qty,name, amt,doamt,nodoamt,f" +
                                              TypeID + " from " + RptTab_ + " where " + cond);
    const bool split = IsDoView();
    const std::string do_column = flag == 1 ? "doamt" : "nodoamt";
    if (rs.RecordCount() == 0) {
      std::string F = "computer,qty,name,amt,f" + TypeID;
      ValueList V(S, {ComputerName(), "0", Name, Amt, Amt});
      if (split) {
        F += "," + do_column;
        V.Add(Amt);
      }
      RptQueryObj().InsertRecord(RptTab_, F, V.str());
    } else {
      const Variant old_type = rs.Fields("f" + TypeID);
      std::string F = "amt,f" + TypeID;
      ValueList V(S, {VarAdd(rs.Fields("amt"), Variant(Amt)),
                      (old_type.IsNull() ? 0 : old_type.ToDouble()) + Amt});
      if (split) {
        const Variant old_do = rs.Fields(do_column);
        F += "," + do_column;
        V.Add((old_do.IsNull() ? 0 : old_do.ToDouble()) + Amt);
      }
      RptQueryObj().UpdateRecord(RptTab_, F, V.str(), cond);
    }
    rs.Close();
  }

  // Registrations per object, counted in each database by itself.
  void CalcuQty(const SourceArgs& sources) { CalcuQtyPerDatabase(sources, ObjField_); }

  // nameid and, for wards, doctors and days of account, the display name.
  // Rows with neither amount nor count stay.
  void FinishRpt() {
    const std::string obj = ToUpperAscii(ObjField_);
    FinishNames([&](const std::string& name, std::string* F, ValueList* V) {
      if (obj == "DEPAID") {
        *F += ",name";
        V->Add(RptQueryObj().TabFieldValue("name", "qev_pub_depa", "id='" + Quote(name) + "'"));
      } else if (obj == "DOCTORID") {
        *F += ",name";
        V->Add(RptQueryObj().TabFieldValue("name", "qev_pub_user", "id='" + Quote(name) + "'"));
      } else if (obj == "COUNTDATE") {
        *F += ",name";
        V->Add(Variant(FormatDay(name)));
      }
    });
  }

  // The day of account as the report database writes a date; any other
  // object column as a quoted key. The caller's condition follows with one
  // blank after its parenthesis.
  std::string GetDetailCondStr(const std::string& KeyValue) {
    std::string cond;
    if (ToLowerAscii(ObjField_) == "countdate")
      cond = " CountDate =" + RptQueryObj().CondDateValue(KeyValue);
    else
      cond = ObjField_ + "='" + Quote(KeyValue) + "'";
    if (!CondStr_.empty()) cond += " and (" + CondStr_ + ") ";
    return cond;
  }
};

}  // namespace

Object MakeRpt_Zy_Type(const ClassSpec& spec) { return std::make_shared<Rpt_Zy_Type>(spec); }

}  // namespace qev::frame
