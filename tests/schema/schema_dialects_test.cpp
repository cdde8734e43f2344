// The shipped schema scripts in their two dialects: every script exists in
// both, runs (twice) on its engine, and creates the same tables, views and
// columns there.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "host/host.h"
#include "platform/dispatch.h"
#include "platform/error.h"
#include "schema/schema.h"
#include "tests/support/backend.h"
#include "tests/support/late_bound.h"

namespace qev::testing {
namespace {

TEST(SchemaDialectsTest, EveryScriptIsWrittenForBothEngines) {
  const auto sqlite = schema::ScriptNames(schema::kSqlite);
  EXPECT_EQ(sqlite, schema::ScriptNames(schema::kPostgres));
  EXPECT_EQ(sqlite, schema::ScriptNames());
  for (const char* name : {"fixed_tables", "goods_reports", "goods_sources"})
    EXPECT_TRUE(std::find(sqlite.begin(), sqlite.end(), name) != sqlite.end()) << name;
  EXPECT_THROW(schema::Statements("goods_sources", "oracle"), RuntimeError);
}

// "table.column" of every table and view, lower case.
std::set<std::string> Catalogue(const Variant& q, Backend backend) {
  const std::string sql =
      backend == Backend::kPostgres
          ? "select lower(table_name) || '.' || lower(column_name) from information_schema.columns "
            "where table_schema = current_schema()"
          : "select lower(m.name) || '.' || lower(p.name) from sqlite_master m, "
            "pragma_table_info(m.name) p where m.type in ('table','view') and m.name not like "
            "'sqlite%' and m.name <> 'qev_sequence'";
  std::set<std::string> out;
  for (const std::string& line : QueryText(q, sql)) out.insert(line);
  return out;
}

TEST(SchemaDialectsTest, BothDialectsCreateTheSameTablesAndColumns) {
  TempDir dir;
  TestDatabases sqlite(Backend::kSqlite, dir), pg(Backend::kPostgres, dir);
  if (!pg.available()) GTEST_SKIP() << pg.why();
  std::set<std::string> catalogues[2];
  for (TestDatabases* dbs : {&sqlite, &pg}) {
    SCOPED_TRACE(BackendName(dbs->backend()));
    const Variant q(host::CreateQueryObj(dbs->Create("all")));
    EXPECT_EQ(schema::DialectOf(q), dbs == &pg ? "postgresql" : "sqlite");
    for (int pass = 0; pass < 2; ++pass)  // harmless to run again
      for (const std::string& script : schema::ScriptNames()) {
        SCOPED_TRACE(script);
        EXPECT_NO_THROW(schema::Apply(q, script));
      }
    catalogues[dbs == &pg] = Catalogue(q, dbs->backend());
  }
  EXPECT_GT(catalogues[0].size(), 100u);
  EXPECT_EQ(catalogues[0], catalogues[1]);
}

}  // namespace
}  // namespace qev::testing
