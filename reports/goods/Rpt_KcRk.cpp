// Rpt_KcRk: stock receipts per good: the received quantity in base units
// and the receipt amount from the source's JhAmt, with the average price.
#include <memory>

#include "frame/Func_Mode.h"
#include "frame/report_makers.h"
#include "reports/goods/goods_report.h"

namespace qev::frame {

namespace {

class Rpt_KcRk : public GoodsReport {
 public:
  using GoodsReport::GoodsReport;

 protected:
  std::string SourceStatement(const QueryObj& Q) override {
    const std::string W = WhereOf(Q);
    return "select goodid,sum(Qty*UnitRate) as f_Qty,sum(JhAmt) as f_jhamt from " +
           SourceViewName_ + W + " group by goodid ";
  }

  void MergeSourceRow(const Recordset& rs) override {
    const std::string GoodID = rs.Fields("goodid").ToText();
    const double Qty = FormatDec(rs.Fields("f_Qty")).ToDouble();
    const double Amt = rs.Fields("f_jhamt").ToDouble();
    ChangeGoodValue(GoodID, Qty, Amt);
  }

  void FillGoodInfo() override { FillGoodInfoWithPrice(); }
};

}  // namespace

Object MakeRpt_KcRk(const ClassSpec& spec) { return std::make_shared<Rpt_KcRk>(spec); }

}  // namespace qev::frame
