// Rpt_Tol_Good over three source database files of 1,000,000 dispensing
// rows each (10,000 goods), beside its floor: the same three grouping
// queries run with raw sqlite3 calls plus one plain bulk insert of the
// finished report rows. Prints the ratio report / floor at the end.
//
// Sizes can be lowered for a quick look: QEV_BENCH_ROWS, QEV_BENCH_GOODS.
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <random>
#include <string>
#include <unistd.h>

#include "frame/registration.h"
#include "host/host.h"
#include "platform/class_factory.h"
#include "platform/dispatch.h"
#include "schema/schema.h"
#include "utility/server.h"

namespace {

int EnvInt(const char* name, int fallback) {
  const char* v = std::getenv(name);
  return v && *v ? std::atoi(v) : fallback;
}

const int kRows = EnvInt("QEV_BENCH_ROWS", 1000000);
const int kGoods = EnvInt("QEV_BENCH_GOODS", 10000);

void Check(int rc, sqlite3* db, const char* what) {
  if (rc != SQLITE_OK && rc != SQLITE_DONE && rc != SQLITE_ROW) {
    std::fprintf(stderr, "%s: %s\n", what, db ? sqlite3_errmsg(db) : sqlite3_errstr(rc));
    std::exit(1);
  }
}

struct Files {
  std::string dir;
  std::string report;
  std::string sources[3];
};

// Creates the three source files (through the shipped schema) and fills
// them with raw prepared inserts in one transaction each.
Files MakeFiles() {
  Files f;
  char tmpl[] = "/tmp/qev-bench-goods-XXXXXX";
  f.dir = mkdtemp(tmpl);
  f.report = f.dir + "/report.db";
  qev::Variant q0 = qev::Get(qev::Variant(qev::host::CreateHostLib(f.report, "BENCH")),
                             "DbA_Query0_Obj");
  qev::host::CreateFixedTables(q0.object());
  qev::schema::Apply(q0, "goods_reports");
  qev::schema::Apply(q0, "goods_sources");
  for (int k = 0; k < 3; ++k) {
    f.sources[k] = f.dir + "/source" + std::to_string(k + 1) + ".db";
    qev::schema::Apply(qev::Variant(qev::host::CreateQueryObj(f.sources[k])), "goods_sources");
    sqlite3* db = nullptr;
    Check(sqlite3_open(f.sources[k].c_str(), &db), db, "open");
    Check(sqlite3_exec(db, "begin", nullptr, nullptr, nullptr), db, "begin");
    sqlite3_stmt* st = nullptr;
    Check(sqlite3_prepare_v2(db,
                             "insert into fy_detail (goodid,MzZy,Qty,UnitRate,Amt) "
                             "values (?,?,?,?,?)",
                             -1, &st, nullptr),
          db, "prepare");
    std::mt19937 rng(1234 + k);
    for (int i = 0; i < kRows; ++i) {
      const std::string good = std::to_string(100000 + rng() % kGoods);
      sqlite3_bind_text(st, 1, good.c_str(), -1, SQLITE_TRANSIENT);
      sqlite3_bind_text(st, 2, rng() % 2 ? "1" : "2", -1, SQLITE_STATIC);
      sqlite3_bind_int(st, 3, 1 + static_cast<int>(rng() % 20));
      sqlite3_bind_int(st, 4, rng() % 2 ? 1 : 10);
      sqlite3_bind_double(st, 5, static_cast<double>(rng() % 100000) / 100.0);
      Check(sqlite3_step(st), db, "insert");
      sqlite3_reset(st);
    }
    sqlite3_finalize(st);
    Check(sqlite3_exec(db, "commit", nullptr, nullptr, nullptr), db, "commit");
    sqlite3_close(db);
  }
  return f;
}

const Files& TheFiles() {
  static const Files* files = new Files(MakeFiles());
  return *files;
}

double g_report_seconds = 0;
double g_floor_seconds = 0;

void BM_Rpt_Tol_Good(benchmark::State& state) {
  const Files& f = TheFiles();
  qev::frame::RegisterLinkedClasses();
  qev::utility::RegisterLinkedClasses();
  qev::Object host = qev::host::CreateHostLib(f.report, "BENCH");
  qev::Variant r(qev::CreateObject("qevRptCalLib.Rpt_Tol_Good"));
  qev::Set(r, "Global_Lib_Obj", host);
  qev::Let(r, "SourceViewName", qev::Variant("rpt_fy_v"));
  qev::Let(r, "RptTab", qev::Variant("rpt_tol_good"));
  qev::Variant q1(qev::host::CreateQueryObj(f.sources[0]));
  qev::Variant q2(qev::host::CreateQueryObj(f.sources[1]));
  qev::Variant q3(qev::host::CreateQueryObj(f.sources[2]));
  double total = 0;
  int runs = 0;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    qev::Call(r, "CalcuRpt", qev::Variant(int16_t{3}), q1, q2, q3);
    total += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    ++runs;
  }
  g_report_seconds = total / runs;
  state.counters["goods"] = kGoods;
}

void BM_Floor(benchmark::State& state) {
  const Files& f = TheFiles();
  double total = 0;
  int runs = 0;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    std::map<std::string, std::pair<double, double>> totals;
    for (const std::string& path : f.sources) {
      sqlite3* db = nullptr;
      Check(sqlite3_open(path.c_str(), &db), db, "open");
      sqlite3_stmt* st = nullptr;
      Check(sqlite3_prepare_v2(db,
                               "select goodid,sum(Qty*UnitRate) as f_Qty,sum(Amt) as f_amt "
                               "from rpt_fy_v group by goodid ",
                               -1, &st, nullptr),
            db, "prepare");
      while (sqlite3_step(st) == SQLITE_ROW) {
        auto& t = totals[reinterpret_cast<const char*>(sqlite3_column_text(st, 0))];
        t.first += sqlite3_column_double(st, 1);
        t.second += sqlite3_column_double(st, 2);
      }
      sqlite3_finalize(st);
      sqlite3_close(db);
    }
    sqlite3* db = nullptr;
    Check(sqlite3_open(f.report.c_str(), &db), db, "open");
    Check(sqlite3_exec(db, "delete from rpt_tol_good where computer='FLOOR'; begin", nullptr,
                       nullptr, nullptr),
          db, "begin");
    sqlite3_stmt* st = nullptr;
    Check(sqlite3_prepare_v2(db,
                             "insert into rpt_tol_good (computer,name,nameid,qty,amt,everyprice) "
                             "values ('FLOOR',?,?,?,?,?)",
                             -1, &st, nullptr),
          db, "prepare");
    for (const auto& [good, t] : totals) {
      sqlite3_bind_text(st, 1, good.c_str(), -1, SQLITE_STATIC);
      sqlite3_bind_text(st, 2, good.c_str(), -1, SQLITE_STATIC);
      sqlite3_bind_double(st, 3, t.first);
      sqlite3_bind_double(st, 4, t.second);
      sqlite3_bind_double(st, 5, t.first != 0 ? t.second / t.first : 0);
      Check(sqlite3_step(st), db, "insert");
      sqlite3_reset(st);
    }
    sqlite3_finalize(st);
    Check(sqlite3_exec(db, "commit", nullptr, nullptr, nullptr), db, "commit");
    sqlite3_close(db);
    total += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    ++runs;
  }
  g_floor_seconds = total / runs;
}

BENCHMARK(BM_Floor)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_Rpt_Tol_Good)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  if (g_floor_seconds > 0 && g_report_seconds > 0)
    std::printf("Rpt_Tol_Good %.3f s, floor %.3f s, ratio report/floor %.2f (%d rows x 3 sources, "
                "%d goods)\n",
                g_report_seconds, g_floor_seconds, g_report_seconds / g_floor_seconds, kRows,
                kGoods);
  std::error_code ec;
  std::filesystem::remove_all(TheFiles().dir, ec);
  return 0;
}
