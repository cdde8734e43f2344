#include "tests/category/category_fixture.h"

#include <cmath>
#include <cstdio>
#include <limits>
#include <random>

#include "frame/registration.h"
#include "platform/dispatch.h"
#include "schema/schema.h"
#include "utility/server.h"

namespace qev::testing {

namespace {

std::string Quoted(const std::string& s) { return s.empty() ? "NULL" : "'" + s + "'"; }

std::string HalvesText(int64_t halves) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.1f", halves / 2.0);
  return buf;
}

// Rounds num / den to a whole number, half away from zero, exactly.
int64_t RoundHalfAway(int64_t num, int64_t den) {
  const int64_t n = num < 0 ? -num : num;
  const int64_t d = den < 0 ? -den : den;
  const int64_t q = (2 * n + d) / (2 * d);
  return (num < 0) != (den < 0) ? -q : q;
}

}  // namespace

void CategoryFixture::SetUpTestSuite() {
  frame::RegisterLinkedClasses();
  utility::RegisterLinkedClasses();
}

void CategoryFixture::SetUp() {
  host_ = host::CreateHostLib(dir_.File("report.db"), "WS1");
  host::CreateFixedTables(Query0().object());
  schema::Apply(Query0(), "category_reports");
  schema::Apply(Query0(), "category_sources");  // the category tables live here too
  schema::Apply(Query0(), "hospital_lookups");
  ExecReport("insert into qev_pub_depa (id,name) values ('01','内科'),('02','外科'),"
             "('03','儿科'),('04','妇产科'),('05','中医科')");
  ExecReport("insert into qev_pub_user (id,name,DepaID) values ('D01','张伟','01'),"
             "('D02','王芳','02'),('D03','李娜','03'),('D04','刘洋','01')");
  ExecReport("insert into qev_pub_type_fpxm (id,name) values ('01','西药费'),('02','中成药费'),"
             "('03','检查费'),('04','化验费'),('05','治疗费'),('06','材料费')");
  ExecReport("insert into qev_pub_type_bbxm1 (id,name) values ('01','药品收入'),"
             "('02','医疗收入'),('03','检查收入'),('04','其他收入')");
  ExecReport("insert into qev_pub_type_bbxm2 (id,name) values ('01','门诊药品')");
  ExecReport("insert into qev_pub_type_tjxm1 (id,name) values ('01','核算西药')");
  for (int k = 1; k <= 3; ++k) {
    sources_.push_back(host::CreateQueryObj(dir_.File("source" + std::to_string(k) + ".db")));
    schema::Apply(Source(k), "category_sources");
  }
}

Variant CategoryFixture::Query0() const { return Get(Variant(host_), "DbA_Query0_Obj"); }

void CategoryFixture::ExecReport(const std::string& sql) const {
  Call(Query0(), "Exec", Variant(sql));
}

void CategoryFixture::SetWorkstation(const std::string& ws) const {
  Let(Get(Variant(host_), "Global_Para_Obj"), "ComputerName", Variant(ws));
}

void CategoryFixture::AddCharges(int k, const std::vector<Charge>& lines) {
  if (lines.empty()) return;
  std::string sql =
      "insert into mz_fee (ID,RegID,Name,iDate,DepaID,DoctorID,fpxmid,bbxm1id,bbxm2id,tjxm1id,"
      "Amt) values ";
  for (size_t i = 0; i < lines.size(); ++i) {
    const Charge& c = lines[i];
    sql += (i ? "," : "") + std::string("(") + Quoted(c.id) + "," + Quoted(c.regid) + "," +
           Quoted(c.name) + "," + Quoted(c.day + " 09:30:00") + "," + Quoted(c.depa) + "," +
           Quoted(c.doctor) + "," + Quoted(c.fpxm) + "," + Quoted(c.bbxm1) + ",'01','01'," +
           HalvesText(c.halves) + ")";
    charges_[k - 1].push_back(c);
  }
  Call(Source(k), "Exec", Variant(sql));
}

void CategoryFixture::AddRandomCharges(int k, int count, uint32_t seed) {
  std::mt19937 rng(seed);
  auto pick = [&](int n) { return static_cast<int>(rng() % n); };
  std::vector<Charge> lines;
  for (int i = 0; i < count; ++i) {
    Charge c;
    char buf[32];
    const int reg = pick(40);
    std::snprintf(buf, sizeof buf, "G%03d", reg);
    c.regid = buf;
    // Mostly one patient per registration; a few registrations carry two
    // names, which makes them two keys under QtyIndex 1.
    // Appended: GCC 12 reports a false -Wrestrict on literal + temporary string.
    c.name = std::string("P").append(std::to_string(reg)) + (pick(10) == 0 ? "b" : "");
    std::snprintf(buf, sizeof buf, "R%03d", pick(90));
    c.id = buf;
    std::snprintf(buf, sizeof buf, "2024-03-%02d", 1 + pick(5));
    c.day = buf;
    std::snprintf(buf, sizeof buf, "%02d", 1 + pick(5));
    c.depa = pick(20) == 0 ? "09" : buf;  // department 09 has no name
    c.doctor = "D0" + std::to_string(1 + pick(4));
    std::snprintf(buf, sizeof buf, "%02d", 1 + pick(6));
    c.fpxm = buf;
    std::snprintf(buf, sizeof buf, "%02d", 1 + pick(4));
    c.bbxm1 = buf;
    c.halves = 1 + pick(400);
    if (pick(8) == 0) c.halves = -c.halves;  // refund
    lines.push_back(c);
  }
  AddCharges(k, lines);
}

Variant CategoryFixture::NewReport(const std::string& cls, const std::string& rpttab,
                                   const std::string& cond) const {
  Variant r(CreateObject("qevRptCalLib." + cls));
  Set(r, "Global_Lib_Obj", host_);
  Let(r, "SourceViewName", Variant("rpt_mz_fee_v"));
  Let(r, "RptTab", Variant(rpttab));
  Let(r, "RptDesc", Variant(""));
  Let(r, "CondStr", Variant(cond));
  return r;
}

void CategoryFixture::Calcu(const Variant& report, int16_t source_num, int passed) const {
  ArgList args;
  args.Value(Variant(source_num));
  for (int k = 1; k <= passed; ++k) args.Value(Source(k));
  Invoke(report, "CalcuRpt", kInvokeMethod, args);
}

std::string CategoryFixture::Column(const Charge& c, const std::string& column) {
  if (column == "DepaID") return c.depa;
  if (column == "DoctorID") return c.doctor;
  if (column == "JzrDay") return c.day;
  if (column == "fpxmid") return c.fpxm;
  if (column == "bbxm1id") return c.bbxm1;
  if (column == "RegID") return c.regid;
  if (column == "Name") return c.name;
  if (column == "ID") return c.id;
  ADD_FAILURE() << "no column " << column;
  return "";
}

std::string CategoryFixture::Key(const Charge& c, int qty_index) {
  switch (qty_index) {
    case 1: return c.regid + "|" + c.name;
    case 2: return c.regid + "|" + c.name + "|" + c.day;
    case 3: return c.id;
  }
  ADD_FAILURE() << "no key for QtyIndex " << qty_index;
  return "";
}

std::map<std::string, ExpectedRow> CategoryFixture::Expected(const std::string& row_field,
                                                             const std::string& type_field,
                                                             int qty_index,
                                                             int source_count) const {
  std::map<std::string, ExpectedRow> rows;
  std::map<std::string, std::map<std::string, int64_t>> key_sums;  // row -> key -> halves
  for (int k = 0; k < source_count; ++k) {
    for (const Charge& c : charges_[k]) {
      const std::string row = Column(c, row_field);
      ExpectedRow& e = rows[row];
      e.halves += c.halves;
      if (!type_field.empty())  // appended: see c.name above
        e.by_type[std::string("f").append(Column(c, type_field))] += c.halves;
      key_sums[row][Key(c, qty_index)] += c.halves;
    }
  }
  for (auto& [row, keys] : key_sums)
    for (const auto& [key, sum] : keys) rows[row].qty += sum > 0 ? 1 : sum < 0 ? -1 : 0;
  return rows;
}

int CategoryFixture::ExpectedAllQty(int qty_index, int source_count) const {
  std::map<std::string, int64_t> sums;
  for (int k = 0; k < source_count; ++k)
    for (const Charge& c : charges_[k]) sums[Key(c, qty_index)] += c.halves;
  int count = 0;
  for (const auto& [key, sum] : sums) count += sum > 0 ? 1 : sum < 0 ? -1 : 0;
  return count;
}

std::map<std::string, std::map<std::string, Variant>> CategoryFixture::RowsOf(
    const std::string& rpttab, const std::string& ws) const {
  return QueryByKey(Query0(), "select coalesce(nameid, name) as rowkey, * from " + rpttab +
                                  " where computer='" + ws + "'");
}

std::string ExpectedPercent(int64_t halves, int64_t total_halves) {
  const int64_t hundredths = RoundHalfAway(halves * 10000, total_halves);
  const int64_t a = hundredths < 0 ? -hundredths : hundredths;
  char buf[48];
  std::snprintf(buf, sizeof buf, "%s%lld.%02lld%%", hundredths < 0 ? "-" : "",
                static_cast<long long>(a / 100), static_cast<long long>(a % 100));
  return buf;
}

double ExpectedAverage(int64_t halves, int qty) {
  return static_cast<double>(RoundHalfAway(halves * 50, qty)) / 100.0;
}

}  // namespace qev::testing
