#include "tests/utility/sqlite_host_double.h"

#include <stdexcept>

#include "platform/ci_map.h"
#include "platform/dispatch.h"
#include "platform/error.h"

namespace qev::testing {

SqliteDatabase::SqliteDatabase(const std::string& path) {
  if (sqlite3_open(path.c_str(), &db_) != SQLITE_OK) {
    std::string message = db_ ? sqlite3_errmsg(db_) : "out of memory";
    sqlite3_close(db_);
    throw std::runtime_error("cannot open " + path + ": " + message);
  }
}

SqliteDatabase::~SqliteDatabase() { sqlite3_close(db_); }

void SqliteDatabase::Exec(const std::string& sql) {
  char* error = nullptr;
  if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
    std::string message = error ? error : "unknown error";
    sqlite3_free(error);
    throw std::runtime_error(message + " in: " + sql);
  }
}

namespace {

const Guid kTestIid = Guid::FromLiteral("{0D6E1C1A-5B2F-4E7A-8C3D-2A1B0F9E8D70}");

// Reads the whole result of `sql` at once.
struct Rows {
  std::vector<std::string> columns;
  std::vector<std::vector<Variant>> values;
};

Variant ColumnValue(sqlite3_stmt* stmt, int i) {
  switch (sqlite3_column_type(stmt, i)) {
    case SQLITE_NULL:
      return Variant::Null();
    case SQLITE_INTEGER:
      return Variant::FromInt64(sqlite3_column_int64(stmt, i));
    case SQLITE_FLOAT:
      return Variant(sqlite3_column_double(stmt, i));
    default:
      return Variant(std::string(reinterpret_cast<const char*>(sqlite3_column_text(stmt, i)),
                                 static_cast<size_t>(sqlite3_column_bytes(stmt, i))));
  }
}

Rows RunQuery(sqlite3* db, const std::string& sql) {
  sqlite3_stmt* raw = nullptr;
  if (sqlite3_prepare_v2(db, sql.c_str(), -1, &raw, nullptr) != SQLITE_OK)
    Raise(kErrDatabase, sqlite3_errmsg(db), "SqliteHostDouble");
  std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt*)> stmt(raw, sqlite3_finalize);
  Rows rows;
  const int n = sqlite3_column_count(raw);
  for (int i = 0; i < n; ++i) rows.columns.emplace_back(sqlite3_column_name(raw, i));
  int rc;
  while ((rc = sqlite3_step(raw)) == SQLITE_ROW) {
    std::vector<Variant> row(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) row[static_cast<size_t>(i)] = ColumnValue(raw, i);
    rows.values.push_back(std::move(row));
  }
  if (rc != SQLITE_DONE) Raise(kErrDatabase, sqlite3_errmsg(db), "SqliteHostDouble");
  return rows;
}

class Recordset : public Dispatch {
 public:
  Recordset(Rows rows, std::shared_ptr<HostTrace> trace)
      : rows_(std::move(rows)), trace_(std::move(trace)) {}

  const TypeInfo& type_info() const override {
    static const TypeInfo info("_Recordset", kTestIid, "SqliteHostDouble.Recordset",
                               {
                                   Property("RecordCount", VarType::kInt32, kInvokeGet),
                                   Function("Fields", {Param("Index", VarType::kEmpty)},
                                            VarType::kEmpty),
                                   Method("MoveNext", {}),
                                   Property("EOF", VarType::kBool, kInvokeGet),
                                   Method("Close", {}),
                               },
                               "Fields");
    return info;
  }

  Variant Invoke(const MemberInfo& member, InvokeKind, ArgList& args) override {
    if (closed_ && member.name != "Close") Raise(3704, "Operation is not allowed when the object is closed");
    switch (member.id) {
      case 0: return Variant(static_cast<int32_t>(rows_.values.size()));
      case 1: return Field(args[0]);
      case 2: ++row_; return Variant();
      case 3: return Variant(row_ >= rows_.values.size());
      case 4:
        if (!closed_) ++trace_->recordsets_closed;
        closed_ = true;
        return Variant();
    }
    return Variant();
  }

 private:
  Variant Field(const Variant& index) const {
    if (row_ >= rows_.values.size()) Raise(3021, "Either BOF or EOF is True");
    if (!trace_->failing_field.empty() && index.IsString() &&
        EqualsNoCase(index.string(), trace_->failing_field))
      Raise(kErrDatabase, "connection lost while reading " + index.string(), "SqliteHostDouble");
    size_t column = rows_.columns.size();
    if (index.IsString()) {
      for (size_t i = 0; i < rows_.columns.size(); ++i)
        if (EqualsNoCase(rows_.columns[i], index.string())) column = i;
    } else {
      const int32_t ordinal = index.ToInt32();
      if (ordinal >= 0) column = static_cast<size_t>(ordinal);
    }
    if (column >= rows_.columns.size())
      Raise(3265, "Item cannot be found in the collection: " + ConcatText(index));
    return rows_.values[row_][column];
  }

  Rows rows_;
  std::shared_ptr<HostTrace> trace_;
  size_t row_ = 0;
  bool closed_ = false;
};

class Query : public Dispatch {
 public:
  Query(SqliteDatabase* db, std::shared_ptr<HostTrace> trace) : db_(db), trace_(std::move(trace)) {}

  const TypeInfo& type_info() const override {
    static const TypeInfo info("_Query", kTestIid, "SqliteHostDouble.Query",
                               {Function("OpenRs", {Param("Sql", VarType::kString)},
                                         VarType::kObject)});
    return info;
  }

  Variant Invoke(const MemberInfo&, InvokeKind, ArgList& args) override {
    const std::string& sql = args[0].string();
    trace_->statements.push_back(sql);
    Rows rows = RunQuery(db_->handle(), sql);
    ++trace_->recordsets_opened;
    return Variant(Object(std::make_shared<Recordset>(std::move(rows), trace_)));
  }

 private:
  SqliteDatabase* db_;
  std::shared_ptr<HostTrace> trace_;
};

class Host : public Dispatch {
 public:
  Host(SqliteDatabase* db, std::shared_ptr<HostTrace> trace)
      : query_(std::make_shared<Query>(db, std::move(trace))) {}

  const TypeInfo& type_info() const override {
    static const TypeInfo info("_Host", kTestIid, "SqliteHostDouble.Host",
                               {Property("DbA_Query0_Obj", VarType::kObject, kInvokeGet)});
    return info;
  }

  Variant Invoke(const MemberInfo&, InvokeKind, ArgList&) override { return Variant(query_); }

 private:
  Object query_;
};

}  // namespace

Object NewSqliteHost(SqliteDatabase* db, std::shared_ptr<HostTrace> trace) {
  return std::make_shared<Host>(db, std::move(trace));
}

}  // namespace qev::testing
