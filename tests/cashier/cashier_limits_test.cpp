// The 16-bit counters of the cashier's sheet on real row counts: DetailSn,
// which numbers the money sources, and the counts of the counting phase.
#include "tests/cashier/cashier_fixture.h"

namespace qev::testing {
namespace {

using CashierLimitsTest = CashierFixture;
INSTANTIATE_TEST_SUITE_P(Backends, CashierLimitsTest, AllBackends(), BackendTestName);
INSTANTIATE_TEST_SUITE_P(Odbc, CashierLimitsTest, OdbcBackends(), BackendTestName);

// `rows` rows into a source table from one statement, x running from 1.
std::string Generated(const std::string& table, const std::string& columns,
                      const std::string& values, int rows) {
  return "insert into " + table + " (" + columns +
         ") with recursive n(x) as (select 1 union all select x + 1 from n where x < " +
         std::to_string(rows) + ") select " + values + " from n";
}

TEST_P(CashierLimitsTest, DetailSnNumbersAtMost32767MoneySources) {
  // 32,767 charge settlements with an fb each take Sn 0 to 32766; the next
  // sources, the deposits and the total row, would take 32767 and fail
  // before they are written. The finishing step goes on.
  Exec(1, Generated("qev_Tol_infoh",
                    "CzyID,inout,state,fb,amt,bxamt,bcamt,jsfs1amt,jsfs2amt,jsfs3amt,jsfs4amt",
                    "'U1','1','1','fb' || x,1,0,0,1,0,0,0", 32767));
  Add(1, "qev_Zyyjk_Info", kDeposit, {"'1',100,0,100,0,0,0"});
  Calcu(NewSheet(), 1, 1);
  EXPECT_EQ(Reported(), (std::vector<std::string>{"Error 6 in Rpt_Tol_Rbb.ChangeValueDetail",
                                                  "Error 6 in Rpt_Tol_Rbb.ChangeValueDetail"}));
  EXPECT_EQ(Text("select count(*),min(Sn),max(Sn),sum(hjamt) from rpt_Tol_Rbb_Infod"),
            (std::vector<std::string>{"32767|0|32766|32767"}));
  EXPECT_EQ(Text("select memostr from rpt_Tol_rbb"),
            (std::vector<std::string>{"收费总数32767笔;押金收取1笔;"}));
  EXPECT_EQ(Text("select name,Sn from rpt_rbbd"), (std::vector<std::string>{"住院押金|1000"}));
}

TEST_P(CashierLimitsTest, ACountAbove32767EndsTheCountingPhase) {
  Exec(1, Generated("qev_Mem_InAmt", "CzyID," + std::string(kTopUp), "'U1','1',1,1,0,0,0", 32768));
  Add(1, "qev_Reg_info", kReg, {"'1','1',10,10,0,0,0"});
  Calcu(NewSheet(), 1, 1);
  EXPECT_EQ(Reported(), (std::vector<std::string>{"Error 6 in Rpt_Tol_Rbb.CalcuValueQty"}));
  // No count was written, the amounts were.
  EXPECT_EQ(Text("select inamtqty,ghqty,memostr from rpt_Tol_rbb"),
            (std::vector<std::string>{"<null>|<null>|"}));
  EXPECT_EQ(Text("select nameid,XjAmt,Sn from rpt_Tol_Rbb_Infod order by Sn"),
            (std::vector<std::string>{"InAmt|32768|0", "Reg|10|1", "Hj|32778|2"}));
}

}  // namespace
}  // namespace qev::testing
