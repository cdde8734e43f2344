// The three medical-insurance daily sheets on real databases: sums of the
// first source's view, the header string and hjamt, the row that the last
// sheet calculated leaves, RptInit, and errors reported under each class.
#include "tests/cashier/cashier_fixture.h"

namespace qev::testing {
namespace {

using InsuranceSheetTest = CashierFixture;
INSTANTIATE_TEST_SUITE_P(Backends, InsuranceSheetTest, AllBackends(), BackendTestName);
INSTANTIATE_TEST_SUITE_P(Odbc, InsuranceSheetTest, OdbcBackends(), BackendTestName);

constexpr const char* kRow =
    "select RptDesc,zhzfe0,jjzfe0,grzfe0,bcbxf0,locaxj,xjhj00,hjamt "
    "from rpt_Yb_rbb where computer='WS1'";

Variant NewInsuranceSheet(const CashierFixture& f, const std::string& cls, const std::string& desc,
                          const std::string& cond = "CzyID='U1'") {
  return f.NewReport(cls, {{"CondStr", Variant(cond)}, {"RptDesc", Variant(desc)}});
}

TEST_P(InsuranceSheetTest, SumsOfTheFirstSourceInTheWorkstationsOneRow) {
  Add(1, "qev_Yb_Infoh_L", kInsured,
      {"'Tol',1,2,3,4,5,6,7,8,9,10,11,12", "'Tol',0.5,0,0,0,0,0,0,0,1,100,20.5,20.5",
       "'Zyjz',0,700,0,0,0,0,0,0,200,800,200,200"});
  Add(1, "qev_Yb_Infoh_L", kInsured, {"'Tol',9,9,9,9,9,9,9,9,9,9,9,9"}, "U2");
  Add(2, "qev_Yb_Infoh_L", kInsured, {"'Tol',1,1,1,1,1,1,1,1,1,1,1,1"});
  const std::string desc = "结算 日期" + S + "2024-03-15" + S + "" + S + "总院";
  Calcu(NewInsuranceSheet(*this, "Rpt_Yb_Rbb", desc), 3, 3);
  EXPECT_EQ(Text(kRow),
            (std::vector<std::string>{"结算日期:2024-03-15   总院|1.5|2|10|110|31.5|32.5|141.5"}));
  // The last sheet calculated holds the workstation's row.
  Calcu(NewInsuranceSheet(*this, "Rpt_Yb_Rbb_Zyjz", ""), 1, 1);
  EXPECT_EQ(Text(kRow), (std::vector<std::string>{"|0|700|200|800|200|200|1000"}));
  // Nothing selected: the row keeps the header string only.
  Calcu(NewInsuranceSheet(*this, "Rpt_Yb_Rbb_Zyjs", desc), 1, 1);
  EXPECT_EQ(Text(kRow), (std::vector<std::string>{
                            "结算日期:2024-03-15   总院|<null>|<null>|<null>|<null>|<null>|<null>|"
                            "<null>"}));
  Variant r = NewInsuranceSheet(*this, "Rpt_Yb_Rbb", desc);
  Call(r, "RptInit");
  EXPECT_EQ(Text("select computer,RptDesc,hjamt from rpt_Yb_rbb"),
            (std::vector<std::string>{"WS1|<null>|<null>"}));
  EXPECT_TRUE(Reported().empty());
}

TEST_P(InsuranceSheetTest, ErrorsAreReportedUnderEachClassName) {
  // A Null sum after a first one that is not Null.
  Add(1, "qev_Yb_Infoh_L", kInsured,
      {"'Tol',1,2,3,4,5,6,7,8,9,10,NULL,12", "'Zyjs',1,2,3,4,5,6,7,8,9,10,11,12"});
  Calcu(NewInsuranceSheet(*this, "Rpt_Yb_Rbb", "a" + S + "1"), 1, 1);
  EXPECT_EQ(Text(kRow),
            (std::vector<std::string>{"a:1|<null>|<null>|<null>|<null>|<null>|<null>|<null>"}));
  // An odd description fails before the row is written.
  Calcu(NewInsuranceSheet(*this, "Rpt_Yb_Rbb_Zyjs", "a" + S + "1" + S + "b"), 1, 1);
  EXPECT_TRUE(Text(kRow).empty());
  // A missing view.
  Exec(1, "drop view qev_Zyjz_Infoh_L_Yb_V");
  Calcu(NewInsuranceSheet(*this, "Rpt_Yb_Rbb_Zyjz", ""), 1, 1);
  EXPECT_EQ(Text("select computer,RptDesc from rpt_Yb_rbb"), (std::vector<std::string>{"WS1|"}));
  // A report table without hjamt fails the update after the insert.
  Exec(0, "alter table rpt_Yb_rbb drop column hjamt");
  Calcu(NewInsuranceSheet(*this, "Rpt_Yb_Rbb_Zyjs", ""), 1, 1);
  EXPECT_EQ(Text("select computer,RptDesc,zhzfe0 from rpt_Yb_rbb"),
            (std::vector<std::string>{"WS1||<null>"}));
  // (A failure in CalcuRpt's own steps, reported under CalcuRpt:
  // faults_test.cpp, for every call of each sheet.)
  EXPECT_EQ(Reported(), (std::vector<std::string>{
                            "Error 94 in Rpt_Yb_Rbb.CalcuValue", "Error 9 in Rpt_Yb_Rbb_Zyjs.CalcuValue",
                            "Error 32002 in Rpt_Yb_Rbb_Zyjz.CalcuValue", "Error 9 in Rpt_Yb_Rbb_Zyjs.ChangeValue"}));
}

}  // namespace
}  // namespace qev::testing
