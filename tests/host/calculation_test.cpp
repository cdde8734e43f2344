// The calculation bracket: one calculation at a time per report table and
// workstation, across connections, and the record a reader consults.
#include <chrono>
#include <thread>

#include "host/calculation.h"
#include "host/write_batch.h"
#include "tests/host/host_fixture.h"

namespace qev::host::testing {
namespace {

using std::chrono::milliseconds;

class CalculationTest : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    if (IsSkipped()) return;
    CreateFixedTables(q_.object());
  }
  // A second host library object on the same report database: another
  // workstation process.
  Object OtherHost(const std::string& ws) const { return CreateHostLib(db_path_, ws); }
  CalculationState Last(const std::string& table, const std::string& ws) const {
    return LastCalculation(host_.object(), table, ws);
  }
};

INSTANTIATE_TEST_SUITE_P(Backends, CalculationTest, ::qev::testing::AllBackends(),
                         ::qev::testing::BackendTestName);
INSTANTIATE_TEST_SUITE_P(Odbc, CalculationTest, ::qev::testing::OdbcBackends(),
                         ::qev::testing::BackendTestName);

TEST_P(CalculationTest, SamePairWaitsOtherPairsDoNot) {
  const Object same = OtherHost("WS1");
  const Object other = OtherHost("WS2");
  EXPECT_EQ(Last("rpt_a", "WS1").kind, CalculationState::kNone);
  {
    Calculation first(host_.object(), "rpt_a", milliseconds(0));
    // The same workstation and table from another connection: refused
    // past the bound, naming both; the table name in any letter case.
    const auto wait = [&] { Calculation second(same, "RPT_A", milliseconds(150)); };
    ExpectRaised(kErrCalculationBusy, wait, "'WS1'");
    ExpectRaised(kErrCalculationBusy, wait, "'RPT_A'");
    // Another workstation, or another table, goes ahead at once.
    Calculation ws2(other, "rpt_a", milliseconds(0));
    Calculation table_b(same, "rpt_b", milliseconds(0));
    ws2.Succeeded();
    table_b.Succeeded();
    // While it runs, a reader sees it running.
    EXPECT_EQ(LastCalculation(other, "rpt_a", "WS1").kind, CalculationState::kRunning);
    first.Succeeded();
  }
  // A waiting calculation starts as soon as the first ends.
  auto first = std::make_unique<Calculation>(host_.object(), "rpt_a", milliseconds(0));
  std::thread release([&] {
    std::this_thread::sleep_for(milliseconds(100));
    first->Failed(32002, "no such table: x");
    first.reset();
  });
  Calculation waited(same, "rpt_a", milliseconds(10000));
  release.join();
  const CalculationState failed = LastCalculation(other, "rpt_a", "WS1");
  EXPECT_EQ(failed.kind, CalculationState::kRunning);  // `waited` holds it now
  waited.Succeeded();
  EXPECT_EQ(Last("rpt_a", "WS1").kind, CalculationState::kSucceeded);
  EXPECT_EQ(Last("rpt_a", "WS2").kind, CalculationState::kSucceeded);
}

TEST_P(CalculationTest, RecordSaysHowTheLastCalculationEnded) {
  {
    Calculation c(host_.object(), "rpt_a", milliseconds(0));
    c.Failed(94, "Invalid use of Null");
  }
  CalculationState s = Last("rpt_a", "WS1");
  EXPECT_EQ(s.kind, CalculationState::kFailed);
  EXPECT_EQ(s.number, 94);
  EXPECT_EQ(s.description, "Invalid use of Null");
  EXPECT_FALSE(s.finished.empty());
  // The same through the host library object, late bound.
  EXPECT_EQ(Call(host_, "LastCalculation", Variant("RPT_A"), Variant("WS1")).ToText(), "failed");
  EXPECT_EQ(Call(host_, "LastCalculation", Variant("rpt_a"), Variant("WS9")).ToText(), "none");
  // Left by an exception without an outcome: failed as well.
  try {
    Calculation c(host_.object(), "rpt_a", milliseconds(0));
    throw std::runtime_error("away");
  } catch (const std::runtime_error&) {
  }
  EXPECT_EQ(Last("rpt_a", "WS1").kind, CalculationState::kFailed);
  // A record left "running" by a process that died, its lock gone with it.
  Exec("insert into qev_calculation (rpttab,computer,started,outcome) "
       "values ('rpt_a','WS1','2024-03-01 08:00:00','running')");
  s = Last("rpt_a", "WS1");
  EXPECT_EQ(s.kind, CalculationState::kInterrupted);
  EXPECT_EQ(s.started, "2024-03-01 08:00:00");
  // Workstation names are data: a quote or a condition-shaped name is just
  // another workstation.
  {
    Calculation c(OtherHost("X' or '1'='1"), "rpt_a", milliseconds(0));
    c.Succeeded();
  }
  EXPECT_EQ(Last("rpt_a", "WS1").kind, CalculationState::kInterrupted);
  EXPECT_EQ(Last("rpt_a", "X' or '1'='1").kind, CalculationState::kSucceeded);
}

TEST_P(CalculationTest, WritesInsideACalculationAreBatchedAndKeepStatementSemantics) {
  Exec("create table rows (computer text, n integer)");
  Exec("create unique index rows_n on rows (n)");
  const Variant other = CreateQueryObj(db_path_);  // another workstation's connection
  auto count = [&](const std::string& cond) {
    Variant rs = Call(other, "OpenRs", "select count(*) from rows where " + cond);
    return Call(rs, "Fields", int16_t{0}).ToInt32();
  };
  {
    Calculation c(host_.object(), "rows", milliseconds(0));
    for (int n = 1; n <= 3; ++n) Call(q_, "InsertRecord", "rows", "computer,n", Values("WS1", std::to_string(n)));
    // A statement failing half way (its last row breaks the unique
    // index): only that statement is undone, the rows before it stay.
    const Error e = RaisedBy([&] { Exec("insert into rows (computer,n) select 'WS1', n + 3 from rows where n <= 2 union all select 'WS1', 1"); });
    EXPECT_EQ(e.number, kErrDatabase);
    Call(q_, "InsertRecord", "rows", "computer,n", Values("WS1", "10"));
    // Another connection writing while the batch is open waits at most for
    // the bound, not for the calculation (the same thread: a batch held
    // until the end would never let it through).
    Call(other, "InsertRecord", "rows", "computer,n", Values("WS2", "20"));
    c.Succeeded();
  }
  // Everything written before and after the failed statement is committed
  // and seen by another connection; nothing of the failed one.
  EXPECT_EQ(count("computer='WS1'"), 4);
  EXPECT_EQ(count("n in (4,5)"), 0);
  EXPECT_EQ(count("computer='WS2'"), 1);
  EXPECT_EQ(Last("rows", "WS1").kind, CalculationState::kSucceeded);
  // Left by an exception: the rows written so far are committed too.
  try {
    Calculation c(host_.object(), "rows", milliseconds(0));
    Call(q_, "DeleteRecord", "rows", "computer='WS1'");
    Call(q_, "InsertRecord", "rows", "computer,n", Values("WS1", "30"));
    throw std::runtime_error("away");
  } catch (const std::runtime_error&) {
  }
  EXPECT_EQ(count("computer='WS1'"), 1);
  EXPECT_EQ(Last("rows", "WS1").kind, CalculationState::kFailed);
  // Marks of a host of its own nest; writes after them commit on their own.
  {
    WriteBatch outer(host_.object());
    {
      WriteBatch inner(host_.object());
      Call(q_, "InsertRecord", "rows", "computer,n", Values("WS1", "31"));
    }
    Call(q_, "InsertRecord", "rows", "computer,n", Values("WS1", "32"));
    outer.End();
  }
  Call(q_, "InsertRecord", "rows", "computer,n", Values("WS1", "33"));
  EXPECT_EQ(count("computer='WS1'"), 4);
}

}  // namespace
}  // namespace qev::host::testing
