// Rpt_Zy_Day: the inpatient figures of a source view per object over the
// days of a month, f1 to f31 by the day of the month of CountDate (the
// accounting day), with the row's total: summed amounts (AmtQty 1) or the
// number of inpatient registrations (zydjid) whose amounts on that day do
// not cancel (any other AmtQty). Registrations are counted in each source
// database by itself, without tem_rpt_qty, so one found in two databases on
// the same day counts in both. CalcuDayQty counts the registrations of each
// day over all objects the same way.
#include <memory>

#include "frame/report_makers.h"
#include "frame/row_loop.h"
#include "frame/sql_quote.h"
#include "platform/ci_map.h"
#include "reports/daily/daily_report.h"

namespace qev::frame {

namespace {

class Rpt_Zy_Day : public DayFiguresReport {
 public:
  using DayFiguresReport::DayFiguresReport;

 private:
  // Amounts by object and accounting day, one grouped statement per
  // database.
  void CalcuSourceDb(const SourceArgs& sources) override {
    for (int k = 1; k <= sources.Count(); ++k) {
      const QueryObj Q = sources.Source(k);
      const std::string W = WhereOf(Q);
      const Recordset rs = Q.OpenRs("select " + ObjField_ + ",countdate,sum(Amt) as f_amt from " +
                                    SourceViewName_ + W + " group by  " + ObjField_ +
                                    ",countdate");
      ForEachRow(rs, [&](int16_t) {
        ChangeDayValue(rs.Fields(ObjField_).ToText(), rs.Fields("countdate"),
                       rs.Fields("f_amt").ToDouble());
      });
      rs.Close();
    }
  }

  // Registrations by object and day, counted in each database by itself.
  void CalcuQty(const SourceArgs& sources) override {
    for (int k = 1; k <= sources.Count(); ++k) {
      const QueryObj Q = sources.Source(k);
      const std::string W = WhereOf(Q);
      const Recordset rs = Q.OpenRs("select " + ObjField_ + ",CountDate,sum(Amt) as sfamt from " +
                                    SourceViewName_ + W + " group by " + ObjField_ +
                                    ", CountDate,zydjid");
      ForEachRow(rs, [&](int16_t) {
        ChangeDayQty(rs.Fields(ObjField_).ToText(), rs.Fields("countdate"),
                     rs.Fields("sfamt").ToDouble());
      });
      rs.Close();
    }
  }

  std::string CalcuDayQty(const SourceArgs& sources) override {
    CheckTableName("SourceViewName", SourceViewName_, spec().progid);
    std::string L = EmptyDayList();
    for (int k = 1; k <= sources.Count(); ++k) {
      const QueryObj Q = sources.Source(k);
      const std::string W = WhereOf(Q);
      CountDays(Q.OpenRs("select CountDate,sum(Amt) as sfamt from " + SourceViewName_ + W +
                         " group by  countdate,zydjid"),
                "CountDate", &L);
    }
    return DayQtyText(L);
  }
};

}  // namespace

Object MakeRpt_Zy_Day(const ClassSpec& spec) { return std::make_shared<Rpt_Zy_Day>(spec); }

}  // namespace qev::frame
