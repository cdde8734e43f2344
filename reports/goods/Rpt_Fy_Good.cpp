// Rpt_Fy_Good: dispensing per good, each good's totals split into an
// outpatient share (MzZy "1") and an inpatient share (MzZy "2") beside the
// overall total.
#include <memory>

#include "frame/Func_Mode.h"
#include "frame/sql_quote.h"
#include "frame/report_makers.h"
#include "frame/value_list.h"
#include "reports/goods/goods_report.h"

namespace qev::frame {

namespace {

class Rpt_Fy_Good : public GoodsReport {
 public:
  using GoodsReport::GoodsReport;

 protected:
  std::string SourceStatement(const QueryObj& Q) override {
    const std::string W = WhereOf(Q);
    return "select goodid,MzZy,sum(Qty*UnitRate) as f_qty, sum(Amt) as f_amt from " +
           SourceViewName_ + W + " group by goodid,MzZy";
  }

  void MergeSourceRow(const Recordset& rs) override {
    const std::string GoodID = rs.Fields("GoodID").ToText();
    const std::string MzZy = rs.Fields("MzZy").ToText();
    const double Qty = FormatDec(rs.Fields("f_qty")).ToDouble();
    const double Amt = rs.Fields("f_Amt").ToDouble();
    ChangeGoodValue(GoodID, MzZy, Qty, Amt);
  }

  // Inserts the good's row or adds to it: the overall columns and the
  // outpatient or inpatient pair chosen by MzZy. Any other code inserts a
  // bare row, or updates nothing.
  void ChangeGoodValue(const std::string& GoodID, const std::string& MzZy, double Qty,
                       double Amt) {
    const std::string S = ValueSplitStr();
    const std::string T = RptTab_;
    const std::string C = "name='" + Quote(GoodID) + "' and computer='" + Quote(ComputerName()) + "'";
    const Recordset rs = RptQueryObj().OpenRs("select * from " + T + " where " + C);
    if (rs.RecordCount() == 0) {
      std::string F = "computer,name";
      ValueList V(S, {ComputerName(), GoodID});
      if (MzZy == "1") {
        F += ",FyQty,FyAmt,FyMzQty,FyMzAmt";
        V.Add(Qty).Add(Amt).Add(Qty).Add(Amt);
      } else if (MzZy == "2") {
        F += ",FyQty,FyAmt,FyZyQty,FyZyAmt";
        V.Add(Qty).Add(Amt).Add(Qty).Add(Amt);
      }
      RptQueryObj().InsertRecord(T, F, V.str());
    } else {
      std::string F;
      ValueList V(S);
      if (MzZy == "1") {
        F = "FyQty,FyAmt,FyMzQty,FyMzAmt";
        V.Add(OldValue(rs, "FyQty") + Qty).Add(OldValue(rs, "FyAmt") + Amt);
        V.Add(OldValue(rs, "FyMzQty") + Qty).Add(OldValue(rs, "FyMzAmt") + Amt);
      } else if (MzZy == "2") {
        F = "FyQty,FyAmt,FyZyQty,FyZyAmt";
        V.Add(OldValue(rs, "FyQty") + Qty).Add(OldValue(rs, "FyAmt") + Amt);
        V.Add(OldValue(rs, "FyZyQty") + Qty).Add(OldValue(rs, "FyZyAmt") + Amt);
      }
      RptQueryObj().UpdateRecord(T, F, V.str(), C);
    }
    rs.Close();
  }

  void FillGoodInfo() override { FillGoodInfoWithoutPrice(); }
};

}  // namespace

Object MakeRpt_Fy_Good(const ClassSpec& spec) { return std::make_shared<Rpt_Fy_Good>(spec); }

}  // namespace qev::frame
