// The 16-bit row counters of the ledger's passes on real row counts: a
// pass over more rows than the counter holds ends with the overflow error,
// through the trap that restores SourceViewName.
#include "platform/dispatch.h"
#include "platform/error.h"
#include "tests/stock/ledger_fixture.h"

namespace qev::testing {
namespace {

using LedgerLimitsTest = LedgerFixture;

TEST_F(LedgerLimitsTest, MoreOpeningRowsThanTheRowCounterHolds) {
  ExecSource(1,
             "insert into kc_move (goodid,Type,YfCkID,iDate,Qty,UnitRate) "
             "with recursive n(x) as (select 1 union all select x + 1 from n where x < 32769) "
             "select '1001','0','13','2024-03-01',1,1 from n");
  Variant r = NewLedger();
  EXPECT_EQ(ErrorOf([&] { Calcu(r, 1, 1); }).number, kErrOverflow);
  EXPECT_EQ(Get(r, "SourceViewName"), Variant("rpt_kc_zz_v"));
  // The counter failed before the first row.
  EXPECT_TRUE(Summary().empty());
  EXPECT_TRUE(Detail().empty());
}

TEST_F(LedgerLimitsTest, TheMovementPassEndsFrom32767Rows) {
  // Every row is a movement and goes through, then the next free Sn (row
  // count + 1) no longer fits the 16-bit counter.
  ExecSource(1,
             "insert into kc_move (goodid,Type,YfCkID,iDate,Qty,UnitRate) "
             "with recursive n(x) as (select 1 union all select x + 1 from n where x < 32767) "
             "select '1001','1','13','2024-03-02',1,1 from n");
  Variant r = NewLedger();
  EXPECT_EQ(ErrorOf([&] { Calcu(r, 1, 1); }).number, kErrOverflow);
  EXPECT_EQ(Get(r, "SourceViewName"), Variant("rpt_kc_zz_v"));
  EXPECT_EQ(QueryText(Query0(), "select RkQty,EndQty from rpt_kc_zz"),
            (std::vector<std::string>{"32767|32767"}));
  EXPECT_EQ(QueryText(Query0(), "select count(*),max(Sn),max(EndQty) from rpt_kc_zz_detail"),
            (std::vector<std::string>{"32767|32767|32767"}));
  EXPECT_TRUE(QueryRows(Query0(), "select * from rpt_kc_zz_detail where Type='100'").empty());
}

}  // namespace
}  // namespace qev::testing
