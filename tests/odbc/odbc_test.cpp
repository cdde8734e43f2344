// What only the ODBC engine has to show, on both real drivers: a refused
// login with its password masked, a connection dropped in the middle, results
// larger than one block of rows, texts longer than a bound buffer and
// statements kept for their next run. (The driver's own diagnostics:
// tests/host/query_object_test.cpp, instantiated for ODBC.)
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "host/database.h"
#include "host/host.h"
#include "host/odbc_database.h"
#include "platform/dispatch.h"
#include "platform/error.h"
#include "tests/platform/runtime_expect.h"
#include "tests/support/backend.h"
#include "tests/support/temp_dir.h"

namespace qev::testing {
namespace {

class OdbcTest : public ::testing::TestWithParam<Backend> {
 protected:
  void SetUp() override {
    if (!dbs_.available()) GTEST_SKIP() << dbs_.why();
    connection_ = dbs_.Create("db");
    q_ = Variant(host::CreateQueryObj(connection_));
  }
  bool pg() const { return IsPostgresDialect(GetParam()); }
  Variant Scalar(const std::string& sql) {
    Variant rs = Call(q_, "OpenRs", Variant(sql));
    return Call(rs, "Fields", int16_t{0});
  }

  TempDir dir_;
  TestDatabases dbs_{GetParam(), dir_};
  std::string connection_;
  Variant q_;
};

INSTANTIATE_TEST_SUITE_P(Odbc, OdbcTest, OdbcBackends(), BackendTestName);

TEST_P(OdbcTest, BlocksOfRowsLongTextsAndUnicodeComeBackWhole) {
  Call(q_, "Exec", Variant("create table t (id integer, name varchar(20), memo text)"));
  // More rows than one fetch holds, through a recursive row generator.
  Call(q_, "Exec", Variant("insert into t (id, name) with recursive n(i) as (select 1 union all "
                           "select i + 1 from n where i < 1500) select i, 'good ' || i from n"));
  Variant rs = Call(q_, "OpenRs", Variant("select id, name from t order by id"));
  ASSERT_EQ(Get(rs, "RecordCount").ToInt32(), 1500);
  for (int i = 0; i < 1499; ++i) Call(rs, "MoveNext");
  EXPECT_EQ(Call(rs, "Fields", "id"), Variant(int32_t{1500}));
  EXPECT_EQ(Call(rs, "Fields", "name"), Variant("good 1500"));
  // A text longer than any bound buffer, and CJK and a character outside
  // the Basic Multilingual Plane in a column sized in characters.
  const std::string long_text(9000, 'x');
  Call(q_, "UpdateRecord", Variant("t"), Variant("memo,name"),
       Variant(long_text + "\x1F" + "阿莫西林胶囊🏥"), Variant("id=7"));
  EXPECT_EQ(Scalar("select memo from t where id=7"), Variant(long_text));
  EXPECT_EQ(Scalar("select name from t where id=7"), Variant("阿莫西林胶囊🏥"));
  EXPECT_EQ(Scalar("select count(*) from t where name='阿莫西林胶囊🏥'"), Variant(int32_t{1}));
}

TEST_P(OdbcTest, ADroppedConnectionFailsClearlyAndIsOpenedAgain) {
  if (!pg()) GTEST_SKIP() << "a SQLite file has no connection to drop";
  const int32_t pid = Scalar("select pg_backend_pid()").ToInt32();
  std::string why;
  Variant admin(host::CreateQueryObj(PostgresServerUrl(&why)));
  Call(Call(admin, "OpenRs", Variant("select pg_terminate_backend(" + std::to_string(pid) + ")")),
       "Close");
  ExpectRaised(kErrDatabase, [&] { Scalar("select 1"); }, "Lost the connection");
  // The next statement runs on a new connection.
  EXPECT_NE(Scalar("select pg_backend_pid()").ToInt32(), pid);
}

TEST_P(OdbcTest, ARefusedLoginEndsInAClearErrorWithThePasswordMasked) {
  std::string why;
  const std::string bad = pg() ? OdbcPostgresConnection(PostgresServerUrl(&why), "") + ";UID=nosuchrole;PWD=hunter2"
                               : "odbc:Driver=SQLite3;Database=" + dir_.File("no/such/dir/x.db") + ";PWD=hunter2";
  const Error e = ExpectRaised(kErrDatabase, [&] { host::CreateQueryObj(bad); }, "Cannot open database");
  EXPECT_NE(e.description.find(pg() ? "nosuchrole" : "connect failed"), std::string::npos) << e.description;
  EXPECT_EQ(e.description.find("hunter2"), std::string::npos) << e.description;
  EXPECT_NE(e.description.find("PWD=***"), std::string::npos) << e.description;
}

// The engine keeps a prepared statement with its checks, parameter and
// column buffers for the next run of the same text; on SQLite it hands an
// insert, update or delete with values to the driver in a form the driver
// keeps compiled. Every run must still take its own values, give its own
// errors, and refuse what the first run refused. (Runs of one text with
// other values and keys, every figure checked: the report suites and
// QueryObjectTest.KeysTurnedIntoParametersKeepTheirMeaning, on both drivers.)
TEST_P(OdbcTest, AStatementRunAgainTakesItsOwnValuesAndChecks) {
  std::shared_ptr<host::Database> db = host::OpenOdbcDatabase(connection_);
  db->Execute("create table k (id integer primary key, name varchar(20), qty integer)", {}, nullptr);
  const std::string insert = "insert into k (id, name, qty) values (?, ?, ?)";
  for (int i = 1; i <= 40; ++i) {
    const std::string id = std::to_string(i), qty = std::to_string(i * 10);
    const std::string name = i % 3 == 0 ? "阿莫西林 " + id : "good " + id;
    const host::SqlParam p[] = {host::SqlParam::Text(id), host::SqlParam::Text(name),
                                i % 5 == 0 ? host::SqlParam::Null() : host::SqlParam::Text(qty)};
    db->Execute(insert, p, nullptr);
  }
  // A run that fails gives the driver's error; the next run of the same
  // text works.
  const host::SqlParam dup[] = {host::SqlParam::Text("1"), host::SqlParam::Text("again"),
                                host::SqlParam::Text("1")};
  const Error e = ExpectRaised(kErrDatabase, [&] { db->Execute(insert, dup, nullptr); },
                               "[statement: " + insert);
  EXPECT_NE(e.description.find(pg() ? "duplicate key value" : "UNIQUE constraint failed: k.id"),
            std::string::npos)
      << e.description;
  const host::SqlParam fresh[] = {host::SqlParam::Text("50"), host::SqlParam::Text("阿莫西林 50"),
                                  host::SqlParam::Text("5")};
  db->Execute(insert, fresh, nullptr);
  // Each row took its own values: 8 Nulls, 33 quantities summing to
  // 6400 + 5, 41 names, 14 of them in CJK.
  host::ResultTable count;
  db->Execute("select count(*), count(qty), sum(qty), count(distinct name), "
              "sum(case when name like '阿莫西林%' then 1 else 0 end) from k", {}, &count);
  ASSERT_EQ(count.row_count, 1u);
  EXPECT_EQ((std::vector<int32_t>{count.at(0, 0).ToInt32(), count.at(0, 1).ToInt32(), count.at(0, 2).ToInt32(),
                                  count.at(0, 3).ToInt32(), count.at(0, 4).ToInt32()}),
            (std::vector<int32_t>{41, 33, 6405, 41, 14}));
  // The kept text with another number of values is refused as it was on
  // its first run, before anything runs.
  const host::SqlParam two[] = {host::SqlParam::Text("51"), host::SqlParam::Text("x")};
  ExpectRaised(kErrBadStatement, [&] { db->Execute(insert, two, nullptr); },
               "3 parameter marker(s) for 2 value(s)");
  const host::SqlParam none[] = {host::SqlParam::Text("52")};
  ExpectRaised(kErrBadStatement, [&] { db->Execute("select 1; select ?", none, nullptr); },
               "more than one statement");
  ExpectRaised(kErrBadStatement, [&] { db->Execute("select 1; select ?", none, nullptr); },
               "more than one statement");
  host::ResultTable after;
  db->Execute("select count(*) from k", {}, &after);
  EXPECT_EQ(after.at(0, 0).ToInt32(), 41);
}

TEST(OdbcConnectionTextTest, OdbcPrefixAndPasswordMasking) {
  EXPECT_TRUE(host::IsOdbcConnection("odbc:DSN=hospital"));
  EXPECT_TRUE(host::IsOdbcConnection("  ODBC:Driver=x"));
  EXPECT_FALSE(host::IsOdbcConnection("odbc.db"));
  EXPECT_FALSE(host::IsPostgresConnection("odbc:DSN=hospital"));
  EXPECT_EQ(host::MaskOdbcPassword("odbc:DSN=h;UID=rpt;PWD=s3cret;Port=5"),
            "odbc:DSN=h;UID=rpt;PWD=***;Port=5");
  EXPECT_EQ(host::MaskOdbcPassword("Driver={A;B};password = {x;y}}z};UID=u"),
            "Driver={A;B};password = ***;UID=u");
}

}  // namespace
}  // namespace qev::testing
