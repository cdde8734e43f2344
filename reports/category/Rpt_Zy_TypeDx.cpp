// Rpt_Zy_TypeDx: inpatient charges per category id (TypeField), with the
// category's total, the number of inpatient registrations (zydjid) charged
// in it and the category's name from the category table of TypeField
// (TypeTab), added up over the source databases. For the prescription and
// ward-account views the amounts are also split into what was already
// dispensed (doamt) and what was not (nodoamt). GetAllQty counts the
// registrations of the whole selection in every source database and
// UpdateHeader writes that count into the report's header row.
#include <memory>
#include <string>

#include "frame/Func_Mode.h"
#include "frame/report_makers.h"
#include "frame/row_loop.h"
#include "frame/sql_quote.h"
#include "frame/value_list.h"
#include "platform/checked.h"
#include "platform/ci_map.h"
#include "reports/category/category_report.h"

namespace qev::frame {

namespace {

class Rpt_Zy_TypeDx : public CategoryReport {
 public:
  using CategoryReport::CategoryReport;

 protected:
  bool InvokeOwn(const MemberInfo& member, InvokeKind, ArgList& args, Variant* result) override {
    if (EqualsNoCase(member.name, "TypeTab")) {
      *result = Variant(TypeTab());
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
    if (EqualsNoCase(member.name, "GetAllQty")) {
      *result = Variant(GetAllQty(SourceArgs::From(args)));
      return true;
    }
    if (EqualsNoCase(member.name, "UpdateHeader")) {
      UpdateHeader(args[0].ToInt16());
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

  // Amounts by category (and dispensed flag), one grouped statement per
  // database; the split statement has two blanks before "from", and both
  // have two after "group by".
  void CalcuSourceDb(const SourceArgs& sources) {
    for (int k = 1; k <= sources.Count(); ++k) {
      const QueryObj Q = sources.Source(k);
      const std::string W = WhereOf(Q);
      const bool split = IsDoView();
      const std::string sql = split ? "select " + TypeField_ + ",sum(Amt) as f_amt,isdoamt  from " +
                                          SourceViewName_ + W + " group by  " + TypeField_ +
                                          ",isdoamt"
                                    : "select " + TypeField_ + ",sum(Amt) as f_amt from " +
                                          SourceViewName_ + W + " group by  " + TypeField_;
      const Recordset rs = Q.OpenRs(sql);
      ForEachRow(rs, [&](int16_t) {
        const std::string Name = rs.Fields(TypeField_).ToText();
        const double Amt = rs.Fields("f_amt").ToDouble();
        // A Null flag cannot become a number and ends the calculation.
        const int16_t flag = split ? rs.Fields("isdoamt").ToInt16() : int16_t{0};
        ChangeDoAmt(Name, Amt, flag);
      });
      rs.Close();
    }
  }

  // Adds one amount to the category's row: its total and, for the views
  // with the flag, doamt (flag 1) or nodoamt (any other flag). The row is
  // inserted with qty 0 on first sight.
  void ChangeDoAmt(const std::string& Name, double Amt, int16_t flag) {
    const std::string S = ValueSplitStr();
    const std::string cond =
        "name='" + Quote(Name) + "' and computer='" + Quote(ComputerName()) + "'";
    const Recordset rs = RptQueryObj().OpenRs("select computer,qty,name, amt,doamt,nodoamt from " +
                                              RptTab_ + " where " + cond);
    const bool split = IsDoView();
    const std::string do_column = flag == 1 ? "doamt" : "nodoamt";
    if (rs.RecordCount() == 0) {
      std::string F = "computer,qty,name,amt";
      ValueList V(S, {ComputerName(), "0", Name, Amt});
      if (split) {
        F += "," + do_column;
        V.Add(Amt);
      }
      RptQueryObj().InsertRecord(RptTab_, F, V.str());
    } else {
      std::string F = "amt";
      ValueList V(S, {VarAdd(rs.Fields("amt"), Variant(Amt))});
      if (split) {
        const Variant old_do = rs.Fields(do_column);
        F += "," + do_column;
        V.Add((old_do.IsNull() ? 0 : old_do.ToDouble()) + Amt);
      }
      RptQueryObj().UpdateRecord(RptTab_, F, V.str(), cond);
    }
    rs.Close();
  }

  // Registrations per category, counted in each database by itself.
  void CalcuQty(const SourceArgs& sources) { CalcuQtyPerDatabase(sources, TypeField_); }

  // nameid and the category's name for every row; rows with neither amount
  // nor count stay. For a TypeField outside the four known columns TypeTab
  // is empty and the host's lookup answers Null, so the name becomes empty.
  void FinishRpt() {
    FinishNames([&](const std::string& name, std::string* F, ValueList* V) {
      *F += ",name";
      V->Add(RptQueryObj().TabFieldValue("name", TypeTab(), "id='" + Quote(name) + "'"));
    });
  }

  // The category as a quoted key; the caller's condition follows with two
  // blanks after its parenthesis.
  std::string GetDetailCondStr(const std::string& KeyValue) {
    std::string cond = TypeField_ + "='" + Quote(KeyValue) + "'";
    if (!CondStr_.empty()) cond += " and (" + CondStr_ + ")  ";
    return cond;
  }

  // The registrations of the whole selection, read from the source
  // databases themselves (no calculation needs to precede): in each
  // database a registration whose amounts sum above 0 adds 1, below 0
  // subtracts 1; one found in two databases counts in each.
  int16_t GetAllQty(const SourceArgs& sources) {
    int16_t count = 0;
    for (int k = 1; k <= sources.Count(); ++k) {
      const QueryObj Q = sources.Source(k);
      const std::string W = WhereOf(Q);
      const Recordset rs =
          Q.OpenRs("select sum(amt) as sfAmt from " + SourceViewName_ + W + " group by zydjid");
      ForEachRow(rs, [&](int16_t) {
        const Variant sum = rs.Fields(int16_t{0});
        if (sum.IsNull()) return;
        const double v = sum.ToDouble();
        if (v > 0) count = CheckedAdd16(count, 1);
        else if (v < 0) count = CheckedAdd16(count, -1);
      });
      rs.Close();
    }
    return count;
  }

  // The host's registration count into the workstation's header row; the
  // header's other columns stay.
  void UpdateHeader(int16_t AllQty) {
    RptQueryObj().UpdateRecord(
        "rpt_header", "allqty", std::to_string(AllQty),
        "computer='" + Quote(ComputerName()) + "' and rpttab='" + Quote(RptTab_) + "'");
  }
};

}  // namespace

Object MakeRpt_Zy_TypeDx(const ClassSpec& spec) { return std::make_shared<Rpt_Zy_TypeDx>(spec); }

}  // namespace qev::frame
