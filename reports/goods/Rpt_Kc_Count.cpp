// Rpt_Kc_Count: the stock movement summary per good, spreading each good's
// movements over one column group per movement type. Issues and dispensing
// are written with the opposite sign of the source's totals; receipts,
// transfers and stocktakes keep theirs.
#include <memory>

#include "frame/Func_Mode.h"
#include "frame/sql_quote.h"
#include "frame/report_makers.h"
#include "frame/value_list.h"
#include "reports/goods/goods_report.h"

namespace qev::frame {

namespace {

class Rpt_Kc_Count : public GoodsReport {
 public:
  using GoodsReport::GoodsReport;

 protected:
  std::string SourceStatement(const QueryObj& Q) override {
    const std::string W = WhereOf(Q);
    return "select goodid,Type,sum(Qty*UnitRate) as f_Qty,sum(Qty*JhPrice) as f_JhAmt,"
           "sum(Qty*UnitPrice) as f_Amt from " +
           SourceViewName_ + W + " group by goodid,Type";
  }

  void MergeSourceRow(const Recordset& rs) override {
    const std::string GoodID = rs.Fields("GoodID").ToText();
    const std::string Type = rs.Fields("Type").ToText();
    const double Qty = FormatDec(rs.Fields("f_qty")).ToDouble();
    const double Amt = FormatDec(rs.Fields("f_amt")).ToDouble();
    const double JhAmt = FormatDec(rs.Fields("f_jhamt")).ToDouble();
    ChangeGoodValue(GoodID, Type, Qty, Amt, JhAmt);
  }

  // Movement types: "1" receipt, "2" issue, "3" transfer, "4" stocktake,
  // "5"/"6" outpatient dispensing, "7"/"8" inpatient dispensing; any other
  // code inserts a bare row or updates nothing.
  void ChangeGoodValue(const std::string& GoodID, const std::string& Type, double Qty,
                       double Amt, double JhAmt) {
    const std::string S = ValueSplitStr();
    const std::string T = RptTab_;
    const std::string C = "name='" + Quote(GoodID) + "' and computer='" + Quote(ComputerName()) + "'";
    const Recordset rs = RptQueryObj().OpenRs("select * from " + T + " where " + C);
    if (rs.RecordCount() == 0) {
      std::string F = "computer,name";
      ValueList V(S, {ComputerName(), GoodID});
      if (Type == "1") {
        F += ",InQty,InJhAmt,InSaleAmt";
        V.Add(Qty).Add(JhAmt).Add(Amt);
      } else if (Type == "2") {
        F += ",CkQty,CkAmt";
        V.Add(-Qty).Add(-Amt);
      } else if (Type == "3") {
        F += ",DbQty,DbAmt";
        V.Add(Qty).Add(Amt);
      } else if (Type == "4") {
        F += ",PdQty,PdAmt";
        V.Add(Qty).Add(Amt);
      } else if (Type == "5" || Type == "6") {
        F += ",FyQty,FyAmt,FyMzQty,FyMzAmt";
        V.Add(-Qty).Add(-Amt).Add(-Qty).Add(-Amt);
      } else if (Type == "7" || Type == "8") {
        F += ",FyQty,FyAmt,FyZyQty,FyZyAmt";
        V.Add(-Qty).Add(-Amt).Add(-Qty).Add(-Amt);
      }
      RptQueryObj().InsertRecord(T, F, V.str());
    } else {
      std::string F;
      ValueList V(S);
      if (Type == "1") {
        F = "InQty,InJhAmt,InSaleAmt";
        V.Add(OldValue(rs, "InQty") + Qty).Add(OldValue(rs, "InJhAmt") + JhAmt);
        V.Add(OldValue(rs, "InSaleAmt") + Amt);
      } else if (Type == "2") {
        F = "CkQty,CkAmt";
        V.Add(OldValue(rs, "CkQty") - Qty).Add(OldValue(rs, "CkAmt") - Amt);
      } else if (Type == "3") {
        F = "DbQty,DbAmt";
        V.Add(OldValue(rs, "DbQty") + Qty).Add(OldValue(rs, "DbAmt") + Amt);
      } else if (Type == "4") {
        F = "PdQty,PdAmt";
        V.Add(OldValue(rs, "PdQty") + Qty).Add(OldValue(rs, "PdAmt") + Amt);
      } else if (Type == "5" || Type == "6") {
        F = "FyQty,FyAmt,FyMzQty,FyMzAmt";
        V.Add(OldValue(rs, "FyQty") - Qty).Add(OldValue(rs, "FyAmt") - Amt);
        V.Add(OldValue(rs, "FyMzQty") - Qty).Add(OldValue(rs, "FyMzAmt") - Amt);
      } else if (Type == "7" || Type == "8") {
        F = "FyQty,FyAmt,FyZyQty,FyZyAmt";
        V.Add(OldValue(rs, "FyQty") - Qty).Add(OldValue(rs, "FyAmt") - Amt);
        V.Add(OldValue(rs, "FyZyQty") - Qty).Add(OldValue(rs, "FyZyAmt") - Amt);
      }
      RptQueryObj().UpdateRecord(T, F, V.str(), C);
    }
    rs.Close();
  }

  void FillGoodInfo() override { FillGoodInfoWithoutPrice(); }
};

}  // namespace

Object MakeRpt_Kc_Count(const ClassSpec& spec) { return std::make_shared<Rpt_Kc_Count>(spec); }

}  // namespace qev::frame
