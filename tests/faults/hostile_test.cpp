// Hostile and broken values through a whole report, on both engines:
// each either travels as data and comes back exactly, or is refused with a
// clear error before anything it carries runs.
#include <filesystem>
#include <string>
#include <vector>

#include "platform/error.h"
#include "tests/support/report_fixture.h"

namespace qev::testing {
namespace {

class HostileTest : public ReportFixture {
 protected:
  Scripts ReportScripts() const override { return {"goods_sources", "goods_reports", "category_reports"}; }
  Scripts SourceScripts() const override { return {"goods_sources", "category_sources"}; }
  int SourceCount() const override { return 1; }

  void SetUp() override {
    ReportFixture::SetUp();
    if (IsSkipped()) return;
    Insert(1, "fy_detail", "goodid,MzZy,Qty,UnitRate,Amt",
           {"'1001','1',2,1,5", "'10''01','1',3,1,6", "'x'' or ''a''=''a','1',4,1,7"});
  }
  Variant TolGood(const std::string& desc, const std::string& cond = "") const {
    return NewReport("Rpt_Tol_Good", {{"SourceViewName", Variant("rpt_fy_v")},
                                      {"RptTab", Variant("rpt_tol_good")},
                                      {"RptDesc", Variant(ValueListOf({"备注", desc}))},
                                      {"CondStr", Variant(cond)}});
  }
  std::string Count(const std::string& table) const {
    return Text("select count(*) from " + table).at(0);
  }
  // A refusal or a database error, with a message that says what went wrong.
  static void ExpectClearError(const CaughtError& e, const std::string& what) {
    EXPECT_TRUE(e.number == kErrBadStatement || e.number == kErrDatabase) << what << ": " << e.number;
    EXPECT_FALSE(e.description.empty()) << what;
  }
};

INSTANTIATE_TEST_SUITE_P(Backends, HostileTest, AllBackends(), BackendTestName);
INSTANTIATE_TEST_SUITE_P(Odbc, HostileTest, OdbcBackends(), BackendTestName);

TEST_P(HostileTest, ValuesTravelAsDataOrAreRefused) {
  // Keys and workstation names with quotes: frame/hostile_values_test.cpp.
  // Texts: quotes, NUL bytes, invalid UTF-8, a megabyte. Stored exactly, or
  // refused by the engine (PostgreSQL text holds neither NUL nor invalid
  // UTF-8; ODBC drivers cut text at a NUL, their wide calls carry Unicode
  // only) with nothing written.
  const std::string values[] = {"'); delete from rpt_header; --", std::string("a\0b", 3), "\xff\xfe\xc3",
                                std::string(1 << 20, 'M') + "'"};
  for (const std::string& v : values) {
    const CaughtError e = ErrorOf([&] { Calcu(TolGood(v), 1, 1); });
    const std::vector<std::string> header =
        Text("select headstr from rpt_header where computer='WS1' and rpttab='rpt_tol_good'");
    if (e.number == 0) {
      EXPECT_EQ(header, std::vector<std::string>{"备注:" + v}) << v.substr(0, 40);
    } else {
      ExpectClearError(e, v.substr(0, 40));
      EXPECT_TRUE(pg() || IsOdbc(GetParam())) << e.description;
      EXPECT_TRUE(header.empty());
    }
  }
  // The separator inside a value: the value list no longer fits its fields
  // and the insert is refused.
  SetWorkstation(ValueListOf({"WS", "9"}));
  ExpectClearError(ErrorOf([&] { Calcu(TolGood("x"), 1, 1); }), "separator");
  EXPECT_EQ(Count("rpt_header where computer like 'WS%9'"), "0");
}

TEST_P(HostileTest, ConditionsAndNamesThatCarryMoreThanACondition) {
  Calcu(TolGood("x"), 1, 1);
  const std::string attached = (std::filesystem::temp_directory_path() / "qev_hostile_attach.db").string();
  std::filesystem::remove(attached);
  const std::string conds[] = {
      "1=1; drop table rpt_tol_good",
      "1=1; attach database '" + attached + "' as evil",
      "1=1 --",                          // would hide " group by goodid,..."
      "1=1 /* ",
      "goodid='1001' or goodid='",       // a quote left open swallows the rest
      "1=1) or (1=1",
      "pragma writable_schema=1",
      "load_extension('" + attached + "') is null",
  };
  for (const std::string& cond : conds) {
    ExpectClearError(ErrorOf([&] { Calcu(TolGood("x", cond), 1, 1); }), cond);
    EXPECT_EQ(Count("rpt_tol_good where computer='WS1'"), "0") << cond;  // the preamble ran, nothing more
  }
  EXPECT_FALSE(std::filesystem::exists(attached));
  EXPECT_EQ(QueryText(Source(1), "select count(*) from fy_detail"), std::vector<std::string>{"3"});
  // A harmless comment and a quoted ';' are conditions like any other.
  Calcu(TolGood("x", "/* a */ goodid<>';' -- b\n"), 1, 1);
  EXPECT_EQ(Count("rpt_tol_good where computer='WS1'"), "3");

  // Names of tables, views and columns are names or refused before any
  // statement runs: the previous rows stay.
  const std::pair<std::string, std::string> names[] = {
      {"RptTab", "rpt_tol_good; drop table rpt_header"},
      {"SourceViewName", "rpt_fy_v where 1=0 --"},
      {"SourceViewName", "(select * from rpt_header)"},
  };
  for (const auto& [property, name] : names) {
    Variant r = TolGood("x");
    Let(r, property, Variant(name));
    EXPECT_EQ(ErrorOf([&] { Calcu(r, 1, 1); }).number, kErrBadStatement) << name;
    EXPECT_EQ(Count("rpt_tol_good where computer='WS1'"), "3") << name;
  }
  for (const std::string field : {"ObjField", "TypeField"}) {
    Variant r = NewReport("Rpt_Tol_Type", {{"SourceViewName", Variant("rpt_mz_fee_v")},
                                           {"RptTab", Variant("rpt_tol_type")}, {"ObjField", Variant("DepaID")},
                                           {"TypeField", Variant("fpxmid")}});
    Let(r, field, Variant("DepaID,(select count(*) from rpt_header) as x --"));
    EXPECT_EQ(ErrorOf([&] { Calcu(r, 1, 1); }).number, kErrBadStatement) << field;
  }
  EXPECT_EQ(Count("rpt_tol_good where computer='WS1'"), "3");
}

}  // namespace
}  // namespace qev::testing
