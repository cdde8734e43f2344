// The figures of the day-by-day reports and the registrations by department
// and day: amounts and key counts per day over one to three sources, the
// day list and header row, the 16-bit limits, workstations side by side.
#include "platform/dispatch.h"
#include "platform/error.h"
#include "tests/daily/daily_fixture.h"

namespace qev::testing {
namespace {

using Map = std::map<int, double>;

class DailyFiguresTest : public DailyFixture {
 protected:
  // The day columns of a row that hold a value, by day.
  static Map Days(const Row& row) {
    Map days;
    // Appended: GCC 12 reports a false -Wrestrict on literal + temporary string.
    for (int d = 1; d <= 31; ++d)
      if (const std::string f = std::string("f").append(std::to_string(d)); !IsNull(row, f))
        days[d] = Num(row, f);
    return days;
  }
  Variant TolDay(int16_t amt_qty, const std::string& cond = "") const {
    return NewReport("Rpt_Tol_Day", {{"SourceViewName", Variant("rpt_mz_fee_v")},
                                     {"ObjField", Variant("DepaID")}, {"RptTab", Variant("rpt_tol_day")},
                                     {"QtyIndex", Variant(int16_t{1})}, {"AmtQty", Variant(amt_qty)},
                                     {"CondStr", Variant(cond)}});
  }
  Variant RegDay() const {
    return NewReport("Rpt_RegCz_Day", {{"SourceViewName", Variant("rpt_mz_reg_v")},
                                       {"RptTab", Variant("rpt_regcz_day")}});
  }
  std::string DayQty(const Variant& r, int16_t source_num, int passed = 1) const {
    return CallWithSources(r, "CalcuDayQty", source_num, passed).ToText();
  }
};

INSTANTIATE_TEST_SUITE_P(Backends, DailyFiguresTest, AllBackends(), BackendTestName);
INSTANTIATE_TEST_SUITE_P(Odbc, DailyFiguresTest, OdbcBackends(), BackendTestName);

TEST_P(DailyFiguresTest, AmountsPerDayOverSourcesInAMonthOfThirtyDays) {
  Fees(1, {"'R1','G1','P1','2024-04-03 09:00:00','01',100", "'R2','G2','P2','2024-04-01 08:00:00','01',20",
           "'R3','G3','P3','2024-04-30 17:00:00','01',7.5", "'R4','G4','P4','2024-03-05 10:00:00','02',40",
           "'R5','G5','P5','2024-04-05 10:00:00','02',10"});
  Fees(2, {"'S1','G1','P1','2024-04-03 11:00:00','01',50"});
  Variant r = TolDay(1);
  Calcu(r, 2, 2);
  Rows rows = RowsOf("rpt_tol_day");
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(Days(rows["01"]), (Map{{1, 20}, {3, 150}, {30, 7.5}}));  // f31 stays empty
  EXPECT_EQ(Num(rows["01"], "amt"), 177.5);
  EXPECT_EQ(rows["01"]["name"], Variant("内科"));
  EXPECT_EQ(Days(rows["02"]), (Map{{5, 50}}));  // March 5th and April 5th share f5
  Calcu(r, 1, 2);  // the second source is not read
  EXPECT_EQ(Days(RowsOf("rpt_tol_day")["01"]), (Map{{1, 20}, {3, 100}, {30, 7.5}}));
  Fees(1, {"'R9','G9','P9',NULL,'03',1"});  // a Null day cannot be converted
  EXPECT_EQ(ErrorNumberOf([&] { Calcu(r, 1, 1); }), kErrInvalidNull);
}

TEST_P(DailyFiguresTest, KeyCountsMergedAcrossSourcesAndTheDayList) {
  // Lines of one key that cancel on a day (G1), a key cancelling across two
  // sources (G4), a key in two sources (G2), a refund alone (G7).
  Fees(1, {"'R1','G1','P1','2024-03-01 09:00:00','01',80", "'R1x','G1','P1','2024-03-01 10:00:00','01',-80",
           "'R2','G2','P2','2024-03-01 09:00:00','01',30", "'R3','G3','P3','2024-03-31 09:00:00','01',30",
           "'R4','G4','P4','2024-03-01 09:00:00','02',50"});
  Fees(2, {"'S1','G4','P4','2024-03-01 12:00:00','02',-50", "'S2','G2','P2','2024-03-01 12:00:00','01',10"});
  Fees(3, {"'T1','G6','P6','2024-03-01 09:00:00','01',5", "'T2','G7','P7','2024-03-15 09:00:00','02',-10"});
  Variant r = TolDay(0);
  Calcu(r, 3, 3);
  Rows rows = RowsOf("rpt_tol_day");
  EXPECT_EQ(Days(rows["01"]), (Map{{1, 2}, {31, 1}}));
  EXPECT_EQ(Num(rows["01"], "amt"), 3);
  EXPECT_EQ(Days(rows["02"]), (Map{{15, -1}}));
  EXPECT_EQ(Num(rows["02"], "amt"), -1);
  const std::string three = DayQty(r, 3);  // from the workstation's tem_rpt_qty rows
  EXPECT_EQ(three, "2," + DayList({{1, 2}, {15, -1}, {31, 1}}));
  Call(r, "UpdateHeader", Variant(three));
  EXPECT_EQ(Text("select allqty,f1,f2,f15,f30,f31 from rpt_header where computer='WS1'"),
            (std::vector<std::string>{"2|2|<null>|-1|<null>|1"}));

  Calcu(r, 1, 3);  // one source: tem_rpt_qty is left as it was
  rows = RowsOf("rpt_tol_day");
  EXPECT_EQ(Days(rows["01"]), (Map{{1, 1}, {31, 1}}));
  EXPECT_EQ(Days(rows["02"]), (Map{{1, 1}}));
  EXPECT_EQ(DayQty(r, 1), "3," + DayList({{1, 2}, {31, 1}}));
  EXPECT_EQ(DayQty(r, 3), three);
  Let(r, "CondStr", Variant("1=0"));
  EXPECT_EQ(DayQty(r, 1), "0," + DayList({}));
  // Zero items are not written; days that cancel over the month are
  // written without the total.
  Call(r, "UpdateHeader", Variant("0," + DayList({})));
  Call(r, "UpdateHeader", Variant("0," + DayList({{2, 1}, {3, -1}})));
  EXPECT_EQ(Text("select allqty,f1,f2,f3 from rpt_header where computer='WS1'"),
            (std::vector<std::string>{"<null>|<null>|1|-1"}));
}

TEST_P(DailyFiguresTest, InpatientRegistrationsCountedPerSource) {
  Insert(1, "zy_charge", "zydjid,iDate,DepaID,Amt",
         {"'Z1','2024-03-04 09:00:00','01',120", "'Z1','2024-03-04 15:00:00','01',-120",
          "'Z2','2024-03-04 09:00:00','01',120", "'Z3','2024-01-31 09:00:00','02',10"});
  Insert(2, "zy_charge", "zydjid,iDate,DepaID,Amt",
         {"'Z2','2024-03-04 10:00:00','01',30", "'Z3','2024-03-31 09:00:00','02',5"});
  Variant r = NewReport("Rpt_Zy_Day", {{"SourceViewName", Variant("rpt_zy_charge_v")},
                                       {"ObjField", Variant("DepaID")}, {"RptTab", Variant("rpt_zy_day")}});
  Calcu(r, 2, 2);
  Rows rows = RowsOf("rpt_zy_day");
  EXPECT_EQ(Days(rows["01"]), (Map{{4, 2}}));   // Z1 cancels; Z2 once in each source
  EXPECT_EQ(Days(rows["02"]), (Map{{31, 2}}));  // January 31st and March 31st
  EXPECT_EQ(rows["02"]["name"], Variant("外科"));
  EXPECT_EQ(DayQty(r, 2, 2), "4," + DayList({{4, 2}, {31, 2}}));
  EXPECT_EQ(DayQty(r, 0, 2), "2," + DayList({{4, 1}, {31, 1}}));
  Calcu(r, 0, 2);
  EXPECT_EQ(Days(RowsOf("rpt_zy_day")["01"]), (Map{{4, 1}}));
  Let(r, "AmtQty", Variant(int16_t{1}));
  Calcu(r, 2, 2);
  EXPECT_EQ(Days(RowsOf("rpt_zy_day")["01"]), (Map{{4, 150}}));
  EXPECT_TRUE(Text("select * from tem_rpt_qty").empty());
}

TEST_P(DailyFiguresTest, RegistrationsPerDepartmentAndDay) {
  Insert(1, "mz_reg", "RegID,DepaID,iDate,Cancelled",
         {"'G1','03','2024-03-05 08:00:00',0", "'G2','03','2024-03-05 09:00:00',0",
          "'G3','03','2024-03-20 09:00:00',0", "'G4','03','2024-03-05 09:30:00',1",
          "'G5','01','2024-03-01 09:00:00',0"});
  Insert(2, "mz_reg", "RegID,DepaID,iDate", {"'H1','03','2024-03-05 10:00:00'"});
  Variant r = RegDay();
  Calcu(r, 2, 2);
  Rows rows = RowsOf("rpt_regcz_day");
  EXPECT_EQ(Days(rows["03"]), (Map{{5, 3}, {20, 1}}));
  EXPECT_EQ(Num(rows["03"], "amt"), 4);
  EXPECT_EQ(rows["03"]["name"], Variant("儿科"));
  EXPECT_EQ(Days(rows["01"]), (Map{{1, 1}}));
}

TEST_P(DailyFiguresTest, SixteenBitRowLoopsEndInOverflow) {
  // 32,769 keys of one department and day: more rows than a 16-bit loop
  // counts, refused before the first row.
  const std::string n = "with recursive n(i) as (select 1 union all select i + 1 from n where i < 32769) ";
  Exec(1, n + "insert into mz_fee (ID,RegID,Name,iDate,DepaID,Amt) select 'R' || i, 'G' || i, 'P', "
              "'2024-03-02 09:00:00', '01', 1 from n");
  Exec(1, n + "insert into mz_reg (RegID,DepaID,iDate) select 'G' || i, '01', '2024-03-02' from n");
  Variant r = TolDay(0), reg = RegDay();
  EXPECT_EQ(ErrorNumberOf([&] { Calcu(r, 1, 1); }), kErrOverflow);
  EXPECT_EQ(ErrorNumberOf([&] { DayQty(r, 1); }), kErrOverflow);
  EXPECT_EQ(ErrorNumberOf([&] { Calcu(reg, 1, 1); }), kErrOverflow);
  EXPECT_TRUE(RowsOf("rpt_tol_day").empty());
  EXPECT_TRUE(RowsOf("rpt_regcz_day").empty());
  EXPECT_EQ(Text("select count(*) from rpt_header"), (std::vector<std::string>{"2"}));
}

// Each workstation's rows: frame/hostile_values_test.cpp; here the
// scratch rows a count over several databases reads.
TEST_P(DailyFiguresTest, EachWorkstationCountsItsOwnScratchRows) {
  Fees(1, {"'R1','G1','P1','2024-03-01 09:00:00','01',80", "'R2','G2','P2','2024-03-02 09:00:00','02',30"});
  Fees(2, {"'S1','G1','P1','2024-03-01 12:00:00','01',10"});
  Variant r1 = TolDay(0);
  Calcu(r1, 2, 2);
  SetWorkstation("O'Neil");  // a quote in the name stays inside its literals
  Variant r2 = TolDay(0, "DepaID='02'");
  Calcu(r2, 2, 2);
  EXPECT_EQ(DayQty(r2, 2), "1," + DayList({{2, 1}}));
  SetWorkstation("WS1");
  EXPECT_EQ(DayQty(r1, 2), "2," + DayList({{1, 1}, {2, 1}}));
}

}  // namespace
}  // namespace qev::testing
