// Rpt_Tol_TypeDx: amounts and key counts per category with the category's
// name, the key count of the whole selection (GetAllQty) and the header
// (UpdateHeader), against figures computed here from the charge lines.
#include "platform/dispatch.h"
#include "platform/error.h"
#include "tests/category/category_fixture.h"

namespace qev::testing {
namespace {

class TypeDxReportTest : public CategoryFixture {
 protected:
  Variant NewDx(const std::string& type, int16_t qty_index, const std::string& cond = "") const {
    Variant r = NewReport("Rpt_Tol_TypeDx", "rpt_tol_typedx", cond);
    Let(r, "TypeField", Variant(type));
    Let(r, "QtyIndex", Variant(qty_index));
    return r;
  }

  int16_t AllQty(const Variant& r, int16_t source_num) const {
    return Call(r, "GetAllQty", Variant(source_num), Source(1)).ToInt16();
  }

  // Every row of every category that occurs stays, empty ones included.
  void ExpectFigures(const std::map<std::string, ExpectedRow>& want,
                     const std::map<std::string, std::string>& names) const {
    const auto rows = RowsOf("rpt_tol_typedx");
    int64_t total = 0;
    for (const auto& [key, e] : want) total += e.halves;
    EXPECT_EQ(rows.size(), want.size());
    for (const auto& [key, e] : want) {
      SCOPED_TRACE("category " + key);
      ASSERT_EQ(rows.count(key), 1u);
      const auto& row = rows.at(key);
      EXPECT_DOUBLE_EQ(Num(row, "amt"), e.halves / 2.0);
      EXPECT_EQ(Num(row, "qty"), e.qty);
      if (e.qty == 0)
        EXPECT_TRUE(IsNull(row, "everyamt"));
      else
        EXPECT_DOUBLE_EQ(Num(row, "everyamt"), ExpectedAverage(e.halves, e.qty));
      if (total == 0)
        EXPECT_TRUE(IsNull(row, "ipercent"));
      else
        EXPECT_EQ(row.at("ipercent").ToText(), ExpectedPercent(e.halves, total));
      auto it = names.find(key);
      EXPECT_EQ(row.at("name").ToText(), it == names.end() ? "" : it->second);
    }
  }
};

const std::map<std::string, std::string> kInvoiceItems = {
    {"01", "西药费"}, {"02", "中成药费"}, {"03", "检查费"},
    {"04", "化验费"}, {"05", "治疗费"},   {"06", "材料费"}};
const std::map<std::string, std::string> kReportItems = {
    {"01", "药品收入"}, {"02", "医疗收入"}, {"03", "检查收入"}, {"04", "其他收入"}};

TEST_F(TypeDxReportTest, CategoriesOverOneAndSeveralSources) {
  AddRandomCharges(1, 300, 501);
  AddRandomCharges(2, 200, 502);
  AddRandomCharges(3, 250, 503);
  const struct {
    const char* field;
    const char* column;  // the fixture's name of the same column
    const std::map<std::string, std::string>* names;
  } fields[] = {{"FPXMID", "fpxmid", &kInvoiceItems}, {"bbxm1id", "bbxm1id", &kReportItems}};
  for (const auto& f : fields) {
    for (int16_t qty_index : {1, 2, 3}) {
      for (int16_t source_num : {1, 2, 3}) {
        SCOPED_TRACE(std::string(f.field) + ", QtyIndex " + std::to_string(qty_index) +
                     ", SourceNum " + std::to_string(source_num));
        Variant r = NewDx(f.field, qty_index);
        Calcu(r, source_num, source_num);
        ExpectFigures(Expected(f.column, "", qty_index, source_num), *f.names);
        EXPECT_EQ(AllQty(r, source_num), ExpectedAllQty(qty_index, source_num));
      }
    }
  }
}

TEST_F(TypeDxReportTest, EmptyRowsStayAndKeysCountOncePerCategoryAndOverall) {
  auto line = [](std::string reg, std::string fpxm, int64_t halves) {
    return Charge{"R" + reg, reg, "P" + reg, "2024-03-02", "01", "D01", fpxm, "01", halves};
  };
  // G1 in categories 01 and 02; G2 a refund in 01; G3 cancels over the two
  // sources in 03; G4 and G5 cancel each other in 04 (no amount, no count).
  AddCharges(1, {line("G1", "01", 20), line("G1", "02", 8), line("G2", "01", -10),
                 line("G3", "03", -4), line("G4", "04", 6), line("G5", "04", -6)});
  AddCharges(2, {line("G3", "03", 4), line("G6", "05", 3)});
  Variant r = NewDx("fpxmid", 1);
  Calcu(r, 2, 2);
  ExpectFigures(Expected("fpxmid", "", 1, 2), kInvoiceItems);
  EXPECT_EQ(Text("select nameid,name,amt,qty,everyamt,ipercent from rpt_tol_typedx "
                 "order by nameid"),
            (std::vector<std::string>{"01|西药费|5|0|<null>|47.62%", "02|中成药费|4|1|4|38.10%",
                                      "03|检查费|0|0|<null>|0.00%", "04|化验费|0|0|<null>|0.00%",
                                      "05|治疗费|1.5|1|1.5|14.29%"}));
  // G1 +1, G2 -1, G3 0, G4 +1, G5 -1, G6 +1.
  EXPECT_EQ(AllQty(r, 2), 1);
  // Source 1 alone: G3 is a refund there.
  Calcu(r, 1, 1);
  EXPECT_EQ(Text("select nameid,qty from rpt_tol_typedx order by nameid"),
            (std::vector<std::string>{"01|0", "02|1", "03|-1", "04|0"}));
  EXPECT_EQ(AllQty(r, 1), -1);
}

TEST_F(TypeDxReportTest, CategoryTableFollowsTheCategoryColumn) {
  Variant r = NewDx("", 1);
  EXPECT_EQ(Get(r, "TypeTab"), Variant(""));
  const std::pair<const char*, const char*> cases[] = {
      {"bbxm1id", "qev_pub_type_bbxm1"}, {"BBXM2ID", "qev_pub_type_bbxm2"},
      {"TjXm1Id", "qev_pub_type_tjxm1"}, {"FpXmID", "qev_pub_type_fpxm"},
      {"fpxm", ""},                      {"DepaID", ""}};
  for (const auto& [field, table] : cases) {
    Let(r, "TypeField", Variant(field));
    EXPECT_EQ(Get(r, "TypeTab"), Variant(table)) << field;
  }
  // Read-only: it has no storage of its own.
  EXPECT_NE(ErrorNumberOf([&] { Let(r, "TypeTab", Variant("x")); }), 0);

  // The second-level and accounting items name their rows too; a column
  // without a category table leaves the names empty.
  AddCharges(1, {Charge{"R1", "G1", "P1", "2024-03-02", "03", "D01", "02", "01", 8}});
  Let(r, "TypeField", Variant("bbxm2id"));
  Calcu(r, 1, 1);
  EXPECT_EQ(Text("select nameid,name from rpt_tol_typedx"),
            (std::vector<std::string>{"01|门诊药品"}));
  Let(r, "TypeField", Variant("tjxm1id"));
  Calcu(r, 1, 1);
  EXPECT_EQ(Text("select nameid,name from rpt_tol_typedx"),
            (std::vector<std::string>{"01|核算西药"}));
  Let(r, "TypeField", Variant("DepaID"));
  Calcu(r, 1, 1);
  EXPECT_EQ(Text("select nameid,name,amt,qty from rpt_tol_typedx"),
            (std::vector<std::string>{"03||4|1"}));
}

TEST_F(TypeDxReportTest, AllQtyReadsTheSourceOrOwnScratchRows) {
  AddRandomCharges(1, 150, 601);
  AddRandomCharges(2, 150, 602);
  Variant r = NewDx("fpxmid", 1);
  // Scratch rows of this workstation do not count with one database.
  ExecReport("insert into tem_rpt_qty (temid,computer,RegID,Name,objfield,amt) values "
             "(1,'WS1','X1','Y1','01',100),(2,'WS1','X2','Y2','01',100)");
  EXPECT_EQ(AllQty(r, 1), ExpectedAllQty(1, 1));

  // Several databases: the rows the calculation left for this workstation.
  Calcu(r, 2, 2);
  const int16_t ws1 = AllQty(r, 2);
  EXPECT_EQ(ws1, ExpectedAllQty(1, 2));
  // Another workstation's scratch rows change nothing for this one, and a
  // workstation without scratch rows counts 0.
  ExecReport("insert into tem_rpt_qty (temid,computer,RegID,Name,objfield,amt) values "
             "(3,'WS2','X3','Y3','01',100)");
  EXPECT_EQ(AllQty(r, 3), ws1);
  SetWorkstation("WS3");
  EXPECT_EQ(AllQty(r, 2), 0);
}

TEST_F(TypeDxReportTest, UpdateHeaderAndDetailCondition) {
  ExecReport("insert into rpt_header (computer,rpttab,headstr) values ('WS2','rpt_tol_typedx','x')");
  Variant r = NewDx("fpxmid", 1);
  Calcu(r, 1, 1);
  Call(r, "UpdateHeader", Variant(int16_t{-17}), Variant(3.125));
  EXPECT_EQ(Text("select computer,allqty,everyamt from rpt_header order by computer"),
            (std::vector<std::string>{"WS1|-17|3.125", "WS2|<null>|<null>"}));

  EXPECT_EQ(Call(r, "GetDetailCondStr", Variant("01")), Variant("fpxmid='01'"));
  Let(r, "CondStr", Variant("DepaID='02'"));
  EXPECT_EQ(Call(r, "GetDetailCondStr", Variant("01")),
            Variant("fpxmid='01' and (DepaID='02')  "));
}

TEST_F(TypeDxReportTest, AllQtyPastTheSixteenBitRangeIsAnOverflow) {
  // 32,768 keys with a positive total: the count cannot hold the last one.
  Call(Source(1), "Exec",
       Variant("insert into mz_fee (ID,RegID,Name,iDate,DepaID,fpxmid,Amt) "
               "with recursive n(i) as (select 1 union all select i+1 from n where i<32768) "
               "select 'R'||i,'G'||i,'P','2024-03-01','01','01',1 from n"));
  Variant r = NewDx("fpxmid", 3);
  EXPECT_EQ(ErrorNumberOf([&] { AllQty(r, 1); }), kErrOverflow);
  Call(Source(1), "Exec", Variant("delete from mz_fee where ID='R1'"));
  EXPECT_EQ(AllQty(r, 1), 32767);
}

}  // namespace
}  // namespace qev::testing
