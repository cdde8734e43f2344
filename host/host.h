// Host services: the objects a host application hands to the report
// components, over a SQLite database file or a PostgreSQL database.
//
// A host creates the host library object (Global_Lib_Obj) for its report
// database and one query object per source database, and may wrap any of
// them in a tracing proxy (host/trace.h). The objects themselves are
// described in host/host_lib.h, host/query_object.h and host/recordset.h.
//
// A database is named by a connection text:
//  - "postgresql://user@host:port/dbname?..." or "postgres://...", or a
//    libpq keyword string such as "host=db1 port=5432 dbname=hospital
//    user=rpt" (its first word a libpq keyword): a PostgreSQL database
//    (host/postgres_database.h);
//  - "odbc:" followed by an ODBC connection string, e.g.
//    "odbc:DSN=hospital;UID=rpt" or "odbc:Driver=PostgreSQL
//    Unicode;Servername=dbhost;Database=hospital": a database reached
//    through the unixODBC driver manager and its vendor's driver
//    (host/odbc_database.h);
//  - anything else: the path of a SQLite database file, created when
//    missing (host/sqlite_database.h).
// The report database and each source database may use any engine.
#pragma once

#include <chrono>
#include <string>
#include <string_view>

#include "host/trace.h"
#include "platform/variant.h"

namespace qev::host {

// True when `connection` names a PostgreSQL database (see above).
bool IsPostgresConnection(std::string_view connection);

// True when `connection` names an ODBC database ("odbc:...").
bool IsOdbcConnection(std::string_view connection);

// `connection` with the value of every PWD= or Password= attribute of an
// ODBC connection string replaced by "***", for messages and listings.
std::string MaskOdbcPassword(std::string_view connection);

// Opens the database `connection` and returns the host library object,
// whose Global_Para_Obj.ComputerName is initially `computer_name`. Raises
// kErrDatabase when the database cannot be opened.
Object CreateHostLib(const std::string& connection, const std::string& computer_name);

// The database product behind a query object of this library (or a
// tracing proxy of one): "SQLite", "PostgreSQL", or behind ODBC the DBMS
// name its driver reports. Raises kErrBadStatement for another object.
std::string DatabaseProductName(const Object& query_obj);

// A query object with a connection of its own on the database
// `connection` (a source database QueryDb1..3).
Object CreateQueryObj(const std::string& connection);

// Creates the fixed tables (rpt_header, tem_rpt_qty, tem_rpt_kcdetail and
// what SnValue needs: the table qev_sequence on SQLite, the sequence
// qev_sn_tempid on PostgreSQL, with their indexes) on the database behind a
// query object of this library (a tracing proxy of one will do), statement
// by statement through its Exec, in the database's own dialect. Harmless to
// run twice. Raises kErrBadStatement for an object that is not such a
// query object.
void CreateFixedTables(const Object& query_obj);

// Bounds every statement sent through a host library object of this library
// (its DbA_Query0_Obj and DbA_Query_Obj) or one of its query objects, a
// tracing proxy of either will do: a statement running longer than `limit`
// ends with a kErrDatabase error naming the statement timeout. Conditions
// arrive as SQL, so without a bound a slow one holds a workstation for as
// long as it runs. Zero lifts the bound. Raises kErrBadStatement for any
// other object.
void SetStatementTimeout(const Object& host_or_query, std::chrono::milliseconds limit);

// The text "statement timeout of N s" that the error of a statement ended
// by its bound carries, N the limit in seconds.
std::string StatementTimeoutText(std::chrono::milliseconds limit);

}  // namespace qev::host
