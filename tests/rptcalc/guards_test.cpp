// rptcalc against a careless or hostile user, as a separate process on
// both engines: the same workstation twice at once, a run killed half way
// (the database sound, other workstations' rows intact, the next run
// exact), a trace file that is the database, output that cannot be written, a
// server that never answers.
#include <signal.h>
#include <sys/stat.h>
#include <sys/socket.h>
#include <netinet/in.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include "host/calculation.h"
#include "schema/schema.h"
#include "tests/rptcalc/rptcalc_fixture.h"
#include "tests/support/backend.h"
#include "tests/support/late_bound.h"

namespace qev::testing {
namespace {

class GuardsTest : public ::testing::TestWithParam<Backend> {
 protected:
  void SetUp() override {
    dbs_ = std::make_unique<TestDatabases>(GetParam(), dir_);
    if (!dbs_->available()) GTEST_SKIP() << dbs_->why();
    report_ = dbs_->Create("report");
    source_ = dbs_->Create("source");
    if (GetParam() == Backend::kSqlite) {  // rptcalc takes files relative to its directory
      report_ = dir_.File(std::filesystem::path(report_).filename());
      source_ = dir_.File(std::filesystem::path(source_).filename());
    }
    const Object host = host::CreateHostLib(report_, "WS1");
    const Variant q0 = Get(Variant(host), "DbA_Query0_Obj");
    host::CreateFixedTables(q0.object());
    schema::Apply(q0, "goods_reports");
    schema::Apply(q0, "goods_sources");
    const Variant src(host::CreateQueryObj(source_));
    schema::Apply(src, "goods_sources");
    std::string rows = "insert into fy_detail (goodid,MzZy,Qty,UnitRate,Amt) values ";
    // A string first: GCC 12 reports a false -Wrestrict on literal + temporary.
    for (int i = 0; i < 200; ++i)
      rows += std::string(i ? "," : "") + "('" + std::to_string(1001 + i % 40) + "','1'," +
              std::to_string(i % 7 + 1) + ",1," + std::to_string(i % 13) + ".5)";
    Call(src, "Exec", Variant(rows));
    // A source view that takes a while, so that runs overlap and a run can
    // be killed in the middle.
    Call(src, "Exec",
         Variant(pg() ? "create view rpt_slow_v as select f.* from rpt_fy_v f, "
                        "(select pg_sleep(1.5)) s"
                      : "create view rpt_slow_v as select f.* from rpt_fy_v f, (with recursive "
                        "c(x) as (select 1 union all select x+1 from c where x<6000000) "
                        "select count(*) n from c) s"));
    // Many goods, each merged with statements of its own: a run that is
    // still writing rows when it is killed.
    Call(src, "Exec",
         Variant(pg() ? "create view rpt_many_v as select (100000+x)::text as goodid, '1' as MzZy, "
                        "1 as Qty, 1 as UnitRate, 1.5 as Amt from generate_series(1,4000) x"
                      : "create view rpt_many_v as with recursive c(x) as (select 1 union all "
                        "select x+1 from c where x<20000) select cast(100000+x as text) as goodid, "
                        "'1' as MzZy, 1 as Qty, 1 as UnitRate, 1.5 as Amt from c"));
  }

  // The dialect: PostgreSQL, natively or through psqlODBC.
  bool pg() const { return IsPostgresDialect(GetParam()); }
  std::vector<std::string> TolGood(const std::string& view, std::vector<std::string> more = {},
                                   const std::string& ws = "WS1") const {
    std::vector<std::string> a = {"run", "Rpt_Tol_Good", "--db", report_, "--source", source_,
                                  "--workstation", ws, "--set", "SourceViewName=" + view,
                                  "--set", "RptTab=rpt_tol_good", "--format", "csv"};
    a.insert(a.end(), more.begin(), more.end());
    return a;
  }
  ProcessResult Rptcalc(const std::vector<std::string>& args) const {
    return RunProcess(RPTCALC_EXE, args, dir_.path(), Env());
  }
  int Start(const std::vector<std::string>& args, const std::string& out) const {
    return StartProcess(RPTCALC_EXE, args, dir_.path(), Env(), dir_.File(out), dir_.File(out + ".err"));
  }
  std::map<std::string, std::string> Env() const {
    return {{"QEV_REGISTRY", dir_.File("registry/classes.reg")}};
  }
  std::string Slurp(const std::string& file) const { return ReadFile(dir_.File(file)); }
  // `sql` on the report database, rows as text.
  std::vector<std::string> ReportText(const std::string& sql) const {
    return QueryText(Get(Variant(host::CreateHostLib(report_, "WS1")), "DbA_Query0_Obj"), sql);
  }
  // Until a run of WS1 has marked its calculation as running.
  void WaitUntilRunning() const {
    while (LastKind() != host::CalculationState::kRunning)
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  host::CalculationState::Kind LastKind() const {
    const Object host = host::CreateHostLib(report_, "WS1");
    return host::LastCalculation(host, "rpt_tol_good", "WS1").kind;
  }

  TempDir dir_;
  std::unique_ptr<TestDatabases> dbs_;
  std::string report_, source_;
};

INSTANTIATE_TEST_SUITE_P(Backends, GuardsTest, AllBackends(), BackendTestName);
INSTANTIATE_TEST_SUITE_P(Odbc, GuardsTest, OdbcBackends(), BackendTestName);

TEST_P(GuardsTest, SameWorkstationTwiceAtOnceGivesTheRowsOfOneRun) {
  const ProcessResult alone = Rptcalc(TolGood("rpt_fy_v"));
  ASSERT_EQ(alone.status, 0) << alone.err;
  const int a = Start(TolGood("rpt_slow_v"), "a.csv");
  const int b = Start(TolGood("rpt_slow_v"), "b.csv");
  EXPECT_EQ(WaitProcess(a), 0) << Slurp("a.csv.err");
  EXPECT_EQ(WaitProcess(b), 0) << Slurp("b.csv.err");
  // Each printed exactly the rows of a run alone: no good twice, no
  // doubled total.
  EXPECT_EQ(Slurp("a.csv"), alone.out);
  EXPECT_EQ(Slurp("b.csv"), alone.out);
  EXPECT_EQ(LastKind(), host::CalculationState::kSucceeded);
  // A bound too short to wait for the other run: refused, naming both.
  const int c = Start(TolGood("rpt_slow_v"), "c.csv");
  WaitUntilRunning();
  const ProcessResult d = Rptcalc(TolGood("rpt_fy_v", {"--wait", "0.2"}));
  EXPECT_EQ(d.status, 1);
  EXPECT_NE(d.err.find("Workstation 'WS1' is already calculating the report table 'rpt_tol_good'"),
            std::string::npos)
      << d.err;
  EXPECT_EQ(WaitProcess(c), 0);
}

// Eight workstations calculating into one database at once, each in a
// process of its own, beside a ninth whose run fails: each of the eight
// prints exactly the rows of a run alone, under its own name.
TEST_P(GuardsTest, EightWorkstationsAtOnceEachGetTheRowsOfARunAlone) {
  const ProcessResult alone = Rptcalc(TolGood("rpt_fy_v"));
  ASSERT_EQ(alone.status, 0) << alone.err;
  std::vector<int> pids;
  for (int w = 1; w <= 8; ++w)
    pids.push_back(Start(TolGood("rpt_fy_v", {}, "W" + std::to_string(w)), "w" + std::to_string(w) + ".csv"));
  const int failing = Start(TolGood("no_such_view", {}, "WF"), "wf.csv");
  for (int w = 1; w <= 8; ++w) {
    const std::string name = "W" + std::to_string(w);
    EXPECT_EQ(WaitProcess(pids[w - 1]), 0) << Slurp("w" + std::to_string(w) + ".csv.err");
    std::string want = alone.out;  // the same rows, each under this workstation's name
    for (size_t at = want.find("\nWS1,"); at != std::string::npos; at = want.find("\nWS1,", at + 1))
      want.replace(at + 1, 3, name);
    // In the order the engine returns them (no report orders its rows).
    std::vector<std::string> got = Lines(Slurp("w" + std::to_string(w) + ".csv")), lines = Lines(want);
    std::sort(got.begin(), got.end());
    std::sort(lines.begin(), lines.end());
    EXPECT_EQ(got, lines) << name;
  }
  EXPECT_EQ(WaitProcess(failing), 1);
}

TEST_P(GuardsTest, KilledOrFailedRunIsNotShownAsAReport) {
  // Another workstation's rows, which nothing WS1 does may touch.
  ASSERT_EQ(Rptcalc(TolGood("rpt_fy_v", {}, "WS2")).status, 0);
  const std::string other = Rptcalc(TolGood("rpt_fy_v", {"--no-calc"}, "WS2")).out;
  const ProcessResult alone = Rptcalc(TolGood("rpt_fy_v"));
  ASSERT_EQ(alone.status, 0) << alone.err;
  // Killed while still writing its rows (on PostgreSQL the server sees the
  // connection drop in the middle of the calculation).
  int pid = Start(TolGood("rpt_many_v"), "killed.csv");
  const std::string written = "select count(*) from rpt_tol_good where computer='WS1'";
  WaitUntilRunning();
  while (std::stoi(ReportText(written).at(0)) < 100) {
    ASSERT_NE(LastKind(), host::CalculationState::kSucceeded) << "the run ended before it was killed";
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  ::kill(pid, SIGKILL);
  EXPECT_EQ(WaitProcess(pid), 128 + SIGKILL);
  EXPECT_LT(std::stoi(ReportText(written).at(0)), pg() ? 4000 : 20000);  // not all written
  if (!pg()) {
    EXPECT_EQ(ReportText("pragma integrity_check"), std::vector<std::string>{"ok"});
  }
  EXPECT_EQ(Rptcalc(TolGood("rpt_fy_v", {"--no-calc"}, "WS2")).out, other);
  const ProcessResult again = Rptcalc(TolGood("rpt_fy_v"));
  EXPECT_EQ(again.status, 0) << again.err;
  EXPECT_EQ(again.out, alone.out);
  if (GetParam() == Backend::kPostgres) {
    // The server drops the run's connection in the middle of its writes:
    // the same outcome. The connection is named, to be dropped by name.
    const std::string app = "qev_dropped_" + std::to_string(::getpid());
    std::vector<std::string> dropped = TolGood("rpt_many_v");
    dropped[3] += (report_.find("://") != std::string::npos ? "&" : " ") + ("application_name=" + app);
    pid = Start(dropped, "dropped.csv");
    WaitUntilRunning();
    while (std::stoi(ReportText(written).at(0)) < 100) std::this_thread::sleep_for(std::chrono::milliseconds(2));
    ReportText("select pg_terminate_backend(pid) from pg_stat_activity where application_name='" + app + "'");
    EXPECT_NE(WaitProcess(pid), 0) << Slurp("dropped.csv.err");
    EXPECT_EQ(Rptcalc(TolGood("rpt_fy_v", {"--no-calc"}, "WS2")).out, other);
    EXPECT_EQ(Rptcalc(TolGood("rpt_fy_v")).out, alone.out);
  }
  // Killed while reading its source.
  pid = Start(TolGood("rpt_slow_v"), "killed.csv");
  WaitUntilRunning();
  ::kill(pid, SIGKILL);
  EXPECT_EQ(WaitProcess(pid), 128 + SIGKILL);
  ProcessResult r = Rptcalc(TolGood("rpt_fy_v", {"--no-calc"}));
  EXPECT_EQ(r.status, 4);
  EXPECT_NE(r.err.find("rpt_tol_good for workstation WS1 was interrupted"), std::string::npos)
      << r.err;
  // A run that fails half way: the mark names the error.
  EXPECT_EQ(Rptcalc(TolGood("no_such_view")).status, 1);
  r = Rptcalc(TolGood("rpt_fy_v", {"--no-calc"}));
  EXPECT_EQ(r.status, 4);
  EXPECT_NE(r.err.find(" failed at "), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("no_such_view"), std::string::npos) << r.err;
  // A good run clears the mark.
  EXPECT_EQ(Rptcalc(TolGood("rpt_fy_v")).status, 0);
  r = Rptcalc(TolGood("rpt_fy_v", {"--no-calc"}));
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.out, alone.out);
  EXPECT_EQ(Rptcalc(TolGood("rpt_fy_v", {"--no-calc"}, "WS2")).out, other);
  if (!pg()) {
    EXPECT_EQ(ReportText("pragma integrity_check"), std::vector<std::string>{"ok"});
  }
}

TEST_P(GuardsTest, TimeoutEndsAStatementThatWouldRunForHours) {
  const std::string forever =
      pg() ? "(select count(*) from pg_sleep(36000)) = 1"
           : "(select count(*) from (with recursive c(x) as (select 1 union all select x+1 "
             "from c where x<1e15) select x from c)) > 0";
  const ProcessResult r =
      Rptcalc(TolGood("rpt_fy_v", {"--set", "CondStr=" + forever, "--timeout", "1"}));
  EXPECT_EQ(r.status, 1) << r.err;
  EXPECT_NE(r.err.find("ran longer than the statement timeout of 1 s"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("--timeout 1 s"), std::string::npos) << r.err;
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(LastKind(), host::CalculationState::kFailed);
  // Within its bound a run gives what it gives without one.
  const ProcessResult plain = Rptcalc(TolGood("rpt_fy_v"));
  const ProcessResult bounded = Rptcalc(TolGood("rpt_fy_v", {"--timeout", "600"}));
  ASSERT_EQ(plain.status, 0) << plain.err;
  EXPECT_EQ(bounded.status, 0) << bounded.err;
  EXPECT_EQ(bounded.out, plain.out);
}

TEST_P(GuardsTest, FilesAndOutputsAreGuarded) {
  ASSERT_EQ(Rptcalc(TolGood("rpt_fy_v")).status, 0);
  const std::string before = Rptcalc(TolGood("rpt_fy_v", {"--no-calc"})).out;
  // A trace file that is a database (by its header, or the same file under
  // another name) is refused before anything is opened.
  if (GetParam() == Backend::kSqlite) {
    const std::string alias = dir_.File("alias.db");
    std::filesystem::create_hard_link(report_, alias);
    for (const std::string& trace : {report_, alias, source_}) {
      ExpectUsageError(Rptcalc(TolGood("rpt_fy_v", {"--trace", trace})), "is a database");
    }
  }
  EXPECT_EQ(Rptcalc(TolGood("rpt_fy_v", {"--no-calc"})).out, before);
  // Output that cannot be written fails the command.
  const int pid = StartProcess(RPTCALC_EXE, TolGood("rpt_fy_v", {"--no-calc"}), dir_.path(), Env(),
                               "/dev/full", dir_.File("full.err"));
  EXPECT_EQ(WaitProcess(pid), 1);
  EXPECT_NE(Slurp("full.err").find("could not be written to the standard output"),
            std::string::npos)
      << Slurp("full.err");
}

TEST_P(GuardsTest, CommandLinesThatCannotWorkSaySo) {
  if (pg()) GTEST_SKIP() << "files and pipes: SQLite only";
  // Unknown subcommands and separators in values: cli_test.cpp's refusals.
  // A pipe is no database.
  const std::string fifo = dir_.File("pipe.db");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  ExpectUsageError(Rptcalc({"run", "Rpt_Tol_Good", "--db", fifo, "--no-calc"}), "not a regular file");
  // Runs as asked, with a warning: a source-num that disagrees with the
  // sources, the same source twice (its figures would count twice).
  ProcessResult r = Rptcalc(TolGood("rpt_fy_v", {"--source", source_, "--source-num", "1"}));
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.err.find("--source-num 1 with 2 --source given"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("source databases 1 and 2 are the same database"), std::string::npos);
  // --source-num past the sources: the component's error and what it means.
  r = Rptcalc(TolGood("rpt_fy_v", {"--source-num", "3"}));
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("error 91"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("--source-num 3 reaches a source database that was not given"),
            std::string::npos)
      << r.err;
}

TEST(GuardsNoServer, ServerThatNeverAnswersEndsWithinTheConnectTimeout) {
  // A listener that accepts connections and never says a word.
  const int s = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(::bind(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
  ASSERT_EQ(::listen(s, 8), 0);
  socklen_t len = sizeof addr;
  ::getsockname(s, reinterpret_cast<sockaddr*>(&addr), &len);
  const std::string url = "postgresql://rpt@127.0.0.1:" + std::to_string(ntohs(addr.sin_port)) +
                          "/hospital?connect_timeout=1";
  TempDir dir;
  const auto start = std::chrono::steady_clock::now();
  const ProcessResult r = RunProcess(RPTCALC_EXE, {"run", "Rpt_Tol_Good", "--db", url, "--no-calc"},
                                     dir.path(), {{"QEV_REGISTRY", dir.File("classes.reg")}});
  const auto took = std::chrono::steady_clock::now() - start;
  ::close(s);
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("timeout expired"), std::string::npos) << r.err;
  EXPECT_LT(took, std::chrono::seconds(20));  // a bound against a hang, not a speed target
}

}  // namespace
}  // namespace qev::testing
