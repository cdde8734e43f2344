// Database: what the host's late-bound objects need from a database engine.
//
// The host library object, the query objects and the record sets are written
// once over this interface; each engine (SQLite, PostgreSQL) supplies one
// implementation together with the few pieces of its SQL dialect that the
// query objects hand out (date literals, numeric ordering, sequences,
// parameter markers, the DDL of the fixed tables).
//
// Contract shared by every implementation:
//  - Execute runs exactly ONE statement. Text that carries a second statement
//    is refused with kErrBadStatement before anything runs.
//  - Values reach the database only as bound parameters, never spliced into
//    the statement text.
//  - Every error the engine reports becomes a RuntimeError numbered
//    kErrDatabase whose description holds the engine's own message and the
//    statement text, with the implementation's source().
//  - No lock or transaction is held between calls: each statement commits
//    (autocommit) and releases its read snapshot before Execute returns;
//    except inside a write batch (host/write_batch.h), which opens and
//    commits transactions around the statements through Execute.
//  - An implementation may be used from several threads; calls are
//    serialised internally.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/variant.h"

namespace qev::host {

// One statement parameter: a text (the engine applies the column's type to
// it) or NULL. The text is borrowed for the duration of the call.
struct SqlParam {
  std::string_view text;
  bool is_null = false;

  static SqlParam Text(std::string_view t) { return SqlParam{t, false}; }
  static SqlParam Null() { return SqlParam{{}, true}; }
};

// The rows a statement returned, materialised: column names and the values
// row after row.
struct ResultTable {
  std::vector<std::string> names;
  std::vector<Variant> cells;  // row-major, names.size() values per row
  size_t row_count = 0;

  size_t column_count() const { return names.size(); }
  const Variant& at(size_t row, size_t column) const {
    return cells[row * names.size() + column];
  }
};

class Database {
 public:
  virtual ~Database();

  // The error source of this engine, e.g. "qev.SqliteHost".
  virtual const std::string& source() const = 0;

  // The engine's name: "sqlite" or "postgresql" (also for those servers
  // reached through ODBC), or "odbc" for any other server behind an ODBC
  // driver. Scripts written for one SQL dialect are chosen by it.
  virtual std::string_view engine() const = 0;

  // For a database kept in a local file (SQLite): the file's path, beside
  // which the calculation lock lies; ":memory:" or "" for a private
  // in-memory database. Asked only of engines that are not "postgresql".
  // By default the connection text, which is the path of a native SQLite
  // database; an engine reaching a file another way says which file.
  virtual std::string LockFilePath() const { return connection(); }

  // Runs one statement with `params` bound in order. When `result` is not
  // null it receives the column names and at most `max_rows` rows (the
  // statement is not stepped further). The statement must hold exactly as
  // many parameter markers as `params` has entries. Error messages show
  // `shown_sql` when it is given (the text as the caller wrote it, before
  // its literals became parameters), else `sql` with the bound values.
  virtual void Execute(std::string_view sql, std::span<const SqlParam> params,
                       ResultTable* result, size_t max_rows = SIZE_MAX,
                       std::string_view shown_sql = {}) = 0;

  // True when `column` of `table` is a text column (an empty value is stored
  // there as ''; anywhere else as NULL). False for a column or table the
  // database does not know. Answers come from a per-table cache that is
  // refreshed after schema changes made through this object.
  virtual bool IsTextColumn(std::string_view table, std::string_view column) = 0;

  // The next value of the named sequence, atomically and uniquely across
  // every connection and process using the database.
  virtual int64_t NextSequenceValue(std::string_view name) = 0;

  // True while the connection is inside a transaction that the host's
  // write batching opened (host/write_batch.h), false in autocommit mode.
  // The batching asks after a failed statement whether the engine kept the
  // transaction. Engines that never batch say false.
  virtual bool InTransaction() { return false; }

  // Ends every later statement that runs longer than `limit` with a
  // kErrDatabase error whose description says "statement timeout" and
  // names the limit; zero: no limit (the default). The session and the
  // connection stay usable afterwards.
  virtual void SetStatementTimeout(std::chrono::milliseconds limit) = 0;

  // --- dialect ---------------------------------------------------------

  // Appends the marker of parameter `index` (from 1) to `sql`.
  virtual void AppendParamMarker(std::string* sql, int index) const = 0;
  // The literal of a date (with its time of day when that is not midnight).
  virtual std::string DateLiteral(Date date) const = 0;
  // An ordering expression that sorts the text column `field` numerically;
  // `field` has been checked to be an identifier.
  virtual std::string NumericOrder(std::string_view field) const = 0;
  // The DDL script that creates the fixed tables; harmless to run twice.
  virtual std::string_view FixedTablesDdl() const = 0;

  // The connection text the database was opened with (a SQLite path, a
  // PostgreSQL URI or keyword string), as the host services were given it.
  const std::string& connection() const { return connection_; }
  void set_connection(std::string text) { connection_ = std::move(text); }

 private:
  std::string connection_;
};

}  // namespace qev::host
