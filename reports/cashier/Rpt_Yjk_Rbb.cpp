// Rpt_Yjk_Rbb: the deposit daily sheet. Its calculation prepares only the
// sheet's summary row in rpt_Tol_rbb (workstation, submitting cashier and
// day); it reads no source, leaves the count and amount columns empty and
// does not touch the cashier sheet's rpt_Tol_Rbb_Infod and rpt_rbbd rows.
// Nothing is trapped: an error reaches the caller.
#include <memory>
#include <string>

#include "frame/Func_Mode.h"
#include "frame/report_makers.h"
#include "frame/value_list.h"
#include "reports/cashier/daily_sheet.h"

namespace qev::frame {

namespace {

constexpr const char* kSheet = "rpt_Tol_rbb";

class Rpt_Yjk_Rbb : public DailySheet {
 public:
  using DailySheet::DailySheet;

 private:
  void RptInit() override {
    RptQueryObj().DeleteRecord(kSheet, OwnRows());
    RptQueryObj().InsertRecord(kSheet, "computer", ComputerName());
  }

  // SourceNum and the query objects are accepted and not used.
  void CalcuRpt(const SourceArgs&) override {
    RptQueryObj().DeleteRecord(kSheet, OwnRows());
    InsertValueRow();
  }

  void InsertValueRow() {
    RptQueryObj().InsertRecord(kSheet, "computer,submiter,jzrday",
                               JoinValues(ValueSplitStr(), {ComputerName(), Submiter_, JzrDay_}));
  }
};

}  // namespace

Object MakeRpt_Yjk_Rbb(const ClassSpec& spec) { return std::make_shared<Rpt_Yjk_Rbb>(spec); }

}  // namespace qev::frame
