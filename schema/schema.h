// The database schema that ships with the library, as SQL scripts compiled
// into it: the source tables and views and the report tables of each report
// family, for a host that sets up a database of its own (and for the
// tests and the demo). Every script is written once per SQL dialect,
// "sqlite" and "postgresql", under the same name.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/variant.h"

namespace qev::schema {

inline constexpr std::string_view kSqlite = "sqlite";
inline constexpr std::string_view kPostgres = "postgresql";

// The names of the scripts, e.g. "goods_sources", "goods_reports".
std::vector<std::string> ScriptNames();

// The names of the scripts written in `dialect`.
std::vector<std::string> ScriptNames(std::string_view dialect);

// The statements of one script in one dialect, split at the semicolons
// that end a line. Raises kErrBadStatement for an unknown name or dialect.
std::vector<std::string> Statements(std::string_view script,
                                    std::string_view dialect = kSqlite);

// The SQL dialect of the database behind a query object: the value of its
// read-only property Engine ("sqlite" or "postgresql"), or "sqlite" for a
// query object without that property.
std::string DialectOf(const Variant& query_obj);

// Runs one script, in the dialect of the query object's database, through
// the query object's Exec member, statement by statement. Every statement
// creates only what is missing, so a script can run again.
void Apply(const Variant& query_obj, std::string_view script);

// The object one script statement creates: its kind ("table", "view",
// "index", "sequence"), its name and, for an index, its table. Empty kind
// for a statement that creates none of these.
struct SchemaObject {
  std::string kind;
  std::string name;
  std::string table;
};
SchemaObject ObjectOf(std::string_view statement);

// What became of one object of the scripts on a database that may hold
// objects of its own under the same names (a hospital's lookups and
// sources, in whatever kind the hospital made them).
struct ObjectOutcome {
  enum Kind {
    kCreated,  // it was missing and is now there
    kFound,    // something of that name was there (found_kind) and is left as it is
    kSkipped,  // an index of a table that was there before: the table is not changed
    kFailed,   // it was missing and could not be created (detail says why)
  } what = kCreated;
  SchemaObject object;
  std::string found_kind;  // kFound: "table", "view", "sequence", "index", ...
  std::string detail;      // kFailed: the error's description
};

// Runs the scripts statement by statement, creating only what is missing:
// an object whose name the database already has (in the search path on
// PostgreSQL, letter case ignored), of whatever kind, is never dropped,
// replaced or altered, and no index is added to a table that was there
// before. A statement that fails does not stop the others. A second run
// finds everything and changes nothing.
std::vector<ObjectOutcome> CreateMissing(const Variant& query_obj,
                                         const std::vector<std::string>& scripts);

// The scripts of the report side: the fixed tables, the report tables and
// the sequence ("fixed_tables" and the "*_reports" scripts), for a
// database whose lookups and sources are the hospital's own.
std::vector<std::string> ReportScriptNames();

}  // namespace qev::schema
