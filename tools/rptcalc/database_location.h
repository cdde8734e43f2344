// Where a database lives, as written on the command line, and how rptcalc
// opens the host objects on it. A SQLite file path today; the text
// "postgresql://..." names a PostgreSQL database once the host services
// have that engine, and only this unit has to learn it.
#pragma once

#include <string>
#include <string_view>

#include "platform/variant.h"

namespace rptcalc {

class DatabaseLocation {
 public:
  enum class Engine { kSqlite, kPostgres };

  // Classifies the text; never fails.
  static DatabaseLocation Parse(std::string_view text);

  Engine engine() const { return engine_; }
  const std::string& text() const { return text_; }

  // Raises UsageError unless the database can be opened by this build and,
  // when `must_exist`, already exists (a missing file is never created
  // behind the user's back). `role` names the option in the message
  // ("report database", "source database 2").
  void Check(std::string_view role, bool must_exist) const;

  // The host library object on this database (Global_Lib_Obj), workstation
  // `computer_name`. Check() first.
  qev::Object OpenHostLib(const std::string& computer_name) const;
  // A query object with a connection of its own (a source database).
  qev::Object OpenQueryObj() const;

  // The table's name as the database spells it when a table or view of
  // that name exists (letter case ignored), otherwise "". `query_obj` is a
  // query object on this database.
  std::string FindTable(const qev::Variant& query_obj, std::string_view table) const;

  // A statement selecting the rows of `table` that match `cond`, in the
  // order they were written; "" when the database has no such table.
  std::string SelectRowsSql(const qev::Variant& query_obj, std::string_view table,
                            std::string_view cond) const;

 private:
  DatabaseLocation(Engine engine, std::string text) : engine_(engine), text_(std::move(text)) {}
  Engine engine_;
  std::string text_;
};

// `text` between single quotes for an SQL literal, inner quotes doubled.
std::string SqlQuote(std::string_view text);

}  // namespace rptcalc
