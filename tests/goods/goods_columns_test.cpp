// The goods reports that spread a good's figures over columns by a code:
// dispensing kind (Rpt_Fy_Good), issue type (Rpt_KcCk) and movement type
// (Rpt_Kc_Count).
#include "platform/dispatch.h"
#include "platform/error.h"
#include "tests/goods/goods_fixture.h"

namespace qev::testing {
namespace {

class GoodsColumnsTest : public GoodsFixture {};

INSTANTIATE_TEST_SUITE_P(Backends, GoodsColumnsTest, AllBackends(), BackendTestName);
INSTANTIATE_TEST_SUITE_P(Odbc, GoodsColumnsTest, OdbcBackends(), BackendTestName);

TEST_P(GoodsColumnsTest, DispensingSplitsOutpatientAndInpatient) {
  ExecSource(1, "insert into fy_detail (goodid,MzZy,Qty,UnitRate,Amt) values "
                "('1001','1',2,24,31.2),('1001','1',1,24,15.6),('1002','1',3,1,1.5),"
                "('1004','3',1,1,9)");
  ExecSource(2, "insert into fy_detail (goodid,MzZy,Qty,UnitRate,Amt) values "
                "('1001','2',1,12,7.8),('1002','2',4,1,2),('1003','1',1,1,4),"
                "('1003','9',5,1,20)");
  Variant r = NewReport("Rpt_Fy_Good", "rpt_fy_v", "rpt_fy_good");
  Calcu(r, 2, 2);
  const auto rows = RowsOf("rpt_fy_good");
  ASSERT_EQ(rows.size(), 4u);
  const auto& a = rows.at("1001");
  EXPECT_DOUBLE_EQ(Num(a, "fyqty"), 84);  // 72 outpatient + 12 inpatient
  EXPECT_NEAR(Num(a, "fyamt"), 54.6, 1e-9);
  EXPECT_DOUBLE_EQ(Num(a, "fymzqty"), 72);
  EXPECT_NEAR(Num(a, "fymzamt"), 46.8, 1e-9);
  EXPECT_DOUBLE_EQ(Num(a, "fyzyqty"), 12);
  EXPECT_NEAR(Num(a, "fyzyamt"), 7.8, 1e-9);
  EXPECT_EQ(a.at("name"), Variant("阿莫西林胶囊"));
  // The inpatient share of 1002 added to the outpatient row from source 1.
  EXPECT_DOUBLE_EQ(Num(rows.at("1002"), "fyqty"), 7);
  EXPECT_DOUBLE_EQ(Num(rows.at("1002"), "fyzyqty"), 4);
  // A good seen only as outpatient leaves the inpatient pair unwritten; an
  // unknown kind on an existing good changes nothing.
  const auto& c = rows.at("1003");
  EXPECT_DOUBLE_EQ(Num(c, "fyqty"), 1);
  EXPECT_TRUE(IsNull(c, "fyzyqty") && IsNull(c, "fyzyamt"));
  // An unknown kind on a new good: a bare row with the good's info.
  const auto& d = rows.at("1004");
  EXPECT_TRUE(IsNull(d, "fyqty") && IsNull(d, "fymzqty") && IsNull(d, "fyzyqty"));
  EXPECT_EQ(d.at("name"), Variant("葡萄糖注射液"));
}

TEST_P(GoodsColumnsTest, IssuesPerIssueType) {
  // Amounts are Qty * UnitPrice with the quantity as stored; quantities
  // count base units. Issues are stored negative; the view counts them
  // positive.
  ExecSource(1, "insert into kc_move (goodid,Type,CkTypeID,Qty,UnitRate,UnitPrice) values "
                "('1001','2','5',-2,24,15),('1001','2','7',-1,24,15),('1002','2','5',-3,1,0.5),"
                "('1001','1','5',100,1,1)");
  ExecSource(3, "insert into kc_move (goodid,Type,CkTypeID,Qty,UnitRate,UnitPrice) values "
                "('1001','2','7',-4,24,14.5),('1002','2','7',-1,1,0.5)");
  Variant r = NewReport("Rpt_KcCk", "rpt_kcck_v", "rpt_kcck");
  Calcu(r, 3, 3);
  const auto rows = RowsOf("rpt_kcck");
  ASSERT_EQ(rows.size(), 2u);
  const auto& a = rows.at("1001");
  EXPECT_DOUBLE_EQ(Num(a, "qty"), 168);  // (2+1+4)*24
  EXPECT_DOUBLE_EQ(Num(a, "amt"), 103);  // 30+15+58
  EXPECT_DOUBLE_EQ(Num(a, "qty5"), 48);
  EXPECT_DOUBLE_EQ(Num(a, "amt5"), 30);
  EXPECT_DOUBLE_EQ(Num(a, "qty7"), 120);
  EXPECT_DOUBLE_EQ(Num(a, "amt7"), 73);
  EXPECT_TRUE(IsNull(a, "qty1") && IsNull(a, "amt9"));
  const auto& b = rows.at("1002");
  EXPECT_DOUBLE_EQ(Num(b, "qty5"), 3);
  EXPECT_DOUBLE_EQ(Num(b, "qty7"), 1);
  EXPECT_EQ(b.at("unitname"), Variant("盒"));
  // A condition joining two tests with "or" stays inside its parentheses.
  Let(r, "CondStr", Variant("CkTypeID='5' or CkTypeID='9'"));
  Calcu(r, 3, 3);
  const auto filtered = RowsOf("rpt_kcck");
  ASSERT_EQ(filtered.size(), 2u);
  EXPECT_DOUBLE_EQ(Num(filtered.at("1001"), "qty"), 48);
  EXPECT_TRUE(IsNull(filtered.at("1001"), "qty7"));
}

TEST_P(GoodsColumnsTest, MovementSummarySigns) {
  ExecSource(1, "insert into kc_move (goodid,Type,Qty,UnitRate,JhPrice,UnitPrice) values "
                "('1001','1',10,1,2,3),('1001','2',-4,1,2,3),('1001','3',2,1,2,3),"
                "('1001','4',-1,1,2,3),('1001','5',-2,24,2,3),('1001','6',-1,24,2,3),"
                "('1002','0',9,1,1,1),('1003','9',1,1,1,1)");
  ExecSource(2, "insert into kc_move (goodid,Type,Qty,UnitRate,JhPrice,UnitPrice) values "
                "('1001','7',-3,10,2,3),('1001','8',-1,10,2,3),('1001','6',-1,24,2,3),"
                "('1001','0',5,1,1,1),('1001','1',1.5,2,4,6)");
  Variant r = NewReport("Rpt_Kc_Count", "rpt_kc_count_v", "rpt_kc_count");
  Calcu(r, 2, 2);
  const auto rows = RowsOf("rpt_kc_count");
  ASSERT_EQ(rows.size(), 3u);
  const auto& a = rows.at("1001");
  EXPECT_DOUBLE_EQ(Num(a, "inqty"), 13);       // 10 + 1.5*2
  EXPECT_DOUBLE_EQ(Num(a, "injhamt"), 26);     // 10*2 + 1.5*4
  EXPECT_DOUBLE_EQ(Num(a, "insaleamt"), 39);   // 10*3 + 1.5*6
  EXPECT_DOUBLE_EQ(Num(a, "ckqty"), 4);        // issues change sign
  EXPECT_DOUBLE_EQ(Num(a, "ckamt"), 12);
  EXPECT_DOUBLE_EQ(Num(a, "dbqty"), 2);        // transfers keep theirs
  EXPECT_DOUBLE_EQ(Num(a, "pdqty"), -1);       // stocktakes keep theirs
  EXPECT_DOUBLE_EQ(Num(a, "pdamt"), -3);
  EXPECT_DOUBLE_EQ(Num(a, "fymzqty"), 96);     // (2+1+1)*24, types 5 and 6
  EXPECT_DOUBLE_EQ(Num(a, "fymzamt"), 12);     // (2+1+1)*3
  EXPECT_DOUBLE_EQ(Num(a, "fyzyqty"), 40);     // (3+1)*10, types 7 and 8
  EXPECT_DOUBLE_EQ(Num(a, "fyzyamt"), 12);
  EXPECT_DOUBLE_EQ(Num(a, "fyqty"), 136);
  EXPECT_DOUBLE_EQ(Num(a, "fyamt"), 24);
  // Codes outside "1" to "8": bare rows for new goods, no change otherwise.
  for (const char* good : {"1002", "1003"}) {
    const auto& row = rows.at(good);
    for (const char* col : {"inqty", "ckqty", "dbqty", "pdqty", "fyqty"})
      EXPECT_TRUE(IsNull(row, col)) << good << " " << col;
    EXPECT_FALSE(row.at("name").ToText().empty()) << good;
  }
}

}  // namespace
}  // namespace qev::testing
