// The statements the ledger sends, as a tracing proxy records them; which
// query object it reads through; the redirect of SourceViewName to the
// scratch table and its restoration after success and after errors; and
// workstations calculating side by side.
#include <algorithm>

#include <optional>

#include "tests/support/traced_calls.h"
#include "platform/class_factory.h"
#include "platform/dispatch.h"
#include "platform/error.h"
#include "tests/stock/ledger_fixture.h"

namespace qev::testing {
namespace {

const std::string S = "\x1F";

class LedgerStatementsTest : public LedgerFixture {
 protected:
  void SetUp() override {
    LedgerFixture::SetUp();
    traced_.emplace(host_, sources_);
  }

  void TracedCalcu(const Variant& r, int16_t source_num, int passed) {
    traced_->CalcuRpt(r, source_num, passed);
  }
  std::vector<std::string> CallsOn(const std::string& object) const {
    return traced_->CallsOn(object);
  }

  // Everything the workstation has in the ledger's tables, as text.
  std::vector<std::string> Snapshot(const std::string& ws) const {
    std::vector<std::string> out;
    for (const char* t : {"rpt_kc_zz", "rpt_kc_zz_detail", "tem_rpt_kcdetail", "rpt_header"})
      for (const std::string& row :
           QueryText(Query0(), std::string("select * from ") + t + " where computer='" + ws +
                                   "' order by rowid"))
        out.push_back(std::string(t) + ": " + row);
    return out;
  }

  std::optional<TracedCalls> traced_;
};

TEST_F(LedgerStatementsTest, OneSourceStatementsInOrder) {
  AddMove(1, {1, "1001", "0", "13", "", "2024-03-01", 10, 1});
  AddMove(1, {2, "1001", "2", "11", "", "2024-03-05", -3, 1});
  Variant r = NewLedger();
  TracedCalcu(r, 1, 1);

  // No condition: no CondAfterStr, no "and"; the opening query ends with a blank.
  EXPECT_EQ(CallsOn("source1"),
            (std::vector<std::string>{
                "OpenRs(select goodid,Type,Qty,UnitRate from rpt_kc_zz_v where Type='0' )",
                "OrderStrToNumField(id)",
                "OpenRs(select goodid,Type,Qty,UnitRate,YfCkID,iDate,FromID from rpt_kc_zz_v "
                "where type<>'0'  order by idate, cast(id as real))"}));
  EXPECT_TRUE(CallsOn("detail").empty());

  const std::string kDetailFields =
      "id,computer,goodid,YfCkID,Type,FromID,iDate,RkQty,CkQty,EndQty,Sn";
  std::vector<std::string> report = CallsOn("report");
  const std::vector<std::string> head = {
      "DeleteRecord(rpt_kc_zz|computer='WS1')",
      "DeleteRecord(rpt_kc_zz_detail|computer='WS1')",
      "DeleteRecord(rpt_header|computer='WS1' and rpttab='rpt_kc_zz')",
      "InsertRecord(rpt_header|computer,rpttab,headstr|WS1" + S + "rpt_kc_zz" + S + ")",
      // opening pass
      "OpenRs(select * from rpt_kc_zz where name='1001' and computer='WS1')",
      "InsertRecord(rpt_kc_zz|computer,name,QcQty,EndQty|WS1" + S + "1001" + S + "10" + S + "10)",
      "OpenRs(select * from rpt_kc_zz_detail where goodid='1001' and type='0' and "
      "computer='WS1')",
      "SnValue(TempID)",
      "InsertRecord(rpt_kc_zz_detail|id,computer,goodid,yfckid,type,fromid,idate,endqty,sn|1" + S +
          "WS1" + S + "1001" + S + S + "0" + S + S + S + "10" + S + "0)",
      // movement pass
      "OpenRs(select * from rpt_kc_zz where name='1001' and computer='WS1')",
      "UpdateRecord(rpt_kc_zz|CkQty,EndQty|3" + S + "7|name='1001' and computer='WS1')",
      "SnValue(TempID)",
      "InsertRecord(rpt_kc_zz_detail|" + kDetailFields + "|2" + S + "WS1" + S + "1001" + S + "11" +
          S + "2" + S + S + "2024-03-05" + S + "0" + S + "3" + S + "7" + S + "1)",
      // month totals
      "OpenRs(select Name,RkQty,CkQty,EndQty from rpt_kc_zz where computer='WS1')",
      "SnValue(TempID)",
      "InsertRecord(rpt_kc_zz_detail|" + kDetailFields + "|3" + S + "WS1" + S + "1001" + S + S +
          "100" + S + S + S + "0" + S + "3" + S + "7" + S + "2)",
      // finishing pass: the summary rows
      "OpenRs(select * from rpt_kc_zz  where computer='WS1')",
      "OpenRs(select id,Name,spec,UnitName from qev_pub_Good_V where id='1001')",
      "UpdateRecord(rpt_kc_zz|nameid,name,spec,UnitName|1001" + S + "阿莫西林胶囊" + S +
          "0.25g*24粒" + S + "盒|computer='WS1' and name='1001')",
      "OpenRs(select * from rpt_kc_zz_detail  where computer='WS1')",
  };
  ASSERT_EQ(report.size(), head.size() + 9);
  EXPECT_EQ(std::vector<std::string>(report.begin(), report.begin() + head.size()), head);
  // Then three calls per detail row, the rows in whatever order the table
  // gives them.
  std::vector<std::string> per_row;
  for (size_t i = head.size(); i < report.size(); i += 3)
    per_row.push_back(report[i] + " " + report[i + 1] + " " + report[i + 2]);
  std::sort(per_row.begin(), per_row.end());
  const std::string unit = "TabFieldValue(UnitName|qev_pub_Good_V|id='1001')";
  const std::string upd = "UpdateRecord(rpt_kc_zz_detail|YfCkName,UnitName,TypeName|";
  EXPECT_EQ(per_row, (std::vector<std::string>{
                         "TabFieldValue(name|qev_pub_depa|id='') " + unit + " " + upd + S + "盒" +
                             S + "本月合计|id='3')",
                         "TabFieldValue(name|qev_pub_depa|id='') " + unit + " " + upd + S + "盒" +
                             S + "结转上月期末|id='1')",
                         "TabFieldValue(name|qev_pub_depa|id='11') " + unit + " " + upd +
                             "门诊药房" + S + "盒" + S + "出库|id='2')",
                     }));
}

TEST_F(LedgerStatementsTest, TheConditionGoesThroughTheReadingQueryObject) {
  AddMove(1, {1, "1001", "1", "13", "S01", "2024-03-02", 3, 1});
  Variant r = NewLedger("iDate>={d '2024-03-01'}");
  TracedCalcu(r, 1, 1);
  EXPECT_EQ(CallsOn("source1"),
            (std::vector<std::string>{
                "CondAfterStr(iDate>={d '2024-03-01'})",
                "OpenRs(select goodid,Type,Qty,UnitRate from rpt_kc_zz_v where Type='0'  and "
                "iDate>='2024-03-01')",
                "CondAfterStr(iDate>={d '2024-03-01'})", "OrderStrToNumField(id)",
                "OpenRs(select goodid,Type,Qty,UnitRate,YfCkID,iDate,FromID from rpt_kc_zz_v "
                "where type<>'0'  and iDate>='2024-03-01' order by idate, cast(id as real))"}));
}

TEST_F(LedgerStatementsTest, SeveralSourcesAreGatheredAndReadBackThroughTheSecondQueryObject) {
  AddMove(1, {1, "1001", "0", "13", "", "2024-03-01", 10, 1});
  AddMove(2, {7, "1001", "1", "13", "S01", "2024-03-02", 2, 24});
  Variant r = NewLedger("YfCkID<>'99'");
  TracedCalcu(r, 2, 3);
  for (const char* src : {"source1", "source2"})
    EXPECT_EQ(CallsOn(src),
              (std::vector<std::string>{"CondAfterStr(YfCkID<>'99')",
                                        "OpenRs(select *  from rpt_kc_zz_v where YfCkID<>'99')"}))
        << src;
  EXPECT_TRUE(CallsOn("source3").empty());
  const auto report = CallsOn("report");
  ASSERT_GT(report.size(), 8u);
  const std::string fields =
      "ID,Computer,GoodID,YfCkID,UnitID,UnitPrice,JhPrice,UnitRate,iDate,Type,FromID,Qty";
  EXPECT_EQ(
      std::vector<std::string>(report.begin() + 4, report.begin() + 8),
      (std::vector<std::string>{
          "DeleteRecord(tem_rpt_kcdetail|computer='WS1')",
          "InsertRecord(tem_rpt_kcdetail|" + fields + "|1" + S + "WS1" + S + "1001" + S + "13" + S +
              S + "2.25" + S + "1.5" + S + "1" + S + "2024-03-01" + S + "0" + S + S + "10)",
          "InsertRecord(tem_rpt_kcdetail|" + fields + "|7" + S + "WS1" + S + "1001" + S + "13" + S +
              S + "2.25" + S + "1.5" + S + "24" + S + "2024-03-02" + S + "1" + S + "S01" + S + "2)",
          "DbA_Query_Obj()"}));
  EXPECT_EQ(CallsOn("detail"),
            (std::vector<std::string>{
                "CondAfterStr(computer='WS1')",
                "OpenRs(select goodid,Type,Qty,UnitRate from tem_rpt_kcdetail where Type='0'  "
                "and computer='WS1')",
                "CondAfterStr(computer='WS1')", "OrderStrToNumField(id)",
                "OpenRs(select goodid,Type,Qty,UnitRate,YfCkID,iDate,FromID from tem_rpt_kcdetail "
                "where type<>'0'  and computer='WS1' order by idate, cast(id as real))"}));
  // The receipt of 2 cases of 24 after an opening of 10.
  EXPECT_EQ(QueryText(Query0(), "select QcQty,RkQty,EndQty from rpt_kc_zz"),
            (std::vector<std::string>{"10|48|58"}));

  // A scratch row holds the source row's values; UnitID as the view gives it.
  ExecSource(3,
             "create table units_t (ID integer, GoodID text, YfCkID text, UnitID text, "
             "UnitPrice real, JhPrice real, UnitRate real, iDate text, Type text, FromID text, "
             "Qty real, Extra text)");
  ExecSource(3,
             "insert into units_t values (5,'1002','12','U7',3.5,2,10,'2024-03-03 10:00:00',"
             "'1','S02',1.5,'x')");
  Set(r, "Global_Lib_Obj", host_);
  Let(r, "SourceViewName", Variant("units_t"));
  Let(r, "CondStr", Variant(""));
  ArgList args;
  args.Value(Variant(int16_t{3}));
  args.Value(Source(3));
  args.Value(Source(3));
  args.Value(Source(3));
  Invoke(r, "CalcuRpt", kInvokeMethod, args);
  EXPECT_EQ(QueryText(Query0(), "select * from tem_rpt_kcdetail"),
            std::vector<std::string>(3, "5|WS1|1002|12|U7|3.5|2|10|2024-03-03 10:00:00|1|S02|1.5"));
  EXPECT_EQ(QueryText(Query0(), "select RkQty,EndQty from rpt_kc_zz"),
            (std::vector<std::string>{"45|45"}));
}

TEST_F(LedgerStatementsTest, SourceNumChoosesTheSources) {
  AddMove(1, {1, "1001", "1", "13", "S01", "2024-03-02", 3, 1});
  struct Case {
    int16_t num;
    int passed;
    std::vector<int> read;
  };
  for (const Case& c : {Case{1, 3, {1}}, Case{2, 2, {1, 2}}, Case{0, 3, {1, 2}},
                        Case{-1, 3, {1, 2}}, Case{3, 3, {1, 2, 3}}, Case{7, 3, {1, 2, 3}}}) {
    SCOPED_TRACE(c.num);
    Variant r = NewLedger();
    TracedCalcu(r, c.num, c.passed);
    for (int k = 1; k <= 3; ++k) {
      const bool read = std::count(c.read.begin(), c.read.end(), k) > 0;
      EXPECT_EQ(CallsOn("source" + std::to_string(k)).empty(), !read) << k;
    }
    EXPECT_EQ(CallsOn("detail").empty(), c.num == 1);
  }
}

TEST_F(LedgerStatementsTest, QueryDbSelectAndTheRedirectAfterSuccess) {
  AddMove(1, {1, "1001", "1", "13", "S01", "2024-03-02", 3, 1});
  AddMove(2, {2, "1002", "1", "13", "S01", "2024-03-02", 4, 1});
  Variant r = NewLedger("YfCkID='13'");
  Let(r, "JzyMonth", Variant("2024年3月"));
  const Variant before = Get(r, "QueryDbSelect");
  ASSERT_TRUE(before.IsObject());
  EXPECT_EQ(before.object(), nullptr);

  Calcu(r, 2, 2);
  EXPECT_EQ(Get(r, "QueryDbSelect"), Get(Query0(), "DbA_Query_Obj"));
  EXPECT_EQ(Get(r, "SourceViewName"), Variant("rpt_kc_zz_v"));
  EXPECT_EQ(Get(r, "CondStr"), Variant("computer='WS1'"));
  EXPECT_EQ(Get(r, "JzyMonth"), Variant("2024年3月"));
  EXPECT_EQ(Summary().size(), 2u);
  const size_t gathered = QueryRows(Query0(), "select * from tem_rpt_kcdetail").size();
  EXPECT_EQ(gathered, 2u);

  // One source: read straight through QueryDb1; the scratch rows stay as
  // the last multi-source run left them.
  Let(r, "CondStr", Variant("YfCkID='13'"));
  Calcu(r, 1, 1);
  EXPECT_EQ(Get(r, "QueryDbSelect"), Source(1));
  EXPECT_EQ(Get(r, "SourceViewName"), Variant("rpt_kc_zz_v"));
  EXPECT_EQ(Get(r, "CondStr"), Variant("YfCkID='13'"));
  EXPECT_EQ(Summary().size(), 1u);
  EXPECT_EQ(QueryRows(Query0(), "select * from tem_rpt_kcdetail").size(), gathered);

  // A multi-source run that keeps the workstation condition reads the
  // source views with it, as the caller left it.
  Calcu(r, 2, 2);
  Let(r, "SourceViewName", Variant("rpt_kc_zz_v"));
  EXPECT_EQ(ErrorOf([&] { Calcu(r, 2, 2); }).number, kErrDatabase);  // no column computer
  EXPECT_EQ(Get(r, "SourceViewName"), Variant("rpt_kc_zz_v"));
}

TEST_F(LedgerStatementsTest, ErrorsArePassedOnUnchangedAndTheViewNameIsRestored) {
  AddMove(1, {1, "1001", "0", "13", "", "2024-03-01", 10, 1});
  // An issue whose quantity is missing.
  ExecSource(2,
             "insert into kc_move (id,goodid,Type,YfCkID,iDate,Qty,UnitRate) values "
             "(2,'1001','2','11','2024-03-02',NULL,1)");

  // Missing source view, one source: the database's own error.
  {
    Variant r = NewLedger();
    Let(r, "SourceViewName", Variant("rpt_nosuch_v"));
    const CaughtError e = ErrorOf([&] { Calcu(r, 1, 1); });
    const CaughtError direct = ErrorOf([&] {
      Call(Source(1), "OpenRs",
           Variant("select goodid,Type,Qty,UnitRate from rpt_nosuch_v where Type='0' "));
    });
    EXPECT_EQ(e.number, kErrDatabase);
    EXPECT_EQ(e.number, direct.number);
    EXPECT_EQ(e.source, direct.source);
    EXPECT_EQ(e.description, direct.description);
    EXPECT_NE(e.description.find("no such table: rpt_nosuch_v"), std::string::npos);
    EXPECT_EQ(Get(r, "SourceViewName"), Variant("rpt_nosuch_v"));
    EXPECT_EQ(Get(r, "QueryDbSelect"), Source(1));
    // The clearing and the header came before it.
    EXPECT_EQ(QueryRows(Query0(), "select * from rpt_header").size(), 1u);
  }
  // Missing view in the second source while gathering: nothing redirected.
  {
    ExecSource(2, "drop view rpt_kc_zz_v");
    Variant r = NewLedger("YfCkID is not null");
    const CaughtError e = ErrorOf([&] { Calcu(r, 2, 2); });
    EXPECT_EQ(e.number, kErrDatabase);
    EXPECT_EQ(Get(r, "SourceViewName"), Variant("rpt_kc_zz_v"));
    EXPECT_EQ(Get(r, "CondStr"), Variant("YfCkID is not null"));
    EXPECT_EQ(Get(r, "QueryDbSelect").object(), nullptr);
    // Source 1's rows were gathered already and stay.
    EXPECT_EQ(QueryRows(Query0(), "select * from tem_rpt_kcdetail").size(), 1u);
    ExecSource(2,
               "create view rpt_kc_zz_v as select id as ID, goodid as GoodID, YfCkID, "
               "null as UnitID, UnitPrice, JhPrice, UnitRate, iDate, Type, "
               "coalesce(FromID,'') as FromID, Qty from kc_move");
  }
  // An error in the movement pass, after the redirect: the Null quantity.
  {
    Variant r = NewLedger();
    const CaughtError e = ErrorOf([&] { Calcu(r, 2, 2); });
    EXPECT_EQ(e.number, kErrInvalidNull);
    EXPECT_EQ(Get(r, "SourceViewName"), Variant("rpt_kc_zz_v"));
    EXPECT_EQ(Get(r, "CondStr"), Variant("computer='WS1'"));
    EXPECT_EQ(Get(r, "QueryDbSelect"), Get(Query0(), "DbA_Query_Obj"));
    // Rows written before the error stay: the opening pass's.
    EXPECT_EQ(QueryText(Query0(), "select Type,EndQty from rpt_kc_zz_detail"),
              (std::vector<std::string>{"0|10"}));
    EXPECT_EQ(QueryText(Query0(), "select QcQty,CkQty,EndQty from rpt_kc_zz"),
              (std::vector<std::string>{"10|<null>|10"}));
  }
  // An error in the finishing pass: the store lookup table is missing.
  {
    ExecSource(2, "update kc_move set Qty=-1");
    ExecReport("drop table qev_pub_depa");
    Variant r = NewLedger();
    const CaughtError e = ErrorOf([&] { Calcu(r, 3, 3); });
    EXPECT_EQ(e.number, kErrDatabase);
    EXPECT_NE(e.description.find("qev_pub_depa"), std::string::npos) << e.description;
    EXPECT_EQ(Get(r, "SourceViewName"), Variant("rpt_kc_zz_v"));
    // The summary had its names already.
    EXPECT_EQ(QueryText(Query0(), "select name,EndQty from rpt_kc_zz"),
              (std::vector<std::string>{"阿莫西林胶囊|9"}));
  }
  // A source that SourceNum reaches but the caller left out.
  {
    Variant r = NewLedger();
    EXPECT_EQ(ErrorOf([&] { Calcu(r, 2, 1); }).number, kErrObjectNotSet);
    EXPECT_EQ(Get(r, "SourceViewName"), Variant("rpt_kc_zz_v"));
    EXPECT_EQ(Get(r, "CondStr"), Variant(""));
  }
  // Without the host object nothing runs, and the trap still restores.
  {
    Variant r(CreateObject("qevRptCalLib.Rpt_Kc_Zz"));
    Let(r, "SourceViewName", Variant("v"));
    EXPECT_EQ(ErrorOf([&] { Calcu(r, 2, 2); }).number, kErrObjectNotSet);
    EXPECT_EQ(Get(r, "SourceViewName"), Variant("v"));
  }
}

TEST_F(LedgerStatementsTest, WorkstationsKeepToTheirOwnRows) {
  AddMove(1, {1, "1001", "0", "13", "", "2024-03-01", 10, 1});
  AddMove(1, {2, "1002", "1", "13", "S01", "2024-03-02", 5, 1});
  AddMove(2, {3, "1001", "5", "11", "", "2024-03-03", -2, 1});
  AddMove(2, {4, "1002", "7", "12", "", "2024-03-04", -1, 1});

  Variant ws1 = NewLedger();
  Calcu(ws1, 2, 2);
  const auto ws1_rows = Snapshot("WS1");
  ExpectSameLedger(ExpectedLedger(), Detail("WS1"), Summary("WS1"));

  SetWorkstation("WS2");
  Variant ws2 = NewLedger("GoodID='1002'");
  Calcu(ws2, 2, 2);
  EXPECT_EQ(Snapshot("WS1"), ws1_rows);
  ExpectSameLedger(ExpectedLedger([](const Move& m) { return m.good == "1002"; }), Detail("WS2"),
                   Summary("WS2"));
  EXPECT_EQ(QueryRows(Query0(), "select * from tem_rpt_kcdetail where computer='WS2'").size(), 2u);
  EXPECT_EQ(Get(ws2, "CondStr"), Variant("computer='WS2'"));

  // One source on WS1: its own rows are renewed, WS2's scratch rows and
  // report rows stay.
  const auto ws2_rows = Snapshot("WS2");
  SetWorkstation("WS1");
  Let(ws1, "CondStr", Variant(""));
  Calcu(ws1, 1, 1);
  EXPECT_EQ(Snapshot("WS2"), ws2_rows);
  EXPECT_EQ(QueryRows(Query0(), "select * from tem_rpt_kcdetail where computer='WS1'").size(), 4u);
  ExpectSameLedger(ExpectedLedger([](const Move& m) { return m.id <= 2; }), Detail("WS1"),
                   Summary("WS1"));
}

}  // namespace
}  // namespace qev::testing
