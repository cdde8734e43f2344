// The statements the day-by-day reports and the registrations by
// department and day send, as the tracing proxy records them, and the
// detail conditions they hand out.
#include "platform/dispatch.h"
#include "platform/error.h"
#include "tests/daily/daily_fixture.h"

namespace qev::testing {
namespace {

class DailyStatementsTest : public DailyFixture {};
INSTANTIATE_TEST_SUITE_P(Backends, DailyStatementsTest, AllBackends(), BackendTestName);
INSTANTIATE_TEST_SUITE_P(Odbc, DailyStatementsTest, OdbcBackends(), BackendTestName);

using Calls = std::vector<std::string>;
const std::string S = "\x1F";

TEST_P(DailyStatementsTest, OutpatientDaysAmountsCountsAndHeader) {
  Fees(1, {"'R1','G1','P1','2024-03-05 09:00:00','01',30"});
  Variant r = NewReport("Rpt_Tol_Day", {{"SourceViewName", Variant("rpt_mz_fee_v")},
                                        {"ObjField", Variant("DepaID")}, {"RptTab", Variant("rpt_tol_day")},
                                        {"QtyIndex", Variant(int16_t{1})}, {"CondStr", Variant("Amt<>0")}});
  const TracedCalls t = Traced();
  t.CalcuRpt(r, 2, 2);
  EXPECT_EQ(t.CallsOn("source1"),
            (Calls{"CondAfterStr(Amt<>0)", "OpenRs(select DepaID ,RegID,Name,jzrday,sum(amt) as SfAmt from "
                                           "rpt_mz_fee_v where Amt<>0 group by DepaID,jzrday,RegID,Name)"}));
  EXPECT_EQ(t.CallsOn("source2").size(), 2u);
  EXPECT_EQ(t.CallsOn("report"),
            (Calls{"DeleteRecord(rpt_tol_day|computer='WS1')",
                   "DeleteRecord(rpt_header|computer='WS1' and rpttab='rpt_tol_day')",
                   "InsertRecord(rpt_header|computer,rpttab,headstr|WS1" + S + "rpt_tol_day" + S + ")",
                   "DeleteRecord(tem_rpt_qty|computer='WS1')", "SnValue(TempID)",
                   "InsertRecord(tem_rpt_qty|temid,computer,RegID,Name,objfield,jzrday,amt|1" + S + "WS1" + S +
                       "G1" + S + "P1" + S + "01" + S + "2024-03-05" + S + "30)",
                   "OpenRs(select ObjField ,jzrday,sum(amt) as SfAmt from tem_rpt_qty  where "
                   "computer='WS1' group by objfield,jzrday,RegID,Name)",
                   "OpenRs(select computer,name, amt,f5 from rpt_tol_day where name='01' and computer='WS1')",
                   "InsertRecord(rpt_tol_day|computer,name,amt,f5|WS1" + S + "01" + S + "1" + S + "1)",
                   "OpenRs(select name,nameid from rpt_tol_day  where computer='WS1')",
                   "TabFieldValue(name|qev_pub_depa|id='01')",
                   "UpdateRecord(rpt_tol_day|nameid,name|01" + S + "内科|computer='WS1' and name='01')"}));
  Call(r, "UpdateHeader", t.CallWithSources(r, "CalcuDayQty", 2, 1));
  EXPECT_EQ(t.CallsOn("report"),
            (Calls{"OpenRs(select jzrday,sum(amt) as SfAmt from tem_rpt_qty  where computer='WS1' group "
                   "by jzrday, RegID,Name)",
                   "UpdateRecord(rpt_header|allqty,f5|1" + S + "1|computer='WS1' and rpttab='rpt_tol_day')"}));

  Let(r, "QtyIndex", Variant(int16_t{3}));
  t.CallWithSources(r, "CalcuDayQty", 1, 1);
  EXPECT_EQ(t.CallsOn("source1").back(), "OpenRs(select JzrDay,sum(Amt) as sfamt from  rpt_mz_fee_v where "
                                         "Amt<>0 group by  jzrday,ID)");
  t.CalcuRpt(r, 1, 1);
  EXPECT_EQ(t.CallsOn("source1").back(), "OpenRs(select DepaID,JzrDay,sum(Amt) as sfamt from  rpt_mz_fee_v "
                                         "where Amt<>0 group by  DepaID,jzrday,ID)");
  Let(r, "AmtQty", Variant(int16_t{1}));
  Let(r, "CondStr", Variant(""));
  Fees(1, {"'R2','G2','P2','2024-03-05 10:00:00','01',12.5"});
  t.CalcuRpt(r, 1, 1);
  EXPECT_EQ(t.CallsOn("source1"), (Calls{"CondAfterStr()", "OpenRs(select DepaID,JzrDay,Sum(Amt) as f_Amt "
                                                           "from rpt_mz_fee_v group by  DepaID,JzrDay)"}));
  EXPECT_EQ(t.CallsOn("report")[4],
            "InsertRecord(rpt_tol_day|computer,name,amt,f5|WS1" + S + "01" + S + "42.5" + S + "42.5)");
}

TEST_P(DailyStatementsTest, InpatientDaysAndRegistrations) {
  Variant zy = NewReport("Rpt_Zy_Day", {{"SourceViewName", Variant("rpt_zy_charge_v")},
                                        {"ObjField", Variant("DepaID")}, {"RptTab", Variant("rpt_zy_day")},
                                        {"AmtQty", Variant(int16_t{1})}, {"CondStr", Variant("Amt<>0")}});
  const TracedCalls t = Traced();
  t.CalcuRpt(zy, 3, 3);
  EXPECT_EQ(t.CallsOn("source3"), (Calls{"CondAfterStr(Amt<>0)",
                                         "OpenRs(select DepaID,countdate,sum(Amt) as f_amt from "
                                         "rpt_zy_charge_v where Amt<>0 group by  DepaID,countdate)"}));
  Let(zy, "AmtQty", Variant(int16_t{2}));
  t.CalcuRpt(zy, 2, 3);
  EXPECT_EQ(t.CallsOn("source2").back(), "OpenRs(select DepaID,CountDate,sum(Amt) as sfamt from "
                                         "rpt_zy_charge_v where Amt<>0 group by DepaID, CountDate,zydjid)");
  EXPECT_TRUE(t.CallsOn("source3").empty());
  t.CallWithSources(zy, "CalcuDayQty", 1, 3);
  EXPECT_EQ(t.CallsOn("source1").back(), "OpenRs(select CountDate,sum(Amt) as sfamt from rpt_zy_charge_v "
                                         "where Amt<>0 group by  countdate,zydjid)");
  EXPECT_TRUE(t.CallsOn("source2").empty());
  EXPECT_TRUE(t.CallsOn("report").empty());

  Insert(2, "mz_reg", "RegID,DepaID,iDate", {"'G1','03','2024-03-05 08:00:00'"});
  Variant reg = NewReport("Rpt_RegCz_Day", {{"SourceViewName", Variant("rpt_mz_reg_v")},
                                            {"RptTab", Variant("rpt_regcz_day")}});
  t.CalcuRpt(reg, 2, 2);
  // Without a condition CondAfterStr is not asked.
  EXPECT_EQ(t.CallsOn("source1"), (Calls{"OpenRs(select DepaID,JzrDay from rpt_mz_reg_v)"}));
  const Calls report = t.CallsOn("report");
  ASSERT_EQ(report.size(), 8u);
  EXPECT_EQ(report[3], "OpenRs(select computer,name, amt,f5 from rpt_regcz_day where name='03' and computer='WS1')");
  EXPECT_EQ(report[4], "InsertRecord(rpt_regcz_day|computer,name,amt,f5|WS1" + S + "03" + S + "1" + S + "1)");
  EXPECT_EQ(report[7], "UpdateRecord(rpt_regcz_day|nameid,name|03" + S + "儿科|computer='WS1' and name='03')");
  Let(reg, "CondStr", Variant("DepaID<>''"));
  t.CalcuRpt(reg, 1, 2);
  EXPECT_EQ(t.CallsOn("source1"), (Calls{"CondAfterStr(DepaID<>'')",
                                         "OpenRs(select DepaID,JzrDay from rpt_mz_reg_v where  DepaID<>'')"}));
  // A report table that is not a name is refused before any statement.
  Let(reg, "RptTab", Variant("rpt_regcz_day where 1=1 --"));
  EXPECT_EQ(ErrorNumberOf([&] { t.CalcuRpt(reg, 1, 1); }), kErrBadStatement);
  EXPECT_TRUE(t.CallsOn("report").empty());
}

TEST_P(DailyStatementsTest, DetailConditions) {
  Variant day = NewReport("Rpt_Tol_Day", {{"ObjField", Variant("DepaID")}});
  Variant zy = NewReport("Rpt_Zy_Day", {{"ObjField", Variant("CountDate")}});
  Variant reg = NewReport("Rpt_RegCz_Day");
  for (const Variant& r : {day, reg}) EXPECT_EQ(Call(r, "GetDetailCondStr", Variant("12")), Variant("DepaID='12'"));
  EXPECT_EQ(Call(zy, "GetDetailCondStr", Variant("2024-03-04")), Variant("CountDate='2024-03-04'"));
  for (const Variant& r : {day, zy, reg}) Let(r, "CondStr", Variant("a=1"));
  EXPECT_EQ(Call(day, "GetDetailCondStr", Variant("12")), Variant("DepaID='12' and  (a=1)"));
  EXPECT_EQ(Call(reg, "GetDetailCondStr", Variant("O'K")), Variant("DepaID='O''K' and  (a=1)"));
  EXPECT_EQ(Call(zy, "GetDetailCondStr", Variant("2024-03-04")), Variant("CountDate='2024-03-04' and  (a=1)"));
}

}  // namespace
}  // namespace qev::testing
