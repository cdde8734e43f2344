// The pieces of SQL that differ between the engines' dialects, written once
// so that the native engines and the ODBC engine (which speaks the dialect
// of the server behind its driver) hand out the same texts.
#pragma once

#include <string>
#include <string_view>

#include "platform/variant.h"

namespace qev::host {

// 'yyyy-mm-dd', or 'yyyy-mm-dd hh:mm:ss' when the time is not midnight: the
// untyped literal that SQLite and PostgreSQL both compare with dates and
// with text columns holding ISO dates.
std::string IsoDateLiteral(Date date);

// The ODBC escape {d 'yyyy-mm-dd'} or {ts 'yyyy-mm-dd hh:mm:ss'}, which a
// driver turns into its server's own literal.
std::string OdbcDateEscape(Date date);

// Orderings that sort the text column `field` numerically (`field` checked
// to be an identifier). PostgreSQL's reads a text as a number only when it
// is one: other texts and NULL sort after every number instead of failing
// the statement.
std::string SqliteNumericOrder(std::string_view field);
std::string PostgresNumericOrder(std::string_view field);

// SnValue on SQLite: one statement that creates the sequence's row at 1 or
// raises it by one under the database's write lock and returns the value;
// its one parameter is the sequence's name.
inline constexpr std::string_view kSqliteNextSequence =
    "insert into qev_sequence (name, value) values (?1, 1) "
    "on conflict (name) do update set value = value + 1 returning value";

// SnValue on PostgreSQL: the next value of a server sequence named by
// PostgresSequenceName, its one parameter.
inline constexpr std::string_view kPostgresNextSequence = "select nextval($1)";

// The server sequence behind SnValue(name): qev_sn_<name in lower case>.
// Raises kErrBadStatement (with `source`) unless `name` is an identifier of
// at most 50 characters without a schema.
std::string PostgresSequenceName(std::string_view name, const std::string& source);

}  // namespace qev::host
