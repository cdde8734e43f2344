// The SQLite engine of the host services (libsqlite3).
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "host/database.h"

namespace qev::host {

// The error source of everything the SQLite host raises.
inline constexpr std::string_view kSqliteSource = "qev.SqliteHost";

// The page cache of each connection the host opens, in KiB (SQLite's
// default is 2 MiB). A report reads its sources by key and merges into its
// table row by row; with the default cache those pages came from the
// operating system again and again (a third of a large report's time).
// Memory grows only with the pages actually read.
inline constexpr int kSqliteCacheKiB = 65536;

// Opens (creating if missing) the SQLite database file `path` in WAL mode,
// with a 30 s busy timeout, synchronous=NORMAL and a page cache of
// kSqliteCacheKiB, so that several processes (workstations) can calculate
// into one file at the same time.
// ":memory:" opens a private in-memory database (no WAL). Raises
// kErrDatabase when the file cannot be opened or put into WAL mode.
std::shared_ptr<Database> OpenSqliteDatabase(const std::string& path);

// The DDL of the fixed tables for SQLite (schema/sqlite/fixed_tables.sql,
// embedded at build time).
std::string_view SqliteFixedTablesDdl();

}  // namespace qev::host
