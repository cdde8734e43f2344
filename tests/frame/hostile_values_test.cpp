// Values stay values in every report family: a workstation named with an
// apostrophe or shaped like a condition calculates its own rows exactly as
// a plain one does and touches nobody else's; ids read from the sources
// with the same shapes get exactly the figures of a plain id.
#include <functional>

#include "frame/sql_quote.h"
#include "tests/support/report_fixture.h"

namespace qev::testing {
namespace {

// Ids and workstation names that break or widen a statement when pasted
// into a quoted literal as they are.
const std::vector<std::string> kIds = {"A01", "O'B", "1' or '1'='1"};
const std::vector<std::string> kWorkstations = {"PLAIN", "O'Brien", "X' or '1'='1' --"};

std::string Lit(const std::string& v) { return "'" + frame::Quote(v) + "'"; }

struct Family {
  std::string name, cls;
  std::vector<std::pair<std::string, Variant>> props;
  std::vector<std::string> tables;  // the report tables the class writes
  std::vector<std::string> keys;    // the row key of each table
  // Statements writing the same figures for the id into source `db`.
  std::function<std::vector<std::string>(const std::string& id, int n)> rows;
};

std::vector<Family> Families() {
  const auto fee = [](const std::string& id, int n) {
    const std::string N = std::to_string(n);
    return std::vector<std::string>{
        "insert into mz_fee (ID,RegID,Name,iDate,DepaID,DoctorID,fpxmid,Amt) values ('R" + N +
        "','G" + N + "','P','2024-03-01 09:00:00'," + Lit(id) + ",'D1','01',12.5)"};
  };
  return {
      {"goods", "Rpt_Tol_Good",
       {{"SourceViewName", Variant("rpt_fy_v")}, {"RptTab", Variant("rpt_tol_good")}},
       {"rpt_tol_good"}, {"nameid"},
       [](const std::string& id, int) {
         return std::vector<std::string>{
             "insert into fy_detail (goodid,MzZy,Qty,UnitRate,Amt) values (" + Lit(id) +
             ",'1',3,2,7.5)"};
       }},
      {"stock", "Rpt_Kc_Zz",
       {{"SourceViewName", Variant("rpt_kc_zz_v")}, {"RptTab", Variant("rpt_kc_zz")},
        {"RptDetailTab", Variant("rpt_kc_zz_detail")}},
       {"rpt_kc_zz", "rpt_kc_zz_detail"},
       {"coalesce(nameid,name)", "goodid || '/' || Type || '/' || coalesce(iDate,'')"},
       [](const std::string& id, int n) {
         const std::string N = std::to_string(10 * n);
         return std::vector<std::string>{
             "insert into kc_move (id,goodid,Type,YfCkID,FromID,iDate,Qty,UnitRate,JhPrice,"
             "UnitPrice) values (" + N + "," + Lit(id) + ",'0','K1','','2024-03-01',5,1,2,3)",
             "insert into kc_move (id,goodid,Type,YfCkID,FromID,iDate,Qty,UnitRate,JhPrice,"
             "UnitPrice) values (" + N + "+1," + Lit(id) + ",'1','K1','S1','2024-03-02',4,1,2,3)"};
       }},
      {"category", "Rpt_Tol_Type",
       {{"QtyIndex", Variant(int16_t{1})}, {"SourceViewName", Variant("rpt_mz_fee_v")},
        {"ObjField", Variant("DepaID")}, {"TypeField", Variant("fpxmid")},
        {"RptTab", Variant("rpt_tol_type")}},
       {"rpt_tol_type"}, {"nameid"}, fee},
      {"daily", "Rpt_Tol_Day",
       {{"QtyIndex", Variant(int16_t{1})}, {"SourceViewName", Variant("rpt_mz_fee_v")},
        {"ObjField", Variant("DepaID")}, {"RptTab", Variant("rpt_tol_day")},
        {"AmtQty", Variant(int16_t{0})}},
       {"rpt_tol_day"}, {"nameid"}, fee},
      {"registration", "Rpt_RegCz_Day",
       {{"SourceViewName", Variant("rpt_mz_reg_v")}, {"RptTab", Variant("rpt_regcz_day")}},
       {"rpt_regcz_day"}, {"nameid"},
       [](const std::string& id, int n) {
         return std::vector<std::string>{"insert into mz_reg (RegID,DepaID,iDate) values ('G" +
                                         std::to_string(n) + "'," + Lit(id) +
                                         ",'2024-03-04 08:00:00')"};
       }},
      {"inpatient", "Rpt_Zy_Type",
       {{"SourceViewName", Variant("rpt_zyqd_v")}, {"ObjField", Variant("DepaID")},
        {"TypeField", Variant("fpxmid")}, {"RptTab", Variant("rpt_zy_type")}},
       {"rpt_zy_type"}, {"nameid"},
       [](const std::string& id, int n) {
         return std::vector<std::string>{
             "insert into zy_good_fee (Kind,goodid,iDate,Qty,UnitRate,Amt,zydjid,DepaID,fpxmid,"
             "isdoamt) values ('qd','1001','2024-03-01',1,1,8.5,'Z" + std::to_string(n) + "'," +
             Lit(id) + ",'01',1)"};
       }},
      {"price", "Rpt_KcRk_Price",
       {{"SupFac", Variant(int16_t{1})}, {"SourceViewName", Variant("rpt_kcrk_price_v")},
        {"RptTab", Variant("rpt_kcrk_price")}},
       {"rpt_kcrk_price"}, {"nameid"},
       [](const std::string& id, int n) {
         return std::vector<std::string>{
             "insert into kc_rk_line (RkID,goodid,SupplierID,iDate,Qty,UnitRate,UnitName,JhPrice) "
             "values ('K" + std::to_string(n) + "','1001'," + Lit(id) + ",'2024-03-01',2,1,'盒',2.5)"};
       }},
  };
}

class HostileValuesTest : public ReportFixture {
 protected:
  Scripts ReportScripts() const override {
    return {"hospital_lookups", "goods_reports", "goods_sources", "stock_reports",
            "category_sources", "category_reports", "daily_reports", "registration_reports",
            "inpatient_reports", "price_reports"};
  }
  Scripts SourceScripts() const override {
    return {"goods_sources", "stock_sources", "category_sources", "daily_sources",
            "registration_sources", "price_sources"};
  }
  int SourceCount() const override { return 1; }

  // The rows of a table without the workstation column (and the row ids
  // a sequence gives), for comparing workstations.
  Rows Own(const std::string& table, const std::string& key, const std::string& ws) const {
    Rows rows = RowsOf(table, key, ws);
    for (auto& [k, row] : rows) row.erase("computer"), row.erase("id");
    return rows;
  }
};

INSTANTIATE_TEST_SUITE_P(Backends, HostileValuesTest, AllBackends(), BackendTestName);
INSTANTIATE_TEST_SUITE_P(Odbc, HostileValuesTest, OdbcBackends(), BackendTestName);

TEST_P(HostileValuesTest, EveryFamilyKeepsWorkstationsAndIdsAsData) {
  // A table no report knows, which an injected condition must not reach.
  Exec(0, "create table canary (v text)");
  Exec(0, "insert into canary (v) values ('alive')");
  int n = 0;
  for (const Family& f : Families()) {
    SCOPED_TRACE(f.name);
    for (const std::string& id : kIds)
      for (const std::string& sql : f.rows(id, ++n)) Exec(1, sql);
    std::map<std::string, std::map<std::string, Rows>> by_ws;  // ws -> table -> rows
    for (const std::string& ws : kWorkstations) {
      SetWorkstation(ws);
      Variant r = NewReport(f.cls, {});
      for (const auto& [name, value] : f.props) Let(r, name, value);
      ASSERT_NO_THROW(Calcu(r, 1, 1)) << ws;
      for (size_t t = 0; t < f.tables.size(); ++t)
        by_ws[ws][f.tables[t]] = Own(f.tables[t], f.keys[t], ws);
    }
    // The other workstations' rows are exactly as they were after their
    // own runs, whoever calculated after them.
    for (const std::string& ws : kWorkstations)
      for (size_t t = 0; t < f.tables.size(); ++t) {
        const Rows now = Own(f.tables[t], f.keys[t], ws);
        EXPECT_EQ(now, by_ws[ws][f.tables[t]]) << ws << " " << f.tables[t];
        EXPECT_EQ(now, by_ws["PLAIN"][f.tables[t]]) << ws << " " << f.tables[t];
      }
    EXPECT_EQ(Text("select count(*) from rpt_header where rpttab=" + Lit(f.tables[0])),
              std::vector<std::string>{"3"});
    // The first table has one row per id, and the ids with a quote or a
    // condition's shape carry the plain id's figures.
    const Rows& rows = by_ws["PLAIN"][f.tables[0]];
    if (f.name != "price") {
      ASSERT_EQ(rows.count(kIds[1]) + rows.count(kIds[2]), 2u) << ::testing::PrintToString(rows);
      for (const std::string& id : {kIds[1], kIds[2]}) {
        Row got = rows.at(id), plain = rows.at(kIds[0]);
        for (Row* row : {&got, &plain}) row->erase("rowkey"), row->erase("name"), row->erase("nameid");
        EXPECT_EQ(got, plain) << id;
      }
    } else {
      // The price listing keys by supplier: names from the lookup, one row
      // per supplier id.
      EXPECT_EQ(rows.size(), 3u) << ::testing::PrintToString(rows);
    }
  }
  EXPECT_EQ(Text("select v from canary"), std::vector<std::string>{"alive"});
}

}  // namespace
}  // namespace qev::testing
