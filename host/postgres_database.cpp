#include "host/postgres_database.h"

#include <libpq-fe.h>

#include <cctype>
#include <chrono>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>
#include <list>
#include <mutex>
#include <optional>
#include <set>
#include <unordered_map>
#include <vector>

#include "host/column_types.h"
#include "host/dialect.h"
#include "host/exact_sum.h"
#include "host/host.h"
#include "host/row_order.h"
#include "host/sql_text.h"
#include "host/statement_cache.h"
#include "platform/ci_map.h"
#include "platform/error.h"

namespace qev::host {

namespace {

// Type OIDs of the built-in types whose values are not handed out as text.
constexpr Oid kBoolOid = 16;
constexpr Oid kInt8Oid = 20;
constexpr Oid kInt2Oid = 21;
constexpr Oid kInt4Oid = 23;
constexpr Oid kOidOid = 26;
constexpr Oid kFloat4Oid = 700;
constexpr Oid kFloat8Oid = 701;
constexpr Oid kDateOid = 1082;
constexpr Oid kTimestampOid = 1114;
constexpr Oid kNumericOid = 1700;

struct ConnectionCloser {
  void operator()(PGconn* conn) const { PQfinish(conn); }
};
using ConnectionPtr = std::unique_ptr<PGconn, ConnectionCloser>;

struct ResultCloser {
  void operator()(PGresult* result) const { PQclear(result); }
};
using ResultPtr = std::unique_ptr<PGresult, ResultCloser>;

// Notices ("relation already exists, skipping") are not errors; libpq
// would print them on stderr.
void IgnoreNotice(void*, const char*) {}

std::string TrimTrailing(std::string text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
  return text;
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && EqualsNoCase(text.substr(0, prefix.size()), prefix);
}

// The connection text for messages, with any password replaced by "***".
std::string Redacted(std::string_view connection) {
  std::string out(connection);
  // user:password@ in a URI.
  if (const size_t scheme = out.find("://"); scheme != std::string::npos) {
    const size_t start = scheme + 3;
    const size_t end = out.find_first_of("/?", start);
    const size_t at = out.rfind('@', end == std::string::npos ? out.size() : end);
    if (at != std::string::npos && at >= start) {
      const size_t colon = out.find(':', start);
      if (colon != std::string::npos && colon < at) out.replace(colon + 1, at - colon - 1, "***");
    }
  }
  // password=... as a keyword or a URI parameter.
  size_t pos = 0;
  while ((pos = ToLowerAscii(out).find("password", pos)) != std::string::npos) {
    size_t p = pos + 8;
    while (p < out.size() && out[p] == ' ') ++p;
    if (p >= out.size() || out[p] != '=') {
      pos = p;
      continue;
    }
    ++p;
    while (p < out.size() && out[p] == ' ') ++p;
    size_t end = p;
    if (end < out.size() && out[end] == '\'') {
      ++end;
      while (end < out.size() && out[end] != '\'') end += out[end] == '\\' ? 2 : 1;
      end = std::min(end + 1, out.size());
    } else {
      while (end < out.size() && out[end] != ' ' && out[end] != '&') ++end;
    }
    out.replace(p, end - p, "***");
    pos = p + 3;
  }
  return out;
}

// The libpq connection keywords (host, dbname, user, ...), lower case.
const std::set<std::string>& ConnectionKeywords() {
  static const std::set<std::string>* keywords = [] {
    auto* out = new std::set<std::string>;
    if (PQconninfoOption* options = PQconndefaults()) {
      for (PQconninfoOption* o = options; o->keyword != nullptr; ++o) out->insert(o->keyword);
      PQconninfoFree(options);
    }
    return out;
  }();
  return *keywords;
}

template <typename T>
bool ParseWhole(std::string_view text, T* out) {
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), *out);
  return ec == std::errc() && end == text.data() + text.size();
}

// One result value as the record sets hand it out.
Variant CellValue(const PGresult* result, int row, int column, Oid type) {
  if (PQgetisnull(result, row, column)) return Variant::Null();
  const std::string_view text(PQgetvalue(result, row, column),
                              static_cast<size_t>(PQgetlength(result, row, column)));
  switch (type) {
    case kBoolOid: return Variant(text == "t");
    case kInt2Oid:
    case kInt4Oid:
    case kInt8Oid:
    case kOidOid: {
      int64_t v = 0;
      if (ParseWhole(text, &v)) return Variant::FromInt64(v);
      break;
    }
    case kFloat4Oid:
    case kFloat8Oid: {
      double v = 0;
      if (ParseWhole(text, &v)) return Variant(AtFifteenDigits(v));
      break;
    }
    case kNumericOid: {
      double v = 0;
      if (!ParseWhole(text, &v)) break;
      v = AtFifteenDigits(v);
      if (std::isfinite(v) && v == std::trunc(v) && v >= std::numeric_limits<int32_t>::min() &&
          v <= std::numeric_limits<int32_t>::max())
        return Variant(static_cast<int32_t>(v));
      return Variant(v);
    }
    case kDateOid:
    case kTimestampOid: {
      Date date;
      if (ParseDate(text, &date)) return Variant(date);
      break;  // BC dates, infinity, fractions of a second: as text
    }
    default: break;
  }
  return Variant(text);
}

// The names of the server-side prepared statements of one connection, by
// their SQL text, least recently used first out.
class PreparedNames {
 public:
  explicit PreparedNames(size_t capacity) : capacity_(capacity) {}

  // The name prepared for `sql`, now the most recently used; nullptr when
  // there is none.
  const std::string* Find(std::string_view sql) {
    auto it = index_.find(sql);
    if (it == index_.end()) return nullptr;
    if (it->second != lru_.begin()) lru_.splice(lru_.begin(), lru_, it->second);
    return &it->second->name;
  }

  // Adds a name; returns the name pushed out when the cache was full.
  std::optional<std::string> Insert(std::string_view sql, std::string name) {
    std::optional<std::string> evicted;
    if (lru_.size() >= capacity_) {
      evicted = std::move(lru_.back().name);
      index_.erase(std::string_view(lru_.back().sql));
      lru_.pop_back();
    }
    lru_.push_front(Entry{std::string(sql), std::move(name)});
    index_.emplace(std::string_view(lru_.front().sql), lru_.begin());
    return evicted;
  }

  void Erase(std::string_view sql) {
    auto it = index_.find(sql);
    if (it == index_.end()) return;
    auto entry = it->second;
    index_.erase(it);
    lru_.erase(entry);
  }

  void Clear() {
    index_.clear();
    lru_.clear();
  }

 private:
  struct Entry {
    std::string sql;
    std::string name;
  };
  size_t capacity_;
  std::list<Entry> lru_;  // most recently used first
  std::unordered_map<std::string_view, std::list<Entry>::iterator> index_;
};

bool IsRowStatement(std::string_view keyword) {
  return keyword == "select" || keyword == "insert" || keyword == "update" ||
         keyword == "delete" || keyword == "with" || keyword == "values";
}

bool IsSchemaStatement(std::string_view keyword) {
  return keyword == "create" || keyword == "drop" || keyword == "alter";
}

class PostgresDatabase final : public Database {
 public:
  explicit PostgresDatabase(const std::string& connection)
      : source_(kPostgresSource), shown_connection_(Redacted(connection)) {
    // A server that accepts the connection and never answers must not
    // hang the caller: a connect timeout and TCP keepalives by default.
    // The connection text comes last, so its own settings win.
    const char* const keywords[] = {"connect_timeout", "keepalives", "keepalives_idle",
                                    "keepalives_interval", "keepalives_count", "dbname", nullptr};
    const char* const values[] = {"10", "1", "30", "10", "3", connection.c_str(), nullptr};
    conn_.reset(PQconnectdbParams(keywords, values, /*expand_dbname=*/1));
    if (conn_ == nullptr)
      Raise(kErrDatabase, "Cannot open database '" + shown_connection_ + "': out of memory", source_);
    if (PQstatus(conn_.get()) != CONNECTION_OK)
      Raise(kErrDatabase,
            "Cannot open database '" + shown_connection_ +
                "': " + TrimTrailing(PQerrorMessage(conn_.get())),
            source_);
    SetUpSessionLocked();
  }

  // The server drops the session's prepared statements with the session.
  ~PostgresDatabase() override = default;

  const std::string& source() const override { return source_; }
  std::string_view engine() const override { return "postgresql"; }

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
    const std::string sequence = PostgresSequenceName(name, source_);
    const SqlParam param = SqlParam::Text(sequence);
    const Statement next{kPostgresNextSequence, std::span<const SqlParam>(&param, 1)};
    std::lock_guard<std::mutex> lock(mu_);
    for (int attempt = 0;; ++attempt) {
      ResultPtr r = RunLocked(next);
      if (Succeeded(r.get())) {
        int64_t value = 0;
        if (PQntuples(r.get()) != 1 ||
            !ParseWhole(std::string_view(PQgetvalue(r.get(), 0, 0)), &value))
          Raise(kErrDatabase, "Sequence '" + sequence + "' gave no value", source_);
        return value;
      }
      if (attempt > 0 || SqlState(r.get()) != "42P01") RaiseServerError(next, r.get());
      // The sequence does not exist yet. Two sessions creating it at once
      // may collide in the catalogue; the loser uses the winner's.
      const std::string create_sql = "create sequence if not exists " + sequence;
      const Statement create{create_sql};
      ResultPtr c = RunLocked(create);
      const std::string state = SqlState(c.get());
      if (!Succeeded(c.get()) && state != "23505" && state != "42P07")
        RaiseServerError(create, c.get());
    }
  }

  void AppendParamMarker(std::string* sql, int index) const override {
    sql->push_back('$');
    sql->append(std::to_string(index));
  }

  // An untyped literal: the server reads it as the type of what it is
  // compared with (date, timestamp or a text column holding ISO dates).
  std::string DateLiteral(Date date) const override { return IsoDateLiteral(date); }

  // The column's text read as a number when it is one; other texts (and
  // NULL) sort after every number instead of failing the statement.
  std::string NumericOrder(std::string_view field) const override {
    return PostgresNumericOrder(field);
  }

  std::string_view FixedTablesDdl() const override { return PostgresFixedTablesDdl(); }

  void SetStatementTimeout(std::chrono::milliseconds limit) override {
    std::lock_guard<std::mutex> lock(mu_);
    timeout_ = limit;
    EnsureConnectedLocked();
    ApplyStatementTimeoutLocked();
  }

 private:

  using Statement = EngineStatement;

  static bool Succeeded(const PGresult* r) {
    const ExecStatusType status = r ? PQresultStatus(r) : PGRES_FATAL_ERROR;
    return status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK;
  }

  static std::string SqlState(const PGresult* r) {
    const char* state = r ? PQresultErrorField(r, PG_DIAG_SQLSTATE) : nullptr;
    return state ? state : "";
  }

  // The server's message: severity, text, detail and hint, and the
  // SQLSTATE code.
  std::string ServerMessage(const PGresult* r) const {
    const char* primary = r ? PQresultErrorField(r, PG_DIAG_MESSAGE_PRIMARY) : nullptr;
    if (primary == nullptr) {
      const char* message = r ? PQresultErrorMessage(r) : "";
      return TrimTrailing(*message ? message : PQerrorMessage(conn_.get()));
    }
    const char* severity = PQresultErrorField(r, PG_DIAG_SEVERITY);
    std::string out = std::string(severity ? severity : "ERROR") + ":  " + primary;
    if (const char* detail = PQresultErrorField(r, PG_DIAG_MESSAGE_DETAIL))
      out += std::string("; DETAIL: ") + detail;
    if (const char* hint = PQresultErrorField(r, PG_DIAG_MESSAGE_HINT))
      out += std::string("; HINT: ") + hint;
    if (const char* state = PQresultErrorField(r, PG_DIAG_SQLSTATE))
      out += std::string(" (SQLSTATE ") + state + ")";
    return out;
  }

  [[noreturn]] void RaiseServerError(const Statement& st, const PGresult* r) const {
    // query_canceled: the server ended the statement at statement_timeout.
    if (timeout_.count() > 0 && SqlState(r) == "57014")
      Raise(kErrDatabase,
            "Statement ended: it ran longer than the " + StatementTimeoutText(timeout_) + " (" +
                ServerMessage(r) + ")" + st.Describe(),
            source_);
    Raise(kErrDatabase, ServerMessage(r) + st.Describe(), source_);
  }

  // The server ends the session's statements itself (statement_timeout, in
  // milliseconds, 0 for none); set again with every new session.
  void ApplyStatementTimeoutLocked() {
    const std::string set = "set statement_timeout = " + std::to_string(timeout_.count());
    ResultPtr r(PQexec(conn_.get(), set.c_str()));
    if (!Succeeded(r.get()))
      Raise(kErrDatabase, "Cannot set the statement timeout: " + ServerMessage(r.get()), source_);
  }

  void SetUpSessionLocked() {
    PQsetNoticeProcessor(conn_.get(), IgnoreNotice, nullptr);
    if (PQsetClientEncoding(conn_.get(), "UTF8") != 0)
      Raise(kErrDatabase,
            "Cannot use UTF-8 on '" + shown_connection_ +
                "': " + TrimTrailing(PQerrorMessage(conn_.get())),
            source_);
    // ISO dates; floats in their shortest exact form.
    ResultPtr r(PQexec(conn_.get(), "set DateStyle = 'ISO, YMD'; set extra_float_digits = 3"));
    if (!Succeeded(r.get()))
      Raise(kErrDatabase, "Cannot set up the session: " + ServerMessage(r.get()), source_);
    if (timeout_.count() > 0) ApplyStatementTimeoutLocked();
  }

  // A broken connection (server restarted, network gone) is opened again
  // before the next statement; its prepared statements went with it.
  void EnsureConnectedLocked() {
    if (PQstatus(conn_.get()) == CONNECTION_OK) return;
    prepared_.Clear();
    column_types_.Clear();
    PQreset(conn_.get());
    if (PQstatus(conn_.get()) != CONNECTION_OK)
      Raise(kErrDatabase,
            "Lost the connection to '" + shown_connection_ +
                "': " + TrimTrailing(PQerrorMessage(conn_.get())),
            source_);
    SetUpSessionLocked();
  }

  void DeallocateLocked(const std::string& name) {
    ResultPtr ignored(PQexec(conn_.get(), ("deallocate " + name).c_str()));
  }

  // Runs one statement and returns its result, which may be an error; only
  // refusals (before anything is sent) raise here.
  ResultPtr RunLocked(const Statement& st) {
    const PostgresStatementShape shape = ScanPostgresStatement(st.sql);
    if (shape.empty) Raise(kErrBadStatement, "Refused an empty statement" + st.Describe(), source_);
    if (shape.more)
      Raise(kErrBadStatement,
            "Refused a text holding more than one statement; nothing was run" + st.Describe(),
            source_);
    // libpq reads the text up to a NUL: the rest would not run.
    if (st.sql.substr(0, shape.first_end).find('\0') != std::string_view::npos)
      Raise(kErrBadStatement, "Refused a statement holding a NUL character; nothing was run" + st.Describe(),
            source_);
    if (static_cast<size_t>(shape.max_param) != st.params.size())
      Raise(kErrBadStatement,
            "Refused a statement with " + std::to_string(shape.max_param) +
                " parameter marker(s) for " + std::to_string(st.params.size()) + " value(s)" +
                st.Describe(),
            source_);
    EnsureConnectedLocked();

    // libpq takes NUL-terminated texts.
    const std::string text(st.sql.substr(0, shape.first_end));
    std::vector<std::string> storage(st.params.size());
    std::vector<const char*> values(st.params.size(), nullptr);
    for (size_t i = 0; i < st.params.size(); ++i) {
      if (st.params[i].is_null) continue;
      if (st.params[i].text.find('\0') != std::string_view::npos)
        Raise(kErrBadStatement, "Refused a value holding a NUL character" + st.Describe(), source_);
      storage[i].assign(st.params[i].text);
      values[i] = storage[i].c_str();
    }
    const int count = static_cast<int>(values.size());
    const char* const* args = values.empty() ? nullptr : values.data();

    const std::string keyword = FirstKeyword(text);
    if (!IsRowStatement(keyword)) {
      ResultPtr r(PQexecParams(conn_.get(), text.c_str(), count, nullptr, args, nullptr, nullptr, 0));
      if (IsSchemaStatement(keyword) && Succeeded(r.get())) {
        // Column types are read again, and statements are prepared again:
        // a prepared statement keeps the parameter types of its time.
        column_types_.Clear();
        prepared_.Clear();
        ResultPtr ignored(PQexec(conn_.get(), "deallocate all"));
      }
      return r;
    }
    for (int attempt = 0;; ++attempt) {
      const std::string* name = prepared_.Find(text);
      const bool prepared_before = name != nullptr;
      std::string fresh;
      if (name == nullptr) {
        fresh = "qev_s" + std::to_string(++statement_serial_);
        ResultPtr p(PQprepare(conn_.get(), fresh.c_str(), text.c_str(), count, nullptr));
        if (!Succeeded(p.get())) return p;
        if (auto evicted = prepared_.Insert(text, fresh)) DeallocateLocked(*evicted);
        name = &fresh;
      }
      ResultPtr r(PQexecPrepared(conn_.get(), name->c_str(), count, args, nullptr, nullptr, 0));
      if (attempt == 0 && prepared_before && !Succeeded(r.get()) &&
          MayBeStalePreparedStatement(r.get())) {
        // The table may have changed under the prepared statement (another
        // session altered it, or the statement is gone): nothing ran, so
        // it is prepared again and run once more. A genuine error comes
        // back the second time.
        const std::string stale = *name;
        prepared_.Erase(text);
        DeallocateLocked(stale);
        continue;
      }
      return r;
    }
  }

  // Errors that a statement prepared before a table changed can give:
  // a result of another shape, a value read as a column's old type, or
  // the prepared statement being gone.
  static bool MayBeStalePreparedStatement(const PGresult* r) {
    const std::string state = SqlState(r);
    if (state == "26000") return true;  // invalid_sql_statement_name
    if (state.starts_with("22") || state == "42804") return true;  // data exception, datatype mismatch
    const char* primary = PQresultErrorField(r, PG_DIAG_MESSAGE_PRIMARY);
    return state == "0A000" && primary != nullptr &&
           std::string_view(primary).starts_with("cached plan must not change result type");
  }

  void ExecuteLocked(const Statement& st, ResultTable* result, size_t max_rows) {
    ResultPtr r = RunLocked(st);
    if (!Succeeded(r.get())) RaiseServerError(st, r.get());
    if (result == nullptr) return;
    const PGresult* res = r.get();
    const int columns = PQnfields(res);
    result->names.clear();
    result->cells.clear();
    result->row_count = 0;
    result->names.reserve(static_cast<size_t>(columns));
    std::vector<Oid> types(static_cast<size_t>(columns));
    for (int c = 0; c < columns; ++c) {
      const char* name = PQfname(res, c);
      result->names.emplace_back(name ? name : "");
      types[static_cast<size_t>(c)] = PQftype(res, c);
    }
    const size_t rows = std::min(static_cast<size_t>(PQntuples(res)), max_rows);
    result->cells.reserve(rows * static_cast<size_t>(columns));
    for (size_t row = 0; row < rows; ++row)
      for (int c = 0; c < columns; ++c)
        result->cells.push_back(
            CellValue(res, static_cast<int>(row), c, types[static_cast<size_t>(c)]));
    result->row_count = rows;
    if (max_rows == SIZE_MAX) OrderUnorderedRows(st.sql, result);
  }

  // The columns of `table` as the search path finds it; nullopt when
  // there is no such table or view.
  std::optional<ColumnTypeCache::TableColumns> LoadColumnsLocked(std::string_view table) {
    static constexpr std::string_view kColumns =
        "select a.attname, t.typcategory = 'S' from pg_catalog.pg_attribute a "
        "join pg_catalog.pg_type t on t.oid = a.atttypid "
        "where a.attrelid = to_regclass($1) and a.attnum > 0 and not a.attisdropped";
    const SqlParam p[] = {SqlParam::Text(table)};
    ResultTable info;
    ExecuteLocked(Statement{kColumns, p}, &info, SIZE_MAX);
    if (info.row_count == 0) return std::nullopt;
    ColumnTypeCache::TableColumns columns;
    for (size_t r = 0; r < info.row_count; ++r)
      columns.emplace(info.at(r, 0).ToText(), info.at(r, 1).ToBool());
    return columns;
  }

  std::string source_;
  std::string shown_connection_;
  std::mutex mu_;
  ConnectionPtr conn_;
  PreparedNames prepared_{kStatementCacheSize};
  uint64_t statement_serial_ = 0;
  ColumnTypeCache column_types_;
  std::chrono::milliseconds timeout_{0};
};

}  // namespace

bool IsPostgresConnection(std::string_view connection) {
  size_t pos = connection.find_first_not_of(" \t\r\n");
  if (pos == std::string_view::npos) return false;
  const std::string_view text = connection.substr(pos);
  if (StartsWithNoCase(text, "postgresql://") || StartsWithNoCase(text, "postgres://")) return true;
  size_t end = 0;
  while (end < text.size() && (std::isalnum(static_cast<unsigned char>(text[end])) || text[end] == '_'))
    ++end;
  size_t eq = end;
  while (eq < text.size() && (text[eq] == ' ' || text[eq] == '\t')) ++eq;
  if (end == 0 || eq >= text.size() || text[eq] != '=') return false;
  return ConnectionKeywords().count(ToLowerAscii(text.substr(0, end))) > 0;
}

std::shared_ptr<Database> OpenPostgresDatabase(const std::string& connection) {
  return std::make_shared<PostgresDatabase>(connection);
}

}  // namespace qev::host
