// Many workstations calculating into one shared report database at once,
// each in a process of its own, on each engine: every workstation ends
// with the rows of a run alone, and a workstation whose calculation fails
// half-way disturbs nobody and starts clean next time.
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <random>

#include "platform/class_factory.h"
#include "platform/dispatch.h"
#include "platform/error.h"
#include "tests/goods/goods_fixture.h"

namespace qev::testing {
namespace {

constexpr int kGoods = 200;
constexpr int kRowsPerSource = 1500;

using Row = std::map<std::string, std::string>;  // column -> value as text
using Rows = std::map<std::string, Row>;         // key -> row

// What one workstation process does.
struct Job {
  std::string workstation;
  int runs = 1;                // CalcuRpt calls in a row
  int second_source = 2;       // the source database read second
  bool expect_failure = false; // the second source holds a Null good id
};

class WorkstationsTest : public GoodsFixture {
 protected:
  void SetUp() override {
    GoodsFixture::SetUp();
    if (IsSkipped()) return;
    for (int k = 1; k <= 2; ++k) FillSource(k);
    // Source 3 delivers a Null good id: a calculation reading it fails when
    // it reaches that row.
    ExecSource(3, "create table fy_bad (goodid text, MzZy text, Qty real, UnitRate real, Amt real)");
    ExecSource(3, "insert into fy_bad values (NULL,'1',1,1,1),(NULL,'2',2,1,3)");
    ExecSource(3, "drop view rpt_fy_v");
    ExecSource(3, "create view rpt_fy_v as select goodid,MzZy,Qty,UnitRate,Amt from fy_bad");
  }

  void FillSource(int k) {
    std::mt19937 rng(static_cast<uint32_t>(77 * k));
    std::string sql = "insert into fy_detail (goodid,MzZy,Qty,UnitRate,Amt) values ";
    for (int i = 0; i < kRowsPerSource; ++i) {
      char amount[32];
      std::snprintf(amount, sizeof amount, "%.2f", static_cast<double>(rng() % 50000) / 100.0);
      sql += std::string(i ? "," : "") + "('" + std::to_string(1001 + rng() % kGoods) + "','" +
             std::to_string(1 + rng() % 2) + "'," + std::to_string(1 + rng() % 30) + "," +
             (rng() % 2 ? "1" : "12") + "," + amount + ")";
    }
    ExecSource(k, sql);
  }

  // A workstation's program: its own host objects and report component.
  struct Workstation {
    Object host;
    Variant q1, q2, report;
    int runs = 1;

    void Calculate() const {
      for (int i = 0; i < runs; ++i) Call(report, "CalcuRpt", Variant(int16_t{2}), q1, q2);
    }
  };

  Workstation Open(const Job& job, const std::string& cond = "") const {
    Workstation w;
    w.host = host::CreateHostLib(dbs_->report_connection(), job.workstation);
    w.q1 = Variant(host::CreateQueryObj(dbs_->source_connection(1)));
    w.q2 = Variant(host::CreateQueryObj(dbs_->source_connection(job.second_source)));
    w.report = Variant(CreateObject("qevRptCalLib.Rpt_Tol_Good"));
    Set(w.report, "Global_Lib_Obj", w.host);
    Let(w.report, "SourceViewName", Variant("rpt_fy_v"));
    Let(w.report, "RptTab", Variant("rpt_tol_good"));
    Let(w.report, "RptDesc", Variant(std::string("Workstation") + "\x1F" + job.workstation));
    Let(w.report, "CondStr", Variant(cond));
    w.runs = job.runs;
    return w;
  }

  // Runs the report for `job` in this process; a raised error propagates.
  void RunJob(const Job& job, const std::string& cond = "") const { Open(job, cond).Calculate(); }

  // Runs every job in a process of its own, all at once: each process
  // opens its connections, then all start together. Returns the exit
  // status of each (0: as expected).
  std::vector<int> RunAtOnce(const std::vector<Job>& jobs) const {
    int gate[2];
    if (pipe(gate) != 0) ADD_FAILURE() << "pipe failed";
    std::vector<pid_t> children;
    for (const Job& job : jobs) {
      std::fflush(nullptr);
      const pid_t pid = fork();
      if (pid < 0) {
        ADD_FAILURE() << "fork failed";
        break;
      }
      if (pid == 0) {
        // The child uses none of the parent's connections and leaves
        // through _exit, so that nothing of the parent's is closed.
        close(gate[1]);
        int code = 0;
        try {
          const Workstation w = Open(job);
          char c;
          while (read(gate[0], &c, 1) > 0) {
          }
          w.Calculate();
          if (job.expect_failure) {
            std::fprintf(stderr, "%s: no error raised\n", job.workstation.c_str());
            code = 3;
          }
        } catch (const RuntimeError& e) {
          const bool expected = job.expect_failure && e.number() == kErrInvalidNull;
          if (!expected) {
            std::fprintf(stderr, "%s: %s\n", job.workstation.c_str(), e.error().ToString().c_str());
            code = 2;
          }
        } catch (...) {
          code = 4;
        }
        _exit(code);
      }
      children.push_back(pid);
    }
    close(gate[0]);
    close(gate[1]);  // every child starts now
    std::vector<int> codes;
    for (pid_t pid : children) {
      int status = 0;
      waitpid(pid, &status, 0);
      codes.push_back(WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status));
    }
    return codes;
  }

  // A workstation's report rows without the computer column, keyed by the
  // good id (nameid, or name while the final pass has not run).
  Rows RowsOfWorkstation(const std::string& ws) const {
    Rows out;
    for (const auto& [key, row] : QueryByKey(
             Query0(), "select coalesce(nameid, name) as k, * from rpt_tol_good where computer='" +
                           ws + "'")) {
      Row& r = out[key];
      for (const auto& [column, value] : row)
        if (column != "computer" && column != "k") r[column] = value.IsNull() ? "<null>" : ConcatText(value);
    }
    return out;
  }

  int HeaderCount(const std::string& ws) const {
    return QueryRows(Query0(), "select computer from rpt_header where computer='" + ws +
                                   "' and rpttab='rpt_tol_good'")
        .size();
  }
};

INSTANTIATE_TEST_SUITE_P(Backends, WorkstationsTest, AllBackends(), BackendTestName);
INSTANTIATE_TEST_SUITE_P(Odbc, WorkstationsTest, OdbcBackends(), BackendTestName);

TEST_P(WorkstationsTest, EightAtOnceEachEndWithTheRowsOfARunAlone) {
  // References: a run alone, and a failing run alone.
  RunJob({"ALONE"});
  const Rows alone = RowsOfWorkstation("ALONE");
  ASSERT_GE(alone.size(), static_cast<size_t>(kGoods - 5));
  try {
    RunJob({"FAILED_ALONE", 1, 3});
    FAIL() << "a Null good id must end the calculation";
  } catch (const RuntimeError& e) {
    ASSERT_EQ(e.number(), kErrInvalidNull) << e.error().ToString();
  }
  const Rows failed_alone = RowsOfWorkstation("FAILED_ALONE");
  // What a failed run keeps: the merged rows of source 1, before the final
  // pass (name still holds the good id, no nameid).
  ASSERT_FALSE(failed_alone.empty());
  for (const auto& [key, row] : failed_alone) {
    EXPECT_EQ(row.at("name"), key);
    EXPECT_EQ(row.at("nameid"), "<null>");
  }

  // Earlier rows of every workstation, from another condition, which the
  // next run must replace; and a bystander that does not calculate now.
  const std::vector<std::string> names = {"WS1", "WS2", "WS3", "WS4", "WS5", "WS6", "WS7", "WS8"};
  for (const std::string& ws : names) RunJob({ws}, "goodid<'1010'");
  RunJob({"FAILING"}, "goodid<'1010'");
  RunJob({"IDLE"}, "goodid>'1100'");
  const Rows idle = RowsOfWorkstation("IDLE");
  ASSERT_FALSE(idle.empty());

  std::vector<Job> jobs;
  for (const std::string& ws : names) jobs.push_back({ws, ws == "WS2" ? 2 : 1});
  jobs.push_back({"FAILING", 1, 3, true});
  const std::vector<int> codes = RunAtOnce(jobs);
  ASSERT_EQ(codes.size(), jobs.size());
  for (size_t i = 0; i < jobs.size(); ++i) EXPECT_EQ(codes[i], 0) << jobs[i].workstation;

  for (const std::string& ws : names) {
    SCOPED_TRACE(ws);
    EXPECT_EQ(RowsOfWorkstation(ws), alone);
    EXPECT_EQ(HeaderCount(ws), 1);
  }
  EXPECT_EQ(RowsOfWorkstation("FAILING"), failed_alone);
  EXPECT_EQ(HeaderCount("FAILING"), 1);
  EXPECT_EQ(RowsOfWorkstation("IDLE"), idle);
  // Nothing doubled anywhere: one row per workstation and good (the rows
  // compared above are keyed by good, which would hide a second one).
  EXPECT_EQ(QueryText(Query0(), "select computer, coalesce(nameid, name) from rpt_tol_good "
                                "group by computer, coalesce(nameid, name) having count(*) > 1"),
            std::vector<std::string>{});
  EXPECT_EQ(QueryText(Query0(), "select count(*) from rpt_tol_good where computer in "
                                "('WS1','WS2','WS3','WS4','WS5','WS6','WS7','WS8')"),
            std::vector<std::string>{std::to_string(8 * alone.size())});

  // The failed workstation's next run starts clean.
  RunJob({"FAILING"});
  EXPECT_EQ(RowsOfWorkstation("FAILING"), alone);
  EXPECT_EQ(HeaderCount("FAILING"), 1);
  for (const std::string& ws : names) EXPECT_EQ(RowsOfWorkstation(ws), alone) << ws;
}

}  // namespace
}  // namespace qev::testing
