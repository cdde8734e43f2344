// The engines' own client libraries for the benchmark floors: the rows of
// a statement as texts, and rows inserted with one prepared statement in
// one transaction, on a SQLite file (sqlite3) or a PostgreSQL database
// (libpq).
#pragma once

#include <libpq-fe.h>
#include <sqlite3.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "host/sqlite_database.h"

namespace qev::bench {

using Row = std::vector<std::string>;

[[noreturn]] inline void Die(const std::string& what) {
  std::fprintf(stderr, "bench: %s\n", what.c_str());
  std::exit(1);
}

// A raw SQLite connection with the page cache of the host's connections, so
// that a floor and its report read under the same conditions.
inline void SameCacheAsTheHost(sqlite3* db) {
  const std::string pragma = "PRAGMA cache_size=-" + std::to_string(qev::host::kSqliteCacheKiB);
  sqlite3_exec(db, pragma.c_str(), nullptr, nullptr, nullptr);
}

// The engine's own client library: rows of a statement as texts, and a
// batch of rows inserted with one prepared statement in one transaction.
class Raw {
 public:
  Raw(bool pg, const std::string& connection) : pg_(pg) {
    if (pg_) {
      conn_ = PQconnectdb(connection.c_str());
      if (PQstatus(conn_) != CONNECTION_OK) Die(PQerrorMessage(conn_));
    } else if (sqlite3_open(connection.c_str(), &db_) != SQLITE_OK) {
      Die(sqlite3_errmsg(db_));
    } else {
      SameCacheAsTheHost(db_);
    }
  }
  ~Raw() {
    if (pg_) PQfinish(conn_);
    else sqlite3_close(db_);
  }

  std::vector<Row> Rows(const std::string& sql) {
    std::vector<Row> out;
    if (pg_) {
      PGresult* r = PQexec(conn_, sql.c_str());
      if (PQresultStatus(r) != PGRES_TUPLES_OK && PQresultStatus(r) != PGRES_COMMAND_OK)
        Die(PQresultErrorMessage(r));
      for (int i = 0; i < PQntuples(r); ++i) {
        Row row;
        for (int c = 0; c < PQnfields(r); ++c) row.emplace_back(PQgetvalue(r, i, c));
        out.push_back(std::move(row));
      }
      PQclear(r);
      return out;
    }
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &st, nullptr) != SQLITE_OK) Die(sqlite3_errmsg(db_));
    int rc;
    while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
      Row row;
      for (int c = 0; c < sqlite3_column_count(st); ++c) {
        const unsigned char* t = sqlite3_column_text(st, c);
        row.emplace_back(t ? reinterpret_cast<const char*>(t) : "");
      }
      out.push_back(std::move(row));
    }
    if (rc != SQLITE_DONE) Die(sqlite3_errmsg(db_));
    sqlite3_finalize(st);
    return out;
  }

  // `sql` has one marker per value ($1.. on PostgreSQL, ? on SQLite).
  void InsertAll(const std::string& sql, const std::vector<Row>& rows) {
    Rows("begin");
    if (pg_) {
      PGresult* p = PQprepare(conn_, "ins", sql.c_str(), 0, nullptr);
      if (PQresultStatus(p) != PGRES_COMMAND_OK) Die(PQresultErrorMessage(p));
      PQclear(p);
      for (const Row& row : rows) {
        std::vector<const char*> v;
        for (const std::string& s : row) v.push_back(s.c_str());
        PGresult* r = PQexecPrepared(conn_, "ins", static_cast<int>(v.size()), v.data(), nullptr, nullptr, 0);
        if (PQresultStatus(r) != PGRES_COMMAND_OK) Die(PQresultErrorMessage(r));
        PQclear(r);
      }
      PQclear(PQexec(conn_, "deallocate ins"));
    } else {
      sqlite3_stmt* st = nullptr;
      if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &st, nullptr) != SQLITE_OK) Die(sqlite3_errmsg(db_));
      for (const Row& row : rows) {
        for (size_t i = 0; i < row.size(); ++i)
          sqlite3_bind_text(st, static_cast<int>(i + 1), row[i].c_str(), -1, SQLITE_STATIC);
        if (sqlite3_step(st) != SQLITE_DONE) Die(sqlite3_errmsg(db_));
        sqlite3_reset(st);
      }
      sqlite3_finalize(st);
    }
    Rows("commit");
  }

 private:
  bool pg_;
  PGconn* conn_ = nullptr;
  sqlite3* db_ = nullptr;
};

}  // namespace qev::bench
