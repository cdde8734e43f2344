// Rpt_Zy_Good: the per-good totals over the inpatient views. The view's
// name decides (PriceType) whether quantities count in base units or are
// taken as stored.
#include <memory>

#include "frame/report_makers.h"
#include "platform/ci_map.h"
#include "reports/goods/goods_report.h"

namespace qev::frame {

namespace {

class Rpt_Zy_Good : public GoodsReport {
 public:
  using GoodsReport::GoodsReport;

 protected:
  bool InvokeOwn(const MemberInfo& member, InvokeKind kind, ArgList& args,
                 Variant* result) override {
    if (EqualsNoCase(member.name, "PriceType")) {
      *result = Variant(PriceType());
      return true;
    }
    return GoodsReport::InvokeOwn(member, kind, args, result);
  }

  // "1" for the prescription view (base units), "0" for the settlement
  // views (quantities as stored), "" for any other view.
  std::string PriceType() const {
    const std::string view = ToLowerAscii(SourceViewName_);
    if (view == "rpt_zyqd_v") return "1";
    if (view == "rpt_zyjz_v") return "0";
    if (view == "rpt_zyjs_v") return "0";
    return "";
  }

  std::string SourceStatement(const QueryObj& Q) override {
    // An unknown view has the empty PriceType, which is no number: the
    // calculation ends here with a type mismatch.
    const double price_type = Variant(PriceType()).ToDouble();
    const std::string W = WhereOf(Q);
    if (price_type == 1)
      return "select goodid,sum(Qty*UnitRate) as f_Qty,sum(Amt) as f_Amt from " +
             SourceViewName_ + W + " group by goodid ";
    return "select goodid,sum(qty) as f_qty,sum(amt) as f_amt from " + SourceViewName_ + W +
           " group by goodid ";
  }

  void MergeSourceRow(const Recordset& rs) override {
    const std::string GoodID = rs.Fields("goodid").ToText();
    const double Qty = rs.Fields("f_Qty").ToDouble();
    const double Amt = rs.Fields("f_amt").ToDouble();
    ChangeGoodValue(GoodID, Qty, Amt);
  }

  void FillGoodInfo() override { FillGoodInfoWithPrice(); }
};

}  // namespace

Object MakeRpt_Zy_Good(const ClassSpec& spec) { return std::make_shared<Rpt_Zy_Good>(spec); }

}  // namespace qev::frame
