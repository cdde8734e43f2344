// The purchase price listing on SQLite and PostgreSQL: the latest receipt
// per supplier or factory, the cheapest per base unit among receipts of the
// same date, names, detail conditions and the statements as sent.
#include "platform/dispatch.h"
#include "platform/error.h"
#include "tests/support/report_fixture.h"

namespace qev::testing {
namespace {

class PriceTest : public ReportFixture {
 protected:
  Scripts ReportScripts() const override { return {"hospital_lookups", "price_reports"}; }
  Scripts SourceScripts() const override { return {"price_sources"}; }

  void SetUp() override {
    ReportFixture::SetUp();
    if (IsSkipped()) return;
    Exec(0,
         "insert into qev_pub_xydw (id,name) values ('S7','国药控股'),('F1','华北制药'),"
         "('F2','石药集团')");
    // Receipt lines: id, supplier, factory, date, quantity, rate, unit, price.
    const std::string cols = "RkID,SupplierID,FactoryID,iDate,Qty,UnitRate,UnitName,JhPrice,goodid";
    Insert(1, "kc_rk_line", cols,
           {"'R1','S7','F1','2024-05-01',10,1,'盒',3,'1001'",
            "'R2','S7','F1','2024-05-03',2,1,'盒',6,'1001'",
            "'R3','S7','F2','2024-05-03',1,10,'箱',50,'1001'",  // 5 per base unit
            "'R4','S8',NULL,'2024-05-03',1,10,'箱',50,'1001'",
            "'R5','S8',NULL,'2024-05-03',3,1,'盒',6,'1001'",
            "'R6','S9',NULL,'2024-05-03',1,10,'箱',40,'1001'",
            "'R7','S9','F2','2024-05-03',2.5,1,'盒',4,'1001'",  // 4 per base unit, as R6
            "'R8','S7','F1','2024-05-02',1,1,'盒',1,'1002'"});
    Insert(2, "kc_rk_line", cols,
           {"'R9','S8','F1','2024-04-30',1,1,'盒',2,'1001'",
            "'R10',NULL,NULL,'2024-05-04',1,1,'盒',7,'1001'",
            "'R11','S7','F1','2024-05-04 09:30:00',2.345,1,'盒',7,'1001'"});
  }

  Variant Listing(int16_t sup_fac, const std::string& cond = "goodid='1001'") const {
    return NewReport("Rpt_KcRk_Price", {{"SupFac", Variant(sup_fac)},
                                        {"SourceViewName", Variant("rpt_kcrk_price_v")},
                                        {"RptTab", Variant("rpt_kcrk_price")},
                                        {"CondStr", Variant(cond)}});
  }
  // "id|name|date|qty|rate|unit|price" of the rows of WS1.
  std::vector<std::string> Kept() const {
    return Text(
        "select nameid,name,iDate,qty,UnitRate,UnitName,JhPrice from rpt_kcrk_price "
        "where computer='WS1' order by nameid");
  }
};
INSTANTIATE_TEST_SUITE_P(Backends, PriceTest, AllBackends(), BackendTestName);
INSTANTIATE_TEST_SUITE_P(Odbc, PriceTest, OdbcBackends(), BackendTestName);

TEST_P(PriceTest, LatestDateThenLowestPricePerBaseUnit) {
  Variant r = Listing(1);
  EXPECT_EQ(Get(r, "ObjField"), Variant("SupplierID"));
  Calcu(r, 2, 2);
  // S7: the latest date wins whatever its price; the quantity through
  // FormatDec. S8: the box (5 per base unit) beats the single at 6 read
  // after it, and an older receipt read later changes nothing. S9: equal
  // prices per base unit, the first one read stays. Receipts without a
  // supplier share the row of the empty id, unnamed.
  EXPECT_EQ(Kept(), (std::vector<std::string>{
                        "||2024-05-04|1|1|盒|7", "S7|国药控股|2024-05-04 09:30:00|2.35|1|盒|7",
                        "S8||2024-05-03|1|10|箱|50", "S9||2024-05-03|1|10|箱|40"}));
  // Factories: the cheaper per base unit read after the box replaces it.
  Let(r, "SupFac", Variant(int16_t{2}));
  EXPECT_EQ(Get(r, "ObjField"), Variant("FactoryID"));
  Calcu(r, 2, 2);
  EXPECT_EQ(Kept(), (std::vector<std::string>{"||2024-05-04|1|1|盒|7",
                                              "F1|华北制药|2024-05-04 09:30:00|2.35|1|盒|7",
                                              "F2|石药集团|2024-05-03|2.5|1|盒|4"}));
  // SourceNum 0 reads QueryDb1 alone; another workstation leaves the rows.
  Calcu(r, 0, 2);
  const std::vector<std::string> first = {"||2024-05-03|1|10|箱|40",
                                          "F1|华北制药|2024-05-03|2|1|盒|6",
                                          "F2|石药集团|2024-05-03|2.5|1|盒|4"};
  EXPECT_EQ(Kept(), first);
  SetWorkstation("WS2");
  Calcu(Listing(1), 2, 2);
  EXPECT_EQ(Kept(), first);
}

TEST_P(PriceTest, DetailConditionsStatementsAndErrors) {
  Variant r = Listing(1, "");
  EXPECT_EQ(Call(r, "GetDetailCondStr", Variant("7")), Variant("SupplierID='7'"));
  Let(r, "SupFac", Variant(int16_t{0}));
  Let(r, "CondStr", Variant("goodid='1001'"));
  EXPECT_EQ(Call(r, "GetDetailCondStr", Variant("7")),
            Variant("(goodid='1001') and (FactoryID='7' or FactoryID is null )"));

  const TracedCalls t = Traced();
  Variant s = Listing(1, "RkID in ('R2','R3','R11')");
  t.CalcuRpt(s, 2, 2);
  EXPECT_EQ(
      t.CallsOn("source2"),
      (std::vector<std::string>{"CondAfterStr(RkID in ('R2','R3','R11'))",
                                "OpenRs(select idate,SupplierID,Qty,UnitRate,UnitName,jhprice,"
                                "jhAmt from rpt_kcrk_price_v where RkID in ('R2','R3','R11'))"}));
  const std::string cond = "name='S7' and computer='WS1'";
  const std::string open =
      "OpenRs(select computer,iDate,Name,JhPrice,qty,UnitRate,UnitName, Jhamt "
      "from rpt_kcrk_price where " +
      cond + ")";
  EXPECT_EQ(t.CallsOn("report"),
            (std::vector<std::string>{
                "DeleteRecord(rpt_kcrk_price|computer='WS1')",
                "DeleteRecord(rpt_header|computer='WS1' and rpttab='rpt_kcrk_price')",
                "InsertRecord(rpt_header|computer,rpttab,headstr|" +
                    ValueListOf({"WS1", "rpt_kcrk_price", ""}) + ")",
                // The source rows come in one order on every engine (by
                // value): the case of ten first, then the dearer single box,
                // which changes nothing, then the later date.
                open,
                "InsertRecord(rpt_kcrk_price|computer,iDate,qty,UnitRate,UnitName,Name,JhPrice,"
                "Jhamt|" +
                    ValueListOf({"WS1", "2024-05-03", "1", "10", "箱", "S7", "50", "50"}) + ")",
                open,
                open,
                "UpdateRecord(rpt_kcrk_price|iDate,qty,UnitRate,UnitName,Name,JhPrice,Jhamt|" +
                    ValueListOf({"2024-05-04 09:30:00", "2.35", "1", "盒", "S7", "7", "16.415"}) +
                    "|" + cond + ")",
                "OpenRs(select name,nameid from rpt_kcrk_price  where computer='WS1')",
                "TabFieldValue(name|qev_pub_xydw|id='S7')",
                "UpdateRecord(rpt_kcrk_price|nameid,name|" + ValueListOf({"S7", "国药控股"}) +
                    "|computer='WS1' and name='S7')"}));

  // A rate of 0 on a same-date comparison ends the call; the row merged
  // before stays.
  Let(s, "CondStr", Variant(""));
  Insert(3, "kc_rk_line", "RkID,SupplierID,iDate,Qty,UnitRate,UnitName,JhPrice,goodid",
         {"'Z1','S1','2024-05-03',1,0,'盒',5,'1'", "'Z2','S1','2024-05-03',1,1,'盒',5,'1'"});
  EXPECT_EQ(ErrorOf([&] { Call(s, "CalcuRpt", Variant(int16_t{1}), Source(3)); }).number,
            kErrDivisionByZero);
  EXPECT_EQ(Text("select name from rpt_kcrk_price where computer='WS1'"),
            std::vector<std::string>{"S1"});
}

}  // namespace
}  // namespace qev::testing
