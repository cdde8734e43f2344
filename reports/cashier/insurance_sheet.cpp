#include "reports/cashier/insurance_sheet.h"

#include <iterator>
#include <memory>
#include <string>
#include <utility>

#include "frame/Func_Mode.h"
#include "frame/Rpt_Mode.h"
#include "frame/error_trap.h"
#include "frame/value_list.h"
#include "reports/cashier/daily_sheet.h"

namespace qev::frame {

namespace {

constexpr const char* kTable = "rpt_Yb_rbb";

// The twelve amount columns, in the order of the statement, of
// ChangeValue's arguments and of the field list.
constexpr const char* kAmounts[] = {"zhzfe0", "jjzfe0", "gwybz0", "fybfy0", "ylzfje", "cfdxje",
                                    "sybxzf", "bjjjzf", "grzfe0", "bcbxf0", "locaxj", "xjhj00"};
constexpr int kBcbxf0 = 9;
constexpr int kLocaxj = 10;
using Amounts = double[std::size(kAmounts)];

Variant NullAsZero(const Variant& v) { return v.IsNull() ? Variant(int16_t{0}) : v; }

class InsuranceSheet : public DailySheet {
 public:
  InsuranceSheet(const ClassSpec& spec, std::string view, std::string class_name)
      : DailySheet(spec), view_(std::move(view)), class_name_(std::move(class_name)) {}

 private:
  template <typename Body>
  void Trap(const char* proc, Body&& body) {
    ReportingErrors(class_name_, proc, body);
  }

  void RptInit() override {
    RptQueryObj().DeleteRecord(kTable, OwnRows());
    RptQueryObj().InsertRecord(kTable, "computer", ComputerName());
  }

  void CalcuRpt(const SourceArgs& a) override {
    Trap("CalcuRpt", [&] {
      RptQueryObj().DeleteRecord(kTable, OwnRows());
      CalcuValue(a);
    });
  }

  void CalcuValue(const SourceArgs& a) {
    Trap("CalcuValue", [&] {
      // The header string is built first: an odd RptDesc fails before the
      // row is inserted.
      RptQueryObj().InsertRecord(
          kTable, "computer,RptDesc",
          JoinValues(ValueSplitStr(), {ComputerName(), GetHeadStr(RptDesc_)}));
      const QueryObj Q = a.Source(1);
      std::string sql =
          "select sum(zhzfe0) as f_zhzfe0,sum(jjzfe0) as f_jjzfe0,sum(gwybz0) as "
          "f_gwybz0,sum(fybfy0) as f_fybfy0,sum(ylzfje) as f_ylzfje,sum(cfdxje) as f_cfdxje "
          ",sum(sybxzf) as f_sybxzf,sum(bjjjzf) as f_bjjjzf,sum(grzfe0) as f_grzfe0 "
          ",sum(bcbxf0) as f_bcbxf0,sum(locaxj) as f_locaxj,sum(xjhj00) as f_xjhj00 from " +
          view_ + "  ";
      if (!CondStr_.empty()) sql += " where " + Q.CondAfterStr(CondStr_);
      const Recordset rs = Q.OpenRs(sql);
      if (!rs.Fields(int16_t{0}).IsNull()) {
        Amounts sums;
        for (size_t i = 0; i < std::size(kAmounts); ++i)
          sums[i] = rs.Fields("f_" + std::string(kAmounts[i])).ToDouble();
        ChangeValue(sums);
      }
      rs.Close();
    });
  }

  // Adds the sums to the workstation's row (which CalcuValue inserted, so
  // the row ends up holding the sums themselves) and hjamt = bcbxf0 +
  // locaxj.
  void ChangeValue(const Amounts& sums) {
    Trap("ChangeValue", [&] {
      const Recordset rs =
          RptQueryObj().OpenRs(std::string("select * from ") + kTable + " where  " + OwnRows());
      std::string F;
      ValueList V(ValueSplitStr());
      for (size_t i = 0; i < std::size(kAmounts); ++i) {
        F += (i ? "," : "") + std::string(kAmounts[i]);
        V.Add(VarAdd(NullAsZero(rs.Fields(kAmounts[i])), Variant(sums[i])));
      }
      F += ",hjamt";
      V.Add(VarAdd(VarAdd(NullAsZero(rs.Fields("hjamt")), Variant(sums[kBcbxf0])),
                   Variant(sums[kLocaxj])));
      RptQueryObj().UpdateRecord(kTable, F, V.str(), OwnRows());
      rs.Close();
    });
  }

  const std::string view_;
  const std::string class_name_;
};

}  // namespace

Object MakeInsuranceSheet(const ClassSpec& spec, std::string view, std::string class_name) {
  return std::make_shared<InsuranceSheet>(spec, std::move(view), std::move(class_name));
}

}  // namespace qev::frame
