// The outpatient category reports on SQLite and PostgreSQL: amounts per
// object and category (Rpt_Tol_Type) and per category (Rpt_Tol_TypeDx),
// key counts merged over the sources, averages, shares and names against
// figures worked out here from the charge lines; the statements as sent;
// errors and overflow; workstations sharing the report and scratch tables.
#include <cstdio>
#include <random>
#include <set>

#include "platform/dispatch.h"
#include "platform/error.h"
#include "tests/support/report_fixture.h"

namespace qev::testing {
namespace {

const std::string S = "\x1F";

// One outpatient charge line; amounts in halves keep every sum exact.
struct Charge {
  std::string id, regid, name, day, depa, doctor, fpxm, bbxm1;
  int64_t halves = 0;
};

// What one report row must show.
struct ExpectedRow {
  int64_t halves = 0;
  std::map<std::string, int64_t> by_type;  // "f" + category id
  int qty = 0;
};

// Rounds num / den half away from zero, exactly.
int64_t RoundHalfAway(int64_t num, int64_t den) {
  const int64_t n = num < 0 ? -num : num, d = den < 0 ? -den : den;
  const int64_t q = (2 * n + d) / (2 * d);
  return (num < 0) != (den < 0) ? -q : q;
}
// amt * 100 / total to two decimals as "0.00%".
std::string Percent(int64_t halves, int64_t total) {
  const int64_t h = RoundHalfAway(halves * 10000, total), a = h < 0 ? -h : h;
  char buf[48];
  std::snprintf(buf, sizeof buf, "%s%lld.%02lld%%", h < 0 ? "-" : "", static_cast<long long>(a / 100),
                static_cast<long long>(a % 100));
  return buf;
}
double Average(int64_t halves, int qty) { return RoundHalfAway(halves * 50, qty) / 100.0; }

std::string Column(const Charge& c, const std::string& column) {
  if (column == "DepaID") return c.depa;
  if (column == "DoctorID") return c.doctor;
  if (column == "fpxmid") return c.fpxm;
  if (column == "bbxm1id") return c.bbxm1;
  ADD_FAILURE() << "no column " << column;
  return "";
}
// The counted key of a line for QtyIndex 1 (registration and patient),
// 2 (and day) or 3 (charge record).
std::string Key(const Charge& c, int qty_index) {
  return qty_index == 3 ? c.id : qty_index == 2 ? c.regid + "|" + c.name + "|" + c.day
                                                : c.regid + "|" + c.name;
}

const std::map<std::string, std::string> kDepartments = {
    {"01", "内科"}, {"02", "外科"}, {"03", "儿科"}, {"04", "妇产科"}, {"05", "中医科"}};
const std::map<std::string, std::string> kDoctors = {
    {"D01", "张伟"}, {"D02", "王芳"}, {"D03", "李娜"}, {"D04", "刘洋"}};
const std::map<std::string, std::string> kInvoiceItems = {
    {"01", "西药费"}, {"02", "中成药费"}, {"03", "检查费"}, {"04", "化验费"}, {"05", "治疗费"}, {"06", "材料费"}};
const std::map<std::string, std::string> kReportItems = {
    {"01", "药品收入"}, {"02", "医疗收入"}, {"03", "检查收入"}, {"04", "其他收入"}};

class CategoryTest : public ReportFixture {
 protected:
  Scripts ReportScripts() const override {
    return {"category_reports", "category_sources", "hospital_lookups"};
  }
  Scripts SourceScripts() const override { return {"category_sources"}; }

  void SetUp() override {
    ReportFixture::SetUp();
    if (IsSkipped()) return;
    auto names = [&](const std::string& table, const std::map<std::string, std::string>& rows) {
      std::vector<std::string> items;
      for (const auto& [id, name] : rows) items.push_back("'" + id + "','" + name + "'");
      Insert(0, table, "id,name", items);
    };
    names("qev_pub_depa", kDepartments);
    names("qev_pub_user", kDoctors);
    names("qev_pub_type_fpxm", kInvoiceItems);
    names("qev_pub_type_bbxm1", kReportItems);
    Insert(0, "qev_pub_type_bbxm2", "id,name", {"'01','门诊药品'"});
    Insert(0, "qev_pub_type_tjxm1", "id,name", {"'01','核算西药'"});
  }

  // Writes the lines into source k and keeps them for the expectations.
  void AddCharges(int k, const std::vector<Charge>& lines) {
    auto q = [](const std::string& s) { return s.empty() ? std::string("NULL") : "'" + s + "'"; };
    std::vector<std::string> rows;
    for (const Charge& c : lines) {
      char amt[32];
      std::snprintf(amt, sizeof amt, "%.1f", c.halves / 2.0);
      rows.push_back(q(c.id) + "," + q(c.regid) + "," + q(c.name) + "," + q(c.day + " 09:30:00") +
                     "," + q(c.depa) + "," + q(c.doctor) + "," + q(c.fpxm) + "," + q(c.bbxm1) +
                     ",'01','01'," + amt);
      charges_[k - 1].push_back(c);
    }
    Insert(k, "mz_fee", "ID,RegID,Name,iDate,DepaID,DoctorID,fpxmid,bbxm1id,bbxm2id,tjxm1id,Amt",
           rows);
  }
  // `count` random lines from a fixed seed: keys shared between the
  // sources, registrations with two patients, refunds, a department (09)
  // without a name.
  void AddRandomCharges(int k, int count, uint32_t seed) {
    std::mt19937 rng(seed);
    auto pick = [&](int n) { return static_cast<int>(rng() % n); };
    auto two = [](int v) { return (v < 10 ? "0" : "") + std::to_string(v); };
    std::vector<Charge> lines;
    for (int i = 0; i < count; ++i) {
      Charge c;
      const int reg = pick(40);
      c.regid = "G" + two(reg);
      c.name = "P" + std::to_string(reg) + (pick(10) == 0 ? "b" : "");
      c.id = "R" + two(pick(90));
      c.day = "2024-03-" + two(1 + pick(5));
      c.depa = pick(20) == 0 ? "09" : two(1 + pick(5));
      c.doctor = "D0" + std::to_string(1 + pick(4));
      c.fpxm = two(1 + pick(6));
      c.bbxm1 = two(1 + pick(4));
      c.halves = 1 + pick(400);
      if (pick(8) == 0) c.halves = -c.halves;
      lines.push_back(c);
    }
    AddCharges(k, lines);
  }

  // The rows a report by `row_field` (category columns by `type_field`,
  // "" for none) must hold over sources 1..n: each key counted once per
  // row by the sign of its total over those sources.
  std::map<std::string, ExpectedRow> Expected(const std::string& row_field,
                                              const std::string& type_field, int qty_index,
                                              int n) const {
    std::map<std::string, ExpectedRow> rows;
    std::map<std::string, std::map<std::string, int64_t>> key_sums;
    for (int k = 0; k < n; ++k)
      for (const Charge& c : charges_[k]) {
        ExpectedRow& e = rows[Column(c, row_field)];
        e.halves += c.halves;
        if (!type_field.empty()) e.by_type["f" + Column(c, type_field)] += c.halves;
        key_sums[Column(c, row_field)][Key(c, qty_index)] += c.halves;
      }
    for (auto& [row, keys] : key_sums)
      for (const auto& [key, sum] : keys) rows[row].qty += sum > 0 ? 1 : sum < 0 ? -1 : 0;
    return rows;
  }
  int ExpectedAllQty(int qty_index, int n) const {
    std::map<std::string, int64_t> sums;
    for (int k = 0; k < n; ++k)
      for (const Charge& c : charges_[k]) sums[Key(c, qty_index)] += c.halves;
    int count = 0;
    for (const auto& [key, sum] : sums) count += sum > 0 ? 1 : sum < 0 ? -1 : 0;
    return count;
  }

  // Every figure of the workstation's rows of `table`: rows with neither
  // amount nor count gone where `drop_empty`, every category column its
  // sum (Null where the object has none), averages where the count is not
  // 0, shares where the total is not 0, display names from `names` (the
  // key itself when null).
  void ExpectFigures(const std::string& table, const std::map<std::string, ExpectedRow>& want,
                     bool drop_empty, const std::map<std::string, std::string>* names) const {
    const Rows rows = RowsOf(table);
    int64_t total = 0;
    size_t kept = 0;
    for (const auto& [key, e] : want) {
      total += e.halves;
      if (!drop_empty || e.halves != 0 || e.qty != 0) ++kept;
    }
    EXPECT_EQ(rows.size(), kept);
    for (const auto& [key, e] : want) {
      SCOPED_TRACE("row " + key);
      if (drop_empty && e.halves == 0 && e.qty == 0) {
        EXPECT_EQ(rows.count(key), 0u);
        continue;
      }
      ASSERT_EQ(rows.count(key), 1u);
      const Row& row = rows.at(key);
      EXPECT_DOUBLE_EQ(Num(row, "amt"), e.halves / 2.0);
      EXPECT_EQ(Num(row, "qty"), e.qty);
      for (int t = 1; t <= 20 && table == "rpt_tol_type"; ++t) {
        char col[16];
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
        EXPECT_DOUBLE_EQ(Num(row, "everyamt"), Average(e.halves, e.qty));
      if (total == 0)
        EXPECT_TRUE(IsNull(row, "ipercent"));
      else
        EXPECT_EQ(row.at("ipercent").ToText(), Percent(e.halves, total));
      std::string name = key;
      if (names) name = names->count(key) ? names->at(key) : "";
      EXPECT_EQ(row.at("name").ToText(), name);
    }
  }

  Variant Type(const std::string& obj, const std::string& type, int16_t qty_index,
               const std::string& cond = "") const {
    return NewReport("Rpt_Tol_Type", {{"SourceViewName", Variant("rpt_mz_fee_v")},
                                      {"RptTab", Variant("rpt_tol_type")},
                                      {"RptDesc", Variant("")},
                                      {"CondStr", Variant(cond)},
                                      {"ObjField", Variant(obj)},
                                      {"TypeField", Variant(type)},
                                      {"QtyIndex", Variant(qty_index)}});
  }
  Variant Dx(const std::string& type, int16_t qty_index, const std::string& cond = "") const {
    return NewReport("Rpt_Tol_TypeDx", {{"SourceViewName", Variant("rpt_mz_fee_v")},
                                        {"RptTab", Variant("rpt_tol_typedx")},
                                        {"RptDesc", Variant("")},
                                        {"CondStr", Variant(cond)},
                                        {"TypeField", Variant(type)},
                                        {"QtyIndex", Variant(qty_index)}});
  }
  int16_t AllQty(const Variant& r, int16_t source_num) const {
    return Call(r, "GetAllQty", Variant(source_num), Source(1)).ToInt16();
  }
  // One line in each source, department 01, item 01: G1/P1 5, then G2/P2 3
  // (one group per source statement: the order of groups is the engine's).
  void AddSmallData() {
    AddCharges(1, {Charge{"R1", "G1", "P1", "2024-03-05", "01", "D01", "01", "01", 10}});
    AddCharges(2, {Charge{"R2", "G2", "P2", "2024-03-05", "01", "D01", "01", "01", 6}});
  }
  // The report database's calls of a calculation of AddSmallData over two
  // sources up to its last pass: the preamble, row 01 inserted by source 1
  // and added to by source 2 (with its category column f01 where `f01`),
  // the key counts merged in the scratch table.
  static std::vector<std::string> SmallDataCalls(const std::string& table, bool f01) {
    const std::string cond = "name='01' and computer='WS1'", f = f01 ? ",f01" : "";
    const std::string open = "OpenRs(select computer,qty,name, amt" + f + " from " + table + " where " + cond + ")";
    auto scratch = [](const std::string& id, const std::string& reg, const std::string& amt) {
      return "InsertRecord(tem_rpt_qty|temid,computer,RegID,Name,objfield,amt|" +
             ValueListOf({id, "WS1", reg, "P" + reg.substr(1), "01", amt}) + ")";
    };
    const std::string qty = "OpenRs(select qty from " + table + "  where " + cond + ")";
    return {"DeleteRecord(" + table + "|computer='WS1')",
            "DeleteRecord(rpt_header|computer='WS1' and rpttab='" + table + "')",
            "InsertRecord(rpt_header|computer,rpttab,headstr|" + ValueListOf({"WS1", table, ""}) + ")",
            open,
            "InsertRecord(" + table + "|computer,qty,name,amt" + f + "|" +
                (f01 ? ValueListOf({"WS1", "0", "01", "5", "5"}) : ValueListOf({"WS1", "0", "01", "5"})) + ")",
            open,
            "UpdateRecord(" + table + "|amt" + f + "|" + (f01 ? ValueListOf({"8", "8"}) : "8") + "|" + cond + ")",
            "DeleteRecord(tem_rpt_qty|computer='WS1')",
            "SnValue(TempID)", scratch("1", "G1", "5"),
            "SnValue(TempID)", scratch("2", "G2", "3"),
            "OpenRs(select ObjField ,sum(amt) as SfAmt from tem_rpt_qty  where computer='WS1' "
            "group by objfield,RegID,Name)",
            qty, "UpdateRecord(" + table + "|qty|1|" + cond + ")",
            qty, "UpdateRecord(" + table + "|qty|2|" + cond + ")"};
  }
  static Charge Line(std::string depa, std::string reg, std::string fpxm, int64_t halves) {
    return Charge{"R" + reg, reg, "P" + reg, "2024-03-02", depa, "D01", fpxm, "01", halves};
  }

  std::vector<std::vector<Charge>> charges_{3};
};
INSTANTIATE_TEST_SUITE_P(Backends, CategoryTest, AllBackends(), BackendTestName);
INSTANTIATE_TEST_SUITE_P(Odbc, CategoryTest, OdbcBackends(), BackendTestName);

// ---------------------------------------------------- figures and merging

TEST_P(CategoryTest, TypeOverOneSourceThenSeveralCountsEachKeyOnceByItsTotal) {
  AddRandomCharges(1, 300, 201);
  AddRandomCharges(2, 250, 202);
  AddRandomCharges(3, 200, 203);
  Exec(0, "insert into tem_rpt_qty (temid,computer,RegID,Name,objfield,amt) "
          "values (7,'WS1','G1','P1','01',5)");
  Variant r = Type("DepaID", "fpxmid", 1);
  Calcu(r, 1, 3);
  ExpectFigures("rpt_tol_type", Expected("DepaID", "fpxmid", 1, 1), true, &kDepartments);
  // One database: the scratch table is neither cleared nor filled.
  EXPECT_EQ(Text("select temid,computer,objfield from tem_rpt_qty"),
            (std::vector<std::string>{"7|WS1|01"}));

  for (int16_t qty_index : {1, 2, 3}) {
    const int16_t source_num = qty_index == 2 ? 2 : 3;
    SCOPED_TRACE("QtyIndex " + std::to_string(qty_index));
    r = Type("DoctorID", "bbxm1id", qty_index);
    Calcu(r, source_num, source_num);
    const auto want = Expected("DoctorID", "bbxm1id", qty_index, source_num);
    ExpectFigures("rpt_tol_type", want, true, &kDoctors);
    // One scratch row per (doctor, key) group of each database read; their
    // amounts add up to the report's total.
    size_t groups = 0;
    int64_t total = 0;
    for (int k = 0; k < source_num; ++k) {
      std::set<std::string> seen;
      for (const Charge& c : charges_[k]) seen.insert(c.doctor + "/" + Key(c, qty_index));
      groups += seen.size();
    }
    for (const auto& [key, e] : want) total += e.halves;
    EXPECT_EQ(Text("select count(*), sum(amt) from tem_rpt_qty where computer='WS1'"),
              (std::vector<std::string>{std::to_string(groups) + "|" + FormatDouble(total / 2.0)}));
  }
}

TEST_P(CategoryTest, KeyCountsFollowTheSignOfTheKeysTotal) {
  // Department 01: G1 +50 here and -50 in source 2, G2 -20, G3 +10.
  // Department 02: +30 and -30 on two keys: no amount, no count: dropped.
  // Department 03: +30, -10, -20: no amount, count -1. 04: a refund.
  AddCharges(1, {Line("01", "G1", "01", 100), Line("01", "G2", "01", -40), Line("01", "G3", "01", 20),
                 Line("02", "G4", "01", 60), Line("02", "G5", "01", -60), Line("03", "G6", "01", 60),
                 Line("03", "G7", "01", -20), Line("03", "G8", "01", -40), Line("04", "G9", "01", -40)});
  AddCharges(2, {Line("01", "G1", "01", -100)});
  Variant r = Type("DepaID", "fpxmid", 1);
  Calcu(r, 2, 2);
  ExpectFigures("rpt_tol_type", Expected("DepaID", "fpxmid", 1, 2), true, &kDepartments);
  const std::string figures =
      "select nameid,amt,qty,everyamt,ipercent from rpt_tol_type where computer='WS1' order by nameid";
  EXPECT_EQ(Text(figures), (std::vector<std::string>{"01|-10|0|<null>|33.33%", "03|0|-1|0|0.00%",
                                                     "04|-20|-1|20|66.67%"}));
  // Source 1 alone: G1 counts, department 01 has 3 keys with signs + - +.
  Calcu(r, 1, 1);
  ExpectFigures("rpt_tol_type", Expected("DepaID", "fpxmid", 1, 1), true, &kDepartments);
  EXPECT_EQ(Text("select nameid,amt,qty,everyamt from rpt_tol_type order by nameid"),
            (std::vector<std::string>{"01|40|1|40", "03|0|-1|0", "04|-20|-1|20"}));
  // The workstation's amounts cancel: no share at all.
  Exec(1, "delete from mz_fee");
  AddCharges(1, {Charge{"R1", "G1", "P1", "2024-03-01", "01", "D01", "02", "01", 51},
                 Charge{"R2", "G2", "P2", "2024-03-01", "02", "D01", "03", "01", -51}});
  Let(r, "QtyIndex", Variant(int16_t{3}));
  Calcu(r, 1, 1);
  EXPECT_EQ(Text("select nameid,name,f02,f03,qty,everyamt,ipercent from rpt_tol_type order by nameid"),
            (std::vector<std::string>{"01|内科|25.5|<null>|1|25.5|<null>",
                                      "02|外科|<null>|-25.5|-1|25.5|<null>"}));
}

TEST_P(CategoryTest, TypeColumnsAndDisplayNamesByObjectColumn) {
  AddCharges(1, {Charge{"R1", "G1", "P1", "2024-03-05", "01", "D02", "01", "02", 10},
                 Charge{"R1", "G1", "P1", "2024-03-05", "01", "D02", "06", "04", 3},
                 Charge{"R2", "G2", "P2", "2024-03-12", "05", "D03", "01", "02", 7}});
  // The same object in two categories: one row, both columns, their sum.
  Variant r = Type("depaid", "fpxmid", 1);
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
  // No lines: only the header stays.
  Exec(0, "insert into rpt_tol_type (computer,name,amt,qty) values ('WS1','old',1,1)");
  Let(r, "CondStr", Variant("iDate>={d '2024-03-13'}"));
  Calcu(r, 3, 3);
  EXPECT_TRUE(RowsOf("rpt_tol_type").empty());
  EXPECT_EQ(Text("select computer,rpttab from rpt_header"), (std::vector<std::string>{"WS1|rpt_tol_type"}));
}

TEST_P(CategoryTest, ConditionIsConvertedByEachSource) {
  AddRandomCharges(1, 200, 401);
  AddRandomCharges(2, 200, 402);
  Calcu(Type("DepaID", "bbxm1id", 2, "iDate>={d '2024-03-03'} and DepaID<>'09'"), 2, 2);
  for (auto& lines : charges_)
    std::erase_if(lines, [](const Charge& c) { return c.day < "2024-03-03" || c.depa == "09"; });
  const auto want = Expected("DepaID", "bbxm1id", 2, 2);
  ASSERT_EQ(want.count("09"), 0u);
  ExpectFigures("rpt_tol_type", want, true, &kDepartments);
}

TEST_P(CategoryTest, ChangeValueAddsToTheWorkstationsRowOnly) {
  Exec(0, "insert into rpt_tol_type (computer,name,amt,qty,f03) values ('WS2','X',100,4,100)");
  Variant r = Type("DepaID", "fpxmid", 1);
  Call(r, "ChangeValue", Variant("X"), Variant("03"), Variant(12.5));
  Call(r, "ChangeValue", Variant("X"), Variant("05"), Variant(2.0));
  Call(r, "ChangeValue", Variant("X"), Variant("03"), Variant(-0.5));
  Call(r, "ChangeValue", Variant("Y"), Variant("20"), Variant(1.25));
  EXPECT_EQ(Text("select computer,name,amt,qty,f03,f05,f20,nameid from rpt_tol_type order by computer,name"),
            (std::vector<std::string>{"WS1|X|14|0|12|2|<null>|<null>",
                                      "WS1|Y|1.25|0|<null>|<null>|1.25|<null>",
                                      "WS2|X|100|4|100|<null>|<null>|<null>"}));
  // A category without a column is the database's error.
  EXPECT_EQ(ErrorNumberOf([&] { Call(r, "ChangeValue", Variant("X"), Variant("99"), Variant(1.0)); }),
            kErrDatabase);
}

TEST_P(CategoryTest, DetailConditionsSelectTheRowsSourceLines) {
  AddRandomCharges(1, 200, 301);
  Variant r = Type("DepaID", "fpxmid", 1);
  EXPECT_EQ(Call(r, "GetDetailCondStr", Variant("01")), Variant("DepaID='01'"));
  Let(r, "CondStr", Variant("fpxmid='02'"));
  EXPECT_EQ(Call(r, "GetDetailCondStr", Variant("01")), Variant("DepaID='01' and (fpxmid='02')"));
  // Days go through the report database's date literal.
  Let(r, "ObjField", Variant("JZRDAY"));
  Let(r, "CondStr", Variant(""));
  EXPECT_EQ(Call(r, "GetDetailCondStr", Variant("2024-03-05")), Variant(" jzrday ='2024-03-05'"));
  Let(r, "CondStr", Variant("DepaID='01'"));
  EXPECT_EQ(Call(r, "GetDetailCondStr", Variant("2024/3/5")),
            Variant(" jzrday ='2024-03-05' and (DepaID='01')"));
  Variant dx = Dx("fpxmid", 1);
  EXPECT_EQ(Call(dx, "GetDetailCondStr", Variant("01")), Variant("fpxmid='01'"));
  Let(dx, "CondStr", Variant("DepaID='02'"));
  EXPECT_EQ(Call(dx, "GetDetailCondStr", Variant("01")), Variant("fpxmid='01' and (DepaID='02')  "));
  // Each row's condition selects exactly the lines behind its figure.
  for (const char* obj : {"DepaID", "JzrDay"}) {
    Let(r, "ObjField", Variant(obj));
    Let(r, "CondStr", Variant("fpxmid<>'02'"));
    Calcu(r, 1, 1);
    for (const auto& [key, row] : RowsOf("rpt_tol_type")) {
      const std::string cond = Call(r, "GetDetailCondStr", Variant(key)).ToText();
      EXPECT_DOUBLE_EQ(
          QueryRows(Source(1), "select sum(Amt) from rpt_mz_fee_v where " + cond)[0][0].ToDouble(),
          Num(row, "amt"))
          << obj << " " << key;
    }
  }
}

TEST_P(CategoryTest, TypeDxCategoriesOverOneAndSeveralSources) {
  AddRandomCharges(1, 300, 501);
  AddRandomCharges(2, 200, 502);
  AddRandomCharges(3, 250, 503);
  const struct {
    const char *field, *column;
    const std::map<std::string, std::string>* names;
    int16_t qty_index, source_num;
  } cases[] = {{"FPXMID", "fpxmid", &kInvoiceItems, 1, 1},
               {"bbxm1id", "bbxm1id", &kReportItems, 2, 2},
               {"fpxmid", "fpxmid", &kInvoiceItems, 3, 3},
               {"bbxm1id", "bbxm1id", &kReportItems, 1, 3}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.field) + ", QtyIndex " + std::to_string(c.qty_index) +
                 ", SourceNum " + std::to_string(c.source_num));
    Variant r = Dx(c.field, c.qty_index);
    Calcu(r, c.source_num, c.source_num);
    // Every category that occurs keeps its row, empty ones included.
    ExpectFigures("rpt_tol_typedx", Expected(c.column, "", c.qty_index, c.source_num), false,
                  c.names);
    EXPECT_EQ(AllQty(r, c.source_num), ExpectedAllQty(c.qty_index, c.source_num));
  }
}

TEST_P(CategoryTest, TypeDxEmptyRowsStayAndKeysCountOncePerCategoryAndOverall) {
  // G1 in 01 and 02; G2 a refund in 01; G3 cancels over the two sources in
  // 03; G4 and G5 cancel each other in 04.
  AddCharges(1, {Line("01", "G1", "01", 20), Line("01", "G1", "02", 8), Line("01", "G2", "01", -10),
                 Line("01", "G3", "03", -4), Line("01", "G4", "04", 6), Line("01", "G5", "04", -6)});
  AddCharges(2, {Line("01", "G3", "03", 4), Line("01", "G6", "05", 3)});
  Variant r = Dx("fpxmid", 1);
  Calcu(r, 2, 2);
  EXPECT_EQ(Text("select nameid,name,amt,qty,everyamt,ipercent from rpt_tol_typedx order by nameid"),
            (std::vector<std::string>{"01|西药费|5|0|<null>|47.62%", "02|中成药费|4|1|4|38.10%",
                                      "03|检查费|0|0|<null>|0.00%", "04|化验费|0|0|<null>|0.00%",
                                      "05|治疗费|1.5|1|1.5|14.29%"}));
  EXPECT_EQ(AllQty(r, 2), 1);  // G1 +1, G2 -1, G3 0, G4 +1, G5 -1, G6 +1
  // Source 1 alone: G3 is a refund there.
  Calcu(r, 1, 1);
  EXPECT_EQ(Text("select nameid,qty from rpt_tol_typedx order by nameid"),
            (std::vector<std::string>{"01|0", "02|1", "03|-1", "04|0"}));
  EXPECT_EQ(AllQty(r, 1), -1);
}

TEST_P(CategoryTest, TypeDxCategoryTableFollowsTheCategoryColumn) {
  Variant r = Dx("", 1);
  EXPECT_EQ(Get(r, "TypeTab"), Variant(""));
  const std::pair<const char*, const char*> cases[] = {
      {"bbxm1id", "qev_pub_type_bbxm1"}, {"BBXM2ID", "qev_pub_type_bbxm2"},
      {"TjXm1Id", "qev_pub_type_tjxm1"}, {"FpXmID", "qev_pub_type_fpxm"},
      {"fpxm", ""},                      {"DepaID", ""}};
  for (const auto& [field, table] : cases) {
    Let(r, "TypeField", Variant(field));
    EXPECT_EQ(Get(r, "TypeTab"), Variant(table)) << field;
  }
  EXPECT_NE(ErrorNumberOf([&] { Let(r, "TypeTab", Variant("x")); }), 0);  // read-only
  // The second-level and accounting items name their rows too; a column
  // without a category table leaves the names empty.
  AddCharges(1, {Charge{"R1", "G1", "P1", "2024-03-02", "03", "D01", "02", "01", 8}});
  for (const auto& [field, shown] : std::vector<std::pair<std::string, std::string>>{
           {"bbxm2id", "01|门诊药品|4|1"}, {"tjxm1id", "01|核算西药|4|1"}, {"DepaID", "03||4|1"}}) {
    Let(r, "TypeField", Variant(field));
    Calcu(r, 1, 1);
    EXPECT_EQ(Text("select nameid,name,amt,qty from rpt_tol_typedx"), (std::vector<std::string>{shown}));
  }
}

// ----------------------------------------------------- errors, overflow

TEST_P(CategoryTest, FailuresEndTheCalculationWithTheirError) {
  // An unknown key index: the key statement ends in a bare comma; the
  // amounts are written by then.
  AddCharges(1, {Charge{"R1", "G1", "P1", "2024-03-01", "01", "D01", "01", "01", 4}});
  Variant r = Type("DepaID", "fpxmid", 0);
  EXPECT_EQ(ErrorOf([&] { Calcu(r, 1, 1); }).number, kErrDatabase);
  EXPECT_EQ(Text("select name,amt,qty from rpt_tol_type"), (std::vector<std::string>{"01|2|0"}));
  // A Null object value cannot become text.
  AddCharges(1, {Charge{"R2", "G2", "P2", "2024-03-01", "", "D01", "01", "01", 4}});
  Let(r, "QtyIndex", Variant(int16_t{1}));
  EXPECT_EQ(ErrorNumberOf([&] { Calcu(r, 1, 1); }), kErrInvalidNull);
  // A group whose amounts are all Null cannot become a number.
  Exec(1, "delete from mz_fee where DepaID is null");
  Exec(2, "insert into mz_fee (ID,RegID,Name,iDate,DepaID,fpxmid,Amt) values "
          "('R3','G3','P3','2024-03-01','02','01',NULL)");
  EXPECT_EQ(ErrorNumberOf([&] { Calcu(r, 2, 2); }), kErrInvalidNull);
}

TEST_P(CategoryTest, CountsPastTheSixteenBitRangeAreAnOverflow) {
  // 32,770 objects: the 16-bit record counter cannot reach the last one;
  // nothing is merged.
  Exec(1, "insert into mz_fee (ID,RegID,Name,iDate,DepaID,fpxmid,Amt) "
          "with recursive n(i) as (select 1 union all select i+1 from n where i<32770) "
          "select 'R'||i,'G'||i,'P','2024-03-01',i,'01',1 from n");
  EXPECT_EQ(ErrorNumberOf([&] { Calcu(Type("DepaID", "fpxmid", 1), 1, 1); }), kErrOverflow);
  EXPECT_TRUE(RowsOf("rpt_tol_type", "name").empty());
  // 32,768 keys with a positive total: the count cannot hold the last.
  Exec(1, "delete from mz_fee where ID in ('R1','R2')");
  Variant dx = Dx("fpxmid", 3);
  EXPECT_EQ(ErrorNumberOf([&] { AllQty(dx, 1); }), kErrOverflow);
  Exec(1, "delete from mz_fee where ID='R3'");
  EXPECT_EQ(AllQty(dx, 1), 32767);
}

// ---------------------------------------------------------- statements

TEST_P(CategoryTest, TypeStatementsOverTwoSources) {
  AddSmallData();
  const TracedCalls traced = Traced();
  traced.CalcuRpt(Type("DepaID", "fpxmid", 1), 2, 2);
  const std::vector<std::string> source_calls = {
      "CondAfterStr()",
      "OpenRs(select DepaID,fpxmid,Sum(Amt) as f_Amt from rpt_mz_fee_v Group By DepaID,fpxmid)",
      "CondAfterStr()",
      "OpenRs(select DepaID ,RegID,Name,sum(amt) as SfAmt from rpt_mz_fee_v group by "
      "DepaID,RegID,Name)"};
  EXPECT_EQ(traced.CallsOn("source1"), source_calls);
  EXPECT_EQ(traced.CallsOn("source2"), source_calls);
  EXPECT_TRUE(traced.CallsOn("source3").empty());
  // Amounts: source 1 inserts the row, source 2 adds to it; then the key
  // counts, then the last pass.
  std::vector<std::string> want = SmallDataCalls("rpt_tol_type", true);
  want.insert(want.end(),
              {"DeleteRecord(rpt_tol_type|amt=0 and qty=0 and computer='WS1')",
               "OpenRs(select sum(amt) as AllAmt from rpt_tol_type  where computer='WS1')",
               "OpenRs(select everyamt,ipercent,name,nameid,amt,qty from rpt_tol_type  where computer='WS1')",
               "TabFieldValue(name|qev_pub_depa|id='01')",
               "UpdateRecord(rpt_tol_type|nameid,everyamt,iPercent,name|" +
                   ValueListOf({"01", "4", "100.00%", "内科"}) + "|computer='WS1' and name='01')"});
  EXPECT_EQ(traced.CallsOn("report"), want);
}

TEST_P(CategoryTest, TypeStatementsOverOneSourceWithCondition) {
  AddSmallData();
  Variant r = Type("JzrDay", "bbxm1id", 3, "iDate<{d '2024-03-06'}");
  // SourceNum 1 reads the first source alone, and without the scratch table.
  Exec(0, "insert into tem_rpt_qty (temid,computer,ID,objfield,amt) values (9,'WS1','R9','x',1)");
  const TracedCalls traced = Traced();
  traced.CalcuRpt(r, 1, 3);
  const std::string cond = "iDate<'2024-03-06'";
  EXPECT_EQ(traced.CallsOn("source1"),
            (std::vector<std::string>{
                "CondAfterStr(iDate<{d '2024-03-06'})",
                "OpenRs(select JzrDay,bbxm1id,Sum(Amt) as f_Amt from rpt_mz_fee_v where " + cond +
                    " Group By JzrDay,bbxm1id)",
                "CondAfterStr(iDate<{d '2024-03-06'})",
                "OpenRs(select JzrDay ,sum(amt) as SfAmt from rpt_mz_fee_v where " + cond +
                    " group by JzrDay,ID)"}));
  EXPECT_TRUE(traced.CallsOn("source2").empty());
  const auto report = traced.CallsOn("report");
  for (const std::string& call : report) EXPECT_EQ(call.find("tem_rpt_qty"), std::string::npos);
  EXPECT_EQ(Text("select temid from tem_rpt_qty"), (std::vector<std::string>{"9"}));
  // Days are named by their own text; no lookup.
  EXPECT_EQ(report.back(), "UpdateRecord(rpt_tol_type|nameid,everyamt,iPercent,name|" +
                               ValueListOf({"2024-03-05", "5", "100.00%", "2024.03.05"}) +
                               "|computer='WS1' and name='2024-03-05')");
  // The detail condition of a day asks the report database for its literal.
  traced.Attach(r);
  EXPECT_EQ(Call(r, "GetDetailCondStr", Variant("2024-03-05")),
            Variant(" jzrday ='2024-03-05' and (iDate<{d '2024-03-06'})"));
  EXPECT_EQ(traced.CallsOn("report"), (std::vector<std::string>{"CondDateValue(2024-03-05)"}));
  traced.Attach(r);
  Call(r, "UpdateHeader", Variant(2.5));
  EXPECT_EQ(traced.CallsOn("report"),
            (std::vector<std::string>{
                "UpdateRecord(rpt_header|everyamt|2.5|computer='WS1' and rpttab='rpt_tol_type')"}));
}

TEST_P(CategoryTest, TypeDxStatementsAllQtyAndHeader) {
  AddSmallData();
  Variant r = Dx("fpxmid", 1);
  const TracedCalls traced = Traced();
  traced.CalcuRpt(r, 2, 2);
  const std::vector<std::string> source_calls = {
      "CondAfterStr()", "OpenRs(select fpxmid,sum(Amt) as f_Amt from rpt_mz_fee_v Group By fpxmid)",
      "CondAfterStr()",
      "OpenRs(select fpxmid ,RegID,Name,sum(amt) as SfAmt from rpt_mz_fee_v group by fpxmid,RegID,Name)"};
  EXPECT_EQ(traced.CallsOn("source1"), source_calls);
  EXPECT_EQ(traced.CallsOn("source2"), source_calls);
  // Merging as the per-object report does; no removal of empty rows; names
  // from the category table.
  std::vector<std::string> want = SmallDataCalls("rpt_tol_typedx", false);
  want.insert(want.end(),
              {"OpenRs(select sum(amt) as AllAmt from rpt_tol_typedx  where computer='WS1')",
               "OpenRs(select everyamt,ipercent,name,nameid,amt,qty from rpt_tol_typedx  where computer='WS1')",
               "TabFieldValue(name|qev_pub_type_fpxm|id='01')",
               "UpdateRecord(rpt_tol_typedx|nameid,everyamt,iPercent,name|" +
                   ValueListOf({"01", "4", "100.00%", "西药费"}) + "|computer='WS1' and name='01')"});
  EXPECT_EQ(traced.CallsOn("report"), want);

  // Several databases: the count reads the scratch rows, no source.
  traced.Attach(r);
  EXPECT_EQ(Call(r, "GetAllQty", Variant(int16_t{2}), traced.Source(1)), Variant(int16_t{2}));
  EXPECT_TRUE(traced.CallsOn("source1").empty());
  EXPECT_EQ(traced.CallsOn("report"),
            (std::vector<std::string>{"OpenRs(select sum(amt) as SfAmt from tem_rpt_qty  where "
                                      "computer='WS1' group by RegID,Name)"}));
  // One database: the source itself, with the condition and the key of
  // QtyIndex 2.
  Let(r, "CondStr", Variant("DepaID='01'"));
  Let(r, "QtyIndex", Variant(int16_t{2}));
  traced.Attach(r);
  EXPECT_EQ(Call(r, "GetAllQty", Variant(int16_t{1}), traced.Source(1)), Variant(int16_t{1}));
  EXPECT_EQ(traced.CallsOn("source1"),
            (std::vector<std::string>{"CondAfterStr(DepaID='01')",
                                      "OpenRs(select sum(amt) as sfAmt from rpt_mz_fee_v where "
                                      "DepaID='01' group by RegID,Name,JzrDay)"}));
  EXPECT_TRUE(traced.CallsOn("report").empty());
  traced.Attach(r);
  Call(r, "UpdateHeader", Variant(int16_t{2}), Variant(5.25));
  EXPECT_EQ(traced.CallsOn("report"),
            (std::vector<std::string>{"UpdateRecord(rpt_header|allqty,everyamt|" + ValueListOf({"2", "5.25"}) +
                                      "|computer='WS1' and rpttab='rpt_tol_typedx')"}));
  traced.CalcuRpt(r, 1, 1);
  EXPECT_EQ(traced.CallsOn("source1")[1],
            "OpenRs(select fpxmid,sum(Amt) as f_Amt from rpt_mz_fee_v where DepaID='01' Group By fpxmid)");
  EXPECT_EQ(traced.CallsOn("source1")[3],
            "OpenRs(select fpxmid ,sum(amt) as sfAmt from rpt_mz_fee_v where DepaID='01' "
            "group by fpxmid,RegID,Name,JzrDay)");
}

// -------------------------------------------------------- workstations

// Rows and headers of workstations with any name: frame/hostile_values_test.cpp
// (one source); ChangeValue and UpdateHeader on the workstation's own rows:
// above. Here the scratch rows that a calculation over several databases
// fills and a count over several databases reads.
TEST_P(CategoryTest, RowsAndScratchRowsStayPerWorkstation) {
  AddRandomCharges(1, 200, 701);
  AddRandomCharges(2, 200, 702);
  AddRandomCharges(3, 200, 703);
  auto snapshot = [&](const std::string& table, const std::string& ws) {
    return Text("select * from " + table + " where computer='" + ws + "' order by 2,3,4");
  };
  Calcu(Type("DepaID", "fpxmid", 1), 2, 2);
  const auto type_rows = snapshot("rpt_tol_type", "WS1");
  const auto scratch = snapshot("tem_rpt_qty", "WS1");
  ASSERT_FALSE(type_rows.empty());
  ASSERT_FALSE(scratch.empty());

  // The second workstation: the same report with a condition, then the
  // per-category report over three databases, which replaces only its own
  // scratch rows.
  SetWorkstation("WS2");
  Calcu(Type("DepaID", "fpxmid", 1, "DepaID in ('01','02')"), 2, 2);
  Calcu(Dx("fpxmid", 1), 3, 3);

  EXPECT_EQ(snapshot("rpt_tol_type", "WS1"), type_rows);
  EXPECT_EQ(snapshot("tem_rpt_qty", "WS1"), scratch);
  EXPECT_TRUE(snapshot("rpt_tol_typedx", "WS1").empty());
  const Rows ws2_rows = RowsOf("rpt_tol_type", "nameid", "WS2");
  ASSERT_EQ(ws2_rows.size(), 2u);
  auto want = Expected("DepaID", "fpxmid", 1, 2);
  for (const char* depa : {"01", "02"}) {
    EXPECT_DOUBLE_EQ(Num(ws2_rows.at(depa), "amt"), want[depa].halves / 2.0) << depa;
    EXPECT_EQ(Num(ws2_rows.at(depa), "qty"), want[depa].qty) << depa;
  }
  // The scratch rows are keyed by workstation only: a count over several
  // databases reads what the workstation's own last calculation left.
  SetWorkstation("WS1");
  EXPECT_EQ(AllQty(Dx("", 1), 2), ExpectedAllQty(1, 2));
  SetWorkstation("WS2");
  EXPECT_EQ(AllQty(Dx("", 1), 2), ExpectedAllQty(1, 3));
}

}  // namespace
}  // namespace qev::testing
