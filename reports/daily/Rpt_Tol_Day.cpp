// Rpt_Tol_Day: the figures of a source view per object (ObjField: a
// department, a doctor, a category, a good or any other key) over the days
// of a month, f1 to f31 by the day of the month of JzrDay, with the row's
// total: summed amounts (AmtQty 1) or counts of distinct keys (any other
// AmtQty; registrations or records as QtyIndex chooses), added up over the
// source databases. CalcuDayQty counts the keys of each day over all
// objects; UpdateHeader writes those counts into the report's header row.
#include <memory>

#include "frame/report_makers.h"
#include "frame/row_loop.h"
#include "frame/sql_quote.h"
#include "platform/ci_map.h"
#include "reports/daily/daily_report.h"

namespace qev::frame {

namespace {

class Rpt_Tol_Day : public DayFiguresReport {
 public:
  using DayFiguresReport::DayFiguresReport;

 protected:
  // The day is always part of the grouping here, so there is no key of
  // registration and day: QtyIndex 2 counts nothing (its statements fail in
  // the database, like any other unknown index).
  std::string QtyFieldStr() const override {
    switch (QtyIndex_) {
      case 1: return "RegID,Name";
      case 3: return "ID";
      default: return "";
    }
  }

 private:
  // Amounts by object and day, one grouped statement per database.
  void CalcuSourceDb(const SourceArgs& sources) override {
    for (int k = 1; k <= sources.Count(); ++k) {
      const QueryObj Q = sources.Source(k);
      const std::string W = WhereOf(Q);
      const Recordset rs = Q.OpenRs("select " + ObjField_ + ",JzrDay,Sum(Amt) as f_Amt from " +
                                    SourceViewName_ + W + " group by  " + ObjField_ + ",JzrDay");
      ForEachRow(rs, [&](int16_t) {
        ChangeDayValue(rs.Fields(ObjField_).ToText(), rs.Fields("JzrDay"),
                       rs.Fields("f_amt").ToDouble());
      });
      rs.Close();
    }
  }

  // Key counts by object and day: straight from the one source database,
  // or merged over several in tem_rpt_qty so that a key found in several
  // databases on the same day is counted once, by the sign of its total.
  // The merged rows stay for CalcuDayQty.
  void CalcuQty(const SourceArgs& sources) override {
    if (sources.SourceNum != 1) {
      MergeQtyOverDatabases(sources, ObjField_, /*by_day=*/true, [&](const Recordset& rs) {
        ChangeDayQty(rs.Fields("ObjField").ToText(), rs.Fields("Jzrday"),
                     rs.Fields("Sfamt").ToDouble());
      });
      return;
    }
    const QueryObj Q = sources.Source(1);
    const std::string W = WhereOf(Q);
    const Recordset rs =
        Q.OpenRs("select " + ObjField_ + ",JzrDay,sum(Amt) as sfamt from  " + SourceViewName_ +
                 W + " group by  " + ObjField_ + ",jzrday," + QtyFieldStr());
    ForEachRow(rs, [&](int16_t) {
      ChangeDayQty(rs.Fields(ObjField_).ToText(), rs.Fields("JzrDay"),
                   rs.Fields("sfamt").ToDouble());
    });
    rs.Close();
  }

  // The keys of each day over all objects: from the one source database,
  // or from the workstation's tem_rpt_qty rows that its last key count over
  // several databases left (an amount calculation neither clears nor
  // refreshes them).
  std::string CalcuDayQty(const SourceArgs& sources) override {
    std::string L = EmptyDayList();
    if (sources.SourceNum == 1) {
      CheckTableName("SourceViewName", SourceViewName_, spec().progid);
      const QueryObj Q = sources.Source(1);
      const std::string W = WhereOf(Q);
      CountDays(Q.OpenRs("select JzrDay,sum(Amt) as sfamt from  " + SourceViewName_ + W +
                         " group by  jzrday," + QtyFieldStr()),
                "JzrDay", &L);
    } else {
      CountDays(RptQueryObj().OpenRs("select jzrday,sum(amt) as SfAmt from tem_rpt_qty  where "
                                     "computer='" +
                                     Quote(ComputerName()) + "' group by jzrday, " +
                                     QtyFieldStr()),
                "JzrDay", &L);
    }
    return DayQtyText(L);
  }
};

}  // namespace

Object MakeRpt_Tol_Day(const ClassSpec& spec) { return std::make_shared<Rpt_Tol_Day>(spec); }

}  // namespace qev::frame
