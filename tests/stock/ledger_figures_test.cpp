// The figures of the month stock ledger: opening balances, movements in
// date order with running balances, month totals, names and labels, over
// one source read directly and over several sources gathered into the
// scratch table. Expected figures are worked out from the rows written.
#include <random>

#include "platform/dispatch.h"
#include "platform/error.h"
#include "tests/stock/ledger_fixture.h"

namespace qev::testing {
namespace {

class LedgerFiguresTest : public LedgerFixture {
 protected:
  // A month of stock rows for four goods, spread over `sources` source
  // databases with ids unique over all of them. Quantities in cases of 10
  // or 24, in units, and in halves; outgoing movements negative, now and
  // then a return (positive) on an outgoing type.
  void WriteMonth(int sources, uint32_t seed) {
    std::mt19937 dice(seed);
    auto between = [&](int lo, int hi) { return lo + static_cast<int>(dice() % (hi - lo + 1)); };
    const char* goods[] = {"1001", "1002", "1003", "1004"};
    const char* stores[] = {"11", "12", "13"};
    int id = 0;
    for (const char* g : goods) {
      if (g == std::string("1004")) continue;  // 1004 starts the month without stock
      for (int n = between(1, 2); n > 0; --n)
        AddMove(between(1, sources),
                {++id, g, "0", "13", "", "2024-03-01", 10.0 * between(1, 9), 1});
    }
    for (int i = 0; i < 70; ++i) {
      const int type = between(1, 8);
      const double rate = type == 1 ? (between(0, 1) ? 10 : 24) : 1;
      double qty = between(1, 12) + (between(0, 3) == 0 ? 0.5 : 0);
      if (type != 1 && between(0, 9) != 0) qty = -qty;
      // Several rows share a date (and some a time): their order is the id's.
      const std::string date = "2024-03-" + std::string(between(1, 9) < 5 ? "0" : "1") +
                               std::to_string(between(1, 9)) + (between(0, 2) ? " 09:30:00" : "");
      AddMove(between(1, sources),
              {++id, goods[between(0, 3)], std::to_string(type), stores[between(0, 2)],
               type == 1 ? "S0" + std::to_string(between(1, 3)) : "", date, qty, rate});
    }
  }
};

TEST_F(LedgerFiguresTest, OpeningThenIssueThenReceipt) {
  AddMove(1, {1, "1001", "0", "13", "", "2024-03-01", 10, 1});
  AddMove(1, {2, "1001", "2", "11", "", "2024-03-04", -3, 1});
  AddMove(1, {3, "1001", "1", "13", "S01", "2024-03-09", 5, 1});
  Variant r = NewLedger();
  Calcu(r, 1, 1);

  const auto detail = Detail();
  ASSERT_EQ(detail.size(), 4u);
  EXPECT_EQ(detail[0].type, "0");
  EXPECT_EQ(detail[0].end, 10);
  EXPECT_EQ(detail[0].sn, 0);
  EXPECT_EQ(detail[1].type, "2");
  EXPECT_EQ(detail[1].ck, 3);
  EXPECT_EQ(detail[1].rk, 0);
  EXPECT_EQ(detail[1].end, 7);
  EXPECT_EQ(detail[2].type, "1");
  EXPECT_EQ(detail[2].rk, 5);
  EXPECT_EQ(detail[2].end, 12);
  EXPECT_EQ(detail[2].from, "S01");
  EXPECT_EQ(detail[3].type, "100");
  EXPECT_EQ(detail[3].rk, 5);
  EXPECT_EQ(detail[3].ck, 3);
  EXPECT_EQ(detail[3].end, 12);
  EXPECT_EQ(detail[3].sn, 3);

  const auto s = Summary().at("1001");
  EXPECT_EQ(s.at("qcqty"), Variant(10.0));
  EXPECT_EQ(s.at("rkqty"), Variant(5.0));
  EXPECT_EQ(s.at("ckqty"), Variant(3.0));
  EXPECT_EQ(s.at("endqty"), Variant(12.0));
  EXPECT_EQ(s.at("name"), Variant("阿莫西林胶囊"));
  EXPECT_EQ(s.at("spec"), Variant("0.25g*24粒"));
  EXPECT_EQ(s.at("unitname"), Variant("盒"));

  EXPECT_EQ(QueryText(Query0(),
                      "select TypeName,YfCkName,UnitName from rpt_kc_zz_detail "
                      "order by Sn"),
            (std::vector<std::string>{"结转上月期末||盒", "出库|门诊药房|盒", "入库|药库|盒",
                                      "本月合计||盒"}));
}

TEST_F(LedgerFiguresTest, OpeningRowsAddUpAndAGoodWithoutOneHasNone) {
  AddMove(1, {1, "1001", "0", "13", "", "2024-03-01", 4, 1});
  AddMove(1, {2, "1001", "0", "13", "", "2024-03-01", 6, 1});
  AddMove(1, {3, "1002", "1", "13", "S02", "2024-03-02", 1, 10});
  Variant r = NewLedger();
  Calcu(r, 1, 1);

  const auto summary = Summary();
  EXPECT_EQ(Num(summary.at("1001"), "qcqty"), 10);
  EXPECT_EQ(Num(summary.at("1001"), "endqty"), 10);
  EXPECT_TRUE(summary.at("1001").at("rkqty").IsNull());
  EXPECT_TRUE(summary.at("1001").at("ckqty").IsNull());
  EXPECT_TRUE(summary.at("1002").at("qcqty").IsNull());
  EXPECT_EQ(Num(summary.at("1002"), "rkqty"), 10);
  EXPECT_EQ(Num(summary.at("1002"), "endqty"), 10);
  EXPECT_TRUE(summary.at("1002").at("ckqty").IsNull());

  EXPECT_EQ(QueryText(Query0(),
                      "select goodid,Type,EndQty,Sn,RkQty,CkQty,YfCkID,FromID,iDate "
                      "from rpt_kc_zz_detail where Type='0'"),
            (std::vector<std::string>{"1001|0|10|0|<null>|<null>|||"}));
  // The month totals count the Null columns as 0.
  EXPECT_EQ(QueryText(Query0(),
                      "select goodid,RkQty,CkQty,EndQty from rpt_kc_zz_detail where "
                      "Type='100' order by goodid"),
            (std::vector<std::string>{"1001|0|0|10", "1002|10|0|10"}));
  ExpectSameLedger(ExpectedLedger(), Detail(), summary);
}

TEST_F(LedgerFiguresTest, SnRunsOverAllGoodsInDateOrderThenTheTotals) {
  AddMove(1, {1, "1002", "5", "11", "", "2024-03-07", -2, 1});
  AddMove(1, {2, "1001", "1", "13", "S01", "2024-03-03", 3, 1});
  AddMove(1, {3, "1001", "7", "12", "", "2024-03-05", -1, 1});
  Variant r = NewLedger();
  Calcu(r, 1, 1);
  EXPECT_EQ(QueryText(Query0(),
                      "select goodid,Sn,Type from rpt_kc_zz_detail where Type<>'100' "
                      "order by Sn"),
            (std::vector<std::string>{"1001|1|1", "1001|2|7", "1002|3|5"}));
  EXPECT_EQ(QueryText(Query0(), "select Sn from rpt_kc_zz_detail where Type='100' order by Sn"),
            (std::vector<std::string>{"4", "5"}));
  // The issue of a good that had nothing goes below zero.
  EXPECT_EQ(Num(Summary().at("1002"), "endqty"), -2);
  EXPECT_EQ(Num(Summary().at("1002"), "ckqty"), 2);
}

TEST_F(LedgerFiguresTest, EqualDatesFollowTheNumericIdEvenWhereIdsAreText) {
  // Written 10 before 2, both on the same day: 2 comes first.
  AddMove(1, {10, "1001", "1", "13", "S01", "2024-03-05", 7, 1});
  AddMove(1, {2, "1001", "2", "11", "", "2024-03-05", -4, 1});
  AddMove(2, {3, "1001", "1", "13", "S02", "2024-03-01", 1, 1});
  const std::vector<std::string> order = {"1|1|1", "2|2|-3", "1|3|4"};

  // Gathered into the scratch table, whose ID column is text.
  Variant r = NewLedger();
  Calcu(r, 2, 2);
  EXPECT_EQ(QueryText(Query0(), "select typeof(ID) from tem_rpt_kcdetail where ID='10'"),
            (std::vector<std::string>{"text"}));
  EXPECT_EQ(QueryText(Query0(),
                      "select Type,Sn,EndQty from rpt_kc_zz_detail where Type<>'100' "
                      "order by Sn"),
            order);
  ExpectSameLedger(ExpectedLedger(), Detail(), Summary());

  // One source whose view gives the id as text.
  ExecSource(1,
             "insert into kc_move (id,goodid,Type,YfCkID,iDate,Qty,UnitRate) values "
             "(3,'1001','1','13','2024-03-01',1,1)");
  ExecSource(1,
             "create view text_id_v as select cast(ID as text) as ID, GoodID, YfCkID, UnitID, "
             "UnitPrice, JhPrice, UnitRate, iDate, Type, FromID, Qty from rpt_kc_zz_v");
  Let(r, "SourceViewName", Variant("text_id_v"));
  Let(r, "CondStr", Variant(""));
  Calcu(r, 1, 1);
  EXPECT_EQ(QueryText(Query0(),
                      "select Type,Sn,EndQty from rpt_kc_zz_detail where Type<>'100' "
                      "order by Sn"),
            order);
}

TEST_F(LedgerFiguresTest, AMonthOverOneSource) {
  WriteMonth(1, 7);
  Variant r = NewLedger();
  Calcu(r, 1, 1);
  const auto want = ExpectedLedger();
  ASSERT_GT(want.detail.size(), 70u);
  ExpectSameLedger(want, Detail(), Summary());
  EXPECT_EQ(Summary().size(), 4u);
  EXPECT_TRUE(Summary().at("1004").at("qcqty").IsNull());
}

TEST_F(LedgerFiguresTest, SeveralSourcesGiveOneLedger) {
  WriteMonth(3, 11);
  for (int k = 1; k <= 3; ++k)  // every source holds some rows
    EXPECT_FALSE(QueryRows(Source(k), "select * from kc_move").empty()) << k;
  Variant r = NewLedger();
  Calcu(r, 3, 3);
  ExpectSameLedger(ExpectedLedger(), Detail(), Summary());
  // The gathered rows stay in the scratch table, one per source row.
  EXPECT_EQ(QueryRows(Query0(), "select * from tem_rpt_kcdetail where computer='WS1'").size(),
            moves_.size());

  // SourceNum 2 (and 0 and -1) gathers the first two sources only.
  for (int16_t n : {2, 0, -1}) {
    SCOPED_TRACE(n);
    Let(r, "CondStr", Variant(""));
    Calcu(r, n, 3);
    const size_t in_third = QueryRows(Source(3), "select * from kc_move").size();
    EXPECT_EQ(QueryRows(Query0(), "select * from tem_rpt_kcdetail").size(),
              moves_.size() - in_third);
  }
}

TEST_F(LedgerFiguresTest, TheCallersConditionSelectsTheRows) {
  WriteMonth(2, 5);
  const std::string cond = "YfCkID='13' and iDate>={d '2024-03-05'}";
  auto keep = [](const Move& m) { return m.store == "13" && m.date >= "2024-03-05"; };

  Variant one = NewLedger(cond);
  // All rows in source 3 for the single-source run.
  for (const Move& m : moves_)
    ExecSource(3, "insert into kc_move (id,goodid,Type,YfCkID,FromID,iDate,Qty,UnitRate) values (" +
                      std::to_string(m.id) + ",'" + m.good + "','" + m.type + "','" + m.store +
                      "'," + (m.from.empty() ? "NULL" : "'" + m.from + "'") + ",'" + m.date + "'," +
                      FormatDouble(m.qty) + "," + FormatDouble(m.rate) + ")");
  ArgList args;
  args.Value(Variant(int16_t{1}));
  args.Value(Source(3));
  Invoke(one, "CalcuRpt", kInvokeMethod, args);
  const auto want = ExpectedLedger(keep);
  ASSERT_GT(want.detail.size(), 3u);
  ExpectSameLedger(want, Detail(), Summary());
  EXPECT_EQ(Get(one, "CondStr"), Variant(cond));

  Variant two = NewLedger(cond);
  Calcu(two, 2, 2);
  ExpectSameLedger(want, Detail(), Summary());
  EXPECT_EQ(Get(two, "CondStr"), Variant("computer='WS1'"));
}

TEST_F(LedgerFiguresTest, BaseQuantitiesGoThroughFormatDec) {
  AddMove(1, {1, "1003", "0", "13", "", "2024-03-01", 0.333, 3});    // 0.999 -> 1
  AddMove(1, {2, "1003", "1", "13", "S01", "2024-03-02", 2.5, 24});  // 60
  AddMove(1, {3, "1003", "6", "11", "", "2024-03-03", -0.125, 1});   // -0.13
  Variant r = NewLedger();
  Calcu(r, 1, 1);
  EXPECT_EQ(QueryText(Query0(),
                      "select Type,RkQty,CkQty,EndQty from rpt_kc_zz_detail "
                      "order by Sn"),
            (std::vector<std::string>{"0|<null>|<null>|1", "1|60|0|61", "6|0|0.13|60.87",
                                      "100|60|0.13|60.87"}));
  ExpectSameLedger(ExpectedLedger(), Detail(), Summary());
}

TEST_F(LedgerFiguresTest, EveryCodeHasItsLabelAndACodeOutsideMovesOnlyTheBalance) {
  const std::vector<std::pair<std::string, std::string>> labels = {
      {"0", "结转上月期末"}, {"1", "入库"},       {"2", "出库"},     {"3", "调拔"},
      {"4", "盘点"},         {"5", "门诊发药"},   {"6", "收费发药"}, {"7", "住院发药"},
      {"8", "病房发药"},     {"100", "本月合计"}, {"9", ""}};
  int id = 0;
  for (const auto& [code, label] : labels) {
    if (code == "100") continue;
    ++id;
    AddMove(
        1, {id, "1004", code, "12", code == "1" ? "S03" : "", "2024-03-1" + std::to_string(id % 10),
            code == "1" || code == "0" ? 20.0 : -1.0, 1});
  }
  Variant r = NewLedger();
  Calcu(r, 1, 1);
  for (const auto& [code, label] : labels) {
    SCOPED_TRACE(code);
    EXPECT_EQ(
        QueryText(Query0(), "select TypeName from rpt_kc_zz_detail where Type='" + code + "'"),
        (std::vector<std::string>{label}));
  }
  // Code 9 is neither receipt nor issue, and counts in the balance.
  EXPECT_EQ(QueryText(Query0(), "select RkQty,CkQty from rpt_kc_zz_detail where Type='9'"),
            (std::vector<std::string>{"0|0"}));
  ExpectSameLedger(ExpectedLedger(), Detail(), Summary());
  const auto s = Summary().at("1004");
  EXPECT_EQ(Num(s, "ckqty"), 7);
  EXPECT_EQ(Num(s, "endqty"), 20 + 20 - 7 - 1);
  // Movement rows carry their store's name.
  EXPECT_EQ(QueryText(Query0(),
                      "select distinct YfCkName from rpt_kc_zz_detail where Type "
                      "not in ('0','100')"),
            (std::vector<std::string>{"住院药房"}));
}

TEST_F(LedgerFiguresTest, NamesOfUnknownStoresAndGoodsAreEmpty) {
  AddMove(1, {1, "9999", "1", "77", "S01", "2024-03-02", 3, 1});
  Variant r = NewLedger();
  Calcu(r, 1, 1);
  EXPECT_EQ(QueryText(Query0(), "select nameid,name,spec,UnitName,RkQty from rpt_kc_zz"),
            (std::vector<std::string>{"9999||||3"}));
  EXPECT_EQ(QueryText(Query0(),
                      "select YfCkID,YfCkName,UnitName,TypeName from rpt_kc_zz_detail "
                      "order by Sn"),
            (std::vector<std::string>{"77|||入库", "|||本月合计"}));
}

TEST_F(LedgerFiguresTest, NoRowsLeaveOnlyTheHeader) {
  Variant r = NewLedger();
  Let(r, "RptDesc", Variant(std::string("月份") + "\x1F" + "2024-03"));
  Calcu(r, 1, 1);
  EXPECT_TRUE(Summary().empty());
  EXPECT_TRUE(Detail().empty());
  EXPECT_EQ(QueryText(Query0(), "select computer,rpttab,headstr from rpt_header"),
            (std::vector<std::string>{"WS1|rpt_kc_zz|月份:2024-03"}));
}

TEST_F(LedgerFiguresTest, ACalculationReplacesTheWorkstationsRows) {
  AddMove(1, {1, "1001", "1", "13", "S01", "2024-03-02", 3, 1});
  Variant r = NewLedger();
  Calcu(r, 1, 1);
  Calcu(r, 1, 1);
  EXPECT_EQ(Summary().size(), 1u);
  EXPECT_EQ(Detail().size(), 2u);
  EXPECT_EQ(QueryRows(Query0(), "select * from rpt_header").size(), 1u);
  // Every detail row has an id of its own from the sequence.
  EXPECT_EQ(QueryText(Query0(), "select count(distinct id), count(*) from rpt_kc_zz_detail"),
            (std::vector<std::string>{"2|2"}));
}

TEST_F(LedgerFiguresTest, NullKeysOfALedgerRowEndTheCalculation) {
  // Missing store of a movement.
  AddMove(1, {1, "1001", "1", "", "S01", "2024-03-02", 3, 1});
  Variant r = NewLedger();
  CaughtError e = ErrorOf([&] { Calcu(r, 1, 1); });
  EXPECT_EQ(e.number, kErrInvalidNull);
  EXPECT_EQ(Get(r, "SourceViewName"), Variant("rpt_kc_zz_v"));
  // Gathered into the scratch table, the Null became empty text.
  Calcu(r, 2, 2);
  EXPECT_EQ(QueryText(Query0(), "select YfCkID,YfCkName,EndQty from rpt_kc_zz_detail where Sn=1"),
            (std::vector<std::string>{"||3"}));
  Let(r, "CondStr", Variant(""));
  // A view that leaves FromID Null fails the same way.
  ExecSource(1, "update kc_move set YfCkID='13'");
  ExecSource(1,
             "create view raw_v as select id as ID, goodid as GoodID, YfCkID, null as UnitID, "
             "UnitPrice, JhPrice, UnitRate, iDate, Type, FromID, Qty from kc_move");
  ExecSource(1,
             "insert into kc_move (id,goodid,Type,YfCkID,iDate,Qty,UnitRate) values "
             "(2,'1001','2','11','2024-03-03',-1,1)");
  Let(r, "SourceViewName", Variant("raw_v"));
  EXPECT_EQ(ErrorOf([&] { Calcu(r, 1, 1); }).number, kErrInvalidNull);
  // The shipped view gives "" for it.
  Let(r, "SourceViewName", Variant("rpt_kc_zz_v"));
  Calcu(r, 1, 1);
  EXPECT_EQ(QueryText(Query0(),
                      "select Type,FromID from rpt_kc_zz_detail where Sn between 1 and 2 "
                      "order by Sn"),
            (std::vector<std::string>{"1|S01", "2|"}));
}

TEST_F(LedgerFiguresTest, GetDetailCondStrSelectsOneGood) {
  Variant r = NewLedger("YfCkID='13'");
  EXPECT_EQ(Call(r, "GetDetailCondStr", Variant("123")), Variant(" goodid='123'"));
  EXPECT_EQ(Call(r, "GetDetailCondStr", Variant("")), Variant(" goodid=''"));
  // The condition selects that good's rows of the source view.
  AddMove(1, {1, "1001", "1", "13", "S01", "2024-03-02", 3, 1});
  AddMove(1, {2, "1002", "1", "13", "S01", "2024-03-02", 4, 1});
  EXPECT_EQ(QueryText(Source(1), "select ID from rpt_kc_zz_v where" +
                                     Call(r, "GetDetailCondStr", Variant("1002")).ToText()),
            (std::vector<std::string>{"2"}));
}

}  // namespace
}  // namespace qev::testing
