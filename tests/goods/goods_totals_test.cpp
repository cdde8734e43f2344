// The goods reports that total quantity and amount per good (Rpt_Tol_Good,
// Rpt_KcRk, Rpt_Zy_Good) against sums computed here from the source rows.
#include <cmath>
#include <cstdint>
#include <random>

#include "platform/dispatch.h"
#include "platform/error.h"
#include "tests/goods/goods_fixture.h"

namespace qev::testing {
namespace {

struct Totals {
  int64_t units = 0;  // quantity in base units
  int64_t cents = 0;  // amount in cents
};

// Writes `rows` random dispensing rows into source k and adds them to the
// expected totals. Whole quantities and amounts in cents keep every sum
// exact, so the report must match to the last digit.
void AddDispensing(GoodsFixture* f, int k, int rows, uint32_t seed,
                   std::map<std::string, Totals>* expected, bool count) {
  std::mt19937 rng(seed);
  std::string sql = "insert into fy_detail (goodid,MzZy,Qty,UnitRate,Amt) values ";
  for (int i = 0; i < rows; ++i) {
    const std::string good = std::to_string(1001 + rng() % 6);  // 1006 is not in the catalogue
    const int qty = static_cast<int>(rng() % 40) - 5;
    const int rate = std::vector<int>{1, 10, 12}[rng() % 3];
    const int cents = static_cast<int>(rng() % 100000) - 10000;
    char amount[32];
    std::snprintf(amount, sizeof amount, "%.2f", cents / 100.0);
    sql += (i ? "," : "") + std::string("('") + good + "','" + std::to_string(1 + rng() % 2) +
           "'," + std::to_string(qty) + "," + std::to_string(rate) + "," + amount + ")";
    if (count) {
      (*expected)[good].units += int64_t{qty} * rate;
      (*expected)[good].cents += cents;
    }
  }
  f->ExecSource(k, sql);
}

double RoundHalfAway2(double v) {
  // The expected average price: amt / qty rounded to cents, half away from
  // zero, on the decimal value the quotient shows.
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.15g", v);
  const double shown = std::strtod(buf, nullptr);
  return std::copysign(std::floor(std::fabs(shown) * 100 + 0.5 + 1e-9) / 100, shown);
}

void ExpectTotals(const std::map<std::string, std::map<std::string, Variant>>& rows,
                  const std::map<std::string, Totals>& expected) {
  ASSERT_EQ(rows.size(), expected.size());
  for (const auto& [good, t] : expected) {
    SCOPED_TRACE("good " + good);
    ASSERT_TRUE(rows.count(good));
    const auto& row = rows.at(good);
    EXPECT_DOUBLE_EQ(Num(row, "qty"), static_cast<double>(t.units));
    EXPECT_NEAR(Num(row, "amt"), t.cents / 100.0, 1e-6);
    if (t.units == 0) {
      EXPECT_TRUE(IsNull(row, "everyprice"));
    } else {
      EXPECT_NEAR(Num(row, "everyprice"), RoundHalfAway2((t.cents / 100.0) / t.units), 1e-9);
    }
  }
}

class GoodsTotalsTest : public GoodsFixture {};

INSTANTIATE_TEST_SUITE_P(Backends, GoodsTotalsTest, AllBackends(), BackendTestName);
INSTANTIATE_TEST_SUITE_P(Odbc, GoodsTotalsTest, OdbcBackends(), BackendTestName);

TEST_P(GoodsTotalsTest, TolGoodAddsUpThreeSourceDatabases) {
  std::map<std::string, Totals> expected;
  AddDispensing(this, 1, 300, 11, &expected, true);
  AddDispensing(this, 2, 200, 22, &expected, true);
  AddDispensing(this, 3, 250, 33, &expected, true);
  // A good whose quantities cancel out in source 3: no average price.
  ExecSource(3, "insert into fy_detail (goodid,MzZy,Qty,UnitRate,Amt) values "
                "('1007','1',5,2,3.5),('1007','1',-10,1,0)");
  expected["1007"] = Totals{0, 350};

  Variant r = NewReport("Rpt_Tol_Good", "rpt_fy_v", "rpt_tol_good");
  Calcu(r, 3, 3);
  const auto rows = RowsOf("rpt_tol_good");
  ExpectTotals(rows, expected);
  // Name, specification and unit come from the goods catalogue; a good it
  // does not know gets empty ones, a Null specification an empty one.
  EXPECT_EQ(rows.at("1001").at("name"), Variant("阿莫西林胶囊"));
  EXPECT_EQ(rows.at("1001").at("spec"), Variant("0.25g*24粒"));
  EXPECT_EQ(rows.at("1001").at("unitname"), Variant("盒"));
  EXPECT_EQ(rows.at("1005").at("spec"), Variant(""));
  EXPECT_EQ(rows.at("1006").at("name"), Variant(""));
  EXPECT_EQ(rows.at("1007").at("nameid"), Variant("1007"));
  // The header row exists, one per workstation and table.
  EXPECT_EQ(QueryText(Query0(), "select computer,rpttab,headstr from rpt_header"),
            (std::vector<std::string>{"WS1|rpt_tol_good|"}));

  // Running again recomputes from scratch.
  Calcu(r, 3, 3);
  ExpectTotals(RowsOf("rpt_tol_good"), expected);
}

TEST_P(GoodsTotalsTest, SourceNumChoosesTheSources) {
  std::map<std::string, Totals> one, two;
  AddDispensing(this, 1, 50, 1, &one, true);
  two = one;
  AddDispensing(this, 2, 60, 2, &two, true);
  AddDispensing(this, 3, 70, 3, &two, false);  // never read below

  Variant r = NewReport("Rpt_Tol_Good", "rpt_fy_v", "rpt_tol_good");
  // SourceNum 2: QueryDb3 may be omitted and is never touched.
  Calcu(r, 2, 2);
  ExpectTotals(RowsOf("rpt_tol_good"), two);
  // SourceNum 0 or negative reads QueryDb1 alone.
  for (int16_t n : {int16_t{0}, int16_t{-3}, int16_t{1}}) {
    Calcu(r, n, 3);
    ExpectTotals(RowsOf("rpt_tol_good"), one);
  }
  // SourceNum 3 without QueryDb3: the first call on it fails (object not set)
  // after sources 1 and 2 have been merged.
  EXPECT_EQ(ErrorNumberOf([&] { Calcu(r, 3, 2); }), kErrObjectNotSet);
  EXPECT_EQ(RowsOf("rpt_tol_good").size(), two.size());
}

TEST_P(GoodsTotalsTest, ReceiptsUseThePurchaseAmount) {
  // Receipts are movement type "1"; JhAmt is Qty * JhPrice.
  ExecSource(1, "insert into kc_move (goodid,Type,Qty,UnitRate,JhPrice,UnitPrice) values "
                "('1001','1',10,24,12.5,15),('1001','2',-3,24,12.5,15),('1002','1',4,1,0.3,1)");
  ExecSource(2, "insert into kc_move (goodid,Type,Qty,UnitRate,JhPrice,UnitPrice) values "
                "('1001','1',2,24,13,15),('1003','1',5,1,2,3),('1003','1',-5,1,2,3)");
  Variant r = NewReport("Rpt_KcRk", "rpt_kcrk_v", "rpt_kcrk");
  Calcu(r, 2, 2);
  const auto rows = RowsOf("rpt_kcrk");
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_DOUBLE_EQ(Num(rows.at("1001"), "qty"), 288);           // 10*24 + 2*24
  EXPECT_DOUBLE_EQ(Num(rows.at("1001"), "amt"), 151);           // 10*12.5 + 2*13
  EXPECT_DOUBLE_EQ(Num(rows.at("1001"), "everyprice"), 0.52);   // 151/288 = 0.5243
  EXPECT_DOUBLE_EQ(Num(rows.at("1002"), "everyprice"), 0.3);
  EXPECT_DOUBLE_EQ(Num(rows.at("1003"), "qty"), 0);
  EXPECT_TRUE(IsNull(rows.at("1003"), "everyprice"));
  EXPECT_EQ(rows.at("1003").at("name"), Variant("生理盐水"));
}

TEST_P(GoodsTotalsTest, InpatientTotalsFollowTheViewsPriceType) {
  ExecSource(1, "insert into zy_good_fee (Kind,goodid,Qty,UnitRate,Amt) values "
                "('qd','1001',2,24,30),('qd','1001',1,24,15),('js','1001',3,10,45.5),"
                "('jz','1002',1,20,7)");
  ExecSource(2, "insert into zy_good_fee (Kind,goodid,Qty,UnitRate,Amt) values "
                "('qd','1001',1,1,0.63),('js','1001',1,10,4.5)");
  Variant r = NewReport("Rpt_Zy_Good", "RPT_ZyQd_V", "rpt_zy_good");
  EXPECT_EQ(Get(r, "PriceType"), Variant("1"));
  Calcu(r, 2, 2);
  auto rows = RowsOf("rpt_zy_good");
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_DOUBLE_EQ(Num(rows.at("1001"), "qty"), 73);  // (2+1)*24 + 1
  EXPECT_NEAR(Num(rows.at("1001"), "amt"), 45.63, 1e-9);
  EXPECT_DOUBLE_EQ(Num(rows.at("1001"), "everyprice"), 0.63);

  // The settlement view's qty is taken as stored (its view already counts
  // base units).
  Let(r, "SourceViewName", Variant("rpt_zyjs_v"));
  EXPECT_EQ(Get(r, "PriceType"), Variant("0"));
  Calcu(r, 2, 2);
  rows = RowsOf("rpt_zy_good");
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_DOUBLE_EQ(Num(rows.at("1001"), "qty"), 40);
  EXPECT_DOUBLE_EQ(Num(rows.at("1001"), "amt"), 50);
  Let(r, "SourceViewName", Variant("Rpt_ZYJZ_v"));
  EXPECT_EQ(Get(r, "PriceType"), Variant("0"));

  // Another view: the header is written, then a type mismatch; no rows.
  Let(r, "SourceViewName", Variant("rpt_fy_v"));
  Let(r, "RptDesc", Variant(std::string("病区") + "\x1F" + "一病区"));
  EXPECT_EQ(Get(r, "PriceType"), Variant(""));
  EXPECT_EQ(ErrorNumberOf([&] { Calcu(r, 1, 1); }), kErrTypeMismatch);
  EXPECT_TRUE(RowsOf("rpt_zy_good").empty());
  EXPECT_EQ(QueryText(Query0(), "select headstr from rpt_header where rpttab='rpt_zy_good'"),
            (std::vector<std::string>{"病区:一病区"}));
}

TEST_P(GoodsTotalsTest, TwoWorkstationsKeepTheirOwnRows) {
  ExecSource(1, "insert into fy_detail (goodid,MzZy,Qty,UnitRate,Amt) values "
                "('1001','1',1,1,1),('1002','1',2,1,2)");
  Variant r = NewReport("Rpt_Tol_Good", "rpt_fy_v", "rpt_tol_good");
  Calcu(r, 1, 1);
  SetWorkstation("WS2");
  Let(r, "CondStr", Variant("goodid='1002'"));
  Calcu(r, 1, 1);
  ExecSource(1, "insert into fy_detail (goodid,MzZy,Qty,UnitRate,Amt) values ('1002','1',5,1,5)");
  Calcu(r, 1, 1);
  const auto ws1 = RowsOf("rpt_tol_good", "WS1");
  const auto ws2 = RowsOf("rpt_tol_good", "WS2");
  ASSERT_EQ(ws1.size(), 2u);
  EXPECT_DOUBLE_EQ(Num(ws1.at("1002"), "qty"), 2);
  ASSERT_EQ(ws2.size(), 1u);
  EXPECT_DOUBLE_EQ(Num(ws2.at("1002"), "qty"), 7);
  EXPECT_EQ(QueryText(Query0(), "select computer from rpt_header order by computer"),
            (std::vector<std::string>{"WS1", "WS2"}));
}

TEST_P(GoodsTotalsTest, DetailConditions) {
  Variant r = NewReport("Rpt_Tol_Good", "rpt_fy_v", "rpt_tol_good");
  EXPECT_EQ(Call(r, "GetDetailCondStr", Variant("1001")), Variant("goodid='1001'"));
  Let(r, "CondStr", Variant("a=1"));
  EXPECT_EQ(Call(r, "GetDetailCondStr", Variant("1001")), Variant("goodid='1001' and (a=1)"));
  Variant ck = NewReport("Rpt_KcCk", "rpt_kcck_v", "rpt_kcck", "a=1 or b=2");
  EXPECT_EQ(Call(ck, "GetDetailCondStr", Variant("7")),
            Variant("goodid='7' and (a=1 or b=2) "));
  for (const char* cls : {"Rpt_Fy_Good", "Rpt_Zy_Good", "Rpt_KcRk", "Rpt_Kc_Count"}) {
    Variant g = NewReport(cls, "v", "t", "x>0");
    EXPECT_EQ(Call(g, "GetDetailCondStr", Variant("K")), Variant("goodid='K' and (x>0)")) << cls;
  }
}

}  // namespace
}  // namespace qev::testing
