// The PostgreSQL engine of the host services (libpq).
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "host/database.h"

namespace qev::host {

// The error source of everything the PostgreSQL host raises.
inline constexpr std::string_view kPostgresSource = "qev.PostgresHost";

// True when `connection` names a PostgreSQL database: a URI
// ("postgresql://..." or "postgres://...") or a libpq keyword string whose
// first word is a libpq connection keyword ("host=... dbname=...",
// "dbname=qev", "service=reports"). Anything else is a SQLite file path.
bool IsPostgresConnection(std::string_view connection);

// Connects to the PostgreSQL database `connection` (a URI or keyword
// string, as libpq takes it). The session uses UTF-8 and ISO dates.
// Raises kErrDatabase with libpq's message (and the connection text with
// any password blanked out) when the connection fails.
//
// How the engine keeps the contract of Database:
//  - Every statement goes through the extended query protocol, which runs
//    one statement only; a text holding a second statement is refused
//    before it is sent. Statements that read or write rows are prepared
//    once per connection (named server-side statements, the 64 most
//    recently used kept); schema statements run unprepared and drop the
//    prepared ones, whose parameter types were fixed when they were
//    prepared. A prepared statement that fails in a way a table changed by
//    another session can cause is prepared again and run once more.
//  - Parameters are sent as text without a declared type, so the server
//    gives each the type its place demands, as it does for a quoted
//    literal: '3' against an integer column is the number 3.
//  - Column types come from the catalogue (pg_attribute of the table as
//    the search path finds it); character types (text, varchar, char) are
//    the text columns.
//  - Sequences are real server sequences named qev_sn_<name in lower
//    case>, created on first use; nextval hands out every value once
//    across all sessions.
//  - Result values: integers as 32-bit integers when they fit, else
//    doubles; float and numeric as doubles (a whole numeric value that fits
//    32 bits as an integer, as SQLite's numeric columns give it); boolean as
//    Bool; date and timestamp as dates (to the second); NULL as Null;
//    everything else as its text.
std::shared_ptr<Database> OpenPostgresDatabase(const std::string& connection);

// The DDL of the fixed tables for PostgreSQL
// (schema/postgresql/fixed_tables.sql, embedded at build time).
std::string_view PostgresFixedTablesDdl();

}  // namespace qev::host
