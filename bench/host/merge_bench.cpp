// The read-then-write merge that the reports run for every source row: open
// the workstation's row by its key, insert it when there is none, otherwise
// update it with the old figures plus the new ones, close.
//
// The same statements run on the same database through the host services
// (late-bound query object and record set, SQL text with the key in it,
// value lists) and through the engine's own client library with statements
// prepared once and bound parameters: raw SQLite calls on a SQLite file,
// raw libpq calls on PostgreSQL. First everything runs in autocommit mode,
// one transaction per statement, as the reports do without the host's
// calculation marks; then the host runs inside its write-batch marks
// (host/write_batch.h) beside the raw statements inside one transaction,
// the real limit. Reported: rows per second of each, the ratio host / raw
// on each engine, and the ratio of the host services on PostgreSQL to
// those on SQLite on the same rows.
//
// Two workstations (BM_TwoWorkstations): while one merges a large source
// into the file, another repeatedly runs a small calculation (200 rows) in
// its own marks; reported is the latency of the small one, with the large
// one batched (arg 1) and without batching (arg 0).
//
// PostgreSQL: the server of QEV_PG_URL (./run bench starts a throwaway one);
// without it those cases are skipped. Sizes: QEV_BENCH_MERGE_ROWS and
// QEV_BENCH_MERGE_KEYS (SQLite, default 10000 rows over 2000 keys),
// QEV_BENCH_PG_MERGE_ROWS and QEV_BENCH_PG_MERGE_KEYS (PostgreSQL and the
// engine comparison, default 4000 over 800).
#include <benchmark/benchmark.h>
#include <libpq-fe.h>
#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "bench/support/pg_bench.h"
#include "bench/support/raw_db.h"
#include "host/host.h"
#include "host/write_batch.h"
#include "platform/dispatch.h"
#include "platform/error.h"
#include "platform/value_list.h"

namespace {

const std::string kWorkstation = "WS1";
const std::string kTable = "rpt_merge";

struct SourceRow {
  std::string key;
  double qty;
  double amt;
};

// N source rows over K keys, in a scattered but fixed order.
std::vector<SourceRow> MakeSource(int rows, int keys) {
  std::vector<SourceRow> out;
  out.reserve(static_cast<size_t>(rows));
  for (int i = 0; i < rows; ++i) {
    const int k = static_cast<int>((static_cast<int64_t>(i) * 7919) % keys);
    // Appended: GCC 12 reports a false -Wrestrict on literal + temporary string.
    out.push_back({std::string("G").append(std::to_string(100000 + k)),
                   static_cast<double>(1 + i % 3), (i % 100) * 0.25});
  }
  return out;
}

const int kRows = qev::bench::EnvInt("QEV_BENCH_MERGE_ROWS", 10000);
const int kKeys = qev::bench::EnvInt("QEV_BENCH_MERGE_KEYS", 2000);
const int kPgRows = qev::bench::EnvInt("QEV_BENCH_PG_MERGE_ROWS", 4000);
const int kPgKeys = qev::bench::EnvInt("QEV_BENCH_PG_MERGE_KEYS", 800);

// The report table in a database of its own, removed at the end: a SQLite
// file in a fresh directory, or a fresh schema on the PostgreSQL server.
class BenchDb {
 public:
  enum Engine { kSqlite, kPostgres };

  explicit BenchDb(Engine engine = kSqlite) : engine_(engine) {
    if (engine_ == kSqlite) {
      const char* base = std::getenv("TMPDIR");
      std::string tmpl = std::string(base && *base ? base : "/tmp") + "/qev-bench-XXXXXX";
      if (mkdtemp(tmpl.data()) == nullptr) std::abort();
      dir_ = tmpl;
      connection_ = dir_ + "/report.db";
    } else {
      schema_ = std::make_unique<qev::bench::PgSchema>(qev::bench::PgUrl(),
                                                       "qev_bench_merge_" + std::to_string(getpid()));
      connection_ = schema_->connection();
    }
    host_ = qev::host::CreateHostLib(connection_, kWorkstation);
    query_ = qev::Get(qev::Variant(host_), "DbA_Query0_Obj");
    Exec("create table " + kTable + " (computer text, qty integer, name text, amt double precision)");
    Exec("create index " + kTable + "_key on " + kTable + " (computer, name)");
  }
  ~BenchDb() {
    query_ = qev::Variant();
    host_.reset();
    schema_.reset();
    if (!dir_.empty()) {
      std::error_code ec;
      std::filesystem::remove_all(dir_, ec);
    }
  }

  // The SQLite file, or the PostgreSQL connection text.
  const std::string& connection() const { return connection_; }
  const std::string& path() const { return connection_; }
  const qev::Variant& query() const { return query_; }
  const qev::Object& host() const { return host_; }
  void Exec(const std::string& sql) { qev::Call(query_, "Exec", sql); }

  // Empties the table (and SQLite's write-ahead log), so that every run
  // starts from the same state.
  void Reset() {
    if (engine_ == kPostgres) {
      Exec("truncate table " + kTable);
      return;
    }
    Exec("delete from " + kTable);
    qev::Call(qev::Call(query_, "OpenRs", "PRAGMA wal_checkpoint(TRUNCATE)"), "Close");
  }

  // count, sum(qty), sum(amt) of the table, as text, to compare two runs.
  std::string Totals() {
    qev::Variant rs = qev::Call(query_, "OpenRs",
                                "select count(*), sum(qty), sum(amt) from " + kTable);
    std::string out;
    for (int16_t c = 0; c < 3; ++c) out += qev::ConcatText(qev::Call(rs, "Fields", c)) + " ";
    return out;
  }

 private:
  Engine engine_;
  std::string dir_;
  std::unique_ptr<qev::bench::PgSchema> schema_;
  std::string connection_;
  qev::Object host_;
  qev::Variant query_;
};

// ------------------------------------------------------------ through the host

void MergeThroughHost(const qev::Variant& q, const std::vector<SourceRow>& source,
                      const std::string& workstation = kWorkstation) {
  const std::string sep(qev::kValueListSeparator);
  for (const SourceRow& row : source) {
    const std::string cond = "name='" + row.key + "' and computer='" + workstation + "'";
    qev::Variant rs =
        qev::Call(q, "OpenRs", "select computer,qty,name, amt from " + kTable + " where " + cond);
    if (qev::Get(rs, "RecordCount").ToInt32() == 0) {
      qev::Call(q, "InsertRecord", kTable, "computer,qty,name,amt",
                workstation + sep + qev::FormatDouble(row.qty) + sep + row.key + sep +
                    qev::FormatDouble(row.amt));
    } else {
      const double qty = qev::Call(rs, "Fields", "qty").ToDouble() + row.qty;
      const double amt = qev::Call(rs, "Fields", "amt").ToDouble() + row.amt;
      qev::Call(q, "UpdateRecord", kTable, "qty,amt",
                qev::FormatDouble(qty) + sep + qev::FormatDouble(amt), cond);
    }
    qev::Call(rs, "Close");
  }
}

// The same inside the host's write-batch marks, as a calculation runs.
void MergeThroughHostBatched(const qev::Object& host, const qev::Variant& q,
                             const std::vector<SourceRow>& source,
                             const std::string& workstation = kWorkstation) {
  qev::host::WriteBatch batch(host);
  MergeThroughHost(q, source, workstation);
  batch.End();
}

// ------------------------------------------------------------ raw SQLite

struct Finalizer {
  void operator()(sqlite3_stmt* s) const { sqlite3_finalize(s); }
};
using Stmt = std::unique_ptr<sqlite3_stmt, Finalizer>;
struct Closer {
  void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
};

class RawMerge {
 public:
  explicit RawMerge(const std::string& path) {
    sqlite3* db = nullptr;
    Check(sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr), db);
    db_.reset(db);
    sqlite3_busy_timeout(db, 30000);
    Check(sqlite3_exec(db, "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL", nullptr, nullptr, nullptr), db);
    qev::bench::SameCacheAsTheHost(db);
    select_ = Prepare("select computer,qty,name, amt from " + kTable + " where name=? and computer=?");
    insert_ = Prepare("insert into " + kTable + " (computer,qty,name,amt) values (?,?,?,?)");
    update_ = Prepare("update " + kTable + " set qty=?,amt=? where name=? and computer=?");
  }

  // All rows in one transaction when `one_transaction`.
  void Run(const std::vector<SourceRow>& source, bool one_transaction = false) {
    sqlite3* db = db_.get();
    if (one_transaction) Check(sqlite3_exec(db, "begin immediate", nullptr, nullptr, nullptr), db);
    for (const SourceRow& row : source) {
      sqlite3_stmt* s = select_.get();
      BindText(s, 1, row.key);
      BindText(s, 2, kWorkstation);
      int rc = sqlite3_step(s);
      const bool found = rc == SQLITE_ROW;
      if (!found && rc != SQLITE_DONE) Check(rc, db);
      double qty = 0, amt = 0;
      if (found) {
        qty = sqlite3_column_double(s, 1) + row.qty;
        amt = sqlite3_column_double(s, 3) + row.amt;
      }
      sqlite3_reset(s);
      if (!found) {
        const std::string q = qev::FormatDouble(row.qty), a = qev::FormatDouble(row.amt);
        sqlite3_stmt* w = insert_.get();
        BindText(w, 1, kWorkstation);
        BindText(w, 2, q);
        BindText(w, 3, row.key);
        BindText(w, 4, a);
        Step(w);
      } else {
        const std::string q = qev::FormatDouble(qty), a = qev::FormatDouble(amt);
        sqlite3_stmt* w = update_.get();
        BindText(w, 1, q);
        BindText(w, 2, a);
        BindText(w, 3, row.key);
        BindText(w, 4, kWorkstation);
        Step(w);
      }
    }
    if (one_transaction) Check(sqlite3_exec(db, "commit", nullptr, nullptr, nullptr), db);
  }

 private:
  static void Check(int rc, sqlite3* db) {
    if (rc == SQLITE_OK || rc == SQLITE_ROW || rc == SQLITE_DONE) return;
    std::fprintf(stderr, "sqlite: %s\n", db ? sqlite3_errmsg(db) : sqlite3_errstr(rc));
    std::abort();
  }
  Stmt Prepare(const std::string& sql) {
    sqlite3_stmt* s = nullptr;
    Check(sqlite3_prepare_v3(db_.get(), sql.c_str(), -1, SQLITE_PREPARE_PERSISTENT, &s, nullptr), db_.get());
    return Stmt(s);
  }
  static void BindText(sqlite3_stmt* s, int i, const std::string& v) {
    sqlite3_bind_text(s, i, v.data(), static_cast<int>(v.size()), SQLITE_STATIC);
  }
  void Step(sqlite3_stmt* s) {
    const int rc = sqlite3_step(s);
    sqlite3_reset(s);
    Check(rc, db_.get());
  }

  std::unique_ptr<sqlite3, Closer> db_;
  Stmt select_, insert_, update_;
};

// ------------------------------------------------------------ raw libpq

class RawPgMerge {
 public:
  explicit RawPgMerge(const std::string& connection) : conn_(PQconnectdb(connection.c_str())) {
    if (PQstatus(conn_.get()) != CONNECTION_OK) Fail("connect");
    Prepare("sel", "select computer,qty,name, amt from " + kTable + " where name=$1 and computer=$2");
    Prepare("ins", "insert into " + kTable + " (computer,qty,name,amt) values ($1,$2,$3,$4)");
    Prepare("upd", "update " + kTable + " set qty=$1,amt=$2 where name=$3 and computer=$4");
  }

  // All rows in one transaction when `one_transaction`.
  void Run(const std::vector<SourceRow>& source, bool one_transaction = false) {
    if (one_transaction) Check(Result(PQexec(conn_.get(), "begin")).get(), PGRES_COMMAND_OK);
    for (const SourceRow& row : source) {
      const char* key[] = {row.key.c_str(), kWorkstation.c_str()};
      Result found(PQexecPrepared(conn_.get(), "sel", 2, key, nullptr, nullptr, 0));
      Check(found.get(), PGRES_TUPLES_OK);
      if (PQntuples(found.get()) == 0) {
        const std::string q = qev::FormatDouble(row.qty), a = qev::FormatDouble(row.amt);
        const char* v[] = {kWorkstation.c_str(), q.c_str(), row.key.c_str(), a.c_str()};
        Check(Result(PQexecPrepared(conn_.get(), "ins", 4, v, nullptr, nullptr, 0)).get(), PGRES_COMMAND_OK);
      } else {
        const std::string q = qev::FormatDouble(std::strtod(PQgetvalue(found.get(), 0, 1), nullptr) + row.qty);
        const std::string a = qev::FormatDouble(std::strtod(PQgetvalue(found.get(), 0, 3), nullptr) + row.amt);
        const char* v[] = {q.c_str(), a.c_str(), row.key.c_str(), kWorkstation.c_str()};
        Check(Result(PQexecPrepared(conn_.get(), "upd", 4, v, nullptr, nullptr, 0)).get(), PGRES_COMMAND_OK);
      }
    }
    if (one_transaction) Check(Result(PQexec(conn_.get(), "commit")).get(), PGRES_COMMAND_OK);
  }

 private:
  struct Clear {
    void operator()(PGresult* r) const { PQclear(r); }
  };
  using Result = std::unique_ptr<PGresult, Clear>;
  struct Finish {
    void operator()(PGconn* c) const { PQfinish(c); }
  };

  [[noreturn]] void Fail(const char* what) {
    std::fprintf(stderr, "libpq %s: %s\n", what, PQerrorMessage(conn_.get()));
    std::abort();
  }
  void Check(PGresult* r, ExecStatusType want) {
    if (PQresultStatus(r) != want) Fail(PQresultErrorMessage(r));
  }
  void Prepare(const char* name, const std::string& sql) {
    Check(Result(PQprepare(conn_.get(), name, sql.c_str(), 0, nullptr)).get(), PGRES_COMMAND_OK);
  }

  std::unique_ptr<PGconn, Finish> conn_;
};

// ------------------------------------------------------------ benchmarks

double g_host_rate = 0, g_raw_rate = 0;
double g_pg_host_rate = 0, g_pg_raw_rate = 0;
double g_engines_sqlite_rate = 0, g_engines_pg_rate = 0;

// One timed run of `merge` over `source` on an empty table; rows per second.
template <typename Merge>
double TimedRun(BenchDb& db, benchmark::State& state, const std::vector<SourceRow>& source, Merge&& merge) {
  state.PauseTiming();
  db.Reset();
  state.ResumeTiming();
  const auto t0 = std::chrono::steady_clock::now();
  merge();
  const std::chrono::duration<double> took = std::chrono::steady_clock::now() - t0;
  return static_cast<double>(source.size()) / took.count();
}

void MergeHost(benchmark::State& state, BenchDb::Engine engine) {
  BenchDb db(engine);
  const auto source = MakeSource(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
  double rate = 0;
  for (auto _ : state) rate = TimedRun(db, state, source, [&] { MergeThroughHost(db.query(), source); });
  state.SetItemsProcessed(state.iterations() * state.range(0));
  state.counters["rows_per_s"] = rate;
}

template <typename Raw>
void MergeRaw(benchmark::State& state, BenchDb::Engine engine) {
  BenchDb db(engine);
  Raw raw(db.connection());
  const auto source = MakeSource(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
  double rate = 0;
  for (auto _ : state) rate = TimedRun(db, state, source, [&] { raw.Run(source); });
  state.SetItemsProcessed(state.iterations() * state.range(0));
  state.counters["rows_per_s"] = rate;
}

// Host and raw in the same run, alternating, on the same database; checks
// that they leave the same totals.
template <typename Raw>
void MergeRatio(benchmark::State& state, BenchDb::Engine engine, double* host_rate, double* raw_rate,
                bool batched = false) {
  BenchDb db(engine);
  Raw raw(db.connection());
  const auto source = MakeSource(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
  double host_seconds = 0, raw_seconds = 0;
  std::string host_totals, raw_totals;
  int64_t n = 0;
  for (auto _ : state) {
    const bool host_first = (n++ % 2) == 0;
    for (int pass = 0; pass < 2; ++pass) {
      const bool host = (pass == 0) == host_first;
      const double rate =
          host ? TimedRun(db, state, source,
                          [&] {
                            if (batched)
                              MergeThroughHostBatched(db.host(), db.query(), source);
                            else
                              MergeThroughHost(db.query(), source);
                          })
               : TimedRun(db, state, source, [&] { raw.Run(source, batched); });
      (host ? host_seconds : raw_seconds) += static_cast<double>(source.size()) / rate;
      state.PauseTiming();
      (host ? host_totals : raw_totals) = db.Totals();
      state.ResumeTiming();
    }
    if (host_totals != raw_totals) {
      state.SkipWithError(("different totals: host " + host_totals + "/ raw " + raw_totals).c_str());
      return;
    }
  }
  const double rows = static_cast<double>(source.size()) * static_cast<double>(n);
  *host_rate = rows / host_seconds;
  *raw_rate = rows / raw_seconds;
  state.counters["host_rows_per_s"] = *host_rate;
  state.counters["raw_rows_per_s"] = *raw_rate;
  state.counters["ratio"] = *host_rate / *raw_rate;
}

void BM_MergeRaw(benchmark::State& state) { MergeRaw<RawMerge>(state, BenchDb::kSqlite); }
void BM_MergeHost(benchmark::State& state) { MergeHost(state, BenchDb::kSqlite); }
void BM_MergeRatio(benchmark::State& state) {
  MergeRatio<RawMerge>(state, BenchDb::kSqlite, &g_host_rate, &g_raw_rate);
}
double g_batched_host_rate = 0, g_batched_raw_rate = 0;
double g_pg_batched_host_rate = 0, g_pg_batched_raw_rate = 0;
// The host inside its marks beside the raw statements inside one transaction.
void BM_MergeRatioBatched(benchmark::State& state) {
  MergeRatio<RawMerge>(state, BenchDb::kSqlite, &g_batched_host_rate, &g_batched_raw_rate, true);
}
void BM_MergeRatioBatchedPg(benchmark::State& state) {
  MergeRatio<RawPgMerge>(state, BenchDb::kPostgres, &g_pg_batched_host_rate, &g_pg_batched_raw_rate, true);
}

// Two workstations on one SQLite file: a large merge (range(0) rows,
// batched when range(1) is 1) on a thread of its own, and a small
// calculation of another workstation started every 20 ms until the large
// one ends; the small one's latency, median and worst.
void BM_TwoWorkstations(benchmark::State& state) {
  BenchDb db;
  const bool batched = state.range(1) != 0;
  const auto big = MakeSource(static_cast<int>(state.range(0)), static_cast<int>(state.range(0)) / 2);
  const auto small = MakeSource(200, 100);
  std::vector<double> latencies;
  for (auto _ : state) {
    state.PauseTiming();
    db.Reset();
    state.ResumeTiming();
    std::atomic<bool> done{false};
    std::thread large([&] {
      const qev::Object host = qev::host::CreateHostLib(db.connection(), "BIG");
      const qev::Variant q = qev::Get(qev::Variant(host), "DbA_Query0_Obj");
      if (batched)
        MergeThroughHostBatched(host, q, big, "BIG");
      else
        MergeThroughHost(q, big, "BIG");
      done = true;
    });
    const qev::Object host = qev::host::CreateHostLib(db.connection(), "SMALL");
    const qev::Variant q = qev::Get(qev::Variant(host), "DbA_Query0_Obj");
    std::this_thread::sleep_for(std::chrono::milliseconds(100));  // the large one is under way
    while (!done) {
      const auto t0 = std::chrono::steady_clock::now();
      qev::Call(q, "DeleteRecord", kTable, "computer='SMALL'");
      MergeThroughHostBatched(host, q, small, "SMALL");
      latencies.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count());
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    large.join();
  }
  if (latencies.empty()) {
    state.SkipWithError("the large merge ended before the small one could start");
    return;
  }
  std::sort(latencies.begin(), latencies.end());
  state.counters["small_runs"] = static_cast<double>(latencies.size());
  state.counters["small_median_ms"] = latencies[latencies.size() / 2];
  state.counters["small_max_ms"] = latencies.back();
  std::printf("two workstations, large merge %s: small calculation of 200 rows %zu times, median %.1f ms, worst %.1f ms\n",
              batched ? "batched" : "not batched", latencies.size(), latencies[latencies.size() / 2],
              latencies.back());
}

void BM_MergeRawPg(benchmark::State& state) { MergeRaw<RawPgMerge>(state, BenchDb::kPostgres); }
void BM_MergeHostPg(benchmark::State& state) { MergeHost(state, BenchDb::kPostgres); }
void BM_MergeRatioPg(benchmark::State& state) {
  MergeRatio<RawPgMerge>(state, BenchDb::kPostgres, &g_pg_host_rate, &g_pg_raw_rate);
}

// The host services on SQLite and on PostgreSQL, the same rows, alternating;
// checks that both leave the same totals.
void BM_MergeEngines(benchmark::State& state) {
  BenchDb sqlite(BenchDb::kSqlite), pg(BenchDb::kPostgres);
  const auto source = MakeSource(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
  double seconds[2] = {0, 0};
  std::string totals[2];
  int64_t n = 0;
  for (auto _ : state) {
    const bool sqlite_first = (n++ % 2) == 0;
    for (int pass = 0; pass < 2; ++pass) {
      const int e = (pass == 0) == sqlite_first ? 0 : 1;
      BenchDb& db = e == 0 ? sqlite : pg;
      seconds[e] += static_cast<double>(source.size()) /
                    TimedRun(db, state, source, [&] { MergeThroughHost(db.query(), source); });
      state.PauseTiming();
      totals[e] = db.Totals();
      state.ResumeTiming();
    }
    if (totals[0] != totals[1]) {
      state.SkipWithError(("different totals: SQLite " + totals[0] + "/ PostgreSQL " + totals[1]).c_str());
      return;
    }
  }
  const double rows = static_cast<double>(source.size()) * static_cast<double>(n);
  g_engines_sqlite_rate = rows / seconds[0];
  g_engines_pg_rate = rows / seconds[1];
  state.counters["sqlite_rows_per_s"] = g_engines_sqlite_rate;
  state.counters["pg_rows_per_s"] = g_engines_pg_rate;
  state.counters["ratio_pg_sqlite"] = g_engines_pg_rate / g_engines_sqlite_rate;
}

BENCHMARK(BM_MergeRaw)->Args({kRows, kKeys})->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_MergeHost)->Args({kRows, kKeys})->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_MergeRatio)->Args({kRows, kKeys})->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(4);
BENCHMARK(BM_MergeRatioBatched)->Args({kRows, kKeys})->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(6);
BENCHMARK(BM_TwoWorkstations)->Args({40000, 1})->Args({40000, 0})->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  const bool pg = !qev::bench::PgUrl().empty();
  if (pg) {
    const std::vector<int64_t> args = {kPgRows, kPgKeys};
    benchmark::RegisterBenchmark("BM_MergeRawPg", BM_MergeRawPg)->Args(args)->Unit(benchmark::kMillisecond)->UseRealTime();
    benchmark::RegisterBenchmark("BM_MergeHostPg", BM_MergeHostPg)->Args(args)->Unit(benchmark::kMillisecond)->UseRealTime();
    benchmark::RegisterBenchmark("BM_MergeRatioPg", BM_MergeRatioPg)
        ->Args(args)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(4);
    benchmark::RegisterBenchmark("BM_MergeRatioBatchedPg", BM_MergeRatioBatchedPg)
        ->Args(args)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(4);
    benchmark::RegisterBenchmark("BM_MergeEngines", BM_MergeEngines)
        ->Args(args)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(4);
  } else {
    std::fprintf(stderr, "bench_merge: QEV_PG_URL is not set; the PostgreSQL cases are skipped\n");
  }
  try {
    benchmark::RunSpecifiedBenchmarks();
  } catch (const qev::RuntimeError& e) {
    std::fprintf(stderr, "bench_merge: %s\n", e.error().ToString().c_str());
    return 1;
  }
  benchmark::Shutdown();
  if (g_raw_rate > 0)
    std::printf("merge per source row: host %.0f rows/s, raw sqlite %.0f rows/s, ratio host/raw %.2f (target >= 0.50)\n",
                g_host_rate, g_raw_rate, g_host_rate / g_raw_rate);
  if (g_batched_raw_rate > 0)
    std::printf("merge inside the marks: host %.0f rows/s, raw sqlite in one transaction %.0f rows/s, ratio host/raw %.2f (target >= 0.80)\n",
                g_batched_host_rate, g_batched_raw_rate, g_batched_host_rate / g_batched_raw_rate);
  if (g_pg_batched_raw_rate > 0)
    std::printf("merge inside the marks on PostgreSQL: host %.0f rows/s, raw libpq in one transaction %.0f rows/s, ratio host/raw %.2f\n",
                g_pg_batched_host_rate, g_pg_batched_raw_rate, g_pg_batched_host_rate / g_pg_batched_raw_rate);
  if (g_pg_raw_rate > 0)
    std::printf("merge per source row on PostgreSQL: host %.0f rows/s, raw libpq %.0f rows/s, ratio host/raw %.2f\n",
                g_pg_host_rate, g_pg_raw_rate, g_pg_host_rate / g_pg_raw_rate);
  if (g_engines_sqlite_rate > 0)
    std::printf("merge through the host, same %d rows: SQLite %.0f rows/s, PostgreSQL %.0f rows/s, ratio PostgreSQL/SQLite %.2f\n",
                kPgRows, g_engines_sqlite_rate, g_engines_pg_rate, g_engines_pg_rate / g_engines_sqlite_rate);
  return 0;
}
