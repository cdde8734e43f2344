// Rpt_Tol_Good over three source database files of 200,000 dispensing
// rows each (10,000 goods), beside its floor: the same three grouping
// queries run with raw sqlite3 calls plus one plain bulk insert of the
// finished report rows. The report runs as a host runs it, inside the
// calculation bracket (host/calculation.h, which batches its writes), and
// once more without the bracket (every statement its own transaction).
// Prints the ratios report / floor at the end.
//
// Then the same report on PostgreSQL beside SQLite on one smaller data set
// loaded into both (three source databases and the report database on each
// engine), with the PostgreSQL floor (raw libpq), when QEV_PG_URL names a
// server (./run bench starts a throwaway one), its sessions committing
// durably as on a production server; there also without the bracket when
// QEV_BENCH_UNBATCHED=1 (slow); and on the same databases through the two
// ODBC drivers (the SQLite ODBC driver, psqlODBC), each beside its native
// engine.
//
// Sizes: QEV_BENCH_ROWS (default 200,000; QEV_BENCH_ROWS=1000000 for the
// large case, which takes minutes), QEV_BENCH_GOODS (the SQLite files);
// QEV_BENCH_PG_ROWS (rows per source, default 100,000) and
// QEV_BENCH_PG_GOODS (default 5,000) for the comparison of the engines.
#include <benchmark/benchmark.h>
#include <libpq-fe.h>
#include <sqlite3.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <unistd.h>

#include "bench/support/floor_bench.h"
#include "bench/support/pg_bench.h"
#include "bench/support/raw_db.h"
#include "bench/support/replay.h"
#include "frame/registration.h"
#include "host/calculation.h"
#include "host/host.h"
#include "platform/class_factory.h"
#include "platform/dispatch.h"
#include "schema/schema.h"
#include "utility/server.h"

namespace {

using qev::bench::EnvInt;

const int kRows = EnvInt("QEV_BENCH_ROWS", 200000);
const int kGoods = EnvInt("QEV_BENCH_GOODS", 10000);
const int kPgRows = EnvInt("QEV_BENCH_PG_ROWS", 100000);
const int kPgGoods = EnvInt("QEV_BENCH_PG_GOODS", 5000);

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

bool g_files_made = false;

const Files& TheFiles() {
  static const Files* files = (g_files_made = true, new Files(MakeFiles()));
  return *files;
}

double g_limit_seconds = 0;
std::string g_limit_totals, g_report_totals;

sqlite3_stmt* PrepareOrDie(sqlite3* db, const char* sql) {
  sqlite3_stmt* st = nullptr;
  Check(sqlite3_prepare_v3(db, sql, -1, SQLITE_PREPARE_PERSISTENT, &st, nullptr), db, sql);
  return st;
}

void StepOrDie(sqlite3* db, sqlite3_stmt* st, const char* what) {
  Check(sqlite3_step(st), db, what);
  sqlite3_reset(st);
}

// count, sum(qty), sum(amt) of a workstation's rows, to compare two runs.
std::string ReportTotals(const std::string& path, const char* computer) {
  sqlite3* db = nullptr;
  Check(sqlite3_open(path.c_str(), &db), db, "open");
  sqlite3_stmt* st = PrepareOrDie(db,
                                  "select count(*), round(sum(qty),2), round(sum(amt),2), "
                                  "count(spec) from rpt_tol_good where computer=?");
  sqlite3_bind_text(st, 1, computer, -1, SQLITE_STATIC);
  std::string out;
  if (sqlite3_step(st) == SQLITE_ROW)
    for (int c = 0; c < 4; ++c)
      out += std::string(reinterpret_cast<const char*>(sqlite3_column_text(st, c))) + " ";
  sqlite3_finalize(st);
  sqlite3_close(db);
  return out;
}

double g_report_seconds[2] = {0, 0};  // without, with the bracket
double g_floor_seconds = 0;

double g_replay_seconds = 0;
size_t g_replay_statements = 0;

void RunTolGood(benchmark::State& state, bool batched) {
  const Files& f = TheFiles();
  qev::frame::RegisterLinkedClasses();
  qev::utility::RegisterLinkedClasses();
  qev::bench::RecordedHost rec(false, f.report, f.sources, "BENCH");
  const qev::Object& host = rec.host();
  qev::Variant r(qev::CreateObject("qevRptCalLib.Rpt_Tol_Good"));
  qev::Set(r, "Global_Lib_Obj", host);
  qev::Let(r, "SourceViewName", qev::Variant("rpt_fy_v"));
  qev::Let(r, "RptTab", qev::Variant("rpt_tol_good"));
  const qev::Variant(&q)[3] = rec.sources();
  double total = 0;
  int runs = 0;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    qev::bench::CalculateOnce(host, r, "rpt_tol_good", q, batched);
    total += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    ++runs;
  }
  g_report_seconds[batched] = total / runs;
  if (batched) {
    g_report_totals = ReportTotals(f.report, "BENCH");
    // Its statements once more, written down, then sent raw.
    g_replay_seconds = rec.RecordAndReplay([&] { qev::bench::CalculateOnce(host, r, "rpt_tol_good", q, true); });
    g_replay_statements = rec.statement_count();
  }
  state.counters["goods"] = kGoods;
}

void BM_Rpt_Tol_Good(benchmark::State& state) { RunTolGood(state, true); }
void BM_Rpt_Tol_Good_Unbatched(benchmark::State& state) { RunTolGood(state, false); }

// The bracket alone (take the lock, record the start, record the outcome,
// release): what it adds to every calculation, measured apart from the
// report so that the load of the machine does not hide it.
double g_bracket_seconds = 0;
void BM_CalculationBracket(benchmark::State& state) {
  const Files& f = TheFiles();
  qev::Object host = qev::host::CreateHostLib(f.report, "BENCH");
  double total = 0;
  int runs = 0;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    qev::host::Calculation calculation(host, "rpt_tol_good", std::chrono::seconds(10));
    calculation.Succeeded();
    total += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    ++runs;
  }
  g_bracket_seconds = total / runs;
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
      qev::bench::SameCacheAsTheHost(db);
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
    qev::bench::SameCacheAsTheHost(db);
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

// The limit of the report's own statements: the statements Rpt_Tol_Good
// sends, in its order (its grouping select per source; per group, the
// select of the workstation's row by key, then an insert or an update; then
// per report row, the good's lookup and the update that fills it in), as
// raw prepared sqlite3 statements with bound values inside one transaction,
// with no host services around them. The distance from it to the floor is
// what the report's statements cost however cheap the host is; the report
// beside it shows what the host adds.
void BM_StatementLimit(benchmark::State& state) {
  const Files& f = TheFiles();
  static const char* const kComputer = "LIMIT";
  double total = 0;
  int runs = 0;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    sqlite3* rdb = nullptr;
    Check(sqlite3_open(f.report.c_str(), &rdb), rdb, "open");
    qev::bench::SameCacheAsTheHost(rdb);
    Check(sqlite3_exec(rdb, "begin immediate; delete from rpt_tol_good where computer='LIMIT'",
                       nullptr, nullptr, nullptr),
          rdb, "begin");
    sqlite3_stmt* sel = PrepareOrDie(rdb, "select computer,qty,name, amt from rpt_tol_good where name=? and computer=?");
    sqlite3_stmt* ins = PrepareOrDie(rdb, "insert into rpt_tol_good (computer,qty,name,amt) values (?,?,?,?)");
    sqlite3_stmt* upd = PrepareOrDie(rdb, "update rpt_tol_good set qty=?,amt=? where name=? and computer=?");
    for (const std::string& path : f.sources) {
      sqlite3* sdb = nullptr;
      Check(sqlite3_open(path.c_str(), &sdb), sdb, "open");
      qev::bench::SameCacheAsTheHost(sdb);
      sqlite3_stmt* grp = PrepareOrDie(sdb,
                                       "select goodid,sum(Qty*UnitRate) as f_Qty,sum(Amt) as f_amt "
                                       "from rpt_fy_v group by goodid ");
      while (sqlite3_step(grp) == SQLITE_ROW) {
        const char* good = reinterpret_cast<const char*>(sqlite3_column_text(grp, 0));
        const double qty = sqlite3_column_double(grp, 1), amt = sqlite3_column_double(grp, 2);
        sqlite3_bind_text(sel, 1, good, -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(sel, 2, kComputer, -1, SQLITE_STATIC);
        if (sqlite3_step(sel) == SQLITE_ROW) {
          const double old_qty = sqlite3_column_double(sel, 1), old_amt = sqlite3_column_double(sel, 3);
          sqlite3_reset(sel);
          sqlite3_bind_double(upd, 1, old_qty + qty);
          sqlite3_bind_double(upd, 2, old_amt + amt);
          sqlite3_bind_text(upd, 3, good, -1, SQLITE_TRANSIENT);
          sqlite3_bind_text(upd, 4, kComputer, -1, SQLITE_STATIC);
          StepOrDie(rdb, upd, "update");
        } else {
          sqlite3_reset(sel);
          sqlite3_bind_text(ins, 1, kComputer, -1, SQLITE_STATIC);
          sqlite3_bind_double(ins, 2, qty);
          sqlite3_bind_text(ins, 3, good, -1, SQLITE_TRANSIENT);
          sqlite3_bind_double(ins, 4, amt);
          StepOrDie(rdb, ins, "insert");
        }
      }
      sqlite3_finalize(grp);
      sqlite3_close(sdb);
    }
    // Fill in the goods: read the workstation's rows, then per row the
    // good's lookup and the update.
    struct Row {
      std::string name;
      double qty, amt;
    };
    std::vector<Row> rows;
    sqlite3_stmt* own = PrepareOrDie(rdb,
                                     "select everyprice,name,spec,unitname,nameid,amt,qty from "
                                     "rpt_tol_good where computer=?");
    sqlite3_bind_text(own, 1, kComputer, -1, SQLITE_STATIC);
    while (sqlite3_step(own) == SQLITE_ROW)
      rows.push_back({reinterpret_cast<const char*>(sqlite3_column_text(own, 1)),
                      sqlite3_column_double(own, 6), sqlite3_column_double(own, 5)});
    sqlite3_finalize(own);
    sqlite3_stmt* info = PrepareOrDie(rdb, "select id,Name,spec,UnitName from qev_pub_Good_V where id=?");
    sqlite3_stmt* fill = PrepareOrDie(rdb,
                                      "update rpt_tol_good set nameid=?,EveryPrice=?,name=?,spec=?,"
                                      "UnitName=? where computer=? and name=?");
    for (const Row& r : rows) {
      sqlite3_bind_text(info, 1, r.name.c_str(), -1, SQLITE_STATIC);
      std::string name, spec, unit;
      if (sqlite3_step(info) == SQLITE_ROW) {
        auto text = [&](int c) {
          const unsigned char* t = sqlite3_column_text(info, c);
          return t ? std::string(reinterpret_cast<const char*>(t)) : std::string();
        };
        name = text(1), spec = text(2), unit = text(3);
      }
      sqlite3_reset(info);
      sqlite3_bind_text(fill, 1, r.name.c_str(), -1, SQLITE_STATIC);
      if (r.qty != 0)
        sqlite3_bind_double(fill, 2, r.amt / r.qty);
      else
        sqlite3_bind_null(fill, 2);
      sqlite3_bind_text(fill, 3, name.c_str(), -1, SQLITE_STATIC);
      sqlite3_bind_text(fill, 4, spec.c_str(), -1, SQLITE_STATIC);
      sqlite3_bind_text(fill, 5, unit.c_str(), -1, SQLITE_STATIC);
      sqlite3_bind_text(fill, 6, kComputer, -1, SQLITE_STATIC);
      sqlite3_bind_text(fill, 7, r.name.c_str(), -1, SQLITE_STATIC);
      StepOrDie(rdb, fill, "fill");
    }
    for (sqlite3_stmt* st : {sel, ins, upd, info, fill}) sqlite3_finalize(st);
    Check(sqlite3_exec(rdb, "commit", nullptr, nullptr, nullptr), rdb, "commit");
    sqlite3_close(rdb);
    total += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    ++runs;
  }
  g_limit_seconds = total / runs;
  g_limit_totals = ReportTotals(f.report, kComputer);
}

BENCHMARK(BM_Floor)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_StatementLimit)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_Rpt_Tol_Good)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_Rpt_Tol_Good_Unbatched)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_CalculationBracket)->Unit(benchmark::kMillisecond)->Iterations(200);

// ------------------------------------------------------------ SQLite beside PostgreSQL

// One dispensing row of the comparison data set.
struct DispensingRow {
  std::string good;
  const char* mzzy;
  int qty;
  int rate;
  double amt;
};

// The rows of source k (0..2), the same for both engines.
std::vector<DispensingRow> ComparisonRows(int k) {
  std::vector<DispensingRow> out;
  out.reserve(static_cast<size_t>(kPgRows));
  std::mt19937 rng(4321 + k);
  for (int i = 0; i < kPgRows; ++i) {
    DispensingRow r;
    r.good = std::to_string(100000 + rng() % kPgGoods);
    r.mzzy = rng() % 2 ? "1" : "2";
    r.qty = 1 + static_cast<int>(rng() % 20);
    r.rate = rng() % 2 ? 1 : 10;
    r.amt = static_cast<double>(rng() % 100000) / 100.0;
    out.push_back(std::move(r));
  }
  return out;
}

// The report database and three source databases on one engine, with the
// comparison data set.
struct EngineSet {
  std::string report;
  std::string sources[3];
  std::vector<std::unique_ptr<qev::bench::PgSchema>> schemas;
};

// The same databases through the engine's ODBC driver (the SQLite ODBC
// driver on the same files, psqlODBC on the same schemas).
EngineSet OverOdbc(const EngineSet& native, bool pg) {
  EngineSet out;
  auto odbc = [&](const std::string& connection, size_t k) {
    return pg ? native.schemas[k]->odbc_connection() : "odbc:Driver=SQLite3;Database=" + connection;
  };
  out.report = odbc(native.report, 0);
  for (int k = 0; k < 3; ++k) out.sources[k] = odbc(native.sources[k], static_cast<size_t>(k + 1));
  return out;
}

void FillSqliteSource(const std::string& path, const std::vector<DispensingRow>& rows) {
  sqlite3* db = nullptr;
  Check(sqlite3_open(path.c_str(), &db), db, "open");
  Check(sqlite3_exec(db, "begin", nullptr, nullptr, nullptr), db, "begin");
  sqlite3_stmt* st = nullptr;
  Check(sqlite3_prepare_v2(db, "insert into fy_detail (goodid,MzZy,Qty,UnitRate,Amt) values (?,?,?,?,?)",
                           -1, &st, nullptr),
        db, "prepare");
  for (const DispensingRow& r : rows) {
    sqlite3_bind_text(st, 1, r.good.c_str(), -1, SQLITE_STATIC);
    sqlite3_bind_text(st, 2, r.mzzy, -1, SQLITE_STATIC);
    sqlite3_bind_int(st, 3, r.qty);
    sqlite3_bind_int(st, 4, r.rate);
    sqlite3_bind_double(st, 5, r.amt);
    Check(sqlite3_step(st), db, "insert");
    sqlite3_reset(st);
  }
  sqlite3_finalize(st);
  Check(sqlite3_exec(db, "commit", nullptr, nullptr, nullptr), db, "commit");
  sqlite3_close(db);
}

struct PgFinish {
  void operator()(PGconn* c) const { PQfinish(c); }
};
using PgConn = std::unique_ptr<PGconn, PgFinish>;

PgConn PgConnect(const std::string& connection) {
  PgConn conn(PQconnectdb(connection.c_str()));
  if (PQstatus(conn.get()) != CONNECTION_OK) {
    std::fprintf(stderr, "libpq connect: %s\n", PQerrorMessage(conn.get()));
    std::exit(1);
  }
  return conn;
}

void PgCheck(PGconn* conn, PGresult* r, ExecStatusType want, const char* what) {
  if (PQresultStatus(r) != want) {
    std::fprintf(stderr, "libpq %s: %s\n", what, PQerrorMessage(conn));
    std::exit(1);
  }
  PQclear(r);
}

// Loads the rows with COPY, the server's bulk load.
void FillPgSource(const std::string& connection, const std::vector<DispensingRow>& rows) {
  PgConn conn = PgConnect(connection);
  PgCheck(conn.get(), PQexec(conn.get(), "copy fy_detail (goodid,MzZy,Qty,UnitRate,Amt) from stdin"),
          PGRES_COPY_IN, "copy");
  std::string chunk;
  char line[96];
  for (size_t i = 0; i < rows.size(); ++i) {
    const DispensingRow& r = rows[i];
    std::snprintf(line, sizeof line, "%s\t%s\t%d\t%d\t%.2f\n", r.good.c_str(), r.mzzy, r.qty, r.rate, r.amt);
    chunk += line;
    if (chunk.size() > (1 << 16) || i + 1 == rows.size()) {
      if (PQputCopyData(conn.get(), chunk.data(), static_cast<int>(chunk.size())) != 1) {
        std::fprintf(stderr, "libpq copy: %s\n", PQerrorMessage(conn.get()));
        std::exit(1);
      }
      chunk.clear();
    }
  }
  if (PQputCopyEnd(conn.get(), nullptr) != 1) std::exit(1);
  PgCheck(conn.get(), PQgetResult(conn.get()), PGRES_COMMAND_OK, "copy end");
  PgCheck(conn.get(), PQexec(conn.get(), "analyze fy_detail"), PGRES_COMMAND_OK, "analyze");
}

// Sets up the databases of one engine through the shipped schema.
EngineSet MakeEngineSet(bool pg, const std::string& dir) {
  EngineSet set;
  auto database = [&](const std::string& role) {
    if (!pg) return dir + "/cmp_" + role + ".db";
    set.schemas.push_back(std::make_unique<qev::bench::PgSchema>(
        qev::bench::PgUrl(), "qev_bench_goods_" + std::to_string(getpid()) + "_" + role, /*durable=*/true));
    return set.schemas.back()->connection();
  };
  set.report = database("report");
  qev::Variant q0 = qev::Get(qev::Variant(qev::host::CreateHostLib(set.report, "BENCH")), "DbA_Query0_Obj");
  qev::host::CreateFixedTables(q0.object());
  qev::schema::Apply(q0, "goods_reports");
  qev::schema::Apply(q0, "goods_sources");
  for (int k = 0; k < 3; ++k) {
    set.sources[k] = database("source" + std::to_string(k + 1));
    qev::schema::Apply(qev::Variant(qev::host::CreateQueryObj(set.sources[k])), "goods_sources");
    const auto rows = ComparisonRows(k);
    if (pg)
      FillPgSource(set.sources[k], rows);
    else
      FillSqliteSource(set.sources[k], rows);
  }
  return set;
}

struct Comparison {
  std::string dir;
  EngineSet sqlite, pg, odbc_sqlite, odbc_pg;
};

bool g_comparison_made = false;

const Comparison& TheComparison() {
  static const Comparison* c = [] {
    g_comparison_made = true;
    auto* out = new Comparison;
    char tmpl[] = "/tmp/qev-bench-cmp-XXXXXX";
    out->dir = mkdtemp(tmpl);
    out->sqlite = MakeEngineSet(false, out->dir);
    out->pg = MakeEngineSet(true, out->dir);
    out->odbc_sqlite = OverOdbc(out->sqlite, false);
    out->odbc_pg = OverOdbc(out->pg, true);
    return out;
  }();
  return *c;
}

// SQLite, PostgreSQL, SQLite through its ODBC driver, PostgreSQL through
// psqlODBC.
double g_cmp_seconds[4] = {0, 0, 0, 0};
double g_pg_unbatched_seconds = 0;
std::string g_cmp_totals[4];
double g_pg_floor_seconds = 0;
double g_pg_replay_seconds = 0;

// count, sum(qty), sum(amt) of the report's rows, to check that both
// engines computed the same report.
std::string ReportTotals(const qev::Variant& q0) {
  qev::Variant rs = qev::Call(q0, "OpenRs", "select count(*), sum(qty), sum(amt) from rpt_tol_good where computer='BENCH'");
  char buf[128];
  std::snprintf(buf, sizeof buf, "%d rows, qty %.6g, amt %.2f", qev::Call(rs, "Fields", int16_t{0}).ToInt32(),
                qev::Call(rs, "Fields", int16_t{1}).ToDouble(), qev::Call(rs, "Fields", int16_t{2}).ToDouble());
  return buf;
}

void RunOnEngine(benchmark::State& state, int engine, bool batched = true) {
  const Comparison& c = TheComparison();
  const EngineSet& set = engine == 0 ? c.sqlite : engine == 1 ? c.pg : engine == 2 ? c.odbc_sqlite : c.odbc_pg;
  qev::frame::RegisterLinkedClasses();
  qev::utility::RegisterLinkedClasses();
  qev::Object host = qev::host::CreateHostLib(set.report, "BENCH");
  qev::Variant r(qev::CreateObject("qevRptCalLib.Rpt_Tol_Good"));
  qev::Set(r, "Global_Lib_Obj", host);
  qev::Let(r, "SourceViewName", qev::Variant("rpt_fy_v"));
  qev::Let(r, "RptTab", qev::Variant("rpt_tol_good"));
  const qev::Variant sources[3] = {qev::Variant(qev::host::CreateQueryObj(set.sources[0])),
                                    qev::Variant(qev::host::CreateQueryObj(set.sources[1])),
                                    qev::Variant(qev::host::CreateQueryObj(set.sources[2]))};
  double total = 0;
  int runs = 0;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    qev::bench::CalculateOnce(host, r, "rpt_tol_good", sources, batched);
    total += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    ++runs;
  }
  if (!batched) {
    g_pg_unbatched_seconds = total / runs;
    return;
  }
  g_cmp_seconds[engine] = total / runs;
  g_cmp_totals[engine] = ReportTotals(qev::Get(qev::Variant(host), "DbA_Query0_Obj"));
  if (engine == 1) {
    // On PostgreSQL also its statements replayed through libpq alone.
    qev::bench::RecordedHost rec(true, set.report, set.sources, "BENCH");
    qev::Set(r, "Global_Lib_Obj", rec.host());
    g_pg_replay_seconds = rec.RecordAndReplay(
        [&] { qev::bench::CalculateOnce(rec.host(), r, "rpt_tol_good", rec.sources(), true); });
    qev::Set(r, "Global_Lib_Obj", host);
  }
  state.counters["goods"] = kPgGoods;
  state.counters["rows_per_source"] = kPgRows;
}

void BM_Rpt_Tol_Good_SqliteSameData(benchmark::State& state) { RunOnEngine(state, 0); }
void BM_Rpt_Tol_Good_Postgres(benchmark::State& state) { RunOnEngine(state, 1); }
void BM_Rpt_Tol_Good_PostgresUnbatched(benchmark::State& state) { RunOnEngine(state, 1, false); }
void BM_Rpt_Tol_Good_OdbcSqlite(benchmark::State& state) { RunOnEngine(state, 2, true); }
void BM_Rpt_Tol_Good_OdbcPostgres(benchmark::State& state) { RunOnEngine(state, 3, true); }

// The PostgreSQL floor: the three grouping queries with raw libpq calls and
// the finished rows written with one prepared insert in one transaction.
void BM_FloorPostgres(benchmark::State& state) {
  const Comparison& c = TheComparison();
  double total = 0;
  int runs = 0;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    std::map<std::string, std::pair<double, double>> totals;
    for (const std::string& source : c.pg.sources) {
      PgConn conn = PgConnect(source);
      PGresult* r = PQexec(conn.get(), "select goodid,sum(Qty*UnitRate) as f_Qty,sum(Amt) as f_amt "
                                       "from rpt_fy_v group by goodid ");
      if (PQresultStatus(r) != PGRES_TUPLES_OK) PgCheck(conn.get(), r, PGRES_TUPLES_OK, "group");
      for (int i = 0, n = PQntuples(r); i < n; ++i) {
        auto& t = totals[PQgetvalue(r, i, 0)];
        t.first += std::strtod(PQgetvalue(r, i, 1), nullptr);
        t.second += std::strtod(PQgetvalue(r, i, 2), nullptr);
      }
      PQclear(r);
    }
    PgConn conn = PgConnect(c.pg.report);
    PgCheck(conn.get(), PQexec(conn.get(), "delete from rpt_tol_good where computer='FLOOR'"),
            PGRES_COMMAND_OK, "delete");
    PgCheck(conn.get(), PQexec(conn.get(), "begin"), PGRES_COMMAND_OK, "begin");
    PgCheck(conn.get(),
            PQprepare(conn.get(), "ins", "insert into rpt_tol_good (computer,name,nameid,qty,amt,everyprice) "
                                         "values ('FLOOR',$1,$1,$2,$3,$4)", 0, nullptr),
            PGRES_COMMAND_OK, "prepare");
    for (const auto& [good, t] : totals) {
      const std::string q = std::to_string(t.first), a = std::to_string(t.second),
                        p = std::to_string(t.first != 0 ? t.second / t.first : 0);
      const char* v[] = {good.c_str(), q.c_str(), a.c_str(), p.c_str()};
      PgCheck(conn.get(), PQexecPrepared(conn.get(), "ins", 4, v, nullptr, nullptr, 0), PGRES_COMMAND_OK, "insert");
    }
    PgCheck(conn.get(), PQexec(conn.get(), "commit"), PGRES_COMMAND_OK, "commit");
    total += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    ++runs;
  }
  g_pg_floor_seconds = total / runs;
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  const bool pg = !qev::bench::PgUrl().empty();
  if (pg) {
    benchmark::RegisterBenchmark("BM_FloorPostgres", BM_FloorPostgres)->Unit(benchmark::kMillisecond)->Iterations(3);
    benchmark::RegisterBenchmark("BM_Rpt_Tol_Good_SqliteSameData", BM_Rpt_Tol_Good_SqliteSameData)
        ->Unit(benchmark::kMillisecond)->Iterations(3);
    benchmark::RegisterBenchmark("BM_Rpt_Tol_Good_Postgres", BM_Rpt_Tol_Good_Postgres)
        ->Unit(benchmark::kMillisecond)->Iterations(3);
    if (qev::bench::PgUnbatchedWanted())
      benchmark::RegisterBenchmark("BM_Rpt_Tol_Good_PostgresUnbatched", BM_Rpt_Tol_Good_PostgresUnbatched)
          ->Unit(benchmark::kMillisecond)->Iterations(1);
    // The same two engines through their ODBC drivers, in the same run.
    setenv("ODBCSYSINI", QEV_ODBCSYSINI, /*overwrite=*/0);
    benchmark::RegisterBenchmark("BM_Rpt_Tol_Good_OdbcSqlite", BM_Rpt_Tol_Good_OdbcSqlite)
        ->Unit(benchmark::kMillisecond)->Iterations(3);
    benchmark::RegisterBenchmark("BM_Rpt_Tol_Good_OdbcPostgres", BM_Rpt_Tol_Good_OdbcPostgres)
        ->Unit(benchmark::kMillisecond)->Iterations(3);
  } else {
    std::fprintf(stderr, "bench_goods: QEV_PG_URL is not set; the PostgreSQL cases are skipped\n");
  }
  try {
    benchmark::RunSpecifiedBenchmarks();
  } catch (const qev::RuntimeError& e) {
    std::fprintf(stderr, "bench_goods: %s\n", e.error().ToString().c_str());
    return 1;
  }
  benchmark::Shutdown();
  if (g_cmp_seconds[0] > 0 && g_cmp_seconds[1] > 0) {
    std::printf("Rpt_Tol_Good on the same data (%d rows x 3 sources, %d goods): SQLite %.3f s, "
                "PostgreSQL %.3f s, ratio PostgreSQL/SQLite %.2f\n",
                kPgRows, kPgGoods, g_cmp_seconds[0], g_cmp_seconds[1], g_cmp_seconds[1] / g_cmp_seconds[0]);
    std::printf("  report rows: SQLite %s; PostgreSQL %s%s\n", g_cmp_totals[0].c_str(),
                g_cmp_totals[1].c_str(), g_cmp_totals[0] == g_cmp_totals[1] ? "" : "  (DIFFERENT)");
  }
  const char* const names[4] = {"SQLite", "PostgreSQL", "the SQLite ODBC driver", "psqlODBC"};
  for (int odbc = 2; odbc < 4; ++odbc) {
    const int native = odbc - 2;
    if (g_cmp_seconds[odbc] > 0 && g_cmp_seconds[native] > 0)
      std::printf("Rpt_Tol_Good through %s %.3f s, native %s %.3f s, ratio ODBC/native %.2f; "
                  "report rows %s%s\n",
                  names[odbc], g_cmp_seconds[odbc], names[native], g_cmp_seconds[native],
                  g_cmp_seconds[odbc] / g_cmp_seconds[native], g_cmp_totals[odbc].c_str(),
                  g_cmp_totals[odbc] == g_cmp_totals[native] ? "" : "  (DIFFERENT)");
  }
  if (g_pg_floor_seconds > 0 && g_cmp_seconds[1] > 0)
    std::printf("Rpt_Tol_Good on PostgreSQL %.3f s, floor %.3f s, ratio report/floor %.2f (target <= 2)\n",
                g_cmp_seconds[1], g_pg_floor_seconds, g_cmp_seconds[1] / g_pg_floor_seconds);
  if (g_pg_floor_seconds > 0 && g_pg_replay_seconds > 0 && g_cmp_seconds[1] > 0)
    std::printf("  the report's statements replayed raw %.3f s: replay/floor %.2f, report/replay %.2f\n",
                g_pg_replay_seconds, g_pg_replay_seconds / g_pg_floor_seconds,
                g_cmp_seconds[1] / g_pg_replay_seconds);
  if (g_pg_floor_seconds > 0 && g_pg_unbatched_seconds > 0)
    std::printf("  without the calculation bracket %.3f s, ratio report/floor %.2f\n",
                g_pg_unbatched_seconds, g_pg_unbatched_seconds / g_pg_floor_seconds);
  if (g_floor_seconds > 0 && g_report_seconds[1] > 0)
    std::printf("Rpt_Tol_Good %.3f s, floor %.3f s, ratio report/floor %.2f (target <= 1.2; %d rows x 3 "
                "sources, %d goods)\n",
                g_report_seconds[1], g_floor_seconds, g_report_seconds[1] / g_floor_seconds, kRows,
                kGoods);
  if (g_floor_seconds > 0 && g_limit_seconds > 0 && g_report_seconds[1] > 0)
    std::printf("  the report's own statements, raw in one transaction %.3f s: limit/floor %.2f, "
                "report/limit %.2f; rows (count, qty, amt, filled) report %s, limit %s\n",
                g_limit_seconds, g_limit_seconds / g_floor_seconds,
                g_report_seconds[1] / g_limit_seconds, g_report_totals.c_str(),
                g_limit_totals.c_str());
  if (g_floor_seconds > 0 && g_replay_seconds > 0 && g_report_seconds[1] > 0)
    std::printf("  the report's %zu statements replayed raw %.3f s: replay/floor %.2f, report/replay %.2f\n",
                g_replay_statements, g_replay_seconds, g_replay_seconds / g_floor_seconds,
                g_report_seconds[1] / g_replay_seconds);
  if (g_floor_seconds > 0 && g_report_seconds[0] > 0)
    std::printf("  without the calculation bracket %.3f s, ratio report/floor %.2f\n",
                g_report_seconds[0], g_report_seconds[0] / g_floor_seconds);
  if (g_report_seconds[0] > 0 && g_bracket_seconds > 0)
    std::printf("calculation bracket alone (lock + record, no rows) %.3f ms, %.3f%% of Rpt_Tol_Good\n",
                g_bracket_seconds * 1000, 100.0 * g_bracket_seconds / g_report_seconds[0]);
  std::error_code ec;
  if (g_files_made) std::filesystem::remove_all(TheFiles().dir, ec);
  if (g_comparison_made) {
    std::filesystem::remove_all(TheComparison().dir, ec);
    delete &TheComparison();  // drops the PostgreSQL schemas
  }
  return 0;
}
