// Rpt_Tol_TypeDx: the amounts of a source view per category id (TypeField),
// with the category's total, its count of distinct keys (QtyIndex), the
// average amount per key, its share of the workstation's total and the
// category's name from the category table of TypeField (TypeTab), added up
// over the source databases. GetAllQty counts the keys of the whole
// selection and UpdateHeader writes that count and an average into the
// report's header row.
#include <memory>
#include <string>

#include "frame/Func_Mode.h"
#include "frame/sql_quote.h"
#include "frame/report_makers.h"
#include "frame/row_loop.h"
#include "frame/value_list.h"
#include "platform/checked.h"
#include "platform/ci_map.h"
#include "reports/category/category_report.h"

namespace qev::frame {

namespace {

class Rpt_Tol_TypeDx : public CategoryReport {
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
      UpdateHeader(args[0].ToInt16(), args[1].ToDouble());
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

  // Amounts by category, one grouped statement per database.
  void CalcuSourceDb(const SourceArgs& sources) {
    for (int k = 1; k <= sources.Count(); ++k) {
      const QueryObj Q = sources.Source(k);
      const std::string W = WhereOf(Q);
      const Recordset rs = Q.OpenRs("select " + TypeField_ + ",sum(Amt) as f_Amt from " +
                                    SourceViewName_ + W + " Group By " + TypeField_);
      ForEachRow(rs, [&](int16_t) {
        ChangeAmt(rs.Fields(TypeField_).ToText(), rs.Fields("f_amt").ToDouble());
      });
      rs.Close();
    }
  }

  // Adds one amount to the category's row, inserting it with qty 0 on first
  // sight.
  void ChangeAmt(const std::string& Name, double Amt) {
    const std::string S = ValueSplitStr();
    const std::string cond = "name='" + Quote(Name) + "' and computer='" + Quote(ComputerName()) + "'";
    const Recordset rs = RptQueryObj().OpenRs("select computer,qty,name, amt from " + RptTab_ +
                                              " where " + cond);
    if (rs.RecordCount() == 0) {
      RptQueryObj().InsertRecord(RptTab_, "computer,qty,name,amt",
                                 JoinValues(S, {ComputerName(), "0", Name, Amt}));
    } else {
      RptQueryObj().UpdateRecord(RptTab_, "amt",
                                 ConcatText(VarAdd(rs.Fields("amt"), Variant(Amt))), cond);
    }
    rs.Close();
  }

  // Key counts per category: straight from the one source database, or
  // merged over several in tem_rpt_qty.
  void CalcuQty(const SourceArgs& sources) {
    if (sources.SourceNum != 1) {
      CalcuQtyOverDatabases(sources, TypeField_);
      return;
    }
    const QueryObj Q = sources.Source(1);
    const std::string W = WhereOf(Q);
    const Recordset rs = Q.OpenRs("select " + TypeField_ + " ,sum(amt) as sfAmt from " +
                                  SourceViewName_ + W + " group by " + TypeField_ + "," +
                                  QtyFieldStr());
    ForEachRow(rs, [&](int16_t) {
      ChangeQty(rs.Fields(TypeField_).ToText(), rs.Fields("sfamt").ToDouble());
    });
    rs.Close();
  }

  // Every row stays, empty ones included; each gets nameid, average, share
  // and the category's name.
  void FinishRpt() {
    const double total = WorkstationTotal();
    FinishRows(total, [&](const std::string& name, std::string* F, ValueList* V) {
      *F += ",name";
      V->Add(RptQueryObj().TabFieldValue("name", TypeTab(), "id='" + Quote(name) + "'"));
    });
  }

  std::string GetDetailCondStr(const std::string& KeyValue) {
    std::string cond = TypeField_ + "='" + Quote(KeyValue) + "'";
    if (!CondStr_.empty()) cond += " and (" + CondStr_ + ")  ";
    return cond;
  }

  // The keys of the whole selection, each counted once by the sign of its
  // total over all categories: from the one source database, or from the
  // workstation's tem_rpt_qty rows that the last calculation over several
  // databases left.
  int16_t GetAllQty(const SourceArgs& sources) {
    Recordset rs(Variant{});
    if (sources.SourceNum == 1) {
      const QueryObj Q = sources.Source(1);
      const std::string W = WhereOf(Q);
      rs = Q.OpenRs("select sum(amt) as sfAmt from " + SourceViewName_ + W + " group by " +
                    QtyFieldStr());
    } else {
      rs = RptQueryObj().OpenRs("select sum(amt) as SfAmt from tem_rpt_qty  where computer='" +
                                Quote(ComputerName()) + "' group by " + QtyFieldStr());
    }
    int16_t count = 0;
    ForEachRow(rs, [&](int16_t) {
      const Variant sum = rs.Fields(int16_t{0});
      if (sum.IsNull()) return;
      const double v = sum.ToDouble();
      if (v > 0) count = CheckedAdd16(count, 1);
      else if (v < 0) count = CheckedAdd16(count, -1);
    });
    rs.Close();
    return count;
  }

  void UpdateHeader(int16_t AllQty, double EveryAmt) {
    RptQueryObj().UpdateRecord(
        "rpt_header", "allqty,everyamt",
        JoinValues(ValueSplitStr(), {std::to_string(AllQty), FormatDouble(EveryAmt)}),
        "computer='" + Quote(ComputerName()) + "' and rpttab='" + Quote(RptTab_) + "'");
  }
};

}  // namespace

Object MakeRpt_Tol_TypeDx(const ClassSpec& spec) {
  return std::make_shared<Rpt_Tol_TypeDx>(spec);
}

}  // namespace qev::frame
