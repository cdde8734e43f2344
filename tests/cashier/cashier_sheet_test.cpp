// The cashier's daily sheet (Rpt_Tol_Rbb) and the deposit sheet
// (Rpt_Yjk_Rbb) on real databases: the counts, amounts, category lines and
// memo of one cashier's day over one to three sources, phases that fail
// while the others complete, RptInit, and two workstations at once.
#include <atomic>
#include <thread>

#include "host/host.h"
#include "platform/ci_map.h"
#include "platform/class_factory.h"
#include "tests/cashier/cashier_fixture.h"

namespace qev::testing {
namespace {

using CashierSheetTest = CashierFixture;
INSTANTIATE_TEST_SUITE_P(Backends, CashierSheetTest, AllBackends(), BackendTestName);
INSTANTIATE_TEST_SUITE_P(Odbc, CashierSheetTest, OdbcBackends(), BackendTestName);

// One row of rpt_Tol_Rbb_Infod: SkAmt, XjAmt, YlAmt, ZhAmt, QtAmt, BcAmt, hjamt.
using Amounts = std::vector<double>;

void ExpectSources(const Rows& rows, const std::map<std::string, Amounts>& want) {
  ASSERT_EQ(rows.size(), want.size());
  for (const auto& [key, amounts] : want) {
    SCOPED_TRACE(key);
    ASSERT_TRUE(rows.count(key));
    const Row& row = rows.at(key);
    const char* columns[] = {"skamt", "xjamt", "ylamt", "zhamt", "qtamt", "bcamt", "hjamt"};
    for (size_t i = 0; i < amounts.size(); ++i)
      EXPECT_DOUBLE_EQ(Num(row, columns[i]), amounts[i]) << columns[i];
  }
}

TEST_P(CashierSheetTest, OneCashiersDayOverTwoSources) {
  AddDay();
  Calcu(NewSheet(), 2, 2);
  EXPECT_TRUE(Reported().empty());

  const Rows sheet = RowsOf("rpt_Tol_rbb", "computer");
  ASSERT_EQ(sheet.size(), 1u);
  const Row& s = sheet.at("WS1");
  EXPECT_EQ(s.at("submiter"), Variant("李娜"));
  EXPECT_EQ(s.at("jzrday"), Variant("2024-03-15"));
  const std::map<std::string, double> counts = {
      {"inamtqty", 4}, {"outamtqty", 1}, {"ghqty", 4},   {"ghzfqty", 1}, {"thqty", 2},
      {"thzfqty", 1},  {"sfqty", 6},     {"sfzfqty", 1}, {"tfqty", 2},   {"tfzfqty", 1},
      {"yjkqty1", 2},  {"yjkqty2", 1},   {"yjkqty3", 1}, {"yjkqty5", 1}, {"yjkqty6", 1}};
  for (const auto& [column, n] : counts) EXPECT_EQ(Num(s, column), n) << column;
  EXPECT_TRUE(IsNull(s, "yjkqty4"));  // cashier U2's
  EXPECT_EQ(s.at("memostr"),
            Variant("冲值总数4笔;冲值退费1笔;挂号总数4个;作废1个;退号总数2个;作废1个;"
                    "收费总数6笔;作废1笔;退费总数2笔;作废1笔;押金收取2笔;押金冲销1笔;"
                    "结算补收1笔;结算退还1笔;结算退还冲销1笔;"));

  // Top-ups without the transfer, valid registrations, valid charges by fb
  // (insurer's part in SkAmt), deposits; then the total row.
  const Rows sources = RowsOf("rpt_Tol_Rbb_Infod");
  ExpectSources(sources, {{"InAmt", {0, 110, 200, 0, 10, 0, 320}},
                          {"Reg", {0, 0, 10, 15, 0, 0, 25}},
                          {"自费", {0, 18, 20, 12, 0, 0.5, 50}},
                          {"医保", {60, 20, 0, 0, 0, 0, 80}},
                          {"Yjk", {0, 1000, 0, 0, 0, 0.5, 1000}},
                          {"公费", {30, 0, 0, 0, 0, 0, 30}},
                          {"Hj", {90, 1148, 230, 27, 10, 1, 1505}}});
  // Sn in order of first sight; the fb values of one source in the order
  // the database groups them.
  EXPECT_EQ(Num(sources.at("InAmt"), "sn"), 0);
  EXPECT_EQ(Num(sources.at("Reg"), "sn"), 1);
  EXPECT_EQ(Num(sources.at("自费"), "sn") + Num(sources.at("医保"), "sn"), 2 + 3);
  EXPECT_EQ(Num(sources.at("Yjk"), "sn"), 4);
  EXPECT_EQ(Num(sources.at("公费"), "sn"), 5);
  EXPECT_EQ(Num(sources.at("Hj"), "sn"), 6);

  // Category "04" has no entry in the invoice items: no sort number, no name.
  EXPECT_EQ(Text("select nameid,name,amt,Sn from rpt_rbbd where computer='WS1' and "
                 "rpttab='rpt_Tol_rbb' order by nameid"),
            (std::vector<std::string>{"01|西药费|98|3", "02|检查费|20|1", "03|治疗费|12|2",
                                      "04||30|<null>", "InAmt|冲值金额|320|-1", "Reg|挂号费|25|0",
                                      "Yjk|住院押金|1000|1000"}));
}

TEST_P(CashierSheetTest, OneToThreeSources) {
  AddDay();
  Add(3, "qev_Mem_InAmt", kTopUp, {"'1',5,5,0,0,0"});
  struct Case {
    int16_t source_num;
    int passed;
    double inamtqty, xj;  // top-ups and their cash
    bool public_fund;     // the 公费 charge of source 2
  };
  for (const Case& c :
       {Case{0, 1, 3, 70, false}, Case{1, 3, 3, 70, false}, Case{2, 3, 4, 110, true},
        Case{3, 3, 5, 115, true}, Case{7, 3, 5, 115, true}}) {
    SCOPED_TRACE(c.source_num);
    Calcu(NewSheet(), c.source_num, c.passed);
    EXPECT_EQ(Num(RowsOf("rpt_Tol_rbb", "computer").at("WS1"), "inamtqty"), c.inamtqty);
    const Rows sources = RowsOf("rpt_Tol_Rbb_Infod");
    EXPECT_EQ(Num(sources.at("InAmt"), "xjamt"), c.xj);
    EXPECT_EQ(sources.count("公费"), c.public_fund ? 1u : 0u);
  }
  EXPECT_TRUE(Reported().empty());
}

TEST_P(CashierSheetTest, FailingPhasesAreReportedAndTheOthersComplete) {
  AddDay();
  // The category phase fails on source 1 after its first two lines; the
  // amounts phase on source 2's registrations, whose card sum is Null.
  Exec(1, "drop view rpt_Tol_V");
  Add(2, "qev_Reg_info", kReg, {"'1','1',5,5,NULL,0,0"});
  Calcu(NewSheet(), 2, 2);
  EXPECT_EQ(Reported(), (std::vector<std::string>{"Error 94 in Rpt_Tol_Rbb.CalcuValueDetail",
                                                  "Error 32002 in Rpt_Tol_Rbb.CalcuValueType"}));
  EXPECT_NE(ToLowerAscii(Reported(true)[1]).find("rpt_tol_v"), std::string::npos);

  // Counting and finishing ran in full.
  const Row sheet = RowsOf("rpt_Tol_rbb", "computer").at("WS1");
  EXPECT_EQ(Num(sheet, "ghqty"), 5);
  EXPECT_EQ(sheet.at("memostr"),
            Variant("冲值总数4笔;冲值退费1笔;挂号总数5个;作废1个;退号总数2个;作废1个;"
                    "收费总数6笔;作废1笔;退费总数2笔;作废1笔;押金收取2笔;押金冲销1笔;"
                    "结算补收1笔;结算退还1笔;结算退还冲销1笔;"));
  // Source 1's amounts and source 2's top-up, then the phase ended.
  ExpectSources(RowsOf("rpt_Tol_Rbb_Infod"), {{"InAmt", {0, 110, 200, 0, 10, 0, 320}},
                                              {"Reg", {0, 0, 10, 15, 0, 0, 25}},
                                              {"自费", {0, 10, 20, 12, 0, 0.5, 42}},
                                              {"医保", {60, 20, 0, 0, 0, 0, 80}},
                                              {"Yjk", {0, 900, 0, 0, 0, 0.5, 900}},
                                              {"Hj", {60, 1040, 230, 27, 10, 1, 1367}}});
  EXPECT_EQ(Text("select nameid,name,amt,Sn from rpt_rbbd order by Sn"),
            (std::vector<std::string>{"InAmt|冲值金额|280|-1", "Reg|挂号费|25|0"}));
  // A failure in CalcuRpt's own steps ends the calculation before any
  // phase: faults_test.cpp, for every call the sheet makes.
}

TEST_P(CashierSheetTest, RptInitLeavesTheEmptySheetAndTheDepositSheetItsSummaryRow) {
  AddDay();
  SetWorkstation("WS2");
  Calcu(NewSheet(), 2, 2);
  SetWorkstation("WS1");
  Variant sheet = NewSheet();
  Calcu(sheet, 2, 2);
  Insert(0, "rpt_rbbd", "computer,rpttab,name,amt", {"'WS1','rpt_other','x',1"});
  Call(sheet, "RptInit");
  std::string empty_row = "WS1";
  for (int column = 1; column < 20; ++column) empty_row += "|<null>";
  EXPECT_EQ(Text("select * from rpt_Tol_rbb where computer='WS1'"),
            (std::vector<std::string>{empty_row}));
  EXPECT_TRUE(RowsOf("rpt_Tol_Rbb_Infod").empty());
  EXPECT_EQ(Text("select rpttab from rpt_rbbd where computer='WS1'"),
            (std::vector<std::string>{"rpt_other"}));
  // WS2's sheet stays.
  EXPECT_EQ(RowsOf("rpt_Tol_Rbb_Infod", "nameid", "WS2").size(), 7u);
  Calcu(sheet, 2, 2);
  EXPECT_EQ(Text("select count(*) from rpt_Tol_rbb where computer='WS1'"),
            (std::vector<std::string>{"1"}));

  // The deposit sheet reads nothing (SourceNum 0, no query object) and
  // replaces the summary row; the cashier sheet's other rows stay.
  Variant deposit = NewReport("Rpt_Yjk_Rbb", {{"JzrDay", Variant("2024-03-16")},
                                              {"Submiter", Variant("王芳")},
                                              {"CondStr", Variant("no such column=1")}});
  Call(deposit, "CalcuRpt", Variant(int16_t{0}), Variant(nullptr));
  EXPECT_EQ(Text("select computer,submiter,jzrday,sfqty,memostr from rpt_Tol_rbb "
                 "where computer='WS1'"),
            (std::vector<std::string>{"WS1|王芳|2024-03-16|<null>|<null>"}));
  EXPECT_EQ(RowsOf("rpt_Tol_Rbb_Infod").size(), 7u);
  Call(deposit, "RptInit");
  EXPECT_EQ(Text("select computer,submiter from rpt_Tol_rbb where computer='WS1'"),
            (std::vector<std::string>{"WS1|<null>"}));
  EXPECT_TRUE(Reported().empty());
}

TEST_P(CashierSheetTest, TwoWorkstationsCalculatingAtOnce) {
  AddDay();
  // A workstation's whole sheet as text, Sn left out (the order in which a
  // database groups fb values is its own).
  const auto sheet = [&](const std::string& ws) {
    const std::string own = " where computer='" + ws + "'";
    std::vector<std::string> out = Text("select * from rpt_Tol_rbb" + own);
    for (const auto& line : Text("select nameid,SkAmt,XjAmt,YlAmt,ZhAmt,QtAmt,BcAmt,hjamt from "
                                 "rpt_Tol_Rbb_Infod" +
                                 own + " order by nameid"))
      out.push_back(line);
    for (const auto& line :
         Text("select nameid,name,amt,Sn from rpt_rbbd" + own + " order by nameid"))
      out.push_back(line);
    return out;
  };
  // Each workstation: its own host objects, its cashier, CalcuRpt in a row.
  struct Desk {
    Object host;
    Variant report, q1, q2;
  };
  const auto open = [&](const std::string& ws, const std::string& czy) {
    Desk d{host::CreateHostLib(report_connection(), ws),
           Variant(CreateObject("qevRptCalLib.Rpt_Tol_Rbb")),
           Variant(host::CreateQueryObj(source_connection(1))),
           Variant(host::CreateQueryObj(source_connection(2)))};
    Set(d.report, "Global_Lib_Obj", d.host);
    Let(d.report, "CondStr", Variant("CzyID='" + czy + "'"));
    return d;
  };
  const Desk a = open("WSA", "U1"), b = open("WSB", "U2");
  std::atomic<int> failures{0};
  const auto run = [&](const Desk& d, int times) {
    for (int i = 0; i < times; ++i) {
      try {
        Call(d.report, "CalcuRpt", Variant(int16_t{2}), d.q1, d.q2);
      } catch (...) {
        ++failures;
      }
    }
  };
  run(a, 1);
  run(b, 1);
  const auto alone_a = sheet("WSA"), alone_b = sheet("WSB");
  ASSERT_GT(alone_a.size(), alone_b.size());
  std::thread ta([&] { run(a, 6); }), tb([&] { run(b, 6); });
  ta.join();
  tb.join();
  EXPECT_EQ(failures.load(), 0);
  EXPECT_TRUE(Reported().empty());
  EXPECT_EQ(sheet("WSA"), alone_a);
  EXPECT_EQ(sheet("WSB"), alone_b);
}

}  // namespace
}  // namespace qev::testing
