// Where a database lives, as written on the command line, and how rptcalc
// opens the host objects on it: a SQLite file path, a PostgreSQL database
// named as libpq takes it ("postgresql://user@host/dbname",
// "postgres://...", or keywords such as "host=db1 dbname=hospital"), or
// "odbc:" and an ODBC connection string ("odbc:DSN=hospital;UID=rpt"); see
// host/host.h.
#pragma once

#include <string>
#include <string_view>
#include <utility>

#include "platform/variant.h"

namespace rptcalc {

class DatabaseLocation {
 public:
  enum class Engine { kSqlite, kPostgres, kOdbc };

  // Classifies the text; never fails.
  static DatabaseLocation Parse(std::string_view text);

  Engine engine() const { return engine_; }
  const std::string& text() const { return text_; }

  // Raises UsageError unless the database can be opened by this build and,
  // when `must_exist`, already exists (a missing file is never created
  // behind the user's back; a PostgreSQL database always exists on its
  // server, and a failing connection is reported when it is opened).
  // `role` names the option in the message ("report database", "source
  // database 2").
  void Check(std::string_view role, bool must_exist) const;

  // True when `path` names the same file as this SQLite database (same
  // device and inode).
  bool IsSameFile(const std::string& path) const;
  bool is_postgres() const { return engine_ == Engine::kPostgres; }
  // A database on a server (PostgreSQL, or anything behind ODBC): not a
  // file of this machine.
  bool is_server() const { return engine_ != Engine::kSqlite; }
  // The text as shown in messages: an ODBC password masked.
  std::string shown() const;

  // The host library object on this database (Global_Lib_Obj), workstation
  // `computer_name`. Check() first.
  qev::Object OpenHostLib(const std::string& computer_name) const;
  // A query object with a connection of its own (a source database).
  qev::Object OpenQueryObj() const;

  // The table's name as the database spells it when a table or view of
  // that name exists (letter case ignored), otherwise "". `query_obj` is a
  // query object on this database.
  std::string FindTable(const qev::Variant& query_obj, std::string_view table) const;

  // A statement selecting the rows of `table` that match `cond`, ordered by
  // `order` or, when that is empty, in the order they were written (on
  // PostgreSQL, which keeps no such order, in the order the rows are
  // stored); "" when the database has no such table.
  std::string SelectRowsSql(const qev::Variant& query_obj, std::string_view table,
                            std::string_view cond, std::string_view order = {}) const;

 private:
  DatabaseLocation(Engine engine, std::string text) : engine_(engine), text_(std::move(text)) {}
  // The name and kind ("table" or "view") of the table the engine's
  // catalogue holds under `table` (letter case ignored); "" when none.
  std::pair<std::string, std::string> CatalogueEntry(const qev::Variant& query_obj,
                                                     std::string_view table) const;
  Engine engine_;
  std::string text_;
};

// True when the file `path` starts with the SQLite database header.
bool LooksLikeDatabaseFile(const std::string& path);

// `text` between single quotes for an SQL literal, inner quotes doubled.
std::string SqlQuote(std::string_view text);

}  // namespace rptcalc
