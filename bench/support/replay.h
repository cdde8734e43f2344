// What a report's statements cost the database engine alone.
//
// RecordedHost builds the host objects a benchmark hands a report (the host
// library object over the report database and three source query objects)
// the way CreateHostLib and CreateQueryObj do, with one more layer under
// each engine connection that can write down every statement the host
// sends: its text with parameter markers, the bound values, whether rows
// were read, on which connection. The write batching sits above that layer,
// so the transactions a calculation opens and commits are written down too.
//
// Replay then sends the written-down statements again, in their order, with
// the engine's own client library: raw sqlite3 statements (prepared once per
// text, as the host's statement cache does, with the same exact sums and
// additions registered) or raw libpq prepared statements, every value of
// every row read. Nothing else runs: no late-bound calls, value lists,
// record set objects, literal lifting or statement checks. A report's time
// beside its replay is what the host services add; the replay beside the
// floor is what the report's own statements cost, however cheap a host is.
// A replay starts from the state the recorded run started from: a report's
// first statements delete its workstation's rows.
#pragma once

#include <libpq-fe.h>
#include <sqlite3.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "host/database.h"
#include "host/dialect.h"
#include "host/exact_sum.h"
#include "host/host.h"
#include "host/host_lib.h"
#include "host/postgres_database.h"
#include "host/query_object.h"
#include "host/sqlite_database.h"
#include "host/write_batch.h"
#include "platform/variant.h"

namespace qev::bench {

struct RecordedStatement {
  int connection;  // 0 the report database, 1..3 the sources
  std::string sql;
  std::vector<std::optional<std::string>> params;  // nullopt: NULL
  bool rows;                                       // the caller read rows
  size_t max_rows;
};

struct StatementLog {
  bool on = false;
  std::vector<RecordedStatement> statements;
};

// Passes everything to the engine connection under it; writes down each
// statement while the log is on.
class RecordingDatabase final : public host::Database {
 public:
  RecordingDatabase(std::shared_ptr<host::Database> inner, std::shared_ptr<StatementLog> log,
                    int connection)
      : inner_(std::move(inner)), log_(std::move(log)), connection_(connection) {
    set_connection(inner_->connection());
  }

  const std::string& source() const override { return inner_->source(); }
  std::string_view engine() const override { return inner_->engine(); }
  std::string LockFilePath() const override { return inner_->LockFilePath(); }
  void Execute(std::string_view sql, std::span<const host::SqlParam> params, host::ResultTable* result,
               size_t max_rows, std::string_view shown_sql) override {
    if (log_->on) {
      RecordedStatement st{connection_, std::string(sql), {}, result != nullptr, max_rows};
      for (const host::SqlParam& p : params)
        st.params.push_back(p.is_null ? std::nullopt : std::optional<std::string>(std::string(p.text)));
      log_->statements.push_back(std::move(st));
    }
    inner_->Execute(sql, params, result, max_rows, shown_sql);
  }
  bool IsTextColumn(std::string_view table, std::string_view column) override {
    return inner_->IsTextColumn(table, column);
  }
  // A sequence value is a statement of the engine's own: written down as
  // the statement the engine sends for it.
  int64_t NextSequenceValue(std::string_view name) override {
    if (log_->on) {
      const bool pg = inner_->engine() == "postgresql";
      log_->statements.push_back(
          {connection_, std::string(pg ? host::kPostgresNextSequence : host::kSqliteNextSequence),
           {pg ? host::PostgresSequenceName(name, source()) : std::string(name)}, true, SIZE_MAX});
    }
    return inner_->NextSequenceValue(name);
  }
  bool InTransaction() override { return inner_->InTransaction(); }
  void SetStatementTimeout(std::chrono::milliseconds limit) override { inner_->SetStatementTimeout(limit); }
  void AppendParamMarker(std::string* sql, int index) const override { inner_->AppendParamMarker(sql, index); }
  std::string DateLiteral(Date date) const override { return inner_->DateLiteral(date); }
  std::string NumericOrder(std::string_view field) const override { return inner_->NumericOrder(field); }
  std::string_view FixedTablesDdl() const override { return inner_->FixedTablesDdl(); }

 private:
  std::shared_ptr<host::Database> inner_;
  std::shared_ptr<StatementLog> log_;
  int connection_;
};

class RecordedHost {
 public:
  RecordedHost(bool pg, const std::string& report, const std::string (&sources)[3],
               const std::string& computer)
      : pg_(pg), log_(std::make_shared<StatementLog>()) {
    connections_ = {report, sources[0], sources[1], sources[2]};
    auto report_query = std::make_shared<host::QueryObject>(Open(0));
    host_ = std::make_shared<host::HostLib>(std::move(report_query),
                                            std::make_shared<host::ParaObject>(computer));
    for (int k = 0; k < 3; ++k) sources_[k] = Variant(Object(std::make_shared<host::QueryObject>(Open(k + 1))));
  }

  const Object& host() const { return host_; }
  const Variant (&sources() const)[3] { return sources_; }

  // Writes down the statements of `run`.
  template <typename Run>
  void Record(Run&& run) {
    log_->statements.clear();
    log_->on = true;
    try {
      run();
    } catch (...) {
      log_->on = false;
      throw;
    }
    log_->on = false;
  }
  size_t statement_count() const { return log_->statements.size(); }

  // Writes down the statements of `run`, then sends them raw three times,
  // with `before_each` run before the recorded run and before each replay
  // (untimed); the seconds of an average replay.
  template <typename Run>
  double RecordAndReplay(Run&& run, const std::function<void()>& before_each = {}) {
    if (before_each) before_each();
    Record(std::forward<Run>(run));
    double seconds = 0;
    for (int i = 0; i < 3; ++i) {
      if (before_each) before_each();
      seconds += Replay();
    }
    return seconds / 3;
  }

  // Sends the recorded statements again through the engine's own client
  // library; the seconds it took.
  double Replay() const { return pg_ ? ReplayPostgres() : ReplaySqlite(); }

 private:
  std::shared_ptr<host::Database> Open(int index) {
    const std::string& c = connections_[static_cast<size_t>(index)];
    std::shared_ptr<host::Database> db = pg_ ? host::OpenPostgresDatabase(c) : host::OpenSqliteDatabase(c);
    db->set_connection(c);
    return host::WithWriteBatching(std::make_shared<RecordingDatabase>(std::move(db), log_, index));
  }

  [[noreturn]] static void Die(const std::string& what) {
    std::fprintf(stderr, "replay: %s\n", what.c_str());
    std::exit(1);
  }

  double ReplaySqlite() const {
    struct Conn {
      sqlite3* db = nullptr;
      std::unordered_map<std::string, sqlite3_stmt*> prepared;
    };
    std::vector<Conn> conns(connections_.size());
    for (size_t i = 0; i < conns.size(); ++i) {
      if (sqlite3_open_v2(connections_[i].c_str(), &conns[i].db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX,
                          nullptr) != SQLITE_OK)
        Die(sqlite3_errmsg(conns[i].db));
      sqlite3_busy_timeout(conns[i].db, 30000);
      const std::string cache = "PRAGMA cache_size=-" + std::to_string(host::kSqliteCacheKiB);
      sqlite3_exec(conns[i].db, cache.c_str(), nullptr, nullptr, nullptr);
      if (host::ExactSqliteSums()) host::RegisterExactSums(conns[i].db);
    }
    const auto start = std::chrono::steady_clock::now();
    for (const RecordedStatement& st : log_->statements) {
      Conn& c = conns[static_cast<size_t>(st.connection)];
      sqlite3_stmt*& stmt = c.prepared[st.sql];
      if (stmt == nullptr) {
        const std::string exact = host::ExactSqliteSums() ? host::ExactArithmetic(st.sql) : std::string();
        const std::string& text = exact.empty() ? st.sql : exact;
        if (sqlite3_prepare_v3(c.db, text.c_str(), static_cast<int>(text.size()), SQLITE_PREPARE_PERSISTENT,
                               &stmt, nullptr) != SQLITE_OK)
          Die(sqlite3_errmsg(c.db) + std::string(": ") + st.sql);
      }
      for (size_t i = 0; i < st.params.size(); ++i) {
        const int index = static_cast<int>(i + 1);
        if (st.params[i])
          sqlite3_bind_text(stmt, index, st.params[i]->data(), static_cast<int>(st.params[i]->size()),
                            SQLITE_STATIC);
        else
          sqlite3_bind_null(stmt, index);
      }
      size_t rows = 0;
      int rc;
      while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        if (!st.rows) continue;
        for (int col = 0; col < sqlite3_column_count(stmt); ++col) {
          switch (sqlite3_column_type(stmt, col)) {
            case SQLITE_INTEGER: (void)sqlite3_column_int64(stmt, col); break;
            case SQLITE_FLOAT: (void)sqlite3_column_double(stmt, col); break;
            case SQLITE_NULL: break;
            default: (void)sqlite3_column_bytes(stmt, col), (void)sqlite3_column_text(stmt, col);
          }
        }
        if (++rows >= st.max_rows) break;
      }
      sqlite3_reset(stmt);
      sqlite3_clear_bindings(stmt);
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    for (Conn& c : conns) {
      for (auto& [sql, stmt] : c.prepared) sqlite3_finalize(stmt);
      sqlite3_close(c.db);
    }
    return seconds;
  }

  double ReplayPostgres() const {
    struct Conn {
      PGconn* conn = nullptr;
      std::unordered_map<std::string, std::string> prepared;  // text -> statement name
    };
    std::vector<Conn> conns(connections_.size());
    for (size_t i = 0; i < conns.size(); ++i) {
      conns[i].conn = PQconnectdb(connections_[i].c_str());
      if (PQstatus(conns[i].conn) != CONNECTION_OK) Die(PQerrorMessage(conns[i].conn));
    }
    const auto start = std::chrono::steady_clock::now();
    for (const RecordedStatement& st : log_->statements) {
      Conn& c = conns[static_cast<size_t>(st.connection)];
      std::string& name = c.prepared[st.sql];
      if (name.empty()) {
        name = "r" + std::to_string(c.prepared.size());
        PGresult* r = PQprepare(c.conn, name.c_str(), st.sql.c_str(), 0, nullptr);
        if (PQresultStatus(r) != PGRES_COMMAND_OK) Die(PQresultErrorMessage(r) + st.sql);
        PQclear(r);
      }
      std::vector<const char*> values;
      for (const auto& p : st.params) values.push_back(p ? p->c_str() : nullptr);
      PGresult* r = PQexecPrepared(c.conn, name.c_str(), static_cast<int>(values.size()), values.data(),
                                   nullptr, nullptr, 0);
      if (st.rows)
        for (int row = 0; row < PQntuples(r); ++row)
          for (int col = 0; col < PQnfields(r); ++col) (void)PQgetvalue(r, row, col);
      PQclear(r);
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    for (Conn& c : conns) PQfinish(c.conn);
    return seconds;
  }

  bool pg_;
  std::shared_ptr<StatementLog> log_;
  std::vector<std::string> connections_;
  Object host_;
  Variant sources_[3];
};

}  // namespace qev::bench
