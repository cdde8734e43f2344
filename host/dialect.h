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

}  // namespace qev::host
