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

}  // namespace qev::schema
