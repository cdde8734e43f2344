// Rpt_Tol_Good: per good, the quantity in base units (Qty times UnitRate)
// and the amount of the source view, totalled over the source databases,
// with the good's name, specification, unit and average unit price.
#include <memory>

#include "frame/Func_Mode.h"
#include "frame/report_makers.h"
#include "reports/goods/goods_report.h"

namespace qev::frame {

namespace {

class Rpt_Tol_Good : public GoodsReport {
 public:
  using GoodsReport::GoodsReport;

 protected:
  std::string SourceStatement(const QueryObj& Q) override {
    const std::string W = WhereOf(Q);
    return "select goodid,sum(Qty*UnitRate) as f_Qty,sum(Amt) as f_amt from " +
           SourceViewName_ + W + " group by goodid ";
  }

  void MergeSourceRow(const Recordset& rs) override {
    const std::string GoodID = rs.Fields("goodid").ToText();
    const double Qty = FormatDec(rs.Fields("f_Qty")).ToDouble();
    const double Amt = rs.Fields("f_amt").ToDouble();
    ChangeGoodValue(GoodID, Qty, Amt);
  }

  void FillGoodInfo() override { FillGoodInfoWithPrice(); }
};

}  // namespace

Object MakeRpt_Tol_Good(const ClassSpec& spec) { return std::make_shared<Rpt_Tol_Good>(spec); }

}  // namespace qev::frame
