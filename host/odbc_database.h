// The ODBC engine of the host services (the unixODBC driver manager and the
// driver a database's vendor ships): a hospital's own database server,
// reached where its data are.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "host/database.h"

namespace qev::host {

// The error source of everything the ODBC host raises.
inline constexpr std::string_view kOdbcSource = "qev.OdbcHost";

// The prefix that names an ODBC database: "odbc:" followed by an ODBC
// connection string ("odbc:DSN=hospital;UID=rpt",
// "odbc:Driver=PostgreSQL Unicode;Servername=dbhost;Database=hospital").
inline constexpr std::string_view kOdbcPrefix = "odbc:";

// True when `connection` starts with "odbc:" (letter case and leading
// blanks ignored).
bool IsOdbcConnection(std::string_view connection);

// `connection` with the value of every PWD= or Password= attribute replaced
// by "***", for messages and listings.
std::string MaskOdbcPassword(std::string_view connection);

// Connects through the driver manager to the database the connection string
// after "odbc:" names (SQLDriverConnect, never prompting), with a 10 s login
// timeout, so that a server that does not answer ends in an error. Raises kErrDatabase with every diagnostic record of the
// driver manager and the driver (the connection string shown with its
// password masked) when the connection fails.
//
// How the engine keeps the contract of Database:
//  - Text travels through the wide-character calls (UTF-16), so any
//    Unicode text survives a round trip; parameters are bound as wide texts
//    and the driver gives each the type its place demands. A driver that
//    has only the narrow entry points (the SQLite ODBC driver) loses all but
//    ASCII in the driver manager's conversion: a round trip of a CJK text
//    when connecting finds that out, and such a driver then gets UTF-8
//    through the narrow calls.
//  - A text holding a second statement is refused before anything is sent
//    (the statement is cut out by the lexical rules of the server's
//    dialect); the driver manager runs in autocommit mode.
//  - Statements are prepared once (SQLPrepare) and kept, the 64 most
//    recently used, with the buffers their result columns are bound to;
//    schema statements are not kept and empty the cache. A text run again
//    is not checked or described again. On SQLite an insert, update or
//    delete with values reaches the driver behind an unused WITH clause:
//    the SQLite ODBC driver keeps only what it takes for a query compiled,
//    and would compile every other statement again at each run.
//  - Rows come in blocks (a row array of up to 256 rows per SQLFetch),
//    typed by the result's column types: integers, doubles, exact decimals
//    (whole values that fit 32 bits as integers, others as doubles, as the
//    native engines give them), dates and timestamps as dates, NULL as Null,
//    texts as texts.
//  - The server behind the driver (its DBMS name, SQLGetInfo) chooses the
//    dialect: on PostgreSQL and SQLite the engine speaks and answers exactly
//    as the native engines do (engine() is "postgresql" or "sqlite", the
//    same date literals, numeric ordering, sequences, column catalogue and
//    fixed tables), so scripts, reports and the calculation lock work
//    unchanged. Any other server is engine() "odbc": dates are the ODBC
//    escapes {d '...'}/{ts '...'} that its driver translates, numeric
//    ordering the ODBC CONVERT function, column types from SQLColumns; it
//    has no sequences and no fixed-table script of this library.
//  - A lost connection (SQLSTATE class 08) is reported with the driver's
//    message and opened again before the next statement. Through psqlODBC
//    the connection has TCP keepalives (KeepaliveTime=30;
//    KeepaliveInterval=10 added unless the string or its DSN sets them),
//    so that a server that died unnoticed ends a call in minutes.
//  - The statement timeout (SetStatementTimeout) is SQL_ATTR_QUERY_TIMEOUT
//    in whole seconds; a statement the driver ends at it raises an error
//    naming the timeout, as the native engines do.
std::shared_ptr<Database> OpenOdbcDatabase(const std::string& connection);

// The DBMS name the driver reports for a database opened by
// OpenOdbcDatabase ("PostgreSQL", "SQLite", "Microsoft SQL Server", ...);
// "" for a database of another engine.
std::string OdbcDbmsName(const Database& db);

}  // namespace qev::host
