// rptcalc's naming of ODBC databases: "odbc:" and a connection string, the
// password masked wherever it is shown, and the schema set up through the
// SQLite ODBC driver with the same scripts as natively.
#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>

#include "host/host.h"
#include "platform/dispatch.h"
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
  // The same tables as natively, found again through the native engine.
  const qev::Variant q(qev::host::CreateQueryObj(dir.File("r.db")));
  qev::Variant rs = qev::Call(q, "OpenRs", qev::Variant("select count(*) from sqlite_master where "
                                                        "name in ('rpt_header','rpt_tol_good')"));
  EXPECT_EQ(qev::Call(rs, "Fields", int16_t{0}), qev::Variant(int32_t{2}));
  // Running it again leaves what exists.
  EXPECT_EQ(CreateSchema(db, /*report_only=*/false, out, err), kExitDone) << err.str();

  std::ostringstream printed;
  EXPECT_EQ(PrintSchema("odbc:DSN=other", printed), kExitDone);
  EXPECT_NE(printed.str().find("create table if not exists rpt_header"), std::string::npos);
  EXPECT_NE(printed.str().find("-- goods_reports (postgresql)"), std::string::npos);
}

}  // namespace
}  // namespace rptcalc
