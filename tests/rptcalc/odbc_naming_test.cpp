// rptcalc's naming of ODBC databases: "odbc:" and a connection string, the
// password masked wherever it is shown, also by the schema set up through
// the SQLite ODBC driver.
#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>

#include "tests/support/temp_dir.h"
#include "tools/rptcalc/database_location.h"
#include "tools/rptcalc/setup_commands.h"
#include "tools/rptcalc/status.h"

namespace rptcalc {
namespace {

TEST(OdbcNamingTest, OdbcTextNamesAServerAndShowsNoPassword) {
  const DatabaseLocation db = DatabaseLocation::Parse("odbc:DSN=hospital;UID=rpt;PWD=s3cret");
  EXPECT_EQ(db.engine(), DatabaseLocation::Engine::kOdbc);
  EXPECT_TRUE(db.is_server());
  EXPECT_FALSE(db.is_postgres());
  EXPECT_EQ(db.shown(), "odbc:DSN=hospital;UID=rpt;PWD=***");
  EXPECT_NO_THROW(db.Check("report database", /*must_exist=*/true));
  EXPECT_THROW(DatabaseLocation::Parse("odbc:  ").Check("report database", true), UsageError);
  EXPECT_EQ(DatabaseLocation::Parse("odbc.db").engine(), DatabaseLocation::Engine::kSqlite);
}

TEST(OdbcNamingTest, SchemaThroughTheSqliteDriverAndPrintedDefinitions) {
  setenv("ODBCSYSINI", QEV_ODBCSYSINI, 0);
  qev::testing::TempDir dir;
  const std::string db = "odbc:Driver=SQLite3;Database=" + dir.File("r.db") + ";PWD=s3cret";
  std::ostringstream out, err;
  ASSERT_EQ(CreateSchema(db, /*report_only=*/false, out, err), kExitDone) << err.str();
  EXPECT_EQ(out.str().find("s3cret"), std::string::npos) << out.str();
  // The tables made, and made once: schema_command_test.cpp, through both
  // ODBC drivers.

  std::ostringstream printed;
  EXPECT_EQ(PrintSchema("odbc:DSN=other", printed), kExitDone);
  EXPECT_NE(printed.str().find("create table if not exists rpt_header"), std::string::npos);
  EXPECT_NE(printed.str().find("-- goods_reports (postgresql)"), std::string::npos);
}

}  // namespace
}  // namespace rptcalc
