// Rpt_Tol_Type: amounts per object and category, key counts, averages,
// shares and display names, against figures computed here from the charge
// lines written into the source files.
#include <set>

#include "platform/dispatch.h"
#include "platform/error.h"
#include "tests/category/category_fixture.h"

namespace qev::testing {
namespace {

class TypeReportTest : public CategoryFixture {
 protected:
  Variant NewType(const std::string& obj, const std::string& type, int16_t qty_index,
                  const std::string& cond = "") const {
    Variant r = NewReport("Rpt_Tol_Type", "rpt_tol_type", cond);
    Let(r, "ObjField", Variant(obj));
    Let(r, "TypeField", Variant(type));
    Let(r, "QtyIndex", Variant(qty_index));
    return r;
  }

  // Every figure of the workstation's rows against the expected rows: rows
  // with neither amount nor count are gone, every category column holds
  // its sum (Null where the object has no line of that category), averages
  // only where the count is not 0, shares only where the total is not 0.
  void ExpectFigures(const std::map<std::string, ExpectedRow>& want,
                     const std::string& ws = "WS1") const {
    const auto rows = RowsOf("rpt_tol_type", ws);
    int64_t total = 0;
    size_t kept = 0;
    for (const auto& [key, e] : want) {
      total += e.halves;
      if (e.halves != 0 || e.qty != 0) ++kept;
    }
    EXPECT_EQ(rows.size(), kept);
    for (const auto& [key, e] : want) {
      SCOPED_TRACE("row " + key);
      if (e.halves == 0 && e.qty == 0) {
        EXPECT_EQ(rows.count(key), 0u);
        continue;
      }
      ASSERT_EQ(rows.count(key), 1u);
      const auto& row = rows.at(key);
      EXPECT_DOUBLE_EQ(Num(row, "amt"), e.halves / 2.0);
      EXPECT_EQ(Num(row, "qty"), e.qty);
      for (int t = 1; t <= 20; ++t) {
        char col[8];
        std::snprintf(col, sizeof col, "f%02d", t);
        auto it = e.by_type.find(col);
        if (it == e.by_type.end())
          EXPECT_TRUE(IsNull(row, col)) << col;
        else
          EXPECT_DOUBLE_EQ(Num(row, col), it->second / 2.0) << col;
      }
      if (e.qty == 0)
        EXPECT_TRUE(IsNull(row, "everyamt"));
      else
        EXPECT_DOUBLE_EQ(Num(row, "everyamt"), ExpectedAverage(e.halves, e.qty));
      if (total == 0)
        EXPECT_TRUE(IsNull(row, "ipercent"));
      else
        EXPECT_EQ(row.at("ipercent").ToText(), ExpectedPercent(e.halves, total));
    }
  }

  int ScratchRows(const std::string& ws) const {
    return QueryRows(Query0(), "select count(*) from tem_rpt_qty where computer='" + ws + "'")[0][0]
        .ToInt32();
  }
};

const std::map<std::string, std::string> kDepartments = {
    {"01", "内科"}, {"02", "外科"}, {"03", "儿科"}, {"04", "妇产科"}, {"05", "中医科"}};
const std::map<std::string, std::string> kDoctors = {
    {"D01", "张伟"}, {"D02", "王芳"}, {"D03", "李娜"}, {"D04", "刘洋"}};

TEST_F(TypeReportTest, OneSourceByDepartmentAndInvoiceItem) {
  AddRandomCharges(1, 400, 101);
  AddRandomCharges(2, 150, 102);  // not read with SourceNum 1
  ExecReport("insert into tem_rpt_qty (temid,computer,RegID,Name,objfield,amt) "
             "values (7,'WS1','G1','P1','01',5)");
  Variant r = NewType("DepaID", "fpxmid", 1);
  Calcu(r, 1, 1);

  const auto want = Expected("DepaID", "fpxmid", 1, 1);
  ASSERT_GE(want.size(), 5u);
  ExpectFigures(want);
  // Departments show their names; one without a lookup row gets none.
  for (const auto& [key, row] : RowsOf("rpt_tol_type")) {
    auto it = kDepartments.find(key);
    EXPECT_EQ(row.at("name").ToText(), it == kDepartments.end() ? "" : it->second) << key;
  }
  // One database: the scratch table is neither cleared nor filled.
  EXPECT_EQ(Text("select temid,computer,objfield from tem_rpt_qty"),
            (std::vector<std::string>{"7|WS1|01"}));
}

TEST_F(TypeReportTest, SeveralSourcesCountEachKeyOnceByItsTotal) {
  AddRandomCharges(1, 300, 201);
  AddRandomCharges(2, 250, 202);
  AddRandomCharges(3, 200, 203);
  for (int16_t qty_index : {1, 2, 3}) {
    for (int16_t source_num : {2, 3}) {
      SCOPED_TRACE("QtyIndex " + std::to_string(qty_index) + ", SourceNum " +
                   std::to_string(source_num));
      Variant r = NewType("DoctorID", "bbxm1id", qty_index);
      Calcu(r, source_num, source_num);
      const auto want = Expected("DoctorID", "bbxm1id", qty_index, source_num);
      ExpectFigures(want);
      for (const auto& [key, row] : RowsOf("rpt_tol_type"))
        EXPECT_EQ(row.at("name").ToText(), kDoctors.at(key));
      // The scratch table holds one row per (doctor, key) group of each
      // database read, and their amounts add up to the report's total.
      size_t groups = 0;
      for (int k = 0; k < source_num; ++k) {
        std::set<std::string> seen;
        for (const Charge& c : charges_[k]) seen.insert(c.doctor + "/" + Key(c, qty_index));
        groups += seen.size();
      }
      EXPECT_EQ(ScratchRows("WS1"), static_cast<int>(groups));
      int64_t total = 0;
      for (const auto& [key, e] : want) total += e.halves;
      EXPECT_DOUBLE_EQ(
          QueryRows(Query0(), "select sum(amt) from tem_rpt_qty where computer='WS1'")[0][0]
              .ToDouble(),
          total / 2.0);
    }
  }
}

TEST_F(TypeReportTest, KeyCountsFollowTheSignOfTheKeysTotal) {
  auto line = [](std::string depa, std::string reg, int64_t halves) {
    return Charge{"R" + reg, reg, "P" + reg, "2024-03-02", depa, "D01", "01", "01", halves};
  };
  // Department 01: G1 +50 here and -50 in source 2, G2 -20, G3 +10.
  // Department 02: +30 and -30 on two keys: no amount, no count.
  // Department 03: +30, -10, -20: no amount, count -1.
  // Department 04: one refund of 20.
  AddCharges(1, {line("01", "G1", 100), line("01", "G2", -40), line("01", "G3", 20),
                 line("02", "G4", 60), line("02", "G5", -60), line("03", "G6", 60),
                 line("03", "G7", -20), line("03", "G8", -40), line("04", "G9", -40)});
  AddCharges(2, {line("01", "G1", -100)});

  Variant r = NewType("DepaID", "fpxmid", 1);
  Calcu(r, 2, 2);
  ExpectFigures(Expected("DepaID", "fpxmid", 1, 2));
  EXPECT_EQ(Text("select nameid,amt,qty,everyamt,ipercent from rpt_tol_type where computer='WS1' "
                 "order by nameid"),
            (std::vector<std::string>{"01|-10|0|<null>|33.33%", "03|0|-1|0|0.00%",
                                      "04|-20|-1|20|66.67%"}));

  // Source 1 alone: G1 counts, department 01 has 3 keys with signs + - +.
  Calcu(r, 1, 1);
  ExpectFigures(Expected("DepaID", "fpxmid", 1, 1));
  EXPECT_EQ(Text("select nameid,amt,qty,everyamt from rpt_tol_type where computer='WS1' "
                 "order by nameid"),
            (std::vector<std::string>{"01|40|1|40", "03|0|-1|0", "04|-20|-1|20"}));
}

TEST_F(TypeReportTest, NoShareWhenTheWorkstationsAmountsCancel) {
  AddCharges(1, {Charge{"R1", "G1", "P1", "2024-03-01", "01", "D01", "02", "01", 51},
                 Charge{"R2", "G2", "P2", "2024-03-01", "02", "D01", "03", "01", -51}});
  Variant r = NewType("DepaID", "fpxmid", 3);
  Calcu(r, 1, 1);
  ExpectFigures(Expected("DepaID", "fpxmid", 3, 1));
  EXPECT_EQ(Text("select nameid,name,f02,f03,qty,everyamt,ipercent from rpt_tol_type "
                 "order by nameid"),
            (std::vector<std::string>{"01|内科|25.5|<null>|1|25.5|<null>",
                                      "02|外科|<null>|-25.5|-1|25.5|<null>"}));
}

TEST_F(TypeReportTest, CategoryColumnsAndDisplayNamesByObjectColumn) {
  AddCharges(1, {Charge{"R1", "G1", "P1", "2024-03-05", "01", "D02", "01", "02", 10},
                 Charge{"R1", "G1", "P1", "2024-03-05", "01", "D02", "06", "04", 3},
                 Charge{"R2", "G2", "P2", "2024-03-12", "05", "D03", "01", "02", 7}});
  // The same object in two categories: one row, both columns, their sum.
  Variant r = NewType("depaid", "fpxmid", 1);
  Calcu(r, 1, 1);
  EXPECT_EQ(Text("select nameid,name,amt,f01,f06,qty from rpt_tol_type order by nameid"),
            (std::vector<std::string>{"01|内科|6.5|5|1.5|1", "05|中医科|3.5|3.5|<null>|1"}));

  Let(r, "ObjField", Variant("JzrDay"));
  Let(r, "TypeField", Variant("bbxm1id"));
  Calcu(r, 1, 1);
  EXPECT_EQ(Text("select nameid,name,f02,f04 from rpt_tol_type order by nameid"),
            (std::vector<std::string>{"2024-03-05|2024.03.05|5|1.5", "2024-03-12|2024.03.12|3.5|<null>"}));

  Let(r, "ObjField", Variant("DOCTORID"));
  Calcu(r, 1, 1);
  EXPECT_EQ(Text("select nameid,name from rpt_tol_type order by nameid"),
            (std::vector<std::string>{"D02|王芳", "D03|李娜"}));

  // Any other object column is an opaque key: name stays the object value.
  Let(r, "ObjField", Variant("RegID"));
  Calcu(r, 1, 1);
  EXPECT_EQ(Text("select nameid,name,amt from rpt_tol_type order by nameid"),
            (std::vector<std::string>{"G1|G1|6.5", "G2|G2|3.5"}));
}

TEST_F(TypeReportTest, ChangeValueAddsToTheWorkstationsRowOnly) {
  ExecReport("insert into rpt_tol_type (computer,name,amt,qty,f03) values ('WS2','X',100,4,100)");
  Variant r = NewType("DepaID", "fpxmid", 1);
  Call(r, "ChangeValue", Variant("X"), Variant("03"), Variant(12.5));
  Call(r, "ChangeValue", Variant("X"), Variant("05"), Variant(2.0));
  Call(r, "ChangeValue", Variant("X"), Variant("03"), Variant(-0.5));
  Call(r, "ChangeValue", Variant("Y"), Variant("20"), Variant(1.25));
  EXPECT_EQ(Text("select computer,name,amt,qty,f03,f05,f20,nameid from rpt_tol_type "
                 "order by computer,name"),
            (std::vector<std::string>{"WS1|X|14|0|12|2|<null>|<null>",
                                      "WS1|Y|1.25|0|<null>|<null>|1.25|<null>",
                                      "WS2|X|100|4|100|<null>|<null>|<null>"}));
  // A category without a column is the database's error.
  EXPECT_EQ(ErrorNumberOf([&] {
              Call(r, "ChangeValue", Variant("X"), Variant("99"), Variant(1.0));
            }),
            kErrDatabase);
}

TEST_F(TypeReportTest, DetailConditionSelectsTheRowsSourceLines) {
  AddRandomCharges(1, 200, 301);
  Variant r = NewType("DepaID", "fpxmid", 1);
  EXPECT_EQ(Call(r, "GetDetailCondStr", Variant("01")), Variant("DepaID='01'"));
  Let(r, "CondStr", Variant("fpxmid='02'"));
  EXPECT_EQ(Call(r, "GetDetailCondStr", Variant("01")),
            Variant("DepaID='01' and (fpxmid='02')"));
  Calcu(r, 1, 1);
  // The condition selects exactly the lines behind the row's figure.
  for (const auto& [key, row] : RowsOf("rpt_tol_type")) {
    const std::string cond = Call(r, "GetDetailCondStr", Variant(key)).ToText();
    EXPECT_DOUBLE_EQ(
        QueryRows(Source(1), "select sum(Amt) from rpt_mz_fee_v where " + cond)[0][0].ToDouble(),
        Num(row, "amt"))
        << key;
  }

  // Days go through the report database's date literal.
  Let(r, "ObjField", Variant("JZRDAY"));
  Let(r, "CondStr", Variant(""));
  EXPECT_EQ(Call(r, "GetDetailCondStr", Variant("2024-03-05")),
            Variant(" jzrday ='2024-03-05'"));
  Let(r, "CondStr", Variant("DepaID='01'"));
  EXPECT_EQ(Call(r, "GetDetailCondStr", Variant("2024/3/5")),
            Variant(" jzrday ='2024-03-05' and (DepaID='01')"));
  Let(r, "ObjField", Variant("JzrDay"));
  Let(r, "CondStr", Variant(""));
  Calcu(r, 1, 1);
  for (const auto& [key, row] : RowsOf("rpt_tol_type")) {
    const std::string cond = Call(r, "GetDetailCondStr", Variant(key)).ToText();
    EXPECT_DOUBLE_EQ(
        QueryRows(Source(1), "select sum(Amt) from rpt_mz_fee_v where " + cond)[0][0].ToDouble(),
        Num(row, "amt"))
        << key;
  }
}

TEST_F(TypeReportTest, UpdateHeaderWritesTheAverageIntoOwnHeaderRow) {
  ExecReport("insert into rpt_header (computer,rpttab,headstr,everyamt) values "
             "('WS2','rpt_tol_type','ws2',1),('WS1','rpt_other','other',2)");
  Variant r = NewType("DepaID", "fpxmid", 1);
  Let(r, "RptDesc", Variant(std::string("科室") + "\x1F" + "全院"));
  Calcu(r, 1, 1);
  Call(r, "UpdateHeader", Variant(123.456));
  EXPECT_EQ(Text("select computer,rpttab,headstr,everyamt,allqty from rpt_header "
                 "order by computer,rpttab"),
            (std::vector<std::string>{"WS1|rpt_other|other|2|<null>",
                                      "WS1|rpt_tol_type|科室:全院|123.456|<null>",
                                      "WS2|rpt_tol_type|ws2|1|<null>"}));
  Call(r, "UpdateHeader", Variant(-0.25));
  EXPECT_EQ(Text("select everyamt from rpt_header where computer='WS1' and rpttab='rpt_tol_type'"),
            (std::vector<std::string>{"-0.25"}));
}

TEST_F(TypeReportTest, ConditionIsConvertedByEachSource) {
  AddRandomCharges(1, 200, 401);
  AddRandomCharges(2, 200, 402);
  Variant r = NewType("DepaID", "bbxm1id", 2, "iDate>={d '2024-03-03'} and DepaID<>'09'");
  Calcu(r, 2, 2);
  // The expectation over the lines the condition keeps.
  for (auto& lines : charges_) {
    std::vector<Charge> kept;
    for (const Charge& c : lines)
      if (c.day >= "2024-03-03" && c.depa != "09") kept.push_back(c);
    lines = kept;
  }
  const auto want = Expected("DepaID", "bbxm1id", 2, 2);
  ASSERT_EQ(want.count("09"), 0u);
  ExpectFigures(want);
}

TEST_F(TypeReportTest, NoSourceLinesLeaveOnlyTheHeader) {
  ExecReport("insert into rpt_tol_type (computer,name,amt,qty) values ('WS1','old',1,1)");
  Variant r = NewType("DepaID", "fpxmid", 1);
  Calcu(r, 3, 3);
  EXPECT_TRUE(RowsOf("rpt_tol_type").empty());
  EXPECT_EQ(Text("select computer,rpttab from rpt_header"),
            (std::vector<std::string>{"WS1|rpt_tol_type"}));
}

TEST_F(TypeReportTest, FailuresEndTheCalculationWithTheirError) {
  // An unknown key index: the key statement ends in a bare comma; the
  // amounts are written by then.
  AddCharges(1, {Charge{"R1", "G1", "P1", "2024-03-01", "01", "D01", "01", "01", 4}});
  Variant r = NewType("DepaID", "fpxmid", 0);
  const CaughtError e = ErrorOf([&] { Calcu(r, 1, 1); });
  EXPECT_EQ(e.number, kErrDatabase);
  EXPECT_EQ(Text("select name,amt,qty from rpt_tol_type"), (std::vector<std::string>{"01|2|0"}));

  // A Null object value cannot become text.
  AddCharges(1, {Charge{"R2", "G2", "P2", "2024-03-01", "", "D01", "01", "01", 4}});
  Let(r, "QtyIndex", Variant(int16_t{1}));
  EXPECT_EQ(ErrorNumberOf([&] { Calcu(r, 1, 1); }), kErrInvalidNull);

  // A group whose amounts are all Null cannot become a number.
  Call(Source(1), "Exec", Variant("delete from mz_fee where DepaID is null"));
  Call(Source(2), "Exec",
       Variant("insert into mz_fee (ID,RegID,Name,iDate,DepaID,fpxmid,Amt) values "
               "('R3','G3','P3','2024-03-01','02','01',NULL)"));
  EXPECT_EQ(ErrorNumberOf([&] { Calcu(r, 2, 2); }), kErrInvalidNull);
}

TEST_F(TypeReportTest, MoreGroupsThanTheRowCounterHoldsIsAnOverflow) {
  // 32,770 objects in one source: the 16-bit record counter cannot reach
  // the last one; nothing is merged.
  Call(Source(1), "Exec",
       Variant("insert into mz_fee (ID,RegID,Name,iDate,DepaID,fpxmid,Amt) "
               "with recursive n(i) as (select 1 union all select i+1 from n where i<32770) "
               "select 'R','G','P','2024-03-01',i,'01',1 from n"));
  Variant r = NewType("DepaID", "fpxmid", 1);
  EXPECT_EQ(ErrorNumberOf([&] { Calcu(r, 1, 1); }), kErrOverflow);
  EXPECT_TRUE(RowsOf("rpt_tol_type").empty());
}

}  // namespace
}  // namespace qev::testing
