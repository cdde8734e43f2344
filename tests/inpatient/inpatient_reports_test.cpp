// The inpatient category reports on SQLite and PostgreSQL: charges per ward,
// doctor or day and category (Rpt_Zy_Type) and per category
// (Rpt_Zy_TypeDx), with the dispensed split, registrations counted per
// database, names, the header count and the statements as sent.
#include "platform/dispatch.h"
#include "platform/error.h"
#include "tests/support/report_fixture.h"

namespace qev::testing {
namespace {

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
  }
  // Charge lines of one kind (qd, jz, js): "day,amount,zydjid,ward,doctor,
  // category,isdoamt" with SQL literals.
  void Fees(int db, const std::string& kind, const std::vector<std::string>& rows) const {
    std::vector<std::string> full;
    for (const std::string& r : rows) full.push_back("'" + kind + "','1001',1,1," + r);
    Insert(db, "zy_good_fee",
           "Kind,goodid,Qty,UnitRate,iDate,Amt,zydjid,DepaID,DoctorID,fpxmid,isdoamt", full);
  }
  // ZY1 in both databases, ZY3 and ZY5 cancelling, ward 03 all zero.
  void WardData(const std::string& kind) const {
    Fees(1, kind,
         {"'2024-03-05',10,'ZY1','01','D01','01',1", "'2024-03-05',5,'ZY1','01','D01','02',0",
          "'2024-03-06',4,'ZY2','01','D02','01',2", "'2024-03-06',7,'ZY3','02','D02','01',1",
          "'2024-03-07',-7,'ZY3','02','D02','01',1", "'2024-03-07',5,'ZY5','03','D01','01',0",
          "'2024-03-07',-5,'ZY5','03','D01','01',0"});
    Fees(2, kind,
         {"'2024-03-05',3,'ZY1','01','D01','01',1", "'2024-03-06',-6,'ZY4','02','D02','02',0"});
  }
};
INSTANTIATE_TEST_SUITE_P(Backends, InpatientTest, AllBackends(), BackendTestName);
INSTANTIATE_TEST_SUITE_P(Odbc, InpatientTest, OdbcBackends(), BackendTestName);

TEST_P(InpatientTest, TypeSplitsDispensedAndCountsRegistrationsPerDatabase) {
  WardData("qd");
  Fees(1, "js", {"'2024-03-08',100,'ZY1','01','D01','01',NULL"});
  Exec(0, "insert into tem_rpt_qty (temid,computer,objfield,amt) values (9,'WS1','x',1)");
  Variant r = NewReport("Rpt_Zy_Type", {{"SourceViewName", Variant("Rpt_ZyQd_V")},
                                        {"ObjField", Variant("DepaID")},
                                        {"TypeField", Variant("fpxmid")},
                                        {"RptTab", Variant("rpt_zy_type")}});
  Calcu(r, 2, 2);
  // Ward 01: ZY1 counts in each database, isdoamt 0 and 2 are not
  // dispensed. Ward 03 has neither amount nor count and stays.
  EXPECT_EQ(Text("select nameid,name,amt,f01,f02,doamt,nodoamt,qty from rpt_zy_type "
                 "where computer='WS1' order by nameid"),
            (std::vector<std::string>{"01|内科|22|17|5|13|9|3", "02|外科|-6|0|-6|0|-6|-1",
                                      "03|儿科|0|0|<null>|<null>|0|0"}));
  EXPECT_EQ(Text("select count(*) from tem_rpt_qty"), std::vector<std::string>{"1"});

  // The settlement view has no flag: no split, and no statement asks for one.
  Let(r, "SourceViewName", Variant("rpt_zyjs_v"));
  Let(r, "ObjField", Variant("DoctorID"));
  Calcu(r, 1, 1);
  EXPECT_EQ(Text("select nameid,name,amt,doamt,nodoamt,qty from rpt_zy_type where computer='WS1'"),
            std::vector<std::string>{"D01|张伟|100|<null>|<null>|1"});

  // Days of account get their text; JzrDay is an opaque key here.
  Let(r, "SourceViewName", Variant("rpt_zyqd_v"));
  Let(r, "ObjField", Variant("countdate"));
  Calcu(r, 1, 1);
  EXPECT_EQ(RowsOf("rpt_zy_type")["2024-03-06"].at("name"), Variant("2024.03.06"));
  EXPECT_EQ(Call(r, "GetDetailCondStr", Variant("2024-03-06")),
            Variant(" CountDate ='2024-03-06'"));
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
  Fees(3, "jz",
       {"'2024-03-07',2,'ZY7','01','D01','01',1", "'2024-03-07',1,'ZY8','02','D01','02',0"});
  Variant r = NewReport("Rpt_Zy_TypeDx", {{"SourceViewName", Variant("rpt_zyjz_v")},
                                          {"TypeField", Variant("FPXMID")},
                                          {"RptTab", Variant("rpt_zy_typedx")},
                                          {"RptDesc", Variant(ValueListOf({"病 区", "全院"}))}});
  EXPECT_EQ(Get(r, "TypeTab"), Variant("qev_pub_type_fpxm"));
  // Read from the sources themselves: the same before and after CalcuRpt.
  EXPECT_EQ(CallWithSources(r, "GetAllQty", 1, 1), Variant(int16_t{2}));
  EXPECT_EQ(CallWithSources(r, "GetAllQty", 3, 3), Variant(int16_t{4}));
  const TracedCalls t = Traced();
  t.CalcuRpt(r, 3, 3);
  EXPECT_EQ(Call(r, "GetAllQty", Variant(int16_t{3}), t.Source(1), t.Source(2), t.Source(3)),
            Variant(int16_t{4}));
  EXPECT_EQ(t.CallsOn("source3"),
            (std::vector<std::string>{
                "CondAfterStr()",
                "OpenRs(select FPXMID,sum(Amt) as f_amt,isdoamt  from rpt_zyjz_v group by  "
                "FPXMID,isdoamt)",
                "CondAfterStr()",
                "OpenRs(select FPXMID ,sum(amt) as sfAmt from rpt_zyjz_v group by FPXMID,zydjid)",
                "CondAfterStr()",  // GetAllQty
                "OpenRs(select sum(amt) as sfAmt from rpt_zyjz_v group by zydjid)"}));
  // Category 01: ZY1 in two databases, ZY2 and ZY7; ZY3 and ZY5 sum to 0.
  // Category 02: ZY1 +1, ZY4 -1, ZY8 +1.
  EXPECT_EQ(Text("select nameid,name,amt,doamt,nodoamt,qty from rpt_zy_typedx order by nameid"),
            (std::vector<std::string>{"01|西药费|19|15|4|4", "02|中成药费|0|<null>|0|1"}));
  Exec(0, "update rpt_header set everyamt=12.5");
  Call(r, "UpdateHeader", Variant(int16_t{-3}));
  EXPECT_EQ(Text("select computer,headstr,allqty,everyamt from rpt_header"),
            std::vector<std::string>{"WS1|病区:全院|-3|12.5"});
  EXPECT_EQ(Call(r, "GetDetailCondStr", Variant("01")), Variant("FPXMID='01'"));
  Let(r, "CondStr", Variant("a=1"));
  EXPECT_EQ(Call(r, "GetDetailCondStr", Variant("01")), Variant("FPXMID='01' and (a=1)  "));

  // The settlement view has no flag and no split.
  Let(r, "CondStr", Variant(""));
  Let(r, "SourceViewName", Variant("rpt_zyjs_v"));
  t.CalcuRpt(r, 1, 1);
  EXPECT_EQ(t.CallsOn("source1")[1],
            "OpenRs(select FPXMID,sum(Amt) as f_amt from rpt_zyjs_v group by  FPXMID)");
  Let(r, "SourceViewName", Variant("rpt_zyjz_v"));

  // The count passes the 16-bit range over two databases.
  for (int db : {1, 2})
    Exec(db, On("insert into zy_good_fee (Kind,goodid,Amt,zydjid,fpxmid,isdoamt) with recursive "
                "n(i) as (select 1 union all select i+1 from n where i<20000) "
                "select 'jz','1001',1,'R'||i,'01',1 from n",
                "insert into zy_good_fee (Kind,goodid,Amt,zydjid,fpxmid,isdoamt) "
                "select 'jz','1001',1,'R'||i,'01',1 from generate_series(1,20000) i"));
  EXPECT_EQ(ErrorOf([&] { CallWithSources(r, "GetAllQty", 2, 2); }).number, kErrOverflow);
}

TEST_P(InpatientTest, TypeStatementsAsSent) {
  Fees(1, "qd", {"'2024-03-05',10,'ZY1','01','D01','01',1"});
  Fees(2, "qd", {"'2024-03-05',4,'ZY1','01','D01','01',0"});
  const TracedCalls t = Traced();
  Variant r = NewReport("Rpt_Zy_Type", {{"SourceViewName", Variant("rpt_zyqd_v")},
                                        {"ObjField", Variant("DepaID")},
                                        {"TypeField", Variant("fpxmid")},
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
  const std::string open =
      "OpenRs(select computer,qty,name, amt,doamt,nodoamt,f01 from rpt_zy_type where " + cond + ")";
  const std::string qty = "OpenRs(select qty from rpt_zy_type  where " + cond + ")";
  EXPECT_EQ(t.CallsOn("report"),
            (std::vector<std::string>{
                "DeleteRecord(rpt_zy_type|computer='WS1')",
                "DeleteRecord(rpt_header|computer='WS1' and rpttab='rpt_zy_type')",
                "InsertRecord(rpt_header|computer,rpttab,headstr|" +
                    ValueListOf({"WS1", "rpt_zy_type", ""}) + ")",
                open,
                "InsertRecord(rpt_zy_type|computer,qty,name,amt,f01,doamt|" +
                    ValueListOf({"WS1", "0", "01", "10", "10", "10"}) + ")",
                open,
                "UpdateRecord(rpt_zy_type|amt,f01,nodoamt|" + ValueListOf({"14", "14", "4"}) + "|" +
                    cond + ")",
                qty, "UpdateRecord(rpt_zy_type|qty|1|" + cond + ")", qty,
                "UpdateRecord(rpt_zy_type|qty|2|" + cond + ")",
                "OpenRs(select name,nameid from rpt_zy_type  where computer='WS1')",
                "TabFieldValue(name|qev_pub_depa|id='01')",
                "UpdateRecord(rpt_zy_type|nameid,name|" + ValueListOf({"01", "内科"}) +
                    "|computer='WS1' and name='01')"}));
}

}  // namespace
}  // namespace qev::testing
