// The month stock ledger (Rpt_Kc_Zz) on SQLite and PostgreSQL: opening
// balances, movements in date order with running balances, month totals,
// names and labels against a ledger worked out here from the rows written,
// over one source read directly and several gathered into the scratch
// table; the statements as sent and the query object read through; the
// redirect of SourceViewName and its restoration after success and after
// errors; 16-bit row counters; workstations side by side.
#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <random>
#include <set>

#include "platform/class_factory.h"
#include "platform/dispatch.h"
#include "platform/error.h"
#include "tests/support/report_fixture.h"

namespace qev::testing {
namespace {

const std::string S = "\x1F";
constexpr double kNull = std::numeric_limits<double>::quiet_NaN();

// One stock row as written to kc_move of source k.
struct Move {
  int id = 0;
  std::string good, type, store, from, date;
  double qty = 0, rate = 1;
  int k = 1;
};

// One row of the ledger detail table.
struct DetailRow {
  std::string good, type, store, from, date;
  double rk = 0, ck = 0, end = 0;
  bool rk_null = false, ck_null = false;
  int sn = 0;  // -1: a month total, whose Sn is checked as a range
};

// The base quantity as the ledger counts it: rounded to 2 decimals, half
// away from zero.
double BaseQty(const Move& m) {
  const double x = m.qty * m.rate;
  return std::copysign(std::floor(std::fabs(x) * 100 + 0.5 + 1e-9) / 100, x);
}
bool SameQty(double a, double b) {
  if (std::isnan(a) || std::isnan(b)) return std::isnan(a) && std::isnan(b);
  return std::fabs(a - b) < 1e-9;
}

class LedgerTest : public ReportFixture {
 protected:
  Scripts ReportScripts() const override { return {"stock_reports", "goods_sources", "hospital_lookups"}; }
  Scripts SourceScripts() const override { return {"goods_sources", "stock_sources"}; }

  void SetUp() override {
    ReportFixture::SetUp();
    if (IsSkipped()) return;
    Insert(0, "qev_pub_good", "id,Name,spec,UnitName",
           {"'1001','阿莫西林胶囊','0.25g*24粒','盒'", "'1002','布洛芬缓释胶囊','0.3g*20粒','盒'",
            "'1003','生理盐水','500ml','瓶'", "'1004','葡萄糖注射液','250ml:12.5g','瓶'"});
    Insert(0, "qev_pub_depa", "id,name", {"'11','门诊药房'", "'12','住院药房'", "'13','药库'"});
  }

  // Writes the row into source k and, where `keep`, keeps it for the
  // expected ledger.
  void AddMove(int k, Move m, bool keep = true) {
    auto lit = [](const std::string& t) { return t.empty() ? std::string("NULL") : "'" + t + "'"; };
    m.k = k;
    Insert(k, "kc_move", "id,goodid,Type,YfCkID,FromID,iDate,Qty,UnitRate,JhPrice,UnitPrice",
           {std::to_string(m.id) + "," + lit(m.good) + "," + lit(m.type) + "," + lit(m.store) + "," +
            lit(m.from) + "," + lit(m.date) + "," + FormatDouble(m.qty) + "," + FormatDouble(m.rate) +
            ",1.5,2.25"});
    if (keep) moves_.push_back(m);
  }
  // A month of stock rows for four goods over `sources` sources, ids unique
  // over all: cases of 10 or 24, units and halves; outgoing movements
  // negative, now and then a return; several rows sharing a date.
  void WriteMonth(int sources, uint32_t seed) {
    std::mt19937 dice(seed);
    auto between = [&](int lo, int hi) { return lo + static_cast<int>(dice() % (hi - lo + 1)); };
    const char* goods[] = {"1001", "1002", "1003", "1004"};
    const char* stores[] = {"11", "12", "13"};
    int id = 0;
    for (const char* g : {"1001", "1002", "1003"})  // 1004 starts without stock
      for (int n = between(1, 2); n > 0; --n)
        AddMove(between(1, sources), {++id, g, "0", "13", "", "2024-03-01", 10.0 * between(1, 9), 1});
    for (int i = 0; i < 70; ++i) {
      const int type = between(1, 8);
      const double rate = type == 1 ? (between(0, 1) ? 10 : 24) : 1;
      double qty = between(1, 12) + (between(0, 3) == 0 ? 0.5 : 0);
      if (type != 1 && between(0, 9) != 0) qty = -qty;
      const std::string date = "2024-03-" + std::string(between(1, 9) < 5 ? "0" : "1") +
                               std::to_string(between(1, 9)) + (between(0, 2) ? " 09:30:00" : "");
      AddMove(between(1, sources), {++id, goods[between(0, 3)], std::to_string(type),
                                    stores[between(0, 2)],
                                    type == 1 ? "S0" + std::to_string(between(1, 3)) : "", date, qty, rate});
    }
  }

  Variant NewLedger(const std::string& cond = "") const {
    return NewReport("Rpt_Kc_Zz", {{"SourceViewName", Variant("rpt_kc_zz_v")},
                                   {"RptTab", Variant("rpt_kc_zz")},
                                   {"RptDetailTab", Variant("rpt_kc_zz_detail")},
                                   {"RptDesc", Variant("")},
                                   {"CondStr", Variant(cond)}});
  }
  Rows Summary(const std::string& ws = "WS1") const {
    return RowsOf("rpt_kc_zz", "coalesce(nameid,name)", ws);
  }
  std::vector<DetailRow> Detail(const std::string& ws = "WS1") const {
    std::vector<DetailRow> out;
    for (const auto& r : QueryRows(Query0(), "select goodid,Type,YfCkID,FromID,iDate,RkQty,CkQty,EndQty,Sn "
                                             "from rpt_kc_zz_detail where computer='" + ws +
                                                 "' order by goodid, Sn")) {
      DetailRow d{ConcatText(r[0]), ConcatText(r[1]), ConcatText(r[2]), ConcatText(r[3]),
                  ConcatText(r[4])};
      d.rk_null = r[5].IsNull();
      d.ck_null = r[6].IsNull();
      d.rk = d.rk_null ? 0 : r[5].ToDouble();
      d.ck = d.ck_null ? 0 : r[6].ToDouble();
      d.end = r[7].ToDouble();
      d.sn = r[8].ToInt32();
      out.push_back(d);
    }
    return out;
  }
  // The ordering expression the engine gives for sorting ids numerically.
  std::string NumOrder() const { return Call(Query0(), "OrderStrToNumField", Variant("id")).ToText(); }
  size_t Count(const std::string& table_and_cond) const {
    return QueryRows(Query0(), "select * from " + table_and_cond).size();
  }

  // The ledger worked out from the moves that `keep` accepts: opening rows,
  // movements numbered in (date, numeric id) order, a month total per good,
  // and the summary quantities QcQty, RkQty, CkQty, EndQty (NaN for Null).
  struct Expected {
    std::vector<DetailRow> detail;  // by good and Sn
    std::map<std::string, std::vector<double>> summary;
  };
  Expected ExpectedLedger(const std::function<bool(const Move&)>& keep = nullptr) const {
    Expected want;
    auto row_of = [&](const std::string& good) -> std::vector<double>& {
      return want.summary.try_emplace(good, std::vector<double>(4, kNull)).first->second;
    };
    auto add = [](double& column, double v) { column = (std::isnan(column) ? 0 : column) + v; };
    std::vector<Move> movements;
    std::map<std::string, double> opening;
    for (const Move& m : moves_) {
      if (keep && !keep(m)) continue;
      if (m.type != "0") {
        movements.push_back(m);
        continue;
      }
      auto& s = row_of(m.good);
      add(s[0], BaseQty(m));
      add(s[3], BaseQty(m));
      opening[m.good] += BaseQty(m);
    }
    for (const auto& [good, q] : opening) want.detail.push_back({good, "0", "", "", "", 0, 0, q, true, true, 0});
    std::stable_sort(movements.begin(), movements.end(), [](const Move& a, const Move& b) {
      return a.date != b.date ? a.date < b.date : a.id < b.id;
    });
    int sn = 0;
    for (const Move& m : movements) {
      const double q = BaseQty(m);
      auto& s = row_of(m.good);
      DetailRow d{m.good, m.type, m.store, m.from, m.date};
      if (m.type == "1") {
        d.rk = q;
        add(s[1], q);
      } else if (m.type.size() == 1 && m.type >= "2" && m.type <= "8") {
        d.ck = -q;
        add(s[2], -q);
      }
      add(s[3], q);
      d.end = s[3];
      d.sn = ++sn;
      want.detail.push_back(d);
    }
    for (const auto& [good, s] : want.summary)
      want.detail.push_back({good, "100", "", "", "", std::isnan(s[1]) ? 0 : s[1],
                             std::isnan(s[2]) ? 0 : s[2], s[3], false, false, -1});
    std::stable_sort(want.detail.begin(), want.detail.end(), [](const DetailRow& a, const DetailRow& b) {
      if (a.good != b.good) return a.good < b.good;
      return (a.sn < 0 ? 1 << 30 : a.sn) < (b.sn < 0 ? 1 << 30 : b.sn);
    });
    return want;
  }

  void ExpectLedger(const Expected& want, const std::string& ws = "WS1") const {
    const std::vector<DetailRow> got = Detail(ws);
    ASSERT_EQ(got.size(), want.detail.size());
    int movements = 0;
    std::set<int> total_sns;
    for (size_t i = 0; i < got.size(); ++i) {
      const DetailRow &w = want.detail[i], &g = got[i];
      SCOPED_TRACE("detail row " + std::to_string(i) + " good " + w.good + " type " + w.type);
      EXPECT_EQ(g.good + "|" + g.type + "|" + g.store + "|" + g.from + "|" + g.date,
                w.good + "|" + w.type + "|" + w.store + "|" + w.from + "|" + w.date);
      EXPECT_EQ(g.rk_null, w.rk_null);
      EXPECT_EQ(g.ck_null, w.ck_null);
      EXPECT_TRUE(SameQty(g.rk, w.rk) && SameQty(g.ck, w.ck) && SameQty(g.end, w.end))
          << g.rk << "/" << g.ck << "/" << g.end << " vs " << w.rk << "/" << w.ck << "/" << w.end;
      if (w.sn >= 0) {
        EXPECT_EQ(g.sn, w.sn);
        if (w.sn > 0) ++movements;
      } else {
        total_sns.insert(g.sn);
      }
    }
    // The month totals are numbered on from the movements, one each.
    std::set<int> want_sns;
    for (size_t i = 0; i < want.summary.size(); ++i) want_sns.insert(movements + 1 + static_cast<int>(i));
    EXPECT_EQ(total_sns, want_sns);
    const Rows summary = Summary(ws);
    ASSERT_EQ(summary.size(), want.summary.size());
    for (const auto& [good, s] : want.summary) {
      SCOPED_TRACE("summary of " + good);
      ASSERT_TRUE(summary.count(good));
      const char* columns[] = {"qcqty", "rkqty", "ckqty", "endqty"};
      for (int c = 0; c < 4; ++c) EXPECT_TRUE(SameQty(Num(summary.at(good), columns[c]), s[c])) << columns[c];
    }
  }

  std::vector<Move> moves_;
};
INSTANTIATE_TEST_SUITE_P(Backends, LedgerTest, AllBackends(), BackendTestName);
INSTANTIATE_TEST_SUITE_P(Odbc, LedgerTest, OdbcBackends(), BackendTestName);

// ------------------------------------------------------------- figures

TEST_P(LedgerTest, OpeningThenIssueThenReceipt) {
  Calcu(NewLedger(), 1, 1);  // no rows yet: neither summary nor detail
  EXPECT_TRUE(Summary().empty());
  EXPECT_TRUE(Detail().empty());
  AddMove(1, {1, "1001", "0", "13", "", "2024-03-01", 10, 1});
  AddMove(1, {2, "1001", "2", "11", "", "2024-03-04", -3, 1});
  AddMove(1, {3, "1001", "1", "13", "S01", "2024-03-09", 5, 1});
  Calcu(NewLedger(), 1, 1);
  EXPECT_EQ(Text("select Type,RkQty,CkQty,EndQty,Sn,FromID,TypeName,YfCkName,UnitName from "
                 "rpt_kc_zz_detail order by Sn"),
            (std::vector<std::string>{"0|<null>|<null>|10|0||结转上月期末||盒", "2|0|3|7|1||出库|门诊药房|盒",
                                      "1|5|0|12|2|S01|入库|药库|盒", "100|5|3|12|3||本月合计||盒"}));
  EXPECT_EQ(Text("select nameid,qcqty,rkqty,ckqty,endqty,name,spec,unitname from rpt_kc_zz"),
            (std::vector<std::string>{"1001|10|5|3|12|阿莫西林胶囊|0.25g*24粒|盒"}));
}

TEST_P(LedgerTest, EqualDatesFollowTheNumericIdEvenWhereIdsAreText) {
  // Written 10 before 2, both on the same day: 2 comes first.
  AddMove(1, {10, "1001", "1", "13", "S01", "2024-03-05", 7, 1});
  AddMove(1, {2, "1001", "2", "11", "", "2024-03-05", -4, 1});
  AddMove(2, {3, "1001", "1", "13", "S02", "2024-03-01", 1, 1});
  const std::string order = "select Type,Sn,EndQty from rpt_kc_zz_detail where Type<>'100' order by Sn";
  const std::vector<std::string> want = {"1|1|1", "2|2|-3", "1|3|4"};
  // Gathered into the scratch table, whose ID column is text.
  Variant r = NewLedger();
  Calcu(r, 2, 2);
  EXPECT_EQ(Text(order), want);
  ExpectLedger(ExpectedLedger());
  // One source whose view gives the id as text.
  Exec(1, "insert into kc_move (id,goodid,Type,YfCkID,iDate,Qty,UnitRate) values "
          "(3,'1001','1','13','2024-03-01',1,1)");
  Exec(1, "create view text_id_v as select cast(ID as text) as ID, GoodID, YfCkID, UnitID, "
          "UnitPrice, JhPrice, UnitRate, iDate, Type, FromID, Qty from rpt_kc_zz_v");
  Let(r, "SourceViewName", Variant("text_id_v"));
  Let(r, "CondStr", Variant(""));
  Calcu(r, 1, 1);
  EXPECT_EQ(Text(order), want);
}

TEST_P(LedgerTest, AMonthOverOneSourceOrGatheredFromSeveral) {
  WriteMonth(3, 11);
  for (int k = 1; k <= 3; ++k)  // every source holds some rows
    EXPECT_FALSE(QueryRows(Source(k), "select * from kc_move").empty()) << k;
  // SourceNum past the sources passed reads them all.
  Variant r = NewLedger();
  Calcu(r, 7, 3);
  const auto all = ExpectedLedger();
  ASSERT_GT(all.detail.size(), 70u);
  ExpectLedger(all);
  EXPECT_EQ(Summary().size(), 4u);
  EXPECT_TRUE(Summary().at("1004").at("qcqty").IsNull());
  // The gathered rows stay in the scratch table, one per source row.
  EXPECT_EQ(Count("tem_rpt_kcdetail where computer='WS1'"), moves_.size());
  // SourceNum 2 (and 0 and -1) gathers the first two sources only.
  for (int16_t n : {2, 0, -1}) {
    SCOPED_TRACE(n);
    Let(r, "CondStr", Variant(""));
    Calcu(r, n, 3);
    ExpectLedger(ExpectedLedger([](const Move& m) { return m.k <= 2; }));
  }
  // SourceNum 1 reads source 1 itself.
  Let(r, "CondStr", Variant(""));
  Calcu(r, 1, 3);
  ExpectLedger(ExpectedLedger([](const Move& m) { return m.k == 1; }));
}

TEST_P(LedgerTest, TheCallersConditionSelectsTheRows) {
  WriteMonth(2, 5);
  const std::string cond = "YfCkID='13' and iDate>={d '2024-03-05'}";
  // Every row in source 3 too, for a single-source run.
  for (const Move& m : std::vector<Move>(moves_)) AddMove(3, m, false);
  const auto want = ExpectedLedger([](const Move& m) { return m.store == "13" && m.date >= "2024-03-05"; });
  ASSERT_GT(want.detail.size(), 3u);
  Variant one = NewLedger(cond);
  Call(one, "CalcuRpt", Variant(int16_t{1}), Source(3));
  ExpectLedger(want);
  EXPECT_EQ(Get(one, "CondStr"), Variant(cond));
  Variant two = NewLedger(cond);
  Calcu(two, 2, 2);
  ExpectLedger(want);
  EXPECT_EQ(Get(two, "CondStr"), Variant("computer='WS1'"));
  // A detail condition selects one good.
  EXPECT_EQ(Call(two, "GetDetailCondStr", Variant("123")), Variant(" goodid='123'"));
  EXPECT_EQ(Call(two, "GetDetailCondStr", Variant("")), Variant(" goodid=''"));
  EXPECT_EQ(QueryText(Source(3), "select count(*) from rpt_kc_zz_v where" +
                                     Call(two, "GetDetailCondStr", Variant("1003")).ToText()),
            (std::vector<std::string>{std::to_string(std::count_if(
                moves_.begin(), moves_.end(), [](const Move& m) { return m.good == "1003"; }))}));
}

TEST_P(LedgerTest, BaseQuantitiesGoThroughFormatDec) {
  AddMove(1, {1, "1003", "0", "13", "", "2024-03-01", 0.333, 3});    // 0.999 -> 1
  AddMove(1, {2, "1003", "1", "13", "S01", "2024-03-02", 2.5, 24});  // 60
  AddMove(1, {3, "1003", "6", "11", "", "2024-03-03", -0.125, 1});   // -0.13
  Calcu(NewLedger(), 1, 1);
  EXPECT_EQ(Text("select Type,RkQty,CkQty,EndQty from rpt_kc_zz_detail order by Sn"),
            (std::vector<std::string>{"0|<null>|<null>|1", "1|60|0|61", "6|0|0.13|60.87",
                                      "100|60|0.13|60.87"}));
  ExpectLedger(ExpectedLedger());
}

TEST_P(LedgerTest, EveryCodeHasItsLabelAndUnknownNamesAreEmpty) {
  const std::vector<std::pair<std::string, std::string>> labels = {
      {"0", "结转上月期末"}, {"1", "入库"},     {"2", "出库"},     {"3", "调拔"},     {"4", "盘点"},
      {"5", "门诊发药"},     {"6", "收费发药"}, {"7", "住院发药"}, {"8", "病房发药"}, {"9", ""}};
  int id = 0;
  for (const auto& [code, label] : labels) {
    ++id;
    AddMove(1, {id, "1004", code, "12", code == "1" ? "S03" : "", "2024-03-1" + std::to_string(id % 10),
                code == "1" || code == "0" ? 20.0 : -1.0, 1});
  }
  AddMove(1, {11, "9999", "1", "77", "S01", "2024-03-02", 3, 1});
  Calcu(NewLedger(), 1, 1);
  for (const auto& [code, label] : labels)
    EXPECT_EQ(Text("select TypeName,YfCkName from rpt_kc_zz_detail where goodid='1004' and Type='" + code + "'"),
              (std::vector<std::string>{label + (code == "0" ? "|" : "|住院药房")}))
        << code;
  // Code 9 is neither receipt nor issue, and counts in the balance.
  EXPECT_EQ(Text("select RkQty,CkQty from rpt_kc_zz_detail where Type='9'"), (std::vector<std::string>{"0|0"}));
  EXPECT_EQ(Text("select ckqty,endqty from rpt_kc_zz where nameid='1004'"),
            (std::vector<std::string>{"7|32"}));  // 20 + 20 - 7 - 1
  ExpectLedger(ExpectedLedger());
  // A good and a store without a name.
  EXPECT_EQ(Text("select nameid,name,spec,UnitName,RkQty from rpt_kc_zz where nameid='9999'"),
            (std::vector<std::string>{"9999||||3"}));
  EXPECT_EQ(Text("select YfCkID,YfCkName,UnitName,TypeName from rpt_kc_zz_detail where goodid='9999' "
                 "order by Sn"),
            (std::vector<std::string>{"77|||入库", "|||本月合计"}));
}

// ------------------------------------------------------ errors, limits

TEST_P(LedgerTest, NullKeysOfALedgerRowEndTheCalculation) {
  AddMove(1, {1, "1001", "1", "", "S01", "2024-03-02", 3, 1});  // no store
  Variant r = NewLedger();
  EXPECT_EQ(ErrorOf([&] { Calcu(r, 1, 1); }).number, kErrInvalidNull);
  EXPECT_EQ(Get(r, "SourceViewName"), Variant("rpt_kc_zz_v"));
  // Gathered into the scratch table, the Null became empty text.
  Calcu(r, 2, 2);
  EXPECT_EQ(Text("select YfCkID,YfCkName,EndQty from rpt_kc_zz_detail where Sn=1"),
            (std::vector<std::string>{"||3"}));
  Let(r, "CondStr", Variant(""));
  // A view that leaves FromID Null fails the same way; the shipped view
  // gives "" for it.
  Exec(1, "update kc_move set YfCkID='13'");
  Exec(1, "create view raw_v as select id as ID, goodid as GoodID, YfCkID, UnitPrice, JhPrice, "
          "UnitRate, iDate, Type, FromID, Qty from kc_move");
  Exec(1, "insert into kc_move (id,goodid,Type,YfCkID,iDate,Qty,UnitRate) values "
          "(2,'1001','2','11','2024-03-03',-1,1)");
  Let(r, "SourceViewName", Variant("raw_v"));
  EXPECT_EQ(ErrorOf([&] { Calcu(r, 1, 1); }).number, kErrInvalidNull);
  Let(r, "SourceViewName", Variant("rpt_kc_zz_v"));
  Calcu(r, 1, 1);
  EXPECT_EQ(Text("select Type,FromID from rpt_kc_zz_detail where Sn between 1 and 2 order by Sn"),
            (std::vector<std::string>{"1|S01", "2|"}));
}

TEST_P(LedgerTest, ErrorsArePassedOnUnchangedAndTheViewNameIsRestored) {
  AddMove(1, {1, "1001", "0", "13", "", "2024-03-01", 10, 1});
  Exec(2, "insert into kc_move (id,goodid,Type,YfCkID,iDate,Qty,UnitRate) values "
          "(2,'1001','2','11','2024-03-02',NULL,1)");  // no quantity
  // Every failing call of the query objects reaches the caller as raised,
  // the properties as the caller set them: faults_test.cpp.
  {  // A missing source view, one source: read through that source.
    Variant r = NewLedger();
    Let(r, "SourceViewName", Variant("rpt_nosuch_v"));
    EXPECT_EQ(ErrorOf([&] { Calcu(r, 1, 1); }).number, kErrDatabase);
    EXPECT_EQ(Get(r, "QueryDbSelect"), Source(1));
  }
  {  // A missing view in the second source while gathering: nothing redirected.
    Exec(2, "drop view rpt_kc_zz_v");
    Variant r = NewLedger("YfCkID is not null");
    EXPECT_EQ(ErrorOf([&] { Calcu(r, 2, 2); }).number, kErrDatabase);
    EXPECT_EQ(Get(r, "SourceViewName"), Variant("rpt_kc_zz_v"));
    EXPECT_EQ(Get(r, "CondStr"), Variant("YfCkID is not null"));
    EXPECT_EQ(Get(r, "QueryDbSelect").object(), nullptr);
    EXPECT_EQ(Count("tem_rpt_kcdetail"), 1u);  // source 1's rows were gathered
    Exec(2, "create view rpt_kc_zz_v as select id as ID, goodid as GoodID, YfCkID, "
            "cast(null as text) as UnitID, UnitPrice, JhPrice, UnitRate, iDate, Type, "
            "coalesce(FromID,'') as FromID, Qty from kc_move");
  }
  {  // An error in the movement pass, after the redirect: the Null quantity.
    Variant r = NewLedger();
    EXPECT_EQ(ErrorOf([&] { Calcu(r, 2, 2); }).number, kErrInvalidNull);
    EXPECT_EQ(Get(r, "SourceViewName"), Variant("rpt_kc_zz_v"));
    EXPECT_EQ(Get(r, "CondStr"), Variant("computer='WS1'"));
    EXPECT_EQ(Get(r, "QueryDbSelect"), Get(Query0(), "DbA_Query_Obj"));
    // The opening pass's rows stay.
    EXPECT_EQ(Text("select Type,EndQty from rpt_kc_zz_detail"), (std::vector<std::string>{"0|10"}));
    EXPECT_EQ(Text("select QcQty,CkQty,EndQty from rpt_kc_zz"), (std::vector<std::string>{"10|<null>|10"}));
  }
  {  // An error in the finishing pass: the store lookup table is missing.
    Exec(2, "update kc_move set Qty=-1");
    Exec(0, "drop table qev_pub_depa");
    Variant r = NewLedger();
    const CaughtError e = ErrorOf([&] { Calcu(r, 3, 3); });
    EXPECT_EQ(e.number, kErrDatabase);
    EXPECT_NE(e.description.find("qev_pub_depa"), std::string::npos) << e.description;
    EXPECT_EQ(Get(r, "SourceViewName"), Variant("rpt_kc_zz_v"));
    EXPECT_EQ(Text("select name,EndQty from rpt_kc_zz"), (std::vector<std::string>{"阿莫西林胶囊|9"}));
  }
  {  // A source that SourceNum reaches but the caller left out.
    Variant r = NewLedger();
    EXPECT_EQ(ErrorOf([&] { Calcu(r, 2, 1); }).number, kErrObjectNotSet);
    EXPECT_EQ(Get(r, "SourceViewName"), Variant("rpt_kc_zz_v"));
    EXPECT_EQ(Get(r, "CondStr"), Variant(""));
  }
  {  // Without the host object nothing runs, and the trap still restores.
    Variant r(CreateObject("qevRptCalLib.Rpt_Kc_Zz"));
    Let(r, "SourceViewName", Variant("v"));
    EXPECT_EQ(ErrorOf([&] { Calcu(r, 2, 2); }).number, kErrObjectNotSet);
    EXPECT_EQ(Get(r, "SourceViewName"), Variant("v"));
  }
}

TEST_P(LedgerTest, PassesOverMoreRowsThanTheRowCounterHoldsOverflow) {
  // 32,769 opening rows: the counter fails before the first row.
  Exec(1, "insert into kc_move (goodid,Type,YfCkID,iDate,Qty,UnitRate) "
          "with recursive n(x) as (select 1 union all select x + 1 from n where x < 32769) "
          "select '1001','0','13','2024-03-01',1,1 from n");
  Variant r = NewLedger();
  EXPECT_EQ(ErrorOf([&] { Calcu(r, 1, 1); }).number, kErrOverflow);
  EXPECT_EQ(Get(r, "SourceViewName"), Variant("rpt_kc_zz_v"));
  EXPECT_TRUE(Summary().empty());
  EXPECT_TRUE(Detail().empty());
  // 32,767 movements all go through, then the next free Sn (row count + 1)
  // no longer fits.
  Exec(2, "insert into kc_move (goodid,Type,YfCkID,iDate,Qty,UnitRate) "
          "with recursive n(x) as (select 1 union all select x + 1 from n where x < 32767) "
          "select '1001','1','13','2024-03-02',1,1 from n");
  EXPECT_EQ(ErrorOf([&] { Call(r, "CalcuRpt", Variant(int16_t{1}), Source(2)); }).number, kErrOverflow);
  EXPECT_EQ(Get(r, "SourceViewName"), Variant("rpt_kc_zz_v"));
  EXPECT_EQ(Text("select RkQty,EndQty from rpt_kc_zz"), (std::vector<std::string>{"32767|32767"}));
  EXPECT_EQ(Text("select count(*),max(Sn),max(EndQty) from rpt_kc_zz_detail"),
            (std::vector<std::string>{"32767|32767|32767"}));
  EXPECT_EQ(Count("rpt_kc_zz_detail where Type='100'"), 0u);
}

// ---------------------------------------------------------- statements

TEST_P(LedgerTest, OneSourceStatementsInOrder) {
  AddMove(1, {1, "1001", "0", "13", "", "2024-03-01", 10, 1});
  AddMove(1, {2, "1001", "2", "11", "", "2024-03-05", -3, 1});
  const TracedCalls traced = Traced();
  traced.CalcuRpt(NewLedger(), 1, 1);
  // No condition: no CondAfterStr, no "and"; the opening query ends with a blank.
  EXPECT_EQ(traced.CallsOn("source1"),
            (std::vector<std::string>{
                "OpenRs(select goodid,Type,Qty,UnitRate from rpt_kc_zz_v where Type='0' )",
                "OrderStrToNumField(id)",
                "OpenRs(select goodid,Type,Qty,UnitRate,YfCkID,iDate,FromID from rpt_kc_zz_v "
                "where type<>'0'  order by idate, " + NumOrder() + ")"}));
  EXPECT_TRUE(traced.CallsOn("detail").empty());
  const std::string fields = "id,computer,goodid,YfCkID,Type,FromID,iDate,RkQty,CkQty,EndQty,Sn";
  const std::vector<std::string> report = traced.CallsOn("report");
  const std::vector<std::string> head = {
      "DeleteRecord(rpt_kc_zz|computer='WS1')",
      "DeleteRecord(rpt_kc_zz_detail|computer='WS1')",
      "DeleteRecord(rpt_header|computer='WS1' and rpttab='rpt_kc_zz')",
      "InsertRecord(rpt_header|computer,rpttab,headstr|" + ValueListOf({"WS1", "rpt_kc_zz", ""}) + ")",
      // opening pass
      "OpenRs(select * from rpt_kc_zz where name='1001' and computer='WS1')",
      "InsertRecord(rpt_kc_zz|computer,name,QcQty,EndQty|" + ValueListOf({"WS1", "1001", "10", "10"}) + ")",
      "OpenRs(select * from rpt_kc_zz_detail where goodid='1001' and type='0' and computer='WS1')",
      "SnValue(TempID)",
      "InsertRecord(rpt_kc_zz_detail|id,computer,goodid,yfckid,type,fromid,idate,endqty,sn|" +
          ValueListOf({"1", "WS1", "1001", "", "0", "", "", "10", "0"}) + ")",
      // movement pass
      "OpenRs(select * from rpt_kc_zz where name='1001' and computer='WS1')",
      "UpdateRecord(rpt_kc_zz|CkQty,EndQty|" + ValueListOf({"3", "7"}) + "|name='1001' and computer='WS1')",
      "SnValue(TempID)",
      "InsertRecord(rpt_kc_zz_detail|" + fields + "|" +
          ValueListOf({"2", "WS1", "1001", "11", "2", "", "2024-03-05", "0", "3", "7", "1"}) + ")",
      // month totals
      "OpenRs(select Name,RkQty,CkQty,EndQty from rpt_kc_zz where computer='WS1')",
      "SnValue(TempID)",
      "InsertRecord(rpt_kc_zz_detail|" + fields + "|" +
          ValueListOf({"3", "WS1", "1001", "", "100", "", "", "0", "3", "7", "2"}) + ")",
      // finishing pass: the summary rows
      "OpenRs(select * from rpt_kc_zz  where computer='WS1')",
      "OpenRs(select id,Name,spec,UnitName from qev_pub_Good_V where id='1001')",
      "UpdateRecord(rpt_kc_zz|nameid,name,spec,UnitName|" +
          ValueListOf({"1001", "阿莫西林胶囊", "0.25g*24粒", "盒"}) + "|computer='WS1' and name='1001')",
      "OpenRs(select * from rpt_kc_zz_detail  where computer='WS1')",
  };
  ASSERT_EQ(report.size(), head.size() + 9);
  EXPECT_EQ(std::vector<std::string>(report.begin(), report.begin() + head.size()), head);
  // Then three calls per detail row, in whatever order the table gives them.
  std::vector<std::string> per_row;
  for (size_t i = head.size(); i < report.size(); i += 3)
    per_row.push_back(report[i] + " " + report[i + 1] + " " + report[i + 2]);
  std::sort(per_row.begin(), per_row.end());
  const std::string unit = " TabFieldValue(UnitName|qev_pub_Good_V|id='1001') ";
  const std::string upd = "UpdateRecord(rpt_kc_zz_detail|YfCkName,UnitName,TypeName|";
  EXPECT_EQ(per_row, (std::vector<std::string>{
                         "TabFieldValue(name|qev_pub_depa|id='')" + unit + upd +
                             ValueListOf({"", "盒", "本月合计"}) + "|id='3')",
                         "TabFieldValue(name|qev_pub_depa|id='')" + unit + upd +
                             ValueListOf({"", "盒", "结转上月期末"}) + "|id='1')",
                         "TabFieldValue(name|qev_pub_depa|id='11')" + unit + upd +
                             ValueListOf({"门诊药房", "盒", "出库"}) + "|id='2')",
                     }));
  // With a condition: through the reading query object, date escapes
  // converted.
  traced.CalcuRpt(NewLedger("iDate>={d '2024-03-01'}"), 1, 1);
  EXPECT_EQ(traced.CallsOn("source1"),
            (std::vector<std::string>{
                "CondAfterStr(iDate>={d '2024-03-01'})",
                "OpenRs(select goodid,Type,Qty,UnitRate from rpt_kc_zz_v where Type='0'  and "
                "iDate>='2024-03-01')",
                "CondAfterStr(iDate>={d '2024-03-01'})", "OrderStrToNumField(id)",
                "OpenRs(select goodid,Type,Qty,UnitRate,YfCkID,iDate,FromID from rpt_kc_zz_v "
                "where type<>'0'  and iDate>='2024-03-01' order by idate, " +
                    NumOrder() + ")"}));
}

TEST_P(LedgerTest, SeveralSourcesAreGatheredAndReadBackThroughTheSecondQueryObject) {
  AddMove(1, {1, "1001", "0", "13", "", "2024-03-01", 10, 1});
  AddMove(2, {7, "1001", "1", "13", "S01", "2024-03-02", 2, 24});
  Variant r = NewLedger("YfCkID<>'99'");
  const TracedCalls traced = Traced();
  traced.CalcuRpt(r, 2, 3);
  for (const char* src : {"source1", "source2"})
    EXPECT_EQ(traced.CallsOn(src), (std::vector<std::string>{"CondAfterStr(YfCkID<>'99')",
                                                             "OpenRs(select *  from rpt_kc_zz_v where YfCkID<>'99')"}))
        << src;
  EXPECT_TRUE(traced.CallsOn("source3").empty());
  const auto report = traced.CallsOn("report");
  ASSERT_GT(report.size(), 8u);
  const std::string fields = "ID,Computer,GoodID,YfCkID,UnitID,UnitPrice,JhPrice,UnitRate,iDate,Type,FromID,Qty";
  EXPECT_EQ(std::vector<std::string>(report.begin() + 4, report.begin() + 8),
            (std::vector<std::string>{
                "DeleteRecord(tem_rpt_kcdetail|computer='WS1')",
                "InsertRecord(tem_rpt_kcdetail|" + fields + "|" +
                    ValueListOf({"1", "WS1", "1001", "13", "", "2.25", "1.5", "1", "2024-03-01", "0", "", "10"}) + ")",
                "InsertRecord(tem_rpt_kcdetail|" + fields + "|" +
                    ValueListOf({"7", "WS1", "1001", "13", "", "2.25", "1.5", "24", "2024-03-02", "1", "S01", "2"}) + ")",
                "DbA_Query_Obj()"}));
  const std::string order = NumOrder();
  EXPECT_EQ(traced.CallsOn("detail"),
            (std::vector<std::string>{
                "CondAfterStr(computer='WS1')",
                "OpenRs(select goodid,Type,Qty,UnitRate from tem_rpt_kcdetail where Type='0'  and computer='WS1')",
                "CondAfterStr(computer='WS1')", "OrderStrToNumField(id)",
                "OpenRs(select goodid,Type,Qty,UnitRate,YfCkID,iDate,FromID from tem_rpt_kcdetail "
                "where type<>'0'  and computer='WS1' order by idate, " + order + ")"}));
  EXPECT_EQ(Text("select QcQty,RkQty,EndQty from rpt_kc_zz"), (std::vector<std::string>{"10|48|58"}));

  // A scratch row holds the source row's values; UnitID as the view gives it.
  Exec(3, "create table units_t (ID integer, GoodID text, YfCkID text, UnitID text, UnitPrice float, "
          "JhPrice float, UnitRate float, iDate text, Type text, FromID text, Qty float, Extra text)");
  Exec(3, "insert into units_t values (5,'1002','12','U7',3.5,2,10,'2024-03-03 10:00:00','1','S02',1.5,'x')");
  Set(r, "Global_Lib_Obj", host());
  Let(r, "SourceViewName", Variant("units_t"));
  Let(r, "CondStr", Variant(""));
  Call(r, "CalcuRpt", Variant(int16_t{3}), Source(3), Source(3), Source(3));
  EXPECT_EQ(Text("select * from tem_rpt_kcdetail"),
            std::vector<std::string>(3, "5|WS1|1002|12|U7|3.5|2|10|2024-03-03 10:00:00|1|S02|1.5"));
  EXPECT_EQ(Text("select RkQty,EndQty from rpt_kc_zz"), (std::vector<std::string>{"45|45"}));
}

TEST_P(LedgerTest, QueryDbSelectAndTheRedirectAfterSuccess) {
  AddMove(1, {1, "1001", "1", "13", "S01", "2024-03-02", 3, 1});
  AddMove(2, {2, "1002", "1", "13", "S01", "2024-03-02", 4, 1});
  Variant r = NewLedger("YfCkID='13'");
  Let(r, "JzyMonth", Variant("2024年3月"));
  ASSERT_TRUE(Get(r, "QueryDbSelect").IsObject());
  EXPECT_EQ(Get(r, "QueryDbSelect").object(), nullptr);
  Calcu(r, 2, 2);
  EXPECT_EQ(Get(r, "QueryDbSelect"), Get(Query0(), "DbA_Query_Obj"));
  EXPECT_EQ(Get(r, "SourceViewName"), Variant("rpt_kc_zz_v"));
  EXPECT_EQ(Get(r, "JzyMonth"), Variant("2024年3月"));
  // One source: read straight through QueryDb1; the scratch rows stay as
  // the last multi-source run left them.
  Let(r, "CondStr", Variant("YfCkID='13'"));
  Calcu(r, 1, 1);
  EXPECT_EQ(Get(r, "QueryDbSelect"), Source(1));
  EXPECT_EQ(Summary().size(), 1u);
  EXPECT_EQ(Count("tem_rpt_kcdetail"), 2u);
  // A multi-source run that keeps the workstation condition reads the
  // source views with it, as the caller left it: no column computer there.
  Calcu(r, 2, 2);
  EXPECT_EQ(ErrorOf([&] { Calcu(r, 2, 2); }).number, kErrDatabase);
}

// -------------------------------------------------------- workstations

TEST_P(LedgerTest, WorkstationsKeepToTheirOwnRows) {
  AddMove(1, {1, "1001", "0", "13", "", "2024-03-01", 10, 1});
  AddMove(1, {2, "1002", "1", "13", "S01", "2024-03-02", 5, 1});
  AddMove(2, {3, "1001", "5", "11", "", "2024-03-03", -2, 1});
  AddMove(2, {4, "1002", "7", "12", "", "2024-03-04", -1, 1});
  auto snapshot = [&](const std::string& ws) {
    std::vector<std::string> out;
    for (const char* t : {"rpt_kc_zz", "rpt_kc_zz_detail", "tem_rpt_kcdetail", "rpt_header"})
      for (const std::string& row : Text(std::string("select * from ") + t + " where computer='" + ws +
                                         "' order by 1,2,3,4,5"))
        out.push_back(std::string(t) + ": " + row);
    return out;
  };
  Variant ws1 = NewLedger();
  Calcu(ws1, 2, 2);
  const auto ws1_rows = snapshot("WS1");
  ExpectLedger(ExpectedLedger(), "WS1");

  SetWorkstation("WS2");
  Variant ws2 = NewLedger("GoodID='1002'");
  Calcu(ws2, 2, 2);
  EXPECT_EQ(snapshot("WS1"), ws1_rows);
  ExpectLedger(ExpectedLedger([](const Move& m) { return m.good == "1002"; }), "WS2");
  EXPECT_EQ(Count("tem_rpt_kcdetail where computer='WS2'"), 2u);
  EXPECT_EQ(Get(ws2, "CondStr"), Variant("computer='WS2'"));
  // One source on WS1: its own rows are renewed, WS2's stay.
  const auto ws2_rows = snapshot("WS2");
  SetWorkstation("WS1");
  Let(ws1, "CondStr", Variant(""));
  Calcu(ws1, 1, 1);
  EXPECT_EQ(snapshot("WS2"), ws2_rows);
  EXPECT_EQ(Count("tem_rpt_kcdetail where computer='WS1'"), 4u);
  ExpectLedger(ExpectedLedger([](const Move& m) { return m.id <= 2; }), "WS1");
}

}  // namespace
}  // namespace qev::testing
