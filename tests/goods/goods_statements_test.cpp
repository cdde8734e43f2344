// The statements the goods reports send, as a tracing proxy records them,
// and how their failures reach the caller.
#include <optional>

#include "platform/dispatch.h"
#include "platform/error.h"
#include "tests/goods/goods_fixture.h"
#include "tests/support/traced_calls.h"

namespace qev::testing {
namespace {

class GoodsStatementsTest : public GoodsFixture {
 protected:
  void SetUp() override {
    GoodsFixture::SetUp();
    if (IsSkipped()) return;
    traced_.emplace(host_, sources_);
  }

  void TracedCalcu(const Variant& r, int16_t source_num, int passed) {
    traced_->CalcuRpt(r, source_num, passed);
  }
  std::vector<std::string> CallsOn(const std::string& object) const {
    return traced_->CallsOn(object);
  }

  void TearDown() override {
    traced_.reset();
    GoodsFixture::TearDown();
  }

  std::optional<TracedCalls> traced_;
};

INSTANTIATE_TEST_SUITE_P(Backends, GoodsStatementsTest, AllBackends(), BackendTestName);
INSTANTIATE_TEST_SUITE_P(Odbc, GoodsStatementsTest, OdbcBackends(), BackendTestName);

TEST_P(GoodsStatementsTest, TotalsStatementsWithAndWithoutCondition) {
  ExecSource(1, "insert into fy_detail (goodid,MzZy,Qty,UnitRate,Amt) values ('1001','1',2,3,4)");
  Variant r = NewReport("Rpt_Tol_Good", "rpt_fy_v", "rpt_tol_good");
  TracedCalcu(r, 2, 3);
  const std::string S = "\x1F";
  // The condition is passed even when empty; no where clause then.
  EXPECT_EQ(CallsOn("source1"),
            (std::vector<std::string>{
                "CondAfterStr()",
                "OpenRs(select goodid,sum(Qty*UnitRate) as f_Qty,sum(Amt) as f_amt from "
                "rpt_fy_v group by goodid )"}));
  EXPECT_EQ(CallsOn("source2").size(), 2u);
  EXPECT_TRUE(CallsOn("source3").empty());
  EXPECT_EQ(CallsOn("report"),
            (std::vector<std::string>{
                "DeleteRecord(rpt_tol_good|computer='WS1')",
                "DeleteRecord(rpt_header|computer='WS1' and rpttab='rpt_tol_good')",
                "InsertRecord(rpt_header|computer,rpttab,headstr|WS1" + S + "rpt_tol_good" + S + ")",
                "OpenRs(select computer,qty,name, amt from rpt_tol_good where name='1001' and "
                "computer='WS1')",
                "InsertRecord(rpt_tol_good|computer,qty,name,amt|WS1" + S + "6" + S + "1001" + S +
                    "4)",
                "OpenRs(select everyprice,name,spec,unitname,nameid,amt,qty from rpt_tol_good  "
                "where computer='WS1')",
                // The good-info lookup reads through the component's own host object.
                "OpenRs(select id,Name,spec,UnitName from qev_pub_Good_V where id='1001')",
                "UpdateRecord(rpt_tol_good|nameid,EveryPrice,name,spec,UnitName|1001" + S +
                    "0.67" + S + "阿莫西林胶囊" + S + "0.25g*24粒" + S + "盒|computer='WS1' and "
                    "name='1001')",
            }));

  Let(r, "CondStr", Variant("iDate >= {d '2024-01-01'}"));
  TracedCalcu(r, 1, 1);
  EXPECT_EQ(CallsOn("source1"),
            (std::vector<std::string>{
                "CondAfterStr(iDate >= {d '2024-01-01'})",
                "OpenRs(select goodid,sum(Qty*UnitRate) as f_Qty,sum(Amt) as f_amt from "
                "rpt_fy_v where iDate >= '2024-01-01' group by goodid )"}));
}

TEST_P(GoodsStatementsTest, EachReportsStatementShape) {
  struct Case {
    const char* cls;
    const char* view;
    const char* table;
    const char* statement;  // with CondStr "x=1"
  };
  const Case cases[] = {
      {"Rpt_Fy_Good", "rpt_fy_v", "rpt_fy_good",
       "select goodid,MzZy,sum(Qty*UnitRate) as f_qty, sum(Amt) as f_amt from rpt_fy_v where "
       "x=1 group by goodid,MzZy"},
      {"Rpt_KcCk", "rpt_kcck_v", "rpt_kcck",
       "select goodid,CkTypeID,sum(Qty*UnitRate) as f_qty,sum(qty*UnitPrice) as f_Amt from  "
       "rpt_kcck_v where ( x=1) group by goodid,CkTypeID "},
      {"Rpt_KcRk", "rpt_kcrk_v", "rpt_kcrk",
       "select goodid,sum(Qty*UnitRate) as f_Qty,sum(JhAmt) as f_jhamt from rpt_kcrk_v where "
       "x=1 group by goodid "},
      {"Rpt_Kc_Count", "rpt_kc_count_v", "rpt_kc_count",
       "select goodid,Type,sum(Qty*UnitRate) as f_Qty,sum(Qty*JhPrice) as f_JhAmt,"
       "sum(Qty*UnitPrice) as f_Amt from rpt_kc_count_v where x=1 group by goodid,Type"},
      {"Rpt_Zy_Good", "rpt_zyqd_v", "rpt_zy_good",
       "select goodid,sum(Qty*UnitRate) as f_Qty,sum(Amt) as f_Amt from rpt_zyqd_v where x=1 "
       "group by goodid "},
      {"Rpt_Zy_Good", "rpt_zyjz_v", "rpt_zy_good",
       "select goodid,sum(qty) as f_qty,sum(amt) as f_amt from rpt_zyjz_v where x=1 group by "
       "goodid "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.cls) + " " + c.view);
    // An empty view with every column the statements name, and x.
    ExecSource(1, std::string("drop view if exists ") + c.view);
    ExecSource(1, std::string("create view ") + c.view +
                      " as select 1 as x, '' as goodid, '' as MzZy, '' as CkTypeID, '' as "
                      "Type, 0 as Qty, 0 as UnitRate, 0 as Amt, 0 as UnitPrice, 0 as JhAmt, "
                      "0 as JhPrice where 1=0");
    Variant r = NewReport(c.cls, c.view, c.table, "x=1");
    TracedCalcu(r, 1, 1);
    const auto calls = CallsOn("source1");
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[1], std::string("OpenRs(") + c.statement + ")");
  }
  // The final passes of the reports without a price select fewer columns.
  EXPECT_EQ(CallsOn("report").back(),
            "OpenRs(select everyprice,name,spec,unitname,nameid,amt,qty from rpt_zy_good  where "
            "computer='WS1')");
  Variant fy = NewReport("Rpt_Fy_Good", "rpt_fy_v", "rpt_fy_good");
  TracedCalcu(fy, 1, 1);
  EXPECT_EQ(CallsOn("report").back(),
            "OpenRs(select name,spec,unitname,nameid from rpt_fy_good  where computer='WS1')");
}

TEST_P(GoodsStatementsTest, ErrorsReachTheCallerAndEarlierRowsStay) {
  ExecSource(1, "insert into fy_detail (goodid,MzZy,Qty,UnitRate,Amt) values "
                "('1001','1',1,1,1),('1002','1',1,1,1)");
  Variant r = NewReport("Rpt_Tol_Good", "rpt_nosuch_v", "rpt_tol_good");
  // A missing source view: the database's own message.
  CaughtError e = ErrorOf([&] { Calcu(r, 1, 1); });
  EXPECT_EQ(e.number, kErrDatabase);
  EXPECT_NE(e.description.find(On("no such table: rpt_nosuch_v",
                                  "relation \"rpt_nosuch_v\" does not exist")),
            std::string::npos)
      << e.description;
  EXPECT_EQ(QueryText(Query0(), "select count(*) from rpt_header"),
            (std::vector<std::string>{"1"}));

  // A Null good id in source 2: source 1's rows stay written.
  ExecSource(2, "create table bad_fy (goodid text, Qty real, UnitRate real, Amt real)");
  ExecSource(2, "insert into bad_fy values (NULL,1,1,1)");
  ExecSource(1, "create view bad_fy as select goodid,Qty,UnitRate,Amt from fy_detail");
  Let(r, "SourceViewName", Variant("bad_fy"));
  e = ErrorOf([&] { Calcu(r, 2, 2); });
  EXPECT_EQ(e.number, kErrInvalidNull);
  EXPECT_EQ(RowsOf("rpt_tol_good").size(), 2u);

  // A missing report column (issue type 0 has no qty0/amt0): rows merged
  // before the failing one stay.
  ExecSource(1, "insert into kc_move (goodid,Type,CkTypeID,Qty,UnitRate,UnitPrice) values "
                "('1001','2','5',-1,1,1),('1002','2','0',-1,1,1)");
  Variant ck = NewReport("Rpt_KcCk", "rpt_kcck_v", "rpt_kcck");
  e = ErrorOf([&] { Calcu(ck, 1, 1); });
  EXPECT_EQ(e.number, kErrDatabase);
  EXPECT_NE(e.description.find("qty0"), std::string::npos) << e.description;
  const auto rows = RowsOf("rpt_kcck");
  ASSERT_EQ(rows.size(), 1u);
  // The final pass did not run: name still holds the good id.
  EXPECT_EQ(rows.begin()->second.at("name"), Variant("1001"));
}

}  // namespace
}  // namespace qev::testing
