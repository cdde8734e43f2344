// The calls the category reports make on the report and source query
// objects, as a tracing proxy records them: every statement text to the
// blank, the order of the passes, and which databases are touched.
#include <optional>

#include "tests/support/traced_calls.h"
#include "platform/dispatch.h"
#include "tests/category/category_fixture.h"

namespace qev::testing {
namespace {

const std::string S = "\x1F";

class CategoryStatementsTest : public CategoryFixture {
 protected:
  void SetUp() override {
    CategoryFixture::SetUp();
    traced_.emplace(host_, sources_);
  }

  Variant Traced(const Variant& r) const {
    traced_->Attach(r);
    return r;
  }
  Variant TracedSource(int k) const { return traced_->Source(k); }
  void TracedCalcu(const Variant& r, int16_t source_num, int passed) {
    traced_->CalcuRpt(r, source_num, passed);
  }
  std::vector<std::string> CallsOn(const std::string& object) const {
    return traced_->CallsOn(object);
  }

  // Source 1: department 01, invoice item 01, G1/P1, 5.
  // Source 2: department 01, item 01, G2/P2, 3 and item 02, G1/P1, 2.
  void AddSmallData() {
    AddCharges(1, {Charge{"R1", "G1", "P1", "2024-03-05", "01", "D01", "01", "01", 10}});
    AddCharges(2, {Charge{"R2", "G2", "P2", "2024-03-05", "01", "D01", "01", "01", 6},
                   Charge{"R3", "G1", "P1", "2024-03-06", "01", "D01", "02", "01", 4}});
  }

  std::optional<TracedCalls> traced_;
};

TEST_F(CategoryStatementsTest, TypeReportOverTwoSources) {
  AddSmallData();
  Variant r = NewReport("Rpt_Tol_Type", "rpt_tol_type");
  Let(r, "ObjField", Variant("DepaID"));
  Let(r, "TypeField", Variant("fpxmid"));
  Let(r, "QtyIndex", Variant(int16_t{1}));
  TracedCalcu(r, 2, 2);
  const std::vector<std::string> source_calls = {
      "CondAfterStr()",
      "OpenRs(select DepaID,fpxmid,Sum(Amt) as f_Amt from rpt_mz_fee_v Group By DepaID,fpxmid)",
      "CondAfterStr()",
      "OpenRs(select DepaID ,RegID,Name,sum(amt) as SfAmt from rpt_mz_fee_v group by "
      "DepaID,RegID,Name)"};
  EXPECT_EQ(CallsOn("source1"), source_calls);
  EXPECT_EQ(CallsOn("source2"), source_calls);
  EXPECT_TRUE(CallsOn("source3").empty());
  const std::string cond = "name='01' and computer='WS1'";
  EXPECT_EQ(
      CallsOn("report"),
      (std::vector<std::string>{
          "DeleteRecord(rpt_tol_type|computer='WS1')",
          "DeleteRecord(rpt_header|computer='WS1' and rpttab='rpt_tol_type')",
          "InsertRecord(rpt_header|computer,rpttab,headstr|WS1" + S + "rpt_tol_type" + S + ")",
          // Amounts: source 1 inserts the row, source 2 adds to it.
          "OpenRs(select computer,qty,name, amt,f01 from rpt_tol_type where " + cond + ")",
          "InsertRecord(rpt_tol_type|computer,qty,name,amt,f01|WS1" + S + "0" + S + "01" + S +
              "5" + S + "5)",
          "OpenRs(select computer,qty,name, amt,f01 from rpt_tol_type where " + cond + ")",
          "UpdateRecord(rpt_tol_type|amt,f01|8" + S + "8|" + cond + ")",
          "OpenRs(select computer,qty,name, amt,f02 from rpt_tol_type where " + cond + ")",
          "UpdateRecord(rpt_tol_type|amt,f02|10" + S + "2|" + cond + ")",
          // Key counts merged in the scratch table.
          "DeleteRecord(tem_rpt_qty|computer='WS1')",
          "SnValue(TempID)",
          "InsertRecord(tem_rpt_qty|temid,computer,RegID,Name,objfield,amt|1" + S + "WS1" + S +
              "G1" + S + "P1" + S + "01" + S + "5)",
          "SnValue(TempID)",
          "InsertRecord(tem_rpt_qty|temid,computer,RegID,Name,objfield,amt|2" + S + "WS1" + S +
              "G1" + S + "P1" + S + "01" + S + "2)",
          "SnValue(TempID)",
          "InsertRecord(tem_rpt_qty|temid,computer,RegID,Name,objfield,amt|3" + S + "WS1" + S +
              "G2" + S + "P2" + S + "01" + S + "3)",
          "OpenRs(select ObjField ,sum(amt) as SfAmt from tem_rpt_qty  where computer='WS1' "
          "group by objfield,RegID,Name)",
          "OpenRs(select qty from rpt_tol_type  where " + cond + ")",
          "UpdateRecord(rpt_tol_type|qty|1|" + cond + ")",
          "OpenRs(select qty from rpt_tol_type  where " + cond + ")",
          "UpdateRecord(rpt_tol_type|qty|2|" + cond + ")",
          // The last pass.
          "DeleteRecord(rpt_tol_type|amt=0 and qty=0 and computer='WS1')",
          "OpenRs(select sum(amt) as AllAmt from rpt_tol_type  where computer='WS1')",
          "OpenRs(select everyamt,ipercent,name,nameid,amt,qty from rpt_tol_type  where "
          "computer='WS1')",
          "TabFieldValue(name|qev_pub_depa|id='01')",
          "UpdateRecord(rpt_tol_type|nameid,everyamt,iPercent,name|01" + S + "5" + S +
              "100.00%" + S + "内科|computer='WS1' and name='01')",
      }));
}

TEST_F(CategoryStatementsTest, TypeReportOverOneSourceWithCondition) {
  AddSmallData();
  Variant r = NewReport("Rpt_Tol_Type", "rpt_tol_type", "iDate<{d '2024-03-06'}");
  Let(r, "ObjField", Variant("JzrDay"));
  Let(r, "TypeField", Variant("bbxm1id"));
  Let(r, "QtyIndex", Variant(int16_t{3}));
  // SourceNum 1 reads the first source alone, and without the scratch table.
  ExecReport("insert into tem_rpt_qty (temid,computer,ID,objfield,amt) values (9,'WS1','R9','x',1)");
  TracedCalcu(r, 1, 3);
  EXPECT_EQ(CallsOn("source1"),
            (std::vector<std::string>{
                "CondAfterStr(iDate<{d '2024-03-06'})",
                "OpenRs(select JzrDay,bbxm1id,Sum(Amt) as f_Amt from rpt_mz_fee_v where "
                "iDate<'2024-03-06' Group By JzrDay,bbxm1id)",
                "CondAfterStr(iDate<{d '2024-03-06'})",
                "OpenRs(select JzrDay ,sum(amt) as SfAmt from rpt_mz_fee_v where "
                "iDate<'2024-03-06' group by JzrDay,ID)"}));
  EXPECT_TRUE(CallsOn("source2").empty());
  const auto report = CallsOn("report");
  for (const std::string& call : report) EXPECT_EQ(call.find("tem_rpt_qty"), std::string::npos);
  EXPECT_EQ(Text("select temid from tem_rpt_qty"), (std::vector<std::string>{"9"}));
  // Days are named by their own text; no lookup.
  EXPECT_EQ(report.back(),
            "UpdateRecord(rpt_tol_type|nameid,everyamt,iPercent,name|2024-03-05" + S + "5" + S +
                "100.00%" + S + "2024.03.05|computer='WS1' and name='2024-03-05')");

  // The detail condition of a day asks the report database for its literal.
  Traced(r);
  EXPECT_EQ(Call(r, "GetDetailCondStr", Variant("2024-03-05")),
            Variant(" jzrday ='2024-03-05' and (iDate<{d '2024-03-06'})"));
  EXPECT_EQ(CallsOn("report"), (std::vector<std::string>{"CondDateValue(2024-03-05)"}));
  Traced(r);
  Call(r, "UpdateHeader", Variant(2.5));
  EXPECT_EQ(CallsOn("report"),
            (std::vector<std::string>{"UpdateRecord(rpt_header|everyamt|2.5|computer='WS1' and "
                                      "rpttab='rpt_tol_type')"}));
}

TEST_F(CategoryStatementsTest, CategoryReportOverTwoSourcesAndItsHeader) {
  AddSmallData();
  Variant r = NewReport("Rpt_Tol_TypeDx", "rpt_tol_typedx");
  Let(r, "TypeField", Variant("fpxmid"));
  Let(r, "QtyIndex", Variant(int16_t{1}));
  TracedCalcu(r, 2, 2);
  const std::vector<std::string> source_calls = {
      "CondAfterStr()",
      "OpenRs(select fpxmid,sum(Amt) as f_Amt from rpt_mz_fee_v Group By fpxmid)",
      "CondAfterStr()",
      "OpenRs(select fpxmid ,RegID,Name,sum(amt) as SfAmt from rpt_mz_fee_v group by "
      "fpxmid,RegID,Name)"};
  EXPECT_EQ(CallsOn("source1"), source_calls);
  EXPECT_EQ(CallsOn("source2"), source_calls);
  const std::string c01 = "name='01' and computer='WS1'";
  const std::string c02 = "name='02' and computer='WS1'";
  EXPECT_EQ(
      CallsOn("report"),
      (std::vector<std::string>{
          "DeleteRecord(rpt_tol_typedx|computer='WS1')",
          "DeleteRecord(rpt_header|computer='WS1' and rpttab='rpt_tol_typedx')",
          "InsertRecord(rpt_header|computer,rpttab,headstr|WS1" + S + "rpt_tol_typedx" + S + ")",
          "OpenRs(select computer,qty,name, amt from rpt_tol_typedx where " + c01 + ")",
          "InsertRecord(rpt_tol_typedx|computer,qty,name,amt|WS1" + S + "0" + S + "01" + S + "5)",
          "OpenRs(select computer,qty,name, amt from rpt_tol_typedx where " + c01 + ")",
          "UpdateRecord(rpt_tol_typedx|amt|8|" + c01 + ")",
          "OpenRs(select computer,qty,name, amt from rpt_tol_typedx where " + c02 + ")",
          "InsertRecord(rpt_tol_typedx|computer,qty,name,amt|WS1" + S + "0" + S + "02" + S + "2)",
          "DeleteRecord(tem_rpt_qty|computer='WS1')",
          "SnValue(TempID)",
          "InsertRecord(tem_rpt_qty|temid,computer,RegID,Name,objfield,amt|1" + S + "WS1" + S +
              "G1" + S + "P1" + S + "01" + S + "5)",
          "SnValue(TempID)",
          "InsertRecord(tem_rpt_qty|temid,computer,RegID,Name,objfield,amt|2" + S + "WS1" + S +
              "G2" + S + "P2" + S + "01" + S + "3)",
          "SnValue(TempID)",
          "InsertRecord(tem_rpt_qty|temid,computer,RegID,Name,objfield,amt|3" + S + "WS1" + S +
              "G1" + S + "P1" + S + "02" + S + "2)",
          "OpenRs(select ObjField ,sum(amt) as SfAmt from tem_rpt_qty  where computer='WS1' "
          "group by objfield,RegID,Name)",
          "OpenRs(select qty from rpt_tol_typedx  where " + c01 + ")",
          "UpdateRecord(rpt_tol_typedx|qty|1|" + c01 + ")",
          "OpenRs(select qty from rpt_tol_typedx  where " + c01 + ")",
          "UpdateRecord(rpt_tol_typedx|qty|2|" + c01 + ")",
          "OpenRs(select qty from rpt_tol_typedx  where " + c02 + ")",
          "UpdateRecord(rpt_tol_typedx|qty|1|" + c02 + ")",
          // No removal of empty rows in this report.
          "OpenRs(select sum(amt) as AllAmt from rpt_tol_typedx  where computer='WS1')",
          "OpenRs(select everyamt,ipercent,name,nameid,amt,qty from rpt_tol_typedx  where "
          "computer='WS1')",
          "TabFieldValue(name|qev_pub_type_fpxm|id='01')",
          "UpdateRecord(rpt_tol_typedx|nameid,everyamt,iPercent,name|01" + S + "4" + S +
              "80.00%" + S + "西药费|computer='WS1' and name='01')",
          "TabFieldValue(name|qev_pub_type_fpxm|id='02')",
          "UpdateRecord(rpt_tol_typedx|nameid,everyamt,iPercent,name|02" + S + "2" + S +
              "20.00%" + S + "中成药费|computer='WS1' and name='02')",
      }));

  // Several databases: the count reads the scratch rows, no source.
  Traced(r);
  EXPECT_EQ(Call(r, "GetAllQty", Variant(int16_t{2}), TracedSource(1)), Variant(int16_t{2}));
  EXPECT_TRUE(CallsOn("source1").empty());
  EXPECT_EQ(CallsOn("report"),
            (std::vector<std::string>{"OpenRs(select sum(amt) as SfAmt from tem_rpt_qty  where "
                                      "computer='WS1' group by RegID,Name)"}));
  // One database: the source itself.
  Traced(r);
  EXPECT_EQ(Call(r, "GetAllQty", Variant(int16_t{1}), TracedSource(1)), Variant(int16_t{1}));
  EXPECT_EQ(CallsOn("source1"),
            (std::vector<std::string>{
                "CondAfterStr()",
                "OpenRs(select sum(amt) as sfAmt from rpt_mz_fee_v group by RegID,Name)"}));
  EXPECT_TRUE(CallsOn("report").empty());

  Traced(r);
  Call(r, "UpdateHeader", Variant(int16_t{2}), Variant(5.25));
  EXPECT_EQ(CallsOn("report"),
            (std::vector<std::string>{"UpdateRecord(rpt_header|allqty,everyamt|2" + S +
                                      "5.25|computer='WS1' and rpttab='rpt_tol_typedx')"}));
}

TEST_F(CategoryStatementsTest, CategoryReportOverOneSource) {
  AddSmallData();
  Variant r = NewReport("Rpt_Tol_TypeDx", "rpt_tol_typedx", "DepaID='01'");
  Let(r, "TypeField", Variant("bbxm1id"));
  Let(r, "QtyIndex", Variant(int16_t{2}));
  TracedCalcu(r, 1, 1);
  EXPECT_EQ(CallsOn("source1"),
            (std::vector<std::string>{
                "CondAfterStr(DepaID='01')",
                "OpenRs(select bbxm1id,sum(Amt) as f_Amt from rpt_mz_fee_v where DepaID='01' "
                "Group By bbxm1id)",
                "CondAfterStr(DepaID='01')",
                "OpenRs(select bbxm1id ,sum(amt) as sfAmt from rpt_mz_fee_v where DepaID='01' "
                "group by bbxm1id,RegID,Name,JzrDay)"}));
  Traced(r);
  EXPECT_EQ(Call(r, "GetAllQty", Variant(int16_t{1}), TracedSource(1)), Variant(int16_t{1}));
  EXPECT_EQ(CallsOn("source1")[1],
            "OpenRs(select sum(amt) as sfAmt from rpt_mz_fee_v where DepaID='01' group by "
            "RegID,Name,JzrDay)");
}

}  // namespace
}  // namespace qev::testing
