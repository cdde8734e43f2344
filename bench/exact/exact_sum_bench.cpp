// Rpt_Tol_Good over three SQLite source files of 200,000 dispensing rows
// each (decimal quantities, amounts in cents), once with SQLite's own
// sum() and once with the host's exact sum(), which replaces it on every
// connection the host opens; beside it the report's three grouping
// statements alone, the part of the work the aggregate does. The runs
// alternate, so that both kinds see the same load; the summary compares
// the fastest run of each in process CPU time (the whole calculation runs
// in this process) and in wall time.
//
// Sizes: QEV_BENCH_EXACT_ROWS (rows per source, default 200,000) and
// QEV_BENCH_EXACT_GOODS (default 5,000).
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <time.h>
#include <unistd.h>
#include <utility>
#include <vector>

#include "bench/support/pg_bench.h"
#include "frame/registration.h"
#include "host/exact_sum.h"
#include "host/host.h"
#include "platform/class_factory.h"
#include "platform/dispatch.h"
#include "schema/schema.h"
#include "utility/server.h"

namespace {

using qev::bench::EnvInt;

const int kRows = EnvInt("QEV_BENCH_EXACT_ROWS", 200000);
const int kGoods = EnvInt("QEV_BENCH_EXACT_GOODS", 5000);

void Check(int rc, sqlite3* db, const char* what) {
  if (rc != SQLITE_OK && rc != SQLITE_DONE && rc != SQLITE_ROW) {
    std::fprintf(stderr, "%s: %s\n", what, db ? sqlite3_errmsg(db) : sqlite3_errstr(rc));
    std::exit(1);
  }
}

struct Files {
  std::string report;
  std::string sources[3];
};

const Files& TheFiles() {
  static const Files* files = [] {
    auto* f = new Files;
    char tmpl[] = "/tmp/qev-bench-exact-XXXXXX";
    const std::string dir = mkdtemp(tmpl);
    f->report = dir + "/report.db";
    qev::Variant q0 = qev::Get(qev::Variant(qev::host::CreateHostLib(f->report, "BENCH")),
                               "DbA_Query0_Obj");
    qev::host::CreateFixedTables(q0.object());
    qev::schema::Apply(q0, "goods_reports");
    qev::schema::Apply(q0, "goods_sources");
    for (int k = 0; k < 3; ++k) {
      f->sources[k] = dir + "/source" + std::to_string(k + 1) + ".db";
      qev::schema::Apply(qev::Variant(qev::host::CreateQueryObj(f->sources[k])), "goods_sources");
      sqlite3* db = nullptr;
      Check(sqlite3_open(f->sources[k].c_str(), &db), db, "open");
      Check(sqlite3_exec(db, "begin", nullptr, nullptr, nullptr), db, "begin");
      sqlite3_stmt* st = nullptr;
      Check(sqlite3_prepare_v2(db, "insert into fy_detail (goodid,MzZy,Qty,UnitRate,Amt) values (?,?,?,?,?)",
                               -1, &st, nullptr),
            db, "prepare");
      std::mt19937 rng(777 + k);
      for (int i = 0; i < kRows; ++i) {
        const std::string good = std::to_string(100000 + rng() % kGoods);
        sqlite3_bind_text(st, 1, good.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(st, 2, rng() % 2 ? "1" : "2", -1, SQLITE_STATIC);
        // Quantities with up to three decimals, some refunded; amounts in cents.
        const double qty = static_cast<double>(static_cast<int>(rng() % 20000) - 2000) / 1000.0;
        sqlite3_bind_double(st, 3, qty);
        sqlite3_bind_double(st, 4, rng() % 3 ? 1.0 : 0.5);
        sqlite3_bind_double(st, 5, static_cast<double>(static_cast<int>(rng() % 100000) - 10000) / 100.0);
        Check(sqlite3_step(st), db, "insert");
        sqlite3_reset(st);
      }
      sqlite3_finalize(st);
      Check(sqlite3_exec(db, "commit", nullptr, nullptr, nullptr), db, "commit");
      sqlite3_close(db);
    }
    return f;
  }();
  return *files;
}

struct Times {
  double wall = 0, cpu = 0;
};

double CpuSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

// Runs `work` and measures it.
template <typename F>
Times Measure(F&& work) {
  const double cpu = CpuSeconds();
  const auto start = std::chrono::steady_clock::now();
  work();
  return Times{std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(),
               CpuSeconds() - cpu};
}

std::vector<Times> g_report[2];    // SQLite's sum, the exact sum
std::vector<Times> g_grouping[2];

// One calculation of the report with connections opened under `exact`.
Times RunOnce(bool exact) {
  const Files& f = TheFiles();
  qev::host::SetExactSqliteSums(exact);
  qev::Object host = qev::host::CreateHostLib(f.report, "BENCH");
  qev::Variant r(qev::CreateObject("qevRptCalLib.Rpt_Tol_Good"));
  qev::Set(r, "Global_Lib_Obj", host);
  qev::Let(r, "SourceViewName", qev::Variant("rpt_fy_v"));
  qev::Let(r, "RptTab", qev::Variant("rpt_tol_good"));
  qev::Variant q1(qev::host::CreateQueryObj(f.sources[0]));
  qev::Variant q2(qev::host::CreateQueryObj(f.sources[1]));
  qev::Variant q3(qev::host::CreateQueryObj(f.sources[2]));
  qev::host::SetExactSqliteSums(true);
  return Measure([&] { qev::Call(r, "CalcuRpt", qev::Variant(int16_t{3}), q1, q2, q3); });
}

// The report's grouping statement on the three sources, each row read.
Times GroupOnce(bool exact) {
  const Files& f = TheFiles();
  qev::host::SetExactSqliteSums(exact);
  std::vector<qev::Variant> sources;
  for (const std::string& s : f.sources) sources.emplace_back(qev::host::CreateQueryObj(s));
  qev::host::SetExactSqliteSums(true);
  double total = 0;
  const Times t = Measure([&] {
    for (const qev::Variant& q : sources) {
      qev::Variant rs = qev::Call(q, "OpenRs",
                                  "select goodid,sum(Qty*UnitRate) as f_Qty,sum(Amt) as f_amt from "
                                  "rpt_fy_v group by goodid ");
      const int n = qev::Get(rs, "RecordCount").ToInt32();
      for (int i = 0; i < n; ++i, qev::Call(rs, "MoveNext"))
        total += qev::Call(rs, "Fields", int16_t{2}).ToDouble();
      qev::Call(rs, "Close");
    }
  });
  benchmark::DoNotOptimize(total);
  return t;
}

// Arg 0: SQLite's own sum; arg 1: the exact sum. Each iteration runs the
// other kind too (untimed), so that the two alternate.
template <Times (*Once)(bool), std::vector<Times>* Record>
void Alternating(benchmark::State& state) {
  qev::frame::RegisterLinkedClasses();
  qev::utility::RegisterLinkedClasses();
  const bool exact = state.range(0) == 1;
  TheFiles();
  Once(exact);  // warm the page cache
  for (auto _ : state) {
    const Times t = Once(exact);
    state.SetIterationTime(t.wall);
    Record[exact ? 1 : 0].push_back(t);
    state.PauseTiming();
    Record[exact ? 0 : 1].push_back(Once(!exact));
    state.ResumeTiming();
  }
  state.SetLabel(exact ? "exact sum" : "SQLite sum");
  state.counters["rows_per_source"] = kRows;
  state.counters["goods"] = kGoods;
}

void BM_Rpt_Tol_Good_3x(benchmark::State& state) { Alternating<RunOnce, g_report>(state); }
void BM_Grouping_3x(benchmark::State& state) { Alternating<GroupOnce, g_grouping>(state); }

BENCHMARK(BM_Rpt_Tol_Good_3x)->Arg(0)->Arg(1)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_Grouping_3x)->Arg(0)->Arg(1)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

void Summary(const char* what, const std::vector<Times>* runs) {
  if (runs[0].empty() || runs[1].empty()) return;
  auto fastest = [](const std::vector<Times>& v, double Times::*field) {
    double best = v[0].*field;
    for (const Times& t : v) best = std::min(best, t.*field);
    return best;
  };
  std::printf("\n%s, %d rows x 3 sources, %d goods, SQLite (%zu runs each, fastest):\n", what, kRows,
              kGoods, runs[0].size());
  for (auto [name, field] : {std::pair{"CPU ", &Times::cpu}, std::pair{"wall", &Times::wall}}) {
    const double b = fastest(runs[0], field), e = fastest(runs[1], field);
    std::printf("  %s: SQLite's sum %.1f ms, exact sum %.1f ms, exact / SQLite's %.3f\n", name,
                b * 1e3, e * 1e3, e / b);
  }
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  Summary("Rpt_Tol_Good", g_report);
  Summary("The grouping statements alone", g_grouping);
  return 0;
}
