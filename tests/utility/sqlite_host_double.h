// A test stand-in for the host services, over a real SQLite file: a host
// library object with DbA_Query0_Obj, a query object with OpenRs, and
// recordsets with RecordCount, Fields(name|ordinal), MoveNext, EOF and
// Close. It serves only what the utility library's good-info object calls,
// and records every statement it runs and every recordset it closes so
// that tests can check the exact statement text and the clean-up.
#pragma once

#include <sqlite3.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/variant.h"

namespace qev::testing {

// What the double saw, shared by the host, its query object and recordsets.
struct HostTrace {
  std::vector<std::string> statements;
  int recordsets_opened = 0;
  int recordsets_closed = 0;
  // When not empty, reading this field of any recordset fails, the way a
  // dropped connection would fail a read half-way.
  std::string failing_field;
};

class SqliteDatabase {
 public:
  explicit SqliteDatabase(const std::string& path);
  ~SqliteDatabase();
  SqliteDatabase(const SqliteDatabase&) = delete;
  SqliteDatabase& operator=(const SqliteDatabase&) = delete;

  // Runs statements that return no rows; throws std::runtime_error with the
  // database's message on failure.
  void Exec(const std::string& sql);
  sqlite3* handle() const { return db_; }

 private:
  sqlite3* db_ = nullptr;
};

// A host library object over `db` (which must outlive it).
Object NewSqliteHost(SqliteDatabase* db, std::shared_ptr<HostTrace> trace);

}  // namespace qev::testing
