// rptcalc demo: the demo hospital databases and the showcase of the
// reports built.
#include <gtest/gtest.h>

#include <fstream>

#include "tests/rptcalc/rptcalc_fixture.h"

namespace qev::testing {
namespace {

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

  // Lookups for the later report families are there too.
  EXPECT_EQ(Rows("a/hospital.db", "select * from qev_pub_depa").size(), 13u);
  EXPECT_EQ(Rows("a/hospital.db", "select * from qev_pub_user").size(), 40u);
  EXPECT_FALSE(Rows("a/hospital.db", "select * from qev_pub_xydw").empty());

  // The figures of each report on data like these: the report suites.
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
  EXPECT_EQ(ReadFile(dir_.File("notes.db")), "not a database");
  ExpectUsageError(Rptcalc({"demo", "--scale", "0"}), "--scale");
  // Past what every demo report can hold: refused before anything is built.
  ExpectUsageError(Rptcalc({"demo", "--scale", "21"}), "--scale");
}

}  // namespace
}  // namespace qev::testing
