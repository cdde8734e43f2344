// Rpt_KcCk: stock issues per good, with one quantity and one amount column
// per issue type (qty5/amt5 for type "5") beside the overall totals.
#include <memory>

#include "frame/Func_Mode.h"
#include "frame/sql_quote.h"
#include "frame/report_makers.h"
#include "frame/value_list.h"
#include "reports/goods/goods_report.h"

namespace qev::frame {

namespace {

class Rpt_KcCk : public GoodsReport {
 public:
  using GoodsReport::GoodsReport;

 protected:
  std::string SourceStatement(const QueryObj& Q) override {
    // The caller's condition is kept inside parentheses.
    const std::string cond = Q.CondAfterStr(CondStr_);
    const std::string W = CondStr_.empty() ? "" : " where ( " + cond + ")";
    return "select goodid,CkTypeID,sum(Qty*UnitRate) as f_qty,sum(qty*UnitPrice) as f_Amt "
           "from  " +
           SourceViewName_ + W + " group by goodid,CkTypeID ";
  }

  void MergeSourceRow(const Recordset& rs) override {
    const std::string GoodID = rs.Fields("GoodID").ToText();
    const std::string K = rs.Fields("ckTypeid").ToText();
    const double Qty = FormatDec(rs.Fields("f_qty")).ToDouble();
    const double Amt = FormatDec(rs.Fields("f_amt")).ToDouble();
    ChangeGoodValue(GoodID, K, Qty, Amt);
  }

  // Inserts the good's row or adds to its totals and to the pair of
  // columns of issue type K.
  void ChangeGoodValue(const std::string& GoodID, const std::string& K, double Qty,
                       double Amt) {
    const std::string S = ValueSplitStr();
    const std::string T = RptTab_;
    const std::string C = "name='" + Quote(GoodID) + "' and computer='" + Quote(ComputerName()) + "'";
    const Recordset rs = RptQueryObj().OpenRs("select computer,name,qty,amt, qty" + K + ",amt" +
                                              K + " from " + T + " where " + C);
    if (rs.RecordCount() == 0) {
      RptQueryObj().InsertRecord(T, "computer,qty,name,amt,qty" + K + ",amt" + K,
                                 JoinValues(S, {ComputerName(), Qty, GoodID, Amt, Qty, Amt}));
    } else {
      const std::string qtyK = "qty" + K;
      const std::string amtK = "amt" + K;
      RptQueryObj().UpdateRecord(
          T, "qty,amt,qty" + K + ",amt" + K,
          JoinValues(S, {OldValue(rs, "qty") + Qty, OldValue(rs, "amt") + Amt,
                         OldValue(rs, qtyK.c_str()) + Qty, OldValue(rs, amtK.c_str()) + Amt}),
          C);
    }
    rs.Close();
  }

  void FillGoodInfo() override { FillGoodInfoWithoutPrice(); }

  // This report closes the caller's condition with ") ".
  std::string GetDetailCondStr(const std::string& KeyValue) override {
    std::string cond = "goodid='" + Quote(KeyValue) + "'";
    if (!CondStr_.empty()) cond += " and (" + CondStr_ + ") ";
    return cond;
  }
};

}  // namespace

Object MakeRpt_KcCk(const ClassSpec& spec) { return std::make_shared<Rpt_KcCk>(spec); }

}  // namespace qev::frame
