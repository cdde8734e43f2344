#include "host/sqlite_database.h"

#include <sqlite3.h>

#include <chrono>
#include <cstdio>
#include <mutex>
#include <vector>

#include "host/column_types.h"
#include "host/dialect.h"
#include "host/exact_sum.h"
#include "host/row_order.h"
#include "host/host.h"
#include "host/sql_text.h"
#include "host/statement_cache.h"
#include "platform/ci_map.h"
#include "platform/error.h"

namespace qev::host {

Database::~Database() = default;

namespace {

constexpr int kBusyTimeoutMs = 30000;

struct ConnectionCloser {
  void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
};
using ConnectionPtr = std::unique_ptr<sqlite3, ConnectionCloser>;

// Resets a statement and drops its bindings when the call leaves, on every
// path, so that no read snapshot or write lock outlives the call and no
// borrowed parameter text stays bound.
class ResetGuard {
 public:
  explicit ResetGuard(sqlite3_stmt* stmt) : stmt_(stmt) {}
  ~ResetGuard() {
    sqlite3_reset(stmt_);
    sqlite3_clear_bindings(stmt_);
  }
  ResetGuard(const ResetGuard&) = delete;
  ResetGuard& operator=(const ResetGuard&) = delete;

 private:
  sqlite3_stmt* stmt_;
};

// A prepared statement with what each run reads from it the same way: the
// names of its result columns and which of them hold dates. SQLite
// prepares a statement again by itself when the schema changed under it;
// the description is then read afresh.
struct Prepared {
  StatementPtr stmt;
  std::vector<std::string> names;
  std::vector<uint8_t> date_columns;  // 1 for a date column
  int reprepared = -1;                // the statement's count of re-preparations when read
};
using PreparedPtr = std::unique_ptr<Prepared>;

// True for a declared type that marks a date or a time stamp (date,
// datetime, timestamp): SQLite keeps such values as text, which reaches the
// reports as a date value, as it does from a server's date columns, so that
// every text made from it is the same on both engines (a midnight shows as
// the date alone). A time of day alone ("time") is no date. Asked only
// when a statement's columns are described (DescribeColumns).
bool DeclaredTypeIsDate(const char* declared) {
  if (declared == nullptr) return false;
  const std::string upper = ToUpperAscii(declared);
  return upper.find("DATE") != std::string::npos || upper.find("TIMESTAMP") != std::string::npos;
}

Variant ColumnValue(sqlite3_stmt* stmt, int column, bool date_column) {
  const int type = sqlite3_column_type(stmt, column);
  if (date_column && type == SQLITE_TEXT) {
    const unsigned char* text = sqlite3_column_text(stmt, column);
    const std::string_view view(reinterpret_cast<const char*>(text),
                                static_cast<size_t>(sqlite3_column_bytes(stmt, column)));
    Date date;
    if (ParseDate(view, &date)) return Variant(date);
    return Variant(view);  // not a date after all: as stored
  }
  switch (type) {
    case SQLITE_INTEGER: return Variant::FromInt64(sqlite3_column_int64(stmt, column));
    case SQLITE_FLOAT: return Variant(AtFifteenDigits(sqlite3_column_double(stmt, column)));
    case SQLITE_NULL: return Variant::Null();
    case SQLITE_BLOB: {
      const void* data = sqlite3_column_blob(stmt, column);
      const int size = sqlite3_column_bytes(stmt, column);
      return Variant(std::string(static_cast<const char*>(data), static_cast<size_t>(size)));
    }
    default: {  // SQLITE_TEXT
      const unsigned char* text = sqlite3_column_text(stmt, column);
      const int size = sqlite3_column_bytes(stmt, column);
      return Variant(std::string_view(reinterpret_cast<const char*>(text), static_cast<size_t>(size)));
    }
  }
}

// SQLite's rule for the affinity of a declared column type, reduced to the
// one question the host asks: is it TEXT affinity?
bool DeclaredTypeIsText(std::string_view declared) {
  const std::string upper = ToUpperAscii(declared);
  if (upper.find("INT") != std::string::npos) return false;
  return upper.find("CHAR") != std::string::npos || upper.find("CLOB") != std::string::npos ||
         upper.find("TEXT") != std::string::npos;
}

class SqliteDatabase final : public Database {
 public:
  explicit SqliteDatabase(const std::string& path) : source_(kSqliteSource) {
    sqlite3* raw = nullptr;
    const int rc = sqlite3_open_v2(path.c_str(), &raw,
                                   SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX,
                                   nullptr);
    db_.reset(raw);  // a handle comes back even on most failures; close it either way
    if (rc != SQLITE_OK) {
      const std::string message = raw ? sqlite3_errmsg(raw) : sqlite3_errstr(rc);
      Raise(kErrDatabase, "Cannot open database '" + path + "': " + message, source_);
    }
    sqlite3_extended_result_codes(db_.get(), 1);
    sqlite3_busy_timeout(db_.get(), kBusyTimeoutMs);
    if (ExactSqliteSums() && RegisterExactSums(db_.get()) != SQLITE_OK)
      Raise(kErrDatabase,
            "Cannot register the exact sums on '" + path + "': " + sqlite3_errmsg(db_.get()),
            source_);
    const bool in_memory = path.empty() || path == ":memory:" || path.starts_with("file::memory:");
    ResultTable mode;
    ExecuteLocked(Statement{"PRAGMA journal_mode=WAL"}, &mode, SIZE_MAX);
    const std::string got = mode.row_count ? ToLowerAscii(mode.at(0, 0).ToText()) : "";
    if (!in_memory && got != "wal")
      Raise(kErrDatabase,
            "Cannot put database '" + path + "' into WAL mode (journal mode is '" + got + "')",
            source_);
    ExecuteLocked(Statement{"PRAGMA synchronous=NORMAL"}, nullptr, SIZE_MAX);
    const std::string cache = "PRAGMA cache_size=-" + std::to_string(kSqliteCacheKiB);
    ExecuteLocked(Statement{cache}, nullptr, SIZE_MAX);
  }

  ~SqliteDatabase() override {
    cache_.Clear();  // statements go before the connection
  }

  const std::string& source() const override { return source_; }
  std::string_view engine() const override { return "sqlite"; }

  void Execute(std::string_view sql, std::span<const SqlParam> params, ResultTable* result,
               size_t max_rows, std::string_view shown_sql) override {
    std::lock_guard<std::mutex> lock(mu_);
    ExecuteLocked(Statement{sql, params, shown_sql}, result, max_rows);
  }

  bool IsTextColumn(std::string_view table, std::string_view column) override {
    std::lock_guard<std::mutex> lock(mu_);
    return column_types_.IsTextColumn(table, column,
                                      [this](std::string_view t) { return LoadColumnsLocked(t); });
  }

  int64_t NextSequenceValue(std::string_view name) override {
    // One statement (dialect.h), so every connection and process gets its
    // own value.
    const SqlParam param = SqlParam::Text(name);
    ResultTable out;
    {
      std::lock_guard<std::mutex> lock(mu_);
      ExecuteLocked(Statement{kSqliteNextSequence, std::span<const SqlParam>(&param, 1)}, &out, SIZE_MAX);
    }
    if (out.row_count != 1) Raise(kErrDatabase, "Sequence '" + std::string(name) + "' gave no value", source_);
    const Variant& v = out.at(0, 0);
    return v.type() == VarType::kInt32 ? v.ToInt32() : static_cast<int64_t>(v.ToDouble());
  }

  void AppendParamMarker(std::string* sql, int /*index*/) const override { sql->push_back('?'); }

  std::string DateLiteral(Date date) const override { return IsoDateLiteral(date); }

  std::string NumericOrder(std::string_view field) const override {
    return SqliteNumericOrder(field);
  }

  std::string_view FixedTablesDdl() const override { return SqliteFixedTablesDdl(); }

  bool InTransaction() override {
    std::lock_guard<std::mutex> lock(mu_);
    return sqlite3_get_autocommit(db_.get()) == 0;
  }

  void SetStatementTimeout(std::chrono::milliseconds limit) override {
    std::lock_guard<std::mutex> lock(mu_);
    timeout_ = limit;
    // SQLite calls the handler every so many virtual machine steps of a
    // running statement; a non-zero answer interrupts it.
    if (limit.count() > 0)
      sqlite3_progress_handler(db_.get(), kProgressSteps, &SqliteDatabase::OnProgress, this);
    else
      sqlite3_progress_handler(db_.get(), 0, nullptr, nullptr);
  }

 private:
  using Statement = EngineStatement;

  [[noreturn]] void RaiseEngineError(const Statement& st, const char* message) const {
    Raise(kErrDatabase, std::string(message) + st.Describe(), source_);
  }

  // A statement ready to run: from the cache, or prepared now. A statement
  // that changes the schema is not cached; it is handed back in `owned`.
  Prepared* PrepareLocked(const Statement& st, PreparedPtr* owned, bool* schema_change) {
    const std::string_view sql = st.sql;
    *schema_change = false;
    if (Prepared* cached = cache_.Find(sql)) return cached;
    if (sql.find('\0') != std::string_view::npos)
      Raise(kErrBadStatement, "Refused a statement holding a NUL character; nothing was run" + st.Describe(),
            source_);
    sqlite3_stmt* raw = nullptr;
    const char* tail = nullptr;
    // Additions and subtractions exact, as the sums (exact_sum.h); the
    // cache keeps the statement under the caller's text.
    const std::string exact = ExactSqliteSums() ? ExactArithmetic(sql) : std::string();
    const std::string_view text = exact.empty() ? sql : std::string_view(exact);
    const int rc = sqlite3_prepare_v3(db_.get(), text.data(), static_cast<int>(text.size()),
                                      SQLITE_PREPARE_PERSISTENT, &raw, &tail);
    StatementPtr stmt(raw);
    if (rc != SQLITE_OK) RaiseEngineError(st, sqlite3_errmsg(db_.get()));
    if (stmt == nullptr) Raise(kErrBadStatement, "Refused an empty statement" + st.Describe(), source_);
    const size_t used = static_cast<size_t>(tail - text.data());
    if (!IsEmptyTail(text.substr(used)))
      Raise(kErrBadStatement,
            "Refused a text holding more than one statement; nothing was run" + st.Describe(),
            source_);
    if (!sqlite3_stmt_readonly(stmt.get())) {
      const std::string keyword = FirstKeyword(sql);
      *schema_change = keyword == "create" || keyword == "drop" || keyword == "alter";
    }
    auto prepared = std::make_unique<Prepared>();
    prepared->stmt = std::move(stmt);
    if (*schema_change) {
      *owned = std::move(prepared);
      return owned->get();
    }
    return cache_.Insert(sql, std::move(prepared));
  }

  // The column names and date columns of `p`, read again when SQLite has
  // prepared the statement anew since they were read.
  static void DescribeColumns(Prepared* p) {
    sqlite3_stmt* stmt = p->stmt.get();
    const int reprepared = sqlite3_stmt_status(stmt, SQLITE_STMTSTATUS_REPREPARE, 0);
    if (p->reprepared == reprepared) return;
    const int columns = sqlite3_column_count(stmt);
    p->names.clear();
    p->date_columns.clear();
    for (int c = 0; c < columns; ++c) {
      const char* name = sqlite3_column_name(stmt, c);
      p->names.emplace_back(name ? name : "");
      p->date_columns.push_back(DeclaredTypeIsDate(sqlite3_column_decltype(stmt, c)) ? 1 : 0);
    }
    p->reprepared = reprepared;
  }

  static int OnProgress(void* self) {
    auto* db = static_cast<SqliteDatabase*>(self);
    if (std::chrono::steady_clock::now() < db->deadline_) return 0;
    db->timed_out_ = true;
    return 1;
  }

  // The error of a failed step: the statement timeout by name when the
  // progress handler ended it.
  [[noreturn]] void RaiseStepError(const Statement& st) {
    if (timed_out_ && sqlite3_errcode(db_.get()) == SQLITE_INTERRUPT)
      Raise(kErrDatabase,
            "Statement ended: it ran longer than the " + StatementTimeoutText(timeout_) +
                st.Describe(),
            source_);
    RaiseEngineError(st, sqlite3_errmsg(db_.get()));
  }

  void ExecuteLocked(const Statement& st, ResultTable* result, size_t max_rows) {
    // Each statement gets the whole bound; one that this one needs first
    // (a column lookup) starts its own.
    if (timeout_.count() > 0) deadline_ = std::chrono::steady_clock::now() + timeout_;
    timed_out_ = false;
    PreparedPtr owned;
    bool schema_change = false;
    Prepared* prepared = PrepareLocked(st, &owned, &schema_change);
    sqlite3_stmt* stmt = prepared->stmt.get();
    ResetGuard guard(stmt);
    const std::span<const SqlParam> params = st.params;
    if (static_cast<size_t>(sqlite3_bind_parameter_count(stmt)) != params.size())
      Raise(kErrBadStatement,
            "Refused a statement with " + std::to_string(sqlite3_bind_parameter_count(stmt)) +
                " parameter marker(s) for " + std::to_string(params.size()) + " value(s)" +
                st.Describe(),
            source_);
    for (size_t i = 0; i < params.size(); ++i) {
      const int index = static_cast<int>(i + 1);
      const int rc = params[i].is_null
                         ? sqlite3_bind_null(stmt, index)
                         : sqlite3_bind_text(stmt, index, params[i].text.data(),
                                             static_cast<int>(params[i].text.size()), SQLITE_STATIC);
      if (rc != SQLITE_OK) RaiseEngineError(st, sqlite3_errmsg(db_.get()));
    }
    int columns = 0;
    const uint8_t* is_date = nullptr;
    if (result) {
      DescribeColumns(prepared);
      columns = static_cast<int>(prepared->names.size());
      is_date = prepared->date_columns.data();
      result->names = prepared->names;
      result->cells.clear();
      result->row_count = 0;
      result->cells.reserve(static_cast<size_t>(columns));  // the first row without growing
    }
    while (true) {
      const int rc = sqlite3_step(stmt);
      if (rc == SQLITE_ROW) {
        if (result == nullptr) continue;
        for (int c = 0; c < columns; ++c)
          result->cells.push_back(ColumnValue(stmt, c, is_date[c] != 0));
        if (++result->row_count >= max_rows) break;
        continue;
      }
      if (rc == SQLITE_DONE) break;
      RaiseStepError(st);
    }
    if (max_rows == SIZE_MAX) OrderUnorderedRows(st.sql, result);
    if (schema_change) column_types_.Clear();
  }

  // The columns of `table` ("name" or "schema.name"); nullopt when the
  // database has no such table.
  std::optional<ColumnTypeCache::TableColumns> LoadColumnsLocked(std::string_view table) {
    ResultTable info;
    const size_t dot = table.find('.');
    if (dot == std::string_view::npos) {
      const SqlParam p[] = {SqlParam::Text(table)};
      ExecuteLocked(Statement{"select name, type from pragma_table_info(?1)", p}, &info, SIZE_MAX);
    } else {
      const SqlParam p[] = {SqlParam::Text(table.substr(dot + 1)),
                            SqlParam::Text(table.substr(0, dot))};
      ExecuteLocked(Statement{"select name, type from pragma_table_info(?1, ?2)", p}, &info, SIZE_MAX);
    }
    if (info.row_count == 0) return std::nullopt;
    ColumnTypeCache::TableColumns columns;
    for (size_t r = 0; r < info.row_count; ++r)
      columns.emplace(info.at(r, 0).ToText(), DeclaredTypeIsText(ConcatText(info.at(r, 1))));
    return columns;
  }

  std::string source_;
  std::mutex mu_;
  static constexpr int kProgressSteps = 10000;
  std::chrono::milliseconds timeout_{0};
  std::chrono::steady_clock::time_point deadline_;
  bool timed_out_ = false;
  ConnectionPtr db_;  // declared before the cache: destroyed after it
  BasicStatementCache<PreparedPtr> cache_{kStatementCacheSize};
  ColumnTypeCache column_types_;
};

}  // namespace

std::shared_ptr<Database> OpenSqliteDatabase(const std::string& path) {
  return std::make_shared<SqliteDatabase>(path);
}

}  // namespace qev::host
