// Rpt_RegCz_Day: the registrations of a source view (one record per
// registration) per department and day of the month: each record counts
// once in its department's total (amt, a count) and in the column of its
// day (f1 to f31 by the day of the month of JzrDay), added up over the
// source databases; the rows get the departments' names. The rows are kept
// like the day-by-day reports' rows and go through the same passes.
#include <memory>

#include "frame/report_makers.h"
#include "frame/row_loop.h"
#include "platform/ci_map.h"
#include "reports/daily/daily_report.h"

namespace qev::frame {

namespace {

class Rpt_RegCz_Day : public DailyReport {
 public:
  using DailyReport::DailyReport;

 protected:
  bool InvokeOwn(const MemberInfo& member, InvokeKind kind, ArgList& args,
                 Variant* result) override {
    if (EqualsNoCase(member.name, "CalcuRpt")) {
      CalcuRpt(SourceArgs::From(args));
      return true;
    }
    return DailyReport::InvokeOwn(member, kind, args, result);
  }

  // Rows are departments; GetDetailCondStr selects by DepaID.
  std::string ObjColumn() const override { return "DepaID"; }

 private:
  void CalcuRpt(const SourceArgs& sources) {
    CheckNames();
    CommonPreamble();
    CalcuRegDay(sources);
    ChangeDepaName();
  }

  // Every selected registration of each database, ungrouped.
  void CalcuRegDay(const SourceArgs& sources) {
    for (int k = 1; k <= sources.Count(); ++k) {
      const QueryObj Q = sources.Source(k);
      // The caller's condition goes through CondAfterStr only when there is
      // one.
      std::string sql = "select DepaID,JzrDay from " + SourceViewName_;
      if (!CondStr_.empty()) sql += " where  " + Q.CondAfterStr(CondStr_);
      const Recordset rs = Q.OpenRs(sql);
      ForEachRow(rs, [&](int16_t) {
        ChangeRegDay(rs.Fields("DepaID").ToText(), rs.Fields("JzrDay"));
      });
      rs.Close();
    }
  }

  // One registration: the department's row gets 1 in amt and in the day's
  // column, inserted on first sight; the same statements as a key count of
  // +1 in the day-by-day reports.
  void ChangeRegDay(const std::string& DepaID, const Variant& JzrDay) {
    ChangeDayQty(DepaID, JzrDay, 1);
  }

  // nameid = the department id, name = the department's name.
  void ChangeDepaName() { FinishRows("qev_pub_depa"); }
};

}  // namespace

Object MakeRpt_RegCz_Day(const ClassSpec& spec) { return std::make_shared<Rpt_RegCz_Day>(spec); }

}  // namespace qev::frame
