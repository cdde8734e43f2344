// The inpatient category reports on SQLite and PostgreSQL: charges per ward,
// doctor or day and category (Rpt_Zy_Type) and per category
// (Rpt_Zy_TypeDx), with the dispensed split, registrations counted per
// database, names, the header count and the statements as sent.
#include "platform/dispatch.h"
#include "platform/error.h"
#include "tests/support/report_fixture.h"

namespace qev::testing {
namespace {

const std::string S = "\x1F";

class InpatientTest : public ReportFixture {
 protected:
  Scripts ReportScripts() const override {
    return {"category_sources", "hospital_lookups", "inpatient_reports"};
  }
  Scripts SourceScripts() const override { return {"goods_sources"}; }

  void SetUp() override {
    ReportFixture::SetUp();
    if (IsSkipped()) return;
    Exec(0, "insert into qev_pub_depa (id,name) values ('01','内科'),('02','外科'),('03','儿科')");
    Exec(0, "insert into qev_pub_user (id,name) values ('D01','张伟'),('D02','王芳')");
    Exec(0, "insert into qev_pub_type_fpxm (id,name) values ('01','西药费'),('02','中成药费')");
    Exec(0, "insert into qev_pub_type_bbxm2 (id,name) values ('01','病区西药')");
  }
  // Charge lines of one kind (qd, jz, js): "day,amount,zydjid,ward,doctor,
  // category,isdoamt" with SQL literals.
  void Fees(int db, const std::string& kind, const std::vector<std::string>& rows) const {
    std::vector<std::string> full;
    for (const std::string& r : rows) full.push_back("'" + kind + "','1001',1,1," + r);
    Insert(db, "zy_good_fee", "Kind,goodid,Qty,UnitRate,iDate,Amt,zydjid,DepaID,DoctorID,fpxmid,isdoamt",
           full);
  }
  // ZY1 in both databases, ZY3 and ZY5 cancelling, ward 03 all zero.
  void WardData(const std::string& kind) const {
    Fees(1, kind, {"'2024-03-05',10,'ZY1','01','D01','01',1", "'2024-03-05',5,'ZY1','01','D01','02',0",
                   "'2024-03-06',4,'ZY2','01','D02','01',2", "'2024-03-06',7,'ZY3','02','D02','01',1",
                   "'2024-03-07',-7,'ZY3','02','D02','01',1", "'2024-03-07',5,'ZY5','03','D01','01',0",
                   "'2024-03-07',-5,'ZY5','03','D01','01',0"});
    Fees(2, kind, {"'2024-03-05',3,'ZY1','01','D01','01',1", "'2024-03-06',-6,'ZY4','02','D02','02',0"});
  }
};
INSTANTIATE_TEST_SUITE_P(Backends, InpatientTest, AllBackends(), BackendTestName);

TEST_P(InpatientTest, TypeSplitsDispensedAndCountsRegistrationsPerDatabase) {
  WardData("qd");
  Fees(1, "js", {"'2024-03-08',100,'ZY1','01','D01','01',NULL"});
  Exec(0, "insert into tem_rpt_qty (temid,computer,objfield,amt) values (9,'WS1','x',1)");
  Variant r = NewReport("Rpt_Zy_Type", {{"SourceViewName", Variant("Rpt_ZyQd_V")},
                                        {"ObjField", Variant("DepaID")}, {"TypeField", Variant("fpxmid")},
                                        {"RptTab", Variant("rpt_zy_type")}});
  Calcu(r, 2, 2);
  Rows rows = RowsOf("rpt_zy_type");
  ASSERT_EQ(rows.size(), 3u);
  const Row& w1 = rows["01"];
  EXPECT_EQ(w1.at("name"), Variant("内科"));
  EXPECT_EQ(Num(w1, "amt"), 22);
  EXPECT_EQ(Num(w1, "f01"), 17);
  EXPECT_EQ(Num(w1, "f02"), 5);
  EXPECT_EQ(Num(w1, "doamt"), 13);    // isdoamt 1
  EXPECT_EQ(Num(w1, "nodoamt"), 9);   // isdoamt 0 and 2
  EXPECT_EQ(Num(w1, "qty"), 3);       // ZY1 counts in each database
  const Row& w2 = rows["02"];
  EXPECT_EQ(Num(w2, "f01"), 0);
  EXPECT_EQ(Num(w2, "doamt"), 0);
  EXPECT_EQ(Num(w2, "nodoamt"), -6);
  EXPECT_EQ(Num(w2, "qty"), -1);
  // A row with neither amount nor count stays; no dispensed line touched it.
  EXPECT_EQ(Num(rows["03"], "amt"), 0);
  EXPECT_EQ(Num(rows["03"], "qty"), 0);
  EXPECT_TRUE(IsNull(rows["03"], "doamt"));
  EXPECT_EQ(Text("select count(*) from tem_rpt_qty"), std::vector<std::string>{"1"});

  // The settlement view has no flag: no split, and the statements do not ask for one.
  Let(r, "SourceViewName", Variant("rpt_zyjs_v"));
  Let(r, "ObjField", Variant("DoctorID"));
  Calcu(r, 1, 1);
  rows = RowsOf("rpt_zy_type");
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows["D01"].at("name"), Variant("张伟"));
  EXPECT_EQ(Num(rows["D01"], "qty"), 1);
  EXPECT_TRUE(IsNull(rows["D01"], "doamt") && IsNull(rows["D01"], "nodoamt"));

  // Days of account get their text; JzrDay is an opaque key here.
  Let(r, "SourceViewName", Variant("rpt_zyqd_v"));
  Let(r, "ObjField", Variant("countdate"));
  Calcu(r, 1, 1);
  EXPECT_EQ(RowsOf("rpt_zy_type")["2024-03-06"].at("name"), Variant("2024.03.06"));
  EXPECT_EQ(Call(r, "GetDetailCondStr", Variant("2024-03-06")), Variant(" CountDate ='2024-03-06'"));
  Let(r, "ObjField", Variant("JzrDay"));
  Let(r, "CondStr", Variant("a=1"));
  EXPECT_EQ(Call(r, "GetDetailCondStr", Variant("O'x")), Variant("JzrDay='O''x' and (a=1) "));

  // A Null flag ends the calculation; the rows merged before it stay.
  Fees(3, "qd", {"'2024-03-09',1,'ZY9','01','D01','01',NULL"});
  Let(r, "ObjField", Variant("DepaID"));
  Let(r, "CondStr", Variant(""));
  EXPECT_EQ(ErrorOf([&] { Calcu(r, 3, 3); }).number, kErrInvalidNull);
  EXPECT_EQ(Num(RowsOf("rpt_zy_type", "name")["01"], "amt"), 22);
}

TEST_P(InpatientTest, TypeDxCountsAllRegistrationsAndNamesCategories) {
  WardData("jz");
  Fees(3, "jz", {"'2024-03-07',2,'ZY7','01','D01','01',1", "'2024-03-07',1,'ZY8','02','D01','02',0"});
  Variant r = NewReport("Rpt_Zy_TypeDx", {{"SourceViewName", Variant("rpt_zyjz_v")},
                                          {"TypeField", Variant("FPXMID")},
                                          {"RptTab", Variant("rpt_zy_typedx")},
                                          {"RptDesc", Variant("病 区" + S + "全院")}});
  EXPECT_EQ(Get(r, "TypeTab"), Variant("qev_pub_type_fpxm"));
  // Read from the sources themselves: the same before and after CalcuRpt.
  EXPECT_EQ(CallWithSources(r, "GetAllQty", 1, 1), Variant(int16_t{2}));
  EXPECT_EQ(CallWithSources(r, "GetAllQty", 3, 3), Variant(int16_t{4}));
  Calcu(r, 3, 3);
  EXPECT_EQ(CallWithSources(r, "GetAllQty", 3, 3), Variant(int16_t{4}));
  Rows rows = RowsOf("rpt_zy_typedx");
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows["01"].at("name"), Variant("西药费"));
  EXPECT_EQ(Num(rows["01"], "amt"), 19);
  EXPECT_EQ(Num(rows["01"], "doamt"), 15);
  EXPECT_EQ(Num(rows["01"], "nodoamt"), 4);
  EXPECT_EQ(Num(rows["01"], "qty"), 4);  // ZY1 in two databases, ZY2, ZY7; ZY3 and ZY5 sum to 0
  EXPECT_EQ(Num(rows["02"], "amt"), 0);
  EXPECT_EQ(Num(rows["02"], "qty"), 1);   // ZY1 +1, ZY4 -1, ZY8 +1
  EXPECT_TRUE(IsNull(rows["02"], "doamt"));

  Exec(0, "update rpt_header set everyamt=12.5");
  Call(r, "UpdateHeader", Variant(int16_t{-3}));
  EXPECT_EQ(Text("select computer,headstr,allqty,everyamt from rpt_header"),
            std::vector<std::string>{"WS1|病区:全院|-3|12.5"});
  EXPECT_EQ(Call(r, "GetDetailCondStr", Variant("01")), Variant("FPXMID='01'"));
  Let(r, "CondStr", Variant("a=1"));
  EXPECT_EQ(Call(r, "GetDetailCondStr", Variant("01")), Variant("FPXMID='01' and (a=1)  "));

  // Another category column, its own table; unknown columns have none.
  Let(r, "TypeField", Variant("bbxm2id"));
  Let(r, "CondStr", Variant(""));
  Exec(1, "update zy_good_fee set bbxm2id=fpxmid");
  Calcu(r, 1, 1);
  EXPECT_EQ(RowsOf("rpt_zy_typedx")["01"].at("name"), Variant("病区西药"));
  Let(r, "TypeField", Variant("DepaID"));
  EXPECT_EQ(Get(r, "TypeTab"), Variant(""));

  // The count passes the 16-bit range over two databases.
  for (int db : {1, 2})
    Exec(db, On("insert into zy_good_fee (Kind,goodid,Amt,zydjid,fpxmid,isdoamt) with recursive "
                "n(i) as (select 1 union all select i+1 from n where i<20000) "
                "select 'jz','1001',1,'R'||i,'01',1 from n",
                "insert into zy_good_fee (Kind,goodid,Amt,zydjid,fpxmid,isdoamt) "
                "select 'jz','1001',1,'R'||i,'01',1 from generate_series(1,20000) i"));
  EXPECT_EQ(ErrorOf([&] { CallWithSources(r, "GetAllQty", 2, 2); }).number, kErrOverflow);
}

TEST_P(InpatientTest, StatementsAsSent) {
  Fees(1, "qd", {"'2024-03-05',10,'ZY1','01','D01','01',1"});
  Fees(2, "qd", {"'2024-03-05',4,'ZY1','01','D01','01',0"});
  Fees(1, "js", {"'2024-03-05',100,'ZY1','01','D01','01',NULL"});
  const TracedCalls t = Traced();
  Variant r = NewReport("Rpt_Zy_Type", {{"SourceViewName", Variant("rpt_zyqd_v")},
                                        {"ObjField", Variant("DepaID")}, {"TypeField", Variant("fpxmid")},
                                        {"RptTab", Variant("rpt_zy_type")},
                                        {"CondStr", Variant("CountDate>={d '2024-03-01'}")}});
  t.CalcuRpt(r, 2, 2);
  const std::string W = "rpt_zyqd_v where CountDate>='2024-03-01'";
  EXPECT_EQ(t.CallsOn("source2"),
            (std::vector<std::string>{
                "CondAfterStr(CountDate>={d '2024-03-01'})",
                "OpenRs(select DepaID,fpxmid,sum(Amt) as f_amt,isdoamt from " + W +
                    " group by  DepaID,fpxmid,isdoamt)",
                "CondAfterStr(CountDate>={d '2024-03-01'})",
                "OpenRs(select DepaID ,sum(amt) as sfAmt from " + W + " group by DepaID,zydjid)"}));
  const std::string cond = "name='01' and computer='WS1'";
  const std::string open = "OpenRs(select computer,qty,name, amt,doamt,nodoamt,f01 from rpt_zy_type where " + cond + ")";
  EXPECT_EQ(t.CallsOn("report"),
            (std::vector<std::string>{
                "DeleteRecord(rpt_zy_type|computer='WS1')",
                "DeleteRecord(rpt_header|computer='WS1' and rpttab='rpt_zy_type')",
                "InsertRecord(rpt_header|computer,rpttab,headstr|WS1" + S + "rpt_zy_type" + S + ")",
                open,
                "InsertRecord(rpt_zy_type|computer,qty,name,amt,f01,doamt|WS1" + S + "0" + S + "01" + S +
                    "10" + S + "10" + S + "10)",
                open,
                "UpdateRecord(rpt_zy_type|amt,f01,nodoamt|14" + S + "14" + S + "4|" + cond + ")",
                "OpenRs(select qty from rpt_zy_type  where " + cond + ")",
                "UpdateRecord(rpt_zy_type|qty|1|" + cond + ")",
                "OpenRs(select qty from rpt_zy_type  where " + cond + ")",
                "UpdateRecord(rpt_zy_type|qty|2|" + cond + ")",
                "OpenRs(select name,nameid from rpt_zy_type  where computer='WS1')",
                "TabFieldValue(name|qev_pub_depa|id='01')",
                "UpdateRecord(rpt_zy_type|nameid,name|01" + S + "内科|computer='WS1' and name='01')"}));

  Variant dx = NewReport("Rpt_Zy_TypeDx", {{"SourceViewName", Variant("rpt_zyqd_v")},
                                           {"TypeField", Variant("fpxmid")},
                                           {"RptTab", Variant("rpt_zy_typedx")}});
  t.CalcuRpt(dx, 1, 1);
  EXPECT_EQ(t.CallsOn("source1"),
            (std::vector<std::string>{
                "CondAfterStr()",
                "OpenRs(select fpxmid,sum(Amt) as f_amt,isdoamt  from rpt_zyqd_v group by  fpxmid,isdoamt)",
                "CondAfterStr()",
                "OpenRs(select fpxmid ,sum(amt) as sfAmt from rpt_zyqd_v group by fpxmid,zydjid)"}));
  EXPECT_EQ(t.CallsOn("report")[3],
            "OpenRs(select computer,qty,name, amt,doamt,nodoamt from rpt_zy_typedx where "
            "name='01' and computer='WS1')");
  EXPECT_EQ(t.CallsOn("report")[4], "InsertRecord(rpt_zy_typedx|computer,qty,name,amt,doamt|WS1" +
                                        S + "0" + S + "01" + S + "10" + S + "10)");
  Let(dx, "SourceViewName", Variant("rpt_zyjs_v"));
  t.CalcuRpt(dx, 1, 1);
  EXPECT_EQ(t.CallsOn("source1")[1],
            "OpenRs(select fpxmid,sum(Amt) as f_amt from rpt_zyjs_v group by  fpxmid)");
  EXPECT_EQ(t.CallsOn("report")[4], "InsertRecord(rpt_zy_typedx|computer,qty,name,amt|WS1" + S +
                                        "0" + S + "01" + S + "100)");
  EXPECT_EQ(t.CallsOn("report").back(),
            "UpdateRecord(rpt_zy_typedx|nameid,name|01" + S + "西药费|computer='WS1' and name='01')");
  t.Attach(dx);
  Call(dx, "GetAllQty", Variant(int16_t{1}), t.Source(1));
  EXPECT_EQ(t.CallsOn("source1").back(), "OpenRs(select sum(amt) as sfAmt from rpt_zyjs_v group by zydjid)");
  Call(dx, "UpdateHeader", Variant(int16_t{1}));
  EXPECT_EQ(t.CallsOn("report").back(),
            "UpdateRecord(rpt_header|allqty|1|computer='WS1' and rpttab='rpt_zy_typedx')");
}

TEST_P(InpatientTest, TwoWorkstationsLeaveEachOthersRows) {
  WardData("qd");
  auto type_report = [&](const std::string& cond) {
    return NewReport("Rpt_Zy_Type", {{"SourceViewName", Variant("rpt_zyqd_v")},
                                     {"ObjField", Variant("DepaID")}, {"TypeField", Variant("fpxmid")},
                                     {"RptTab", Variant("rpt_zy_type")}, {"CondStr", Variant(cond)}});
  };
  Calcu(type_report(""), 2, 2);
  const Rows ws1 = RowsOf("rpt_zy_type");
  // A workstation name with an apostrophe stays inside its literals.
  SetWorkstation("O'Neil-PC");
  Calcu(type_report("DepaID='01'"), 1, 1);
  Rows other = RowsOf("rpt_zy_type", "nameid", "O'Neil-PC");
  ASSERT_EQ(other.size(), 1u);
  EXPECT_EQ(Num(other["01"], "amt"), 19);
  EXPECT_EQ(Num(other["01"], "qty"), 2);
  EXPECT_EQ(RowsOf("rpt_zy_type"), ws1);
  SetWorkstation("WS1");
  Calcu(type_report("DepaID='02'"), 1, 1);
  EXPECT_EQ(RowsOf("rpt_zy_type", "nameid", "O'Neil-PC"), other);
  EXPECT_EQ(Text("select computer from rpt_header order by computer"),
            (std::vector<std::string>{"O'Neil-PC", "WS1"}));
}

}  // namespace
}  // namespace qev::testing
