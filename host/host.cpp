#include "host/host.h"

#include <cstdio>

#include "host/host_lib.h"
#include "host/odbc_database.h"
#include "host/postgres_database.h"
#include "host/query_object.h"
#include "host/sql_text.h"
#include "host/sqlite_database.h"
#include "host/write_batch.h"
#include "platform/error.h"

namespace qev::host {

namespace {

std::shared_ptr<Database> OpenDatabase(const std::string& connection) {
  std::shared_ptr<Database> db = IsOdbcConnection(connection)       ? OpenOdbcDatabase(connection)
                                 : IsPostgresConnection(connection) ? OpenPostgresDatabase(connection)
                                                                    : OpenSqliteDatabase(connection);
  db->set_connection(connection);
  // Through ODBC too: the driver stays in autocommit mode, and on a SQLite
  // file the batches are statements of their own (BEGIN IMMEDIATE, COMMIT)
  // that the engine follows; on a PostgreSQL server only the session's
  // commit setting changes.
  return WithWriteBatching(std::move(db));
}

}  // namespace

Object CreateHostLib(const std::string& connection, const std::string& computer_name) {
  auto query = std::make_shared<QueryObject>(OpenDatabase(connection));
  return std::make_shared<HostLib>(std::move(query), std::make_shared<ParaObject>(computer_name));
}

Object CreateQueryObj(const std::string& connection) {
  return std::make_shared<QueryObject>(OpenDatabase(connection));
}

std::string DatabaseProductName(const Object& query_obj) {
  const std::shared_ptr<Database> database = QueryDatabaseOf(query_obj, "DatabaseProductName");
  const Database& db = *database;
  if (std::string name = OdbcDbmsName(db); !name.empty()) return name;
  return db.engine() == "postgresql" ? "PostgreSQL" : "SQLite";
}

void CreateFixedTables(const Object& query_obj) {
  const std::shared_ptr<Database> db = QueryDatabaseOf(query_obj, "CreateFixedTables");
  const Variant target(query_obj);
  for (const std::string& statement : SplitStatements(db->FixedTablesDdl()))
    Call(target, "Exec", Variant(statement));
}

void SetStatementTimeout(const Object& host_or_query, std::chrono::milliseconds limit) {
  DatabaseOf(host_or_query, "SetStatementTimeout")->SetStatementTimeout(limit);
}

std::string StatementTimeoutText(std::chrono::milliseconds limit) {
  char seconds[32];
  std::snprintf(seconds, sizeof seconds, "%g", static_cast<double>(limit.count()) / 1000.0);
  return std::string("statement timeout of ") + seconds + " s";
}

}  // namespace qev::host
