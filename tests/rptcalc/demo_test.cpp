// rptcalc demo: the demo hospital databases and the showcase of the goods
// reports, checked against sums taken here straight from the demo's source
// databases.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <nlohmann/json.hpp>

#include "tests/rptcalc/rptcalc_fixture.h"

namespace qev::testing {
namespace {

using nlohmann::json;

std::string ReplaceAll(std::string text, const std::string& from, const std::string& to) {
  for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
    text.replace(at, from.size(), to);
  return text;
}

TEST_F(RptcalcTest, DemoBuildsTheHospitalAndShowsEveryGoodsReport) {
  const ProcessResult r = Rptcalc({"demo", "--db", "a/hospital.db"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");  // no progress lines when standard error is no terminal
  for (const char* cls : {"Rpt_Tol_Good", "Rpt_Fy_Good", "Rpt_Zy_Good", "Rpt_KcCk", "Rpt_KcRk",
                          "Rpt_Kc_Count", "Rpt_Kc_Zz", "Rpt_Tol_Type", "Rpt_Tol_TypeDx",
                          "Rpt_Zy_Type", "Rpt_Zy_TypeDx", "Rpt_KcRk_Price", "Rpt_Tol_Rbb",
                          "Rpt_Yb_Rbb"})
    EXPECT_NE(r.out.find(std::string("$ rptcalc run ") + cls + " "), std::string::npos) << cls;
  EXPECT_NE(r.out.find(dir_.File("a/hospital_source1.db")), std::string::npos);
  EXPECT_NE(r.out.find("阿莫西林胶囊"), std::string::npos);
  EXPECT_NE(r.out.find("rpt_kc_count: 60 rows"), std::string::npos);

  // The ledger of good 1008 over both campuses closes at the sum of its
  // stock rows, and its detail rows run from the opening to the month total.
  double closing = 0;
  for (const char* src : {"a/hospital_source1.db", "a/hospital_source2.db"})
    closing += Rows(src, "select sum(Qty*UnitRate) from rpt_kc_zz_v where GoodID='1008'")[0][0]
                   .ToDouble();
  const auto ledger = Rows("a/hospital.db", "select nameid,EndQty from rpt_kc_zz");
  ASSERT_EQ(ledger.size(), 1u);
  EXPECT_EQ(ledger[0][0], Variant("1008"));
  EXPECT_DOUBLE_EQ(ledger[0][1].ToDouble(), closing);
  const auto detail = Rows("a/hospital.db", "select Type,EndQty from rpt_kc_zz_detail order by Sn");
  ASSERT_GT(detail.size(), 3u);
  EXPECT_EQ(detail.front()[0], Variant("0"));
  EXPECT_EQ(detail.back()[0], Variant("100"));
  EXPECT_DOUBLE_EQ(detail.back()[1].ToDouble(), closing);

  // The charges per department over both campuses equal the sums of their
  // views, and the registrations of the whole month count each patient
  // once, by the sign of the patient's total over both campuses.
  std::map<std::string, double> by_department;
  std::map<std::string, double> by_registration;
  for (const char* src : {"a/hospital_source1.db", "a/hospital_source2.db"}) {
    for (const auto& row : Rows(src, "select DepaID,sum(Amt) from rpt_mz_fee_v group by DepaID"))
      by_department[row[0].ToText()] += row[1].ToDouble();
    for (const auto& row :
         Rows(src, "select RegID||'/'||Name,sum(Amt) from rpt_mz_fee_v group by RegID,Name"))
      by_registration[row[0].ToText()] += row[1].ToDouble();
  }
  const auto departments =
      Rows("a/hospital.db", "select nameid,amt from rpt_tol_type where computer='DEMO'");
  ASSERT_EQ(departments.size(), by_department.size());
  for (const auto& row : departments)
    EXPECT_NEAR(row[1].ToDouble(), by_department.at(row[0].ToText()), 1e-6);
  int registrations = 0;
  for (const auto& [key, amt] : by_registration)
    registrations += amt > 0 ? 1 : amt < 0 ? -1 : 0;
  EXPECT_LT(registrations, static_cast<int>(by_registration.size()));  // refunds cancel
  EXPECT_NE(r.out.find("GetAllQty  " + std::to_string(registrations) + "\n"), std::string::npos);

  // The cashiers' sheet of 2024-03-15 over both campuses: its total row
  // holds the money of every valid record of the day, and its memo the
  // counts. The insurance sheet shown last is the east campus's.
  const std::string day = "iDate>='2024-03-15' and iDate<'2024-03-16'";
  double money = 0;
  for (const char* src : {"a/hospital_source1.db", "a/hospital_source2.db"})
    money += Rows(src, "select (select sum(amt) from qev_Mem_InAmt where jsfs3amt=0 and " + day +
                           ")+(select sum(amt) from qev_Reg_info where state='1' and " + day +
                           ")+(select sum(amt) from qev_Tol_infoh where state='1' and " + day +
                           ")+(select sum(amt) from qev_Zyyjk_Info where " + day + ")")[0][0]
                 .ToDouble();
  const double insured = Rows("a/hospital_source2.db",
                 "select sum(bcbxf0+locaxj) from qev_Tol_Infoh_L_Yb_V where " + day)[0][0]
                .ToDouble();
  EXPECT_NEAR(Rows("a/hospital.db", "select hjamt from rpt_Tol_Rbb_Infod where nameid='Hj'")[0][0]
                  .ToDouble(),
              money, 1e-6);
  EXPECT_NEAR(Rows("a/hospital.db", "select hjamt from rpt_Yb_rbb")[0][0].ToDouble(), insured, 1e-6);
  EXPECT_NE(r.out.find("收费处    2024-03-15"), std::string::npos);
  EXPECT_NE(r.out.find("挂号总数"), std::string::npos);
  EXPECT_NE(r.out.find("住院押金"), std::string::npos);

  // Lookups for the later report families are there too.
  EXPECT_EQ(Rows("a/hospital.db", "select * from qev_pub_depa").size(), 13u);
  EXPECT_EQ(Rows("a/hospital.db", "select * from qev_pub_user").size(), 40u);
  EXPECT_FALSE(Rows("a/hospital.db", "select * from qev_pub_xydw").empty());

  // A receipts report over both campuses equals the sums of their views.
  std::map<std::string, std::pair<double, double>> want;
  for (const char* src : {"a/hospital_source1.db", "a/hospital_source2.db"})
    for (const auto& row :
         Rows(src, "select goodid,sum(Qty*UnitRate),sum(JhAmt) from rpt_kcrk_v group by goodid")) {
      want[row[0].ToText()].first += row[1].ToDouble();
      want[row[0].ToText()].second += row[2].ToDouble();
    }
  ASSERT_GT(want.size(), 10u);
  const ProcessResult kcrk =
      Rptcalc({"run", "Rpt_KcRk", "--db", "a/hospital.db", "--source", "a/hospital_source1.db",
               "--source", "a/hospital_source2.db", "--workstation", "TEST", "--set",
               "SourceViewName=rpt_kcrk_v", "--set", "RptTab=rpt_kcrk", "--format", "json"});
  ASSERT_EQ(kcrk.status, 0) << kcrk.err;
  const json rows = json::parse(kcrk.out).at("tables").at("rpt_kcrk");
  ASSERT_EQ(rows.size(), want.size());
  for (const json& row : rows) {
    const auto& w = want.at(row.at("nameid").get<std::string>());
    EXPECT_DOUBLE_EQ(row.at("qty").get<double>(), w.first);
    EXPECT_NEAR(row.at("amt").get<double>(), w.second, 1e-6);
  }
  // The demo's own rows (workstation DEMO) stay beside the test's.
  EXPECT_EQ(Rows("a/hospital.db", "select * from rpt_kcrk where computer='DEMO'").size(),
            want.size());
}

TEST_F(RptcalcTest, DemoIsTheSameEveryTimeAndGrowsWithScale) {
  const ProcessResult a = Rptcalc({"demo", "--db", "a/h.db"});
  const ProcessResult b = Rptcalc({"demo", "--db", "b/h.db"});
  ASSERT_EQ(a.status, 0) << a.err;
  ASSERT_EQ(b.status, 0) << b.err;
  EXPECT_EQ(ReplaceAll(a.out, "a/h", "X/h"), ReplaceAll(b.out, "b/h", "X/h"));
  // Running it again in the same place replaces the earlier demo.
  const ProcessResult again = Rptcalc({"demo", "--db", "a/h.db"});
  ASSERT_EQ(again.status, 0) << again.err;
  EXPECT_EQ(again.out, a.out);

  const ProcessResult big = Rptcalc({"demo", "--db", "c/h.db", "--scale", "3"});
  ASSERT_EQ(big.status, 0) << big.err;
  const auto count = [&](const std::string& file, const std::string& table) {
    return Rows(file, "select count(*) from " + table)[0][0].ToInt32();
  };
  EXPECT_EQ(count("c/h.db", "qev_pub_good"), 3 * count("a/h.db", "qev_pub_good"));
  EXPECT_EQ(count("c/h_source1.db", "fy_detail"), 3 * count("a/h_source1.db", "fy_detail"));
}

TEST_F(RptcalcTest, DemoNeverReplacesAnotherFile) {
  {
    std::ofstream f(dir_.File("notes.db"));
    f << "not a database";
  }
  const ProcessResult r = Rptcalc({"demo", "--db", "notes.db"});
  ExpectUsageError(r, "refusing to replace");
  std::ifstream f(dir_.File("notes.db"));
  std::string text((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
  EXPECT_EQ(text, "not a database");
  ExpectUsageError(Rptcalc({"demo", "--scale", "0"}), "--scale");
  // Past what every demo report can hold: refused before anything is built.
  ExpectUsageError(Rptcalc({"demo", "--scale", "21"}), "--scale");
}

}  // namespace
}  // namespace qev::testing
