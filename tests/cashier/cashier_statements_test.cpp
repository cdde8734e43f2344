// The calls the daily sheets make on the report and source query objects,
// as a tracing proxy records them: every statement text to the blank, the
// order of the phases, the value lists, and which databases are read.
#include "tests/cashier/cashier_fixture.h"

namespace qev::testing {
namespace {

using CashierStatementsTest = CashierFixture;
INSTANTIATE_TEST_SUITE_P(Backends, CashierStatementsTest, AllBackends(), BackendTestName);
INSTANTIATE_TEST_SUITE_P(Odbc, CashierStatementsTest, OdbcBackends(), BackendTestName);

// The source statements of Rpt_Tol_Rbb in order: the fixed text, the
// connector of the caller's condition, the tail.
struct Statement {
  const char* text;
  const char* connector;
  const char* tail;
};
constexpr Statement kSourceStatements[] = {
    {"select count(*) as InAmtQty,Inout from qev_Mem_InAmt_V where jsfs3amt=0  ", " and ",
     " group by inout"},
    {"select count(*) as RegQty,inout,state from qev_Reg_info", " where ", " group by inout,state"},
    {"select count(*) as TolhQty,inout,state  from qev_Tol_infoh", " where ",
     " group by inout,state"},
    {"select count(*) as YjkQty,Type from qev_Zyyjk_Info ", " where ", " group by Type"},
    {"select sum(jsfs1amt) as f_jsfs1amt,sum(jsfs2amt) as f_jsfs2amt,sum(jsfs4amt) as f_jsfs4amt "
     "from qev_Mem_InAmt where jsfs3amt=0  ",
     " and ", ""},
    {"select sum(jsfs1amt) as f_jsfs1amt,sum(jsfs2amt) as f_jsfs2amt,sum(jsfs3amt) as f_jsfs3amt,"
     "sum(jsfs4amt) as f_jsfs4amt from qev_Reg_info where state='1' ",
     " and ", ""},
    {"select fb,sum(bxamt) as f_bxamt,sum(bcamt) as f_bcamt,sum(jsfs1amt) as f_jsfs1amt,"
     "sum(jsfs2amt) as f_jsfs2amt,sum(jsfs3amt) as f_jsfs3amt,sum(jsfs4amt) as f_jsfs4amt from "
     "qev_Tol_infoh where state='1' ",
     " and ", "  group by fb"},
    {"select sum(bcamt) as f_bcamt,sum(jsfs1amt) as f_jsfs1amt,sum(jsfs2amt) as f_jsfs2amt,"
     "sum(jsfs3amt) as f_jsfs3amt,sum(jsfs4amt) as f_jsfs4amt from qev_Zyyjk_Info ",
     " where ", ""},
    {"select sum(amt) as f_amt from qev_Mem_InAmt_V where jsfs3amt=0 ", " and ", ""},
    {"select sum(amt) as f_amt from qev_Reg_info where state='1' ", " and ", ""},
    {"select fpxmid,sum(Amt) as f_amt from rpt_Tol_V  ", " where ", "  group by fpxmid"},
    {"select sum(amt) as f_amt from qev_Zyyjk_Info ", " where ", ""},
};

// The lines with every "^" replaced by the value-list separator.
std::vector<std::string> WithSeparator(std::vector<std::string> lines) {
  for (std::string& l : lines)
    for (size_t at = l.find('^'); at != std::string::npos; at = l.find('^', at))
      l.replace(at, 1, S);
  return lines;
}

std::vector<std::string> Joined(std::vector<std::string> a, const std::vector<std::string>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

TEST_P(CashierStatementsTest, CashierSheetOverTwoSources) {
  Add(1, "qev_Mem_InAmt", kTopUp, {"'1',100,60,40,0,0"});
  Add(1, "qev_Tol_infoh", kCharge, {"1,'1','1','自费',30,0,0,30,0,0,0"});
  Add(2, "qev_Tol_infoh", kCharge, {"1,'1','1','自费',20,0,0,0,20,0,0"});
  Insert(1, "qev_Tol_infod", "InfohID,fpxmid,Amt", {"1,'02',30"});
  Insert(2, "qev_Tol_infod", "InfohID,fpxmid,Amt", {"1,'02',20"});
  const TracedCalls traced = Traced();
  const std::string cond = "CzyID='U1'";
  traced.CalcuRpt(NewSheet(cond), 2, 3);

  std::vector<std::string> source_calls;
  for (const Statement& s : kSourceStatements) {
    source_calls.push_back("CondAfterStr(" + cond + ")");
    source_calls.push_back(std::string("OpenRs(") + s.text + s.connector + cond + s.tail + ")");
  }
  EXPECT_EQ(traced.CallsOn("source1"), source_calls);
  EXPECT_EQ(traced.CallsOn("source2"), source_calls);
  EXPECT_TRUE(traced.CallsOn("source3").empty());

  // Calls on the report database, "^" standing for the value-list separator.
  const std::string own = "computer='WS1'", lines = own + " and rpttab='rpt_Tol_rbb'";
  const std::string summary = "OpenRs(select * from rpt_Tol_rbb where  " + own + ")";
  const std::string infod = "OpenRs(select * from rpt_Tol_Rbb_Infod where  " + own;
  const std::string infod_insert =
      "InsertRecord(rpt_Tol_Rbb_Infod|computer,nameid,SkAmt,XjAmt,YlAmt,ZhAmt,QtAmt,BcAmt,Sn|WS1^";
  const std::string line = "OpenRs(select computer,name,rpttab, amt from rpt_rbbd where  name=";
  const std::vector<std::string> until_names = WithSeparator(
      {"DeleteRecord(rpt_Tol_rbb|" + own + ")",
       "DeleteRecord(rpt_rbbd|" + own + " and rptTab='rpt_Tol_rbb')",
       "DeleteRecord(rpt_Tol_Rbb_Infod|" + own + ")",
       "InsertRecord(rpt_Tol_rbb|computer,submiter,jzrday|WS1^李娜^2024-03-15)",
       // Counts: source 1's top-ups and charges, source 2's charges.
       summary, "UpdateRecord(rpt_Tol_rbb|computer,inamtqty|WS1^1|" + own + ")", summary,
       "UpdateRecord(rpt_Tol_rbb|computer,sfqty|WS1^1|" + own + ")", summary,
       "UpdateRecord(rpt_Tol_rbb|computer,sfqty|WS1^2|" + own + ")",
       // Amounts by money source: inserted with their Sn, then added to.
       infod + " and nameid='InAmt')", infod_insert + "InAmt^0^60^40^0^0^0^0)",
       infod + " and nameid='自费')", infod_insert + "自费^0^30^0^0^0^0^1)",
       infod + " and nameid='自费')",
       "UpdateRecord(rpt_Tol_Rbb_Infod|SkAmt,XjAmt,YlAmt,ZhAmt,QtAmt,BcAmt|0^30^20^0^0^0|" + own +
           " and nameid='自费')",
       // Category lines.
       line + "'InAmt' and " + lines + ")",
       "InsertRecord(rpt_rbbd|computer,rpttab,name,amt|WS1^rpt_Tol_rbb^InAmt^100)",
       line + "'02' and " + lines + ")",
       "InsertRecord(rpt_rbbd|computer,rpttab,name,amt|WS1^rpt_Tol_rbb^02^30)",
       line + "'02' and " + lines + ")",
       "UpdateRecord(rpt_rbbd|amt|50| name='02' and " + lines + ")",
       // Finishing: memo, total row, hjamt, names and sort numbers.
       "OpenRs(select * from rpt_Tol_rbb  where " + own + ")",
       "UpdateRecord(rpt_Tol_rbb|memostr|冲值总数1笔;收费总数2笔;|" + own + ")",
       "OpenRs(select sum(skamt) as f_skamt,sum(xjamt) as f_xjamt,sum(ylamt) as f_ylamt,sum(zhamt) "
       "as f_zhamt,sum(qtamt) as f_qtamt,sum(bcamt) as f_bcamt from rpt_Tol_Rbb_Infod where " +
           own + ")",
       infod + " and nameid='Hj')", infod_insert + "Hj^0^90^60^0^0^0^2)",
       "Exec(update rpt_Tol_Rbb_Infod set hjamt=skamt+xjamt+ylamt+zhamt+qtamt  where " + own + ")",
       "OpenRs(select name,nameid,sn from rpt_rbbd  where " + lines + ")"});
  // Then each line, in the order the database returns them.
  const std::vector<std::string> in_amt = WithSeparator(
      {"UpdateRecord(rpt_rbbd|nameid,Sn,Name|InAmt^-1^冲值金额|" + lines + " and name='InAmt')"});
  const std::vector<std::string> item = WithSeparator(
      {"TabFieldValue(Mzsn|qev_pub_Type_Fpxm|id='02')",
       "TabFieldValue(name|qev_pub_Type_Fpxm|id='02')",
       "UpdateRecord(rpt_rbbd|nameid,Sn,Name|02^1^检查费|" + lines + " and name='02')"});
  const std::vector<std::string> calls = traced.CallsOn("report");
  ASSERT_EQ(calls.size(), until_names.size() + 4);
  EXPECT_EQ(std::vector<std::string>(calls.begin(), calls.begin() + until_names.size()),
            until_names);
  const std::vector<std::string> names(calls.begin() + until_names.size(), calls.end());
  EXPECT_TRUE(names == Joined(in_amt, item) || names == Joined(item, in_amt))
      << ::testing::PrintToString(names);

  // Without a condition CondAfterStr is not called and nothing stands
  // between a statement and its tail.
  traced.CalcuRpt(NewSheet(""), 1, 1);
  source_calls.clear();
  for (const Statement& s : kSourceStatements)
    source_calls.push_back(std::string("OpenRs(") + s.text + s.tail + ")");
  EXPECT_EQ(traced.CallsOn("source1"), source_calls);
  EXPECT_TRUE(Reported().empty());
}

TEST_P(CashierStatementsTest, InsuranceSheetReadsItsFirstSourceOnly) {
  for (int k : {1, 2}) Add(k, "qev_Yb_Infoh_L", kInsured, {"'Zyjs',1,2,3,4,5,6,7,8,9,10,11,12"});
  Variant r = NewReport("Rpt_Yb_Rbb_Zyjs", {{"CondStr", Variant("CzyID='U1'")},
                                            {"RptDesc", Variant("院 区" + S + "总院")}});
  const TracedCalls traced = Traced();
  traced.CalcuRpt(r, 3, 3);
  EXPECT_EQ(traced.CallsOn("source1"),
            (std::vector<std::string>{
                "CondAfterStr(CzyID='U1')",
                "OpenRs(select sum(zhzfe0) as f_zhzfe0,sum(jjzfe0) as f_jjzfe0,sum(gwybz0) as "
                "f_gwybz0,sum(fybfy0) as f_fybfy0,sum(ylzfje) as f_ylzfje,sum(cfdxje) as f_cfdxje "
                ",sum(sybxzf) as f_sybxzf,sum(bjjjzf) as f_bjjjzf,sum(grzfe0) as f_grzfe0 "
                ",sum(bcbxf0) as f_bcbxf0,sum(locaxj) as f_locaxj,sum(xjhj00) as f_xjhj00 from "
                "qev_Zyjs_Infoh_L_Yb_V   where CzyID='U1')"}));
  EXPECT_TRUE(traced.CallsOn("source2").empty());
  EXPECT_TRUE(traced.CallsOn("source3").empty());
  std::string values;
  for (int i = 1; i <= 12; ++i) values += std::to_string(i) + S;
  EXPECT_EQ(traced.CallsOn("report"),
            (std::vector<std::string>{
                "DeleteRecord(rpt_Yb_rbb|computer='WS1')",
                "InsertRecord(rpt_Yb_rbb|computer,RptDesc|WS1" + S + "院区:总院)",
                "OpenRs(select * from rpt_Yb_rbb where  computer='WS1')",
                "UpdateRecord(rpt_Yb_rbb|zhzfe0,jjzfe0,gwybz0,fybfy0,ylzfje,cfdxje,sybxzf,bjjjzf,"
                "grzfe0,bcbxf0,locaxj,xjhj00,hjamt|" +
                    values + "21|computer='WS1')"}));
}

}  // namespace
}  // namespace qev::testing
