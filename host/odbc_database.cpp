#include "host/odbc_database.h"

#include "host/row_order.h"

#include <dlfcn.h>
#include <odbcinst.h>
#include <sql.h>
#include <sqlext.h>
#include <sqlucode.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <condition_variable>
#include <cstring>
#include <functional>
#include <limits>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>
#include <vector>

#include "host/column_types.h"
#include "host/dialect.h"
#include "host/exact_sum.h"
#include "host/host.h"
#include "host/postgres_database.h"
#include "host/sql_text.h"
#include "host/sqlite_database.h"
#include "host/statement_cache.h"
#include "platform/ci_map.h"
#include "platform/error.h"

namespace qev::host {

namespace {

constexpr SQLULEN kLoginTimeoutSeconds = 10;
// A text column is bound with room for this many characters at most; a
// longer value is read again whole (see Fetch).
constexpr SQLULEN kMaxBoundChars = 4000;
// Rows per SQLFetch, and the bytes a block of bound buffers may take.
constexpr size_t kMaxRowsPerFetch = 256;
constexpr size_t kBlockBytes = 1 << 20;
// Room for the text of an exact decimal.
constexpr SQLLEN kDecimalChars = 80;

using WString = std::basic_string<SQLWCHAR>;

// UTF-8 to UTF-16 (SQLWCHAR). A byte that starts no valid sequence becomes
// U+FFFD, and *exact (when given) turns false.
WString ToWide(std::string_view s, bool* exact = nullptr) {
  WString out;
  out.reserve(s.size());
  size_t i = 0;
  while (i < s.size()) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    uint32_t cp = 0xFFFD;
    size_t len = 1;
    if (c < 0x80) {
      cp = c;
    } else if ((c >> 5) == 0x6 || (c >> 4) == 0xE || (c >> 3) == 0x1E) {
      len = (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : 4;
      uint32_t v = c & (len == 2 ? 0x1F : len == 3 ? 0x0F : 0x07);
      bool ok = i + len <= s.size();
      for (size_t k = 1; ok && k < len; ++k) {
        const unsigned char cc = static_cast<unsigned char>(s[i + k]);
        if ((cc >> 6) != 0x2) ok = false;
        v = (v << 6) | (cc & 0x3F);
      }
      if (ok && v <= 0x10FFFF && !(v >= 0xD800 && v <= 0xDFFF)) {
        cp = v;
      } else {
        len = 1;
      }
    }
    if (cp == 0xFFFD && exact && s.substr(i, len) != "\xEF\xBF\xBD") *exact = false;
    i += len;
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out.push_back(static_cast<SQLWCHAR>(0xD800 + (cp >> 10)));
      out.push_back(static_cast<SQLWCHAR>(0xDC00 + (cp & 0x3FF)));
    } else {
      out.push_back(static_cast<SQLWCHAR>(cp));
    }
  }
  return out;
}

// UTF-16 to UTF-8; an unpaired surrogate becomes U+FFFD.
std::string FromWide(const SQLWCHAR* w, size_t n) {
  std::string out;
  out.reserve(n);
  for (size_t i = 0; i < n; ++i) {
    uint32_t cp = w[i];
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < n && w[i + 1] >= 0xDC00 && w[i + 1] <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (w[i + 1] - 0xDC00);
      ++i;
    } else if (cp >= 0xD800 && cp <= 0xDFFF) {
      cp = 0xFFFD;
    }
    if (cp < 0x80) {
      out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
  }
  return out;
}


// One diagnostic record.
struct DiagRecord {
  std::string state;
  SQLINTEGER native = 0;
  std::string message;
};

std::vector<DiagRecord> DiagRecords(SQLSMALLINT type, SQLHANDLE handle) {
  std::vector<DiagRecord> out;
  if (handle == SQL_NULL_HANDLE) return out;
  for (SQLSMALLINT i = 1;; ++i) {
    SQLWCHAR state[6] = {};
    SQLINTEGER native = 0;
    std::vector<SQLWCHAR> message(1024);
    SQLSMALLINT length = 0;
    SQLRETURN rc = SQLGetDiagRecW(type, handle, i, state, &native, message.data(),
                                  static_cast<SQLSMALLINT>(message.size()), &length);
    if (rc == SQL_SUCCESS_WITH_INFO && static_cast<size_t>(length) >= message.size()) {
      message.resize(static_cast<size_t>(length) + 1);
      rc = SQLGetDiagRecW(type, handle, i, state, &native, message.data(),
                          static_cast<SQLSMALLINT>(message.size()), &length);
    }
    if (!SQL_SUCCEEDED(rc)) break;
    DiagRecord r;
    r.state = FromWide(state, 5);
    r.native = native;
    r.message = FromWide(message.data(), std::min<size_t>(static_cast<size_t>(length), message.size()));
    while (!r.message.empty() && (r.message.back() == '\n' || r.message.back() == ' ' ||
                                  r.message.back() == ';'))
      r.message.pop_back();
    for (char& c : r.message)
      if (c == '\n') c = ' ';
    out.push_back(std::move(r));
  }
  return out;
}

// Every record: "message (SQLSTATE xxxxx, native error n)", joined by "; ".
std::string DescribeDiagnostics(const std::vector<DiagRecord>& records, SQLRETURN rc) {
  if (records.empty())
    return "the driver reported an error without a diagnostic record (return code " +
           std::to_string(rc) + ")";
  std::string out;
  for (const DiagRecord& r : records) {
    if (!out.empty()) out += "; ";
    out += r.message + " (SQLSTATE " + r.state + ", native error " + std::to_string(r.native) + ")";
  }
  return out;
}

// The process's ODBC environment (ODBC 3 behaviour), made on first use and
// kept for the life of the process.
SQLHENV Environment() {
  static SQLHENV env = [] {
    SQLHENV h = SQL_NULL_HENV;
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &h)))
      Raise(kErrDatabase, "Cannot set up the ODBC driver manager (SQLAllocHandle failed)",
            std::string(kOdbcSource));
    SQLSetEnvAttr(h, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    return h;
  }();
  return env;
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && EqualsNoCase(text.substr(0, prefix.size()), prefix);
}

// How a result column is read.
// kInferred: a SQLite expression column, which has no declared type: its
// text is read as the integer or real it spells, as SQLite stored it.
// kSqliteDate: a SQLite column declared as a date or time stamp (date,
// datetime, timestamp), which holds text: a date when the text is one, as
// the native engine reads it (a midnight then shows as the date alone).
enum class Kind { kInteger, kDouble, kDecimal, kTimestamp, kText, kBit, kInferred, kSqliteDate };

struct Column {
  std::string name;
  SQLSMALLINT sql_type = 0;
  SQLULEN size = 0;
  std::string type_name;  // SQLite: the declared type, "" for an expression
  Kind kind = Kind::kText;
  SQLSMALLINT c_type = SQL_C_WCHAR;
  SQLLEN width = 0;  // bytes of one row's buffer
  std::vector<unsigned char> buffer;
  std::vector<SQLLEN> indicator;
};

struct StatementHandle {
  SQLHSTMT h = SQL_NULL_HSTMT;
  // What the first run of the text found out, which the runs of the kept
  // statement do not work out again: the one statement the text holds
  // (comments before it dropped), its first keyword, and how many values
  // its markers take.
  std::string text;
  std::string keyword;
  size_t markers = 0;
  // Result columns as last bound; `rows` buffers of each.
  std::vector<Column> columns;
  size_t rows = 0;
  SQLULEN fetched = 0;
  std::vector<SQLUSMALLINT> status;
  bool bound = false;
  // The description of the columns holds for every later run (see
  // ExecuteLocked): it was read after a run that gave rows, or from
  // PostgreSQL, which describes a prepared statement whatever its rows.
  bool settled = false;
  // Parameter buffers, kept between executions.
  std::vector<WString> param_text;
  std::vector<std::string> param_bytes;  // UTF-8, for a driver taking narrow text
  std::vector<SQLLEN> param_indicator;
  SQLSMALLINT param_count = 0;

  ~StatementHandle() {
    if (h != SQL_NULL_HSTMT) SQLFreeHandle(SQL_HANDLE_STMT, h);
  }
};
struct StatementDeleter {
  void operator()(StatementHandle* s) const { delete s; }
};
using OdbcStatementPtr = std::unique_ptr<StatementHandle, StatementDeleter>;

// Closes the cursor and drops parameter bindings on every path, so that no
// read snapshot outlives the call and no buffer stays bound to a parameter.
class CloseGuard {
 public:
  explicit CloseGuard(SQLHSTMT h) : h_(h) {}
  ~CloseGuard() {
    SQLFreeStmt(h_, SQL_CLOSE);
    SQLFreeStmt(h_, SQL_RESET_PARAMS);
  }
  CloseGuard(const CloseGuard&) = delete;
  CloseGuard& operator=(const CloseGuard&) = delete;

 private:
  SQLHSTMT h_;
};

template <typename T>
bool ParseWhole(std::string_view text, T* out) {
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), *out);
  return ec == std::errc() && end == text.data() + text.size();
}

// An exact decimal as the native engines hand it out: a whole value that
// fits 32 bits as an integer, any other as a double.
Variant DecimalValue(double v) {
  v = AtFifteenDigits(v);
  if (std::isfinite(v) && v == std::trunc(v) && v >= std::numeric_limits<int32_t>::min() &&
      v <= std::numeric_limits<int32_t>::max())
    return Variant(static_cast<int32_t>(v));
  return Variant(v);
}

Variant TimestampValue(const SQL_TIMESTAMP_STRUCT& ts) {
  if (ts.fraction == 0) {
    DateParts p;
    p.year = ts.year;
    p.month = ts.month;
    p.day = ts.day;
    p.hour = ts.hour;
    p.minute = ts.minute;
    p.second = ts.second;
    return Variant(MakeDate(p));
  }
  // Fractions of a second: as text, as the native engines give them.
  char buf[48];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d.%09u", ts.year, ts.month, ts.day,
                ts.hour, ts.minute, ts.second, static_cast<unsigned>(ts.fraction));
  std::string text(buf);
  while (text.back() == '0') text.pop_back();
  return Variant(std::move(text));
}

// The value of a SQLite expression, given as text: an integer or a real
// as SQLite writes them (no blanks, no leading zeros, no '+') is that
// number, anything else stays text.
Variant InferredValue(std::string text) {
  std::string_view t = text;
  const std::string_view digits = t.starts_with('-') ? t.substr(1) : t;
  if (digits.empty() || !std::isdigit(static_cast<unsigned char>(digits.front())) ||
      (digits.size() > 1 && digits[0] == '0' && digits[1] != '.'))
    return Variant(std::move(text));
  int64_t whole = 0;
  if (ParseWhole(t, &whole)) return Variant::FromInt64(whole);
  double real = 0;
  if ((t.find('.') != std::string_view::npos || t.find('e') != std::string_view::npos) &&
      ParseWhole(t, &real) && std::isfinite(real))
    return Variant(AtFifteenDigits(real));
  return Variant(std::move(text));
}

// The value of a column read as text: by its spelling for a SQLite
// expression, a date where a SQLite date column holds one, else the text.
Variant TextValue(Kind kind, std::string text) {
  if (kind == Kind::kInferred) return InferredValue(std::move(text));
  if (kind == Kind::kSqliteDate) {
    Date date;
    if (ParseDate(text, &date)) return Variant(date);
    return InferredValue(std::move(text));  // no date after all: as stored
  }
  return Variant(std::move(text));
}

bool IsTextType(SQLSMALLINT t) {
  return t == SQL_CHAR || t == SQL_VARCHAR || t == SQL_LONGVARCHAR || t == SQL_WCHAR ||
         t == SQL_WVARCHAR || t == SQL_WLONGVARCHAR;
}

// TCP keepalives of psqlODBC connections, when neither the connection
// string nor its DSN chooses them: a server that dies (or a network that
// drops the connection without a word) is noticed after about two minutes
// of silence instead of the hours of the system's default, so that a
// calculation waiting on it ends with an error instead of hanging. A
// statement that runs long keeps the connection alive: the server's kernel
// answers the probes.
constexpr int kKeepaliveIdleSeconds = 30;
constexpr int kKeepaliveIntervalSeconds = 10;

// The value of `key` (any letter case) in an ODBC connection string,
// without the braces of a braced value; nullopt when it is not there.
std::optional<std::string> AttributeOf(std::string_view connection, std::string_view key) {
  size_t pos = 0;
  while (pos < connection.size()) {
    const size_t eq = connection.find('=', pos);
    if (eq == std::string_view::npos) break;
    std::string_view name = connection.substr(pos, eq - pos);
    while (!name.empty() && (name.front() == ' ' || name.front() == '\t')) name.remove_prefix(1);
    while (!name.empty() && (name.back() == ' ' || name.back() == '\t')) name.remove_suffix(1);
    size_t value = eq + 1;
    while (value < connection.size() && (connection[value] == ' ' || connection[value] == '\t'))
      ++value;
    std::string text;
    size_t end = value;
    if (end < connection.size() && connection[end] == '{') {
      // A braced value may hold ';'; a doubled '}' stands for one.
      for (++end; end < connection.size(); ++end) {
        if (connection[end] == '}') {
          if (end + 1 < connection.size() && connection[end + 1] == '}') {
            text.push_back('}');
            ++end;
            continue;
          }
          ++end;
          break;
        }
        text.push_back(connection[end]);
      }
      end = std::min(connection.find(';', end), connection.size());
    } else {
      end = std::min(connection.find(';', value), connection.size());
      text.assign(connection.substr(value, end - value));
      while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.pop_back();
    }
    if (EqualsNoCase(name, key)) return text;
    pos = end + 1;
  }
  return std::nullopt;
}

// An entry of the driver manager's odbc.ini (`section` a DSN) or
// odbcinst.ini (`section` a driver); "" when there is none.
std::string ProfileEntry(const std::string& section, const char* key, const char* file) {
  char buf[1024] = {};
  if (SQLGetPrivateProfileString(section.c_str(), key, "", buf, sizeof buf, file) <= 0) return "";
  return std::string(buf, strnlen(buf, sizeof buf));
}

// The path of the SQLite extension with the host's exact sum() and total()
// (built beside this library), "" when it is not there.
std::string ExactSumsExtension() {
  Dl_info dl{};
  if (dladdr(reinterpret_cast<const void*>(&OpenOdbcDatabase), &dl) == 0 ||
      dl.dli_fname == nullptr)
    return "";
  std::string path = dl.dli_fname;
  path = path.substr(0, path.rfind('/') + 1) + "libqev_sqlite_sums.so";
  return ::access(path.c_str(), R_OK) == 0 ? path : "";
}

// `connection` with what the engine adds for the two drivers it knows,
// when the string (or its DSN) does not say otherwise. The driver is named
// by Driver= or by the DSN's entry; other drivers get the string as it is,
// since their attribute names are their own.
//  - psqlODBC: TCP keepalives (KeepaliveTime, KeepaliveInterval), unless
//    those or libpq's own keepalive options (pqopt) are set.
//  - The SQLite ODBC driver: the extension with the host's exact sums
//    (LoadExt), so that sums are the decimals the values stand for, as on
//    the native SQLite engine, which registers them on its own connection.
std::string WithDriverAttributes(const std::string& connection) {
  auto in_string = [&](const char* key) { return AttributeOf(connection, key).value_or(""); };
  std::function<std::string(const char*)> get = in_string;
  std::string driver = in_string("Driver");
  const std::string dsn = in_string("DSN");
  if (driver.empty() && !dsn.empty()) {
    // A key in the string overrides the DSN's.
    get = [&, in_string](const char* key) {
      std::string v = in_string(key);
      return v.empty() ? ProfileEntry(dsn, key, "odbc.ini") : v;
    };
    driver = get("Driver");
  }
  if (driver.empty()) return connection;
  // A driver is named by its odbcinst.ini section or by its library's path.
  std::string library = driver.find('/') == std::string::npos
                            ? ProfileEntry(driver, "Driver", "odbcinst.ini")
                            : driver;
  if (library.empty()) library = driver;
  const std::string file = ToLowerAscii(library.substr(library.rfind('/') + 1));
  std::string added;
  if (file.starts_with("psqlodbc")) {
    if (get("KeepaliveTime").empty() && get("KeepaliveInterval").empty() &&
        ToLowerAscii(get("pqopt")).find("keepalives") == std::string::npos)
      added = "KeepaliveTime=" + std::to_string(kKeepaliveIdleSeconds) +
              ";KeepaliveInterval=" + std::to_string(kKeepaliveIntervalSeconds);
  } else if (file.starts_with("libsqlite3odbc") && ExactSqliteSums() && get("LoadExt").empty()) {
    const std::string extension = ExactSumsExtension();
    if (!extension.empty()) added = "LoadExt=" + extension;
  }
  if (added.empty()) return connection;
  std::string out = connection;
  while (!out.empty() && (out.back() == ' ' || out.back() == '\t')) out.pop_back();
  if (!out.empty() && out.back() != ';') out.push_back(';');
  return out + added;
}

// Ends statements at the statement timeout for a driver that does not
// bound them itself: the SQLite ODBC driver accepts SQL_ATTR_QUERY_TIMEOUT
// and forgets it (it reads back as 0), so that a statement would run for
// hours. A thread of the database's own calls SQLCancel at the deadline,
// the one call ODBC allows on a statement that another thread is running;
// the driver ends the statement with an error (SQLite's "interrupted").
class Watchdog {
 public:
  Watchdog() = default;
  Watchdog(const Watchdog&) = delete;
  Watchdog& operator=(const Watchdog&) = delete;
  ~Watchdog() {
    {
      std::lock_guard<std::mutex> lock(mu_);
      stop_ = true;
    }
    cv_.notify_all();
    if (thread_.joinable()) thread_.join();
  }

  // Watches `h` until Disarm: cancelled at `deadline`.
  void Arm(SQLHSTMT h, std::chrono::steady_clock::time_point deadline) {
    std::lock_guard<std::mutex> lock(mu_);
    if (!thread_.joinable()) thread_ = std::thread([this] { Run(); });
    h_ = h;
    deadline_ = deadline;
    fired_ = false;
    cv_.notify_all();
  }
  // The statement now running on behalf of the watched one (the same
  // deadline).
  void Retarget(SQLHSTMT h) {
    std::lock_guard<std::mutex> lock(mu_);
    if (h_ != SQL_NULL_HSTMT) h_ = h;
  }
  // Stops watching; true when the deadline cancelled the statement. Once
  // this returns, no cancel reaches the handle.
  bool Disarm() {
    std::lock_guard<std::mutex> lock(mu_);
    h_ = SQL_NULL_HSTMT;
    return std::exchange(fired_, false);
  }
  // Whether the statement watched now was cancelled at its deadline.
  bool fired() {
    std::lock_guard<std::mutex> lock(mu_);
    return fired_;
  }

 private:
  void Run() {
    std::unique_lock<std::mutex> lock(mu_);
    while (!stop_) {
      if (h_ == SQL_NULL_HSTMT) {
        cv_.wait(lock);
      } else if (std::chrono::steady_clock::now() >= deadline_) {
        SQLCancel(h_);
        fired_ = true;
        h_ = SQL_NULL_HSTMT;
      } else {
        cv_.wait_until(lock, deadline_);
      }
    }
  }

  std::mutex mu_;
  std::condition_variable cv_;
  std::thread thread_;
  SQLHSTMT h_ = SQL_NULL_HSTMT;
  std::chrono::steady_clock::time_point deadline_;
  bool fired_ = false;
  bool stop_ = false;
};

// Disarms the watchdog on every path out of a statement.
class WatchScope {
 public:
  explicit WatchScope(Watchdog* w) : w_(w) {}
  ~WatchScope() {
    if (w_ != nullptr) w_->Disarm();
  }
  WatchScope(const WatchScope&) = delete;
  WatchScope& operator=(const WatchScope&) = delete;

 private:
  Watchdog* w_;
};

class OdbcDatabase final : public Database {
 public:
  explicit OdbcDatabase(const std::string& connection)
      : source_(kOdbcSource),
        connection_string_(WithDriverAttributes(connection)),
        shown_connection_(MaskOdbcPassword(connection)) {
    ConnectLocked();
  }

  ~OdbcDatabase() override {
    cache_.Clear();  // statements go before the connection
    Disconnect();
  }

  const std::string& source() const override { return source_; }
  std::string_view engine() const override { return dialect_; }

  void Execute(std::string_view sql, std::span<const SqlParam> params, ResultTable* result,
               size_t max_rows, std::string_view shown_sql) override {
    std::lock_guard<std::mutex> lock(mu_);
    ExecuteLocked(Statement{sql, params, shown_sql}, result, max_rows);
    NoteTransactionLocked(sql);
    // The same row order as the native engines give.
    if (max_rows == SIZE_MAX) OrderUnorderedRows(sql, result);
  }

  // The driver runs in autocommit mode and knows nothing of a transaction
  // opened by a statement; the engine follows the statements that open and
  // end one (the host's write batches on a SQLite file send them). A
  // failing statement inside it leaves it open, as SQLite does for every
  // error but the few that roll back everything (disk full, I/O errors):
  // after those the batch's COMMIT reports that no transaction is active.
  bool InTransaction() override {
    std::lock_guard<std::mutex> lock(mu_);
    return in_transaction_;
  }

  bool IsTextColumn(std::string_view table, std::string_view column) override {
    std::lock_guard<std::mutex> lock(mu_);
    return column_types_.IsTextColumn(table, column,
                                      [this](std::string_view t) { return LoadColumnsLocked(t); });
  }

  int64_t NextSequenceValue(std::string_view name) override {
    std::lock_guard<std::mutex> lock(mu_);
    if (dialect_ == "sqlite") return NextSqliteSequenceLocked(name);
    if (dialect_ == "postgresql") return NextPostgresSequenceLocked(name);
    Raise(kErrDatabase,
          "SnValue('" + std::string(name) + "') needs a sequence, which this library keeps only on "
          "PostgreSQL and SQLite; the database behind '" + shown_connection_ + "' is " + dbms_name_,
          source_);
  }

  void AppendParamMarker(std::string* sql, int /*index*/) const override { sql->push_back('?'); }

  // Over PostgreSQL and SQLite the native engines' literal, which also
  // compares with text columns holding ISO dates; elsewhere the ODBC escape.
  std::string DateLiteral(Date date) const override {
    return dialect_ == "odbc" ? OdbcDateEscape(date) : IsoDateLiteral(date);
  }

  std::string NumericOrder(std::string_view field) const override {
    if (dialect_ == "sqlite") return SqliteNumericOrder(field);
    if (dialect_ == "postgresql") return PostgresNumericOrder(field);
    return "{fn CONVERT(" + std::string(field) + ", SQL_DOUBLE)}";
  }

  std::string_view FixedTablesDdl() const override {
    if (dialect_ == "sqlite") return SqliteFixedTablesDdl();
    if (dialect_ == "postgresql") return PostgresFixedTablesDdl();
    return {};
  }

  std::string LockFilePath() const override {
    if (dialect_ == "sqlite") return database_file_;
    return {};
  }

  // ODBC bounds a statement in whole seconds (SQL_ATTR_QUERY_TIMEOUT), set
  // on each statement before it runs; a part of a second counts as one.
  void SetStatementTimeout(std::chrono::milliseconds limit) override {
    std::lock_guard<std::mutex> lock(mu_);
    timeout_ = limit.count() <= 0 ? std::chrono::milliseconds(0) : limit;
    timeout_seconds_ = limit.count() <= 0 ? 0 : (limit.count() + 999) / 1000;
  }

  const std::string& dbms_name() const { return dbms_name_; }

 private:
  using Statement = EngineStatement;

  void Disconnect() {
    if (dbc_ == SQL_NULL_HDBC) return;
    SQLDisconnect(dbc_);
    SQLFreeHandle(SQL_HANDLE_DBC, dbc_);
    dbc_ = SQL_NULL_HDBC;
  }

  [[noreturn]] void RaiseConnectError(std::string_view what, SQLSMALLINT type, SQLHANDLE h,
                                      SQLRETURN rc) {
    const std::string detail = DescribeDiagnostics(DiagRecords(type, h), rc);
    Raise(kErrDatabase, std::string(what) + " '" + shown_connection_ + "': " + detail, source_);
  }

  std::string InfoText(SQLUSMALLINT info) {
    SQLWCHAR buf[512] = {};
    SQLSMALLINT len = 0;
    if (!SQL_SUCCEEDED(SQLGetInfoW(dbc_, info, buf, sizeof buf, &len))) return "";
    return FromWide(buf, std::min<size_t>(static_cast<size_t>(len) / sizeof(SQLWCHAR), 511));
  }

  void NoteTransactionLocked(std::string_view sql) {
    const std::string keyword = FirstKeyword(sql);
    if (keyword == "begin") in_transaction_ = true;
    else if (keyword == "commit" || keyword == "end") in_transaction_ = false;
    else if (keyword == "rollback" && ToLowerAscii(std::string(sql)).find(" to ") == std::string::npos)
      in_transaction_ = false;
  }

  void ConnectLocked() {
    in_transaction_ = false;
    SQLHDBC dbc = SQL_NULL_HDBC;
    SQLRETURN rc = SQLAllocHandle(SQL_HANDLE_DBC, Environment(), &dbc);
    if (!SQL_SUCCEEDED(rc)) RaiseConnectError("Cannot open database", SQL_HANDLE_ENV, Environment(), rc);
    dbc_ = dbc;
    SQLSetConnectAttrW(dbc_, SQL_ATTR_LOGIN_TIMEOUT,
                       reinterpret_cast<SQLPOINTER>(kLoginTimeoutSeconds), 0);
    WString in = ToWide(connection_string_);
    std::vector<SQLWCHAR> out(1024);
    SQLSMALLINT out_len = 0;
    rc = SQLDriverConnectW(dbc_, nullptr, in.data(), static_cast<SQLSMALLINT>(in.size()),
                           out.data(), static_cast<SQLSMALLINT>(out.size()), &out_len,
                           SQL_DRIVER_NOPROMPT);
    if (!SQL_SUCCEEDED(rc)) {
      const std::string detail = DescribeDiagnostics(DiagRecords(SQL_HANDLE_DBC, dbc_), rc);
      SQLFreeHandle(SQL_HANDLE_DBC, dbc_);
      dbc_ = SQL_NULL_HDBC;
      Raise(kErrDatabase, "Cannot open database '" + shown_connection_ + "': " + detail, source_);
    }
    SQLSetConnectAttrW(dbc_, SQL_ATTR_AUTOCOMMIT, reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_ON), 0);
    dbms_name_ = InfoText(SQL_DBMS_NAME);
    const std::string lower = ToLowerAscii(dbms_name_);
    if (lower.starts_with("postgresql")) {
      dialect_ = "postgresql";
    } else if (lower.starts_with("sqlite")) {
      dialect_ = "sqlite";
      database_file_ = InfoText(SQL_DATABASE_NAME);
      exact_arithmetic_ = ExactSqliteSums() &&
                          AttributeOf(connection_string_, "LoadExt").value_or("").find(
                              "libqev_sqlite_sums") != std::string::npos;
    } else {
      dialect_ = "odbc";
    }
    utf8_ = false;
    DetectTextCallsLocked();
    SetUpSessionLocked();
  }

  // A driver with only the narrow (ANSI) entry points gets wide text
  // through the driver manager's conversion, which keeps only ASCII. A
  // round trip of a CJK literal tells: when it does not come back whole, the
  // engine talks UTF-8 through the narrow calls (the SQLite ODBC driver,
  // which passes UTF-8 to SQLite as it is).
  void DetectTextCallsLocked() {
    static constexpr std::string_view kProbe = "select '\xE5\x8C\xBB\xF0\x9F\x8F\xA5' as probe";
    ResultTable out;
    try {
      ExecuteLocked(Statement{kProbe}, &out, 1);
    } catch (const RuntimeError&) {
      return;  // a server that cannot select without a table: stay wide
    }
    cache_.Clear();
    if (out.row_count == 1 && ConcatText(out.at(0, 0)) == "\xE5\x8C\xBB\xF0\x9F\x8F\xA5") return;
    utf8_ = true;
    out = ResultTable();
    ExecuteLocked(Statement{kProbe}, &out, 1);
    cache_.Clear();
    if (out.row_count != 1 || ConcatText(out.at(0, 0)) != "\xE5\x8C\xBB\xF0\x9F\x8F\xA5")
      Raise(kErrDatabase,
            "The ODBC driver of '" + shown_connection_ +
                "' loses non-ASCII text through both the wide and the narrow calls",
            source_);
  }

  void SetUpSessionLocked() {
    if (dialect_ == "postgresql") {
      // Floats in their shortest exact form, ISO dates, as on libpq.
      ExecuteLocked(Statement{"set extra_float_digits = 3"}, nullptr, SIZE_MAX);
      ExecuteLocked(Statement{"set DateStyle = 'ISO, YMD'"}, nullptr, SIZE_MAX);
    } else if (dialect_ == "sqlite" && !database_file_.empty() && database_file_ != ":memory:") {
      // Several workstations write into one file at once, as natively.
      ResultTable mode;
      ExecuteLocked(Statement{"PRAGMA journal_mode=WAL"}, &mode, SIZE_MAX);
      ExecuteLocked(Statement{"PRAGMA synchronous=NORMAL"}, nullptr, SIZE_MAX);
      const std::string cache = "PRAGMA cache_size=-" + std::to_string(kSqliteCacheKiB);
      ExecuteLocked(Statement{cache}, nullptr, SIZE_MAX);
    }
  }

  // After an error: a connection the driver reports dead (or whose error
  // is of SQLSTATE class 08) is opened again before the next statement.
  void NoteConnectionState(const std::vector<DiagRecord>& records) {
    // 08S01 communication link failure, 08003 connection not open, 08007
    // connection failed during a transaction; other class-08 states (a
    // protocol complaint) leave the connection usable.
    bool dead = std::any_of(records.begin(), records.end(), [](const DiagRecord& r) {
      return r.state == "08S01" || r.state == "08003" || r.state == "08007";
    });
    SQLUINTEGER state = SQL_CD_FALSE;
    if (!dead && SQL_SUCCEEDED(SQLGetConnectAttrW(dbc_, SQL_ATTR_CONNECTION_DEAD, &state, 0, nullptr)))
      dead = state == SQL_CD_TRUE;
    if (dead) broken_ = true;
  }

  [[noreturn]] void RaiseStatementError(const Statement& st, SQLHSTMT h, SQLRETURN rc) {
    std::vector<DiagRecord> records = DiagRecords(SQL_HANDLE_STMT, h);
    if (records.empty()) records = DiagRecords(SQL_HANDLE_DBC, dbc_);
    NoteConnectionState(records);
    std::string message = DescribeDiagnostics(records, rc);
    if (broken_)
      message = "Lost the connection to '" + shown_connection_ + "': " + message;
    // The driver ended the statement at SQL_ATTR_QUERY_TIMEOUT: HYT00 by
    // ODBC's rules; psqlODBC passes on the server's query_canceled (57014)
    // of the statement_timeout it sets, some drivers say "operation
    // canceled" (HY008).
    else if (timeout_seconds_ > 0 &&
             (watchdog_.fired() ||
              std::any_of(records.begin(), records.end(), [](const DiagRecord& r) {
                return r.state == "HYT00" || r.state == "57014" || r.state == "HY008";
              })))
      message = "Statement ended: it ran longer than the " + StatementTimeoutText(timeout_) +
                " (" + message + ")";
    Raise(kErrDatabase, message + st.Describe(), source_);
  }

  void EnsureConnectedLocked() {
    if (!broken_) return;
    cache_.Clear();
    column_types_.Clear();
    Disconnect();
    broken_ = false;
    try {
      ConnectLocked();
    } catch (const RuntimeError&) {
      broken_ = true;
      throw;
    }
  }

  // The one statement of `sql`, cut out by the lexical rules of the
  // server's dialect; refuses empty texts and texts with a second
  // statement.
  std::string OneStatement(const Statement& st) const {
    // A driver may read the text up to a NUL: the rest would not run.
    if (st.sql.find('\0') != std::string_view::npos)
      Raise(kErrBadStatement, "Refused a statement holding a NUL character; nothing was run" + st.Describe(),
            source_);
    if (dialect_ == "postgresql") {
      const PostgresStatementShape shape = ScanPostgresStatement(st.sql);
      if (shape.empty) Raise(kErrBadStatement, "Refused an empty statement" + st.Describe(), source_);
      if (shape.more)
        Raise(kErrBadStatement,
              "Refused a text holding more than one statement; nothing was run" + st.Describe(),
              source_);
      return std::string(st.sql.substr(0, shape.first_end));
    }
    std::vector<std::string> pieces = SplitStatements(st.sql);
    if (pieces.empty()) Raise(kErrBadStatement, "Refused an empty statement" + st.Describe(), source_);
    if (pieces.size() > 1)
      Raise(kErrBadStatement,
            "Refused a text holding more than one statement; nothing was run" + st.Describe(),
            source_);
    // Comments before the statement are dropped: the SQLite driver takes
    // text after a leading comment for a second statement.
    return pieces[0].substr(SkipBlanksAndComments(pieces[0], 0));
  }

  // The text handed to the driver for `text`: its additions and
  // subtractions exact, as on the native engine, where the driver's
  // connection has the host's qev_add (the sums extension). Worked out when
  // a statement is prepared, not at every run; the statement cache keeps it
  // under the caller's text.
  std::string DriverText(const std::string& text) const {
    if (exact_arithmetic_)
      if (std::string exact = ExactArithmetic(text); !exact.empty()) return exact;
    return text;
  }

  // Refuses a text whose parameter markers do not match the values: the
  // ODBC marker "?" and, on SQLite, also SQLite's own markers (?NNN, :name,
  // @name, $name), which the driver would pass on without a value; on
  // PostgreSQL the server's $n.
  void CheckMarkers(const Statement& st, const std::string& text) const {
    int markers = 0;
    if (dialect_ == "postgresql") {
      const PostgresStatementShape shape = ScanPostgresStatement(text);
      markers = shape.max_param > 0 ? -1 : 0;
    }
    if (markers == 0) {
      for (size_t i = 0; i < text.size();) {
        const char c = text[i];
        const size_t after = SkipQuoted(text, i);
        if (after != i) {
          i = after;
          continue;
        }
        const bool word_before = i > 0 && (std::isalnum(static_cast<unsigned char>(text[i - 1])) ||
                                           text[i - 1] == '_');
        if (c == '?') {
          ++markers;
        } else if (dialect_ == "sqlite" && !word_before && (c == ':' || c == '@' || c == '$') &&
                   i + 1 < text.size() &&
                   (std::isalnum(static_cast<unsigned char>(text[i + 1])) || text[i + 1] == '_') &&
                   !(c == ':' && i > 0 && text[i - 1] == ':')) {
          markers = -1;
          break;
        }
        ++i;
      }
    }
    if (markers != static_cast<int>(st.params.size()))
      Raise(kErrBadStatement,
            "Refused a statement with " +
                (markers < 0 ? std::string("parameter markers other than '?'")
                             : std::to_string(markers) + " parameter marker(s)") +
                " for " + std::to_string(st.params.size()) + " value(s)" + st.Describe(),
            source_);
  }

  // The position after a quoted literal, quoted name or comment starting at
  // `i`; `i` itself when none starts there.
  static size_t SkipQuoted(const std::string& text, size_t i) {
    const char c = text[i];
    if (c == '-' && i + 1 < text.size() && text[i + 1] == '-') {
      const size_t nl = text.find('\n', i);
      return nl == std::string::npos ? text.size() : nl + 1;
    }
    if (c == '/' && i + 1 < text.size() && text[i + 1] == '*') {
      const size_t end = text.find("*/", i + 2);
      return end == std::string::npos ? text.size() : end + 2;
    }
    const char close = c == '\'' ? '\'' : c == '"' ? '"' : c == '`' ? '`' : c == '[' ? ']' : 0;
    if (close == 0) return i;
    const size_t end = text.find(close, i + 1);
    return end == std::string::npos ? text.size() : end + 1;
  }

  // The SQLite ODBC driver keeps the compiled program of a prepared text
  // only when it takes the text for a query, one that starts with SELECT,
  // PRAGMA, WITH or EXPLAIN; any other statement it compiles again at every
  // SQLExecute, so that the keyed update or insert a report runs for each
  // source row cost about twice its native time. An insert, update or
  // delete with parameters therefore goes to the driver behind a WITH
  // clause that names a table the statement does not read: the same
  // statement to SQLite, compiled once and kept. Without parameters the
  // driver may leave a query to its first fetch (its StepAPI option),
  // which a statement without result columns never gets: those stay as
  // they are.
  std::string KeptByDriver(std::string sent, const std::string& keyword, bool has_params) const {
    if (dialect_ != "sqlite" || !has_params) return sent;
    if (keyword != "insert" && keyword != "update" && keyword != "delete" && keyword != "replace")
      return sent;
    return "with \"qev odbc kept statement\" as (select 1) " + sent;
  }

  StatementHandle* PrepareLocked(const Statement& st, const std::string& text,
                                 OdbcStatementPtr* owned, bool* schema_change) {
    std::string keyword = FirstKeyword(text);
    *schema_change = keyword == "create" || keyword == "drop" || keyword == "alter";
    if (!*schema_change)
      if (StatementHandle* cached = cache_.Find(st.sql)) return cached;
    const std::string sent = KeptByDriver(DriverText(text), keyword, !st.params.empty());
    OdbcStatementPtr stmt(new StatementHandle);
    stmt->text = text;
    stmt->keyword = std::move(keyword);
    stmt->markers = st.params.size();  // CheckMarkers found them so many
    SQLRETURN rc = SQLAllocHandle(SQL_HANDLE_STMT, dbc_, &stmt->h);
    if (!SQL_SUCCEEDED(rc)) {
      stmt->h = SQL_NULL_HSTMT;
      const std::vector<DiagRecord> records = DiagRecords(SQL_HANDLE_DBC, dbc_);
      NoteConnectionState(records);
      Raise(kErrDatabase, DescribeDiagnostics(records, rc) + st.Describe(), source_);
    }
    if (utf8_) {
      rc = SQLPrepare(stmt->h, reinterpret_cast<SQLCHAR*>(const_cast<char*>(sent.data())),
                      static_cast<SQLINTEGER>(sent.size()));
    } else {
      WString wide = ToWide(sent);
      rc = SQLPrepareW(stmt->h, wide.data(), static_cast<SQLINTEGER>(wide.size()));
    }
    if (!SQL_SUCCEEDED(rc)) RaiseStatementError(st, stmt->h, rc);
    SQLSMALLINT count = 0;
    rc = SQLNumParams(stmt->h, &count);
    if (!SQL_SUCCEEDED(rc)) RaiseStatementError(st, stmt->h, rc);
    stmt->param_count = count;
    if (*schema_change) {
      *owned = std::move(stmt);
      return owned->get();
    }
    if (StatementHandle* kept = cache_.Insert(st.sql, std::move(stmt))) return kept;
    return nullptr;  // not reached: the cache has room
  }

  void BindParamsLocked(const Statement& st, StatementHandle* s) {
    const std::span<const SqlParam> params = st.params;
    if (static_cast<size_t>(s->param_count) != params.size())
      Raise(kErrBadStatement,
            "Refused a statement with " + std::to_string(s->param_count) +
                " parameter marker(s) for " + std::to_string(params.size()) + " value(s)" +
                st.Describe(),
            source_);
    s->param_text.resize(params.size());
    s->param_bytes.resize(params.size());
    s->param_indicator.resize(params.size());
    for (size_t i = 0; i < params.size(); ++i) {
      // A driver takes character data up to its first NUL byte, and the
      // wide calls carry Unicode only: a value that would arrive changed is
      // refused before anything runs, never written cut short or altered.
      if (!params[i].is_null && params[i].text.find('\0') != std::string_view::npos)
        Raise(kErrBadStatement,
              "Refused value " + std::to_string(i + 1) +
                  ": it holds a NUL byte, which an ODBC driver takes as the end of the text; "
                  "nothing was run" + st.Describe(),
              source_);
      if (utf8_) {
        std::string& bytes = s->param_bytes[i];
        if (params[i].is_null) {
          bytes.clear();
          s->param_indicator[i] = SQL_NULL_DATA;
        } else {
          bytes.assign(params[i].text);
          s->param_indicator[i] = static_cast<SQLLEN>(bytes.size());
        }
        const SQLRETURN rc = SQLBindParameter(
            s->h, static_cast<SQLUSMALLINT>(i + 1), SQL_PARAM_INPUT, SQL_C_CHAR, SQL_VARCHAR,
            std::max<SQLULEN>(1, bytes.size()), 0, bytes.data(),
            static_cast<SQLLEN>(bytes.size() + 1), &s->param_indicator[i]);
        if (!SQL_SUCCEEDED(rc)) RaiseStatementError(st, s->h, rc);
        continue;
      }
      WString& buf = s->param_text[i];
      if (params[i].is_null) {
        buf.assign(1, 0);
        s->param_indicator[i] = SQL_NULL_DATA;
      } else {
        bool exact = true;
        buf = ToWide(params[i].text, &exact);
        if (!exact)
          Raise(kErrBadStatement,
                "Refused value " + std::to_string(i + 1) +
                    ": it is not valid UTF-8, and the wide ODBC calls carry Unicode only; "
                    "nothing was run" + st.Describe(),
                source_);
        s->param_indicator[i] = static_cast<SQLLEN>(buf.size() * sizeof(SQLWCHAR));
        buf.push_back(0);
      }
      const SQLULEN chars = std::max<SQLULEN>(1, buf.size() - 1);
      const SQLRETURN rc =
          SQLBindParameter(s->h, static_cast<SQLUSMALLINT>(i + 1), SQL_PARAM_INPUT, SQL_C_WCHAR,
                           SQL_WVARCHAR, chars, 0, buf.data(),
                           static_cast<SQLLEN>(buf.size() * sizeof(SQLWCHAR)),
                           &s->param_indicator[i]);
      if (!SQL_SUCCEEDED(rc)) RaiseStatementError(st, s->h, rc);
    }
  }

  Kind KindOf(SQLSMALLINT type) const {
    switch (type) {
      case SQL_TINYINT:
      case SQL_SMALLINT:
      case SQL_INTEGER:
      case SQL_BIGINT: return Kind::kInteger;
      case SQL_REAL:
      case SQL_FLOAT:
      case SQL_DOUBLE: return Kind::kDouble;
      case SQL_NUMERIC:
      case SQL_DECIMAL: return Kind::kDecimal;
      case SQL_TYPE_DATE:
      case SQL_TYPE_TIMESTAMP:
      case SQL_DATE:
      case SQL_TIMESTAMP:
        // SQLite has no date type: a column declared so holds text, and
        // the native engine hands it out as text.
        return dialect_ == "sqlite" ? Kind::kText : Kind::kTimestamp;
      case SQL_BIT: return Kind::kBit;
      default: return Kind::kText;
    }
  }

  // SQLite's affinity rules applied to the declared type; an expression
  // (no declared type) is read by its value.
  static Kind SqliteKindOf(const Column& col) {
    const std::string& t = col.type_name;
    if (t.empty()) return Kind::kInferred;
    if (t.find("DATE") != std::string::npos || t.find("TIMESTAMP") != std::string::npos)
      return Kind::kSqliteDate;
    if (t.find("INT") != std::string::npos) return Kind::kInteger;
    if (t.find("CHAR") != std::string::npos || t.find("CLOB") != std::string::npos ||
        t.find("TEXT") != std::string::npos || t.find("BLOB") != std::string::npos || t == "?")
      return Kind::kText;
    if (t.find("REAL") != std::string::npos || t.find("FLOA") != std::string::npos ||
        t.find("DOUB") != std::string::npos)
      return Kind::kDouble;
    if (col.sql_type == SQL_TYPE_TIME) return Kind::kText;
    return Kind::kDecimal;
  }

  // Describes the result columns and binds a block of buffers to them,
  // unless the statement is bound already to columns of the same types.
  void BindColumnsLocked(const Statement& st, StatementHandle* s, SQLSMALLINT count) {
    std::vector<Column> columns(static_cast<size_t>(count));
    for (SQLSMALLINT c = 0; c < count; ++c) {
      SQLWCHAR name[256] = {};
      SQLSMALLINT name_len = 0, type = 0, digits = 0, nullable = 0;
      SQLULEN size = 0;
      const SQLRETURN rc = SQLDescribeColW(s->h, static_cast<SQLUSMALLINT>(c + 1), name, 256,
                                           &name_len, &type, &size, &digits, &nullable);
      if (!SQL_SUCCEEDED(rc)) RaiseStatementError(st, s->h, rc);
      Column& col = columns[static_cast<size_t>(c)];
      col.name = FromWide(name, std::min<size_t>(static_cast<size_t>(name_len), 255));
      col.sql_type = type;
      col.size = size;
      if (dialect_ == "sqlite") {
        // SQLite types by declaration: the driver's SQL type loses whether
        // a number column is an integer, real or numeric one, and gives an
        // expression a text type.
        SQLWCHAR text[128] = {};
        SQLSMALLINT len = 0;
        SQLColAttributeW(s->h, static_cast<SQLUSMALLINT>(c + 1), SQL_DESC_TABLE_NAME, text,
                         sizeof text, &len, nullptr);
        if (len > 0) {
          len = 0;
          SQLColAttributeW(s->h, static_cast<SQLUSMALLINT>(c + 1), SQL_DESC_TYPE_NAME, text,
                           sizeof text, &len, nullptr);
          col.type_name = ToUpperAscii(
              FromWide(text, std::min<size_t>(static_cast<size_t>(len) / sizeof(SQLWCHAR), 127)));
          if (col.type_name.empty()) col.type_name = "?";
        }
      }
    }
    if (s->bound && s->columns.size() == columns.size() &&
        std::equal(columns.begin(), columns.end(), s->columns.begin(),
                   [](const Column& a, const Column& b) {
                     return a.sql_type == b.sql_type && a.size == b.size && a.name == b.name &&
                            a.type_name == b.type_name;
                   }))
      return;
    SQLFreeStmt(s->h, SQL_UNBIND);
    s->bound = false;
    size_t row_bytes = 0;
    for (Column& col : columns) {
      col.kind = dialect_ == "sqlite" ? SqliteKindOf(col) : KindOf(col.sql_type);
      switch (col.kind) {
        case Kind::kInteger: col.c_type = SQL_C_SBIGINT; col.width = sizeof(SQLBIGINT); break;
        case Kind::kDouble: col.c_type = SQL_C_DOUBLE; col.width = sizeof(SQLDOUBLE); break;
        case Kind::kDecimal:
          // SQLite hands out a decimal column's value as it stored it: a
          // double is read as one, exactly. Servers send the decimal text.
          if (dialect_ == "sqlite") {
            col.c_type = SQL_C_DOUBLE;
            col.width = sizeof(SQLDOUBLE);
          } else {
            col.c_type = SQL_C_CHAR;
            col.width = kDecimalChars + 1;
          }
          break;
        case Kind::kTimestamp:
          col.c_type = SQL_C_TYPE_TIMESTAMP;
          col.width = sizeof(SQL_TIMESTAMP_STRUCT);
          break;
        case Kind::kBit: col.c_type = SQL_C_BIT; col.width = sizeof(SQLCHAR); break;
        case Kind::kInferred:
        case Kind::kSqliteDate:
        case Kind::kText: {
          SQLULEN chars = col.size == 0 || col.size > kMaxBoundChars ? kMaxBoundChars : col.size;
          // Room for characters outside the Basic Multilingual Plane, which
          // take two UTF-16 units each.
          chars = std::min<SQLULEN>(2 * chars, kMaxBoundChars) + 1;
          if (utf8_) {
            // UTF-8: up to 4 bytes per character.
            col.c_type = SQL_C_CHAR;
            col.width = static_cast<SQLLEN>(2 * chars + 1);
          } else {
            col.c_type = SQL_C_WCHAR;
            col.width = static_cast<SQLLEN>(chars * sizeof(SQLWCHAR));
          }
          break;
        }
      }
      row_bytes += static_cast<size_t>(col.width) + sizeof(SQLLEN);
    }
    s->rows = std::clamp<size_t>(kBlockBytes / std::max<size_t>(row_bytes, 1), 1, kMaxRowsPerFetch);
    s->status.assign(s->rows, 0);
    auto set = [&](SQLINTEGER attr, SQLPOINTER value) {
      const SQLRETURN rc = SQLSetStmtAttrW(s->h, attr, value, 0);
      if (!SQL_SUCCEEDED(rc)) RaiseStatementError(st, s->h, rc);
    };
    set(SQL_ATTR_ROW_BIND_TYPE, reinterpret_cast<SQLPOINTER>(SQL_BIND_BY_COLUMN));
    set(SQL_ATTR_ROW_ARRAY_SIZE, reinterpret_cast<SQLPOINTER>(s->rows));
    set(SQL_ATTR_ROWS_FETCHED_PTR, &s->fetched);
    set(SQL_ATTR_ROW_STATUS_PTR, s->status.data());
    for (size_t c = 0; c < columns.size(); ++c) {
      Column& col = columns[c];
      col.buffer.assign(s->rows * static_cast<size_t>(col.width), 0);
      col.indicator.assign(s->rows, 0);
      const SQLRETURN rc = SQLBindCol(s->h, static_cast<SQLUSMALLINT>(c + 1), col.c_type,
                                      col.buffer.data(), col.width, col.indicator.data());
      if (!SQL_SUCCEEDED(rc)) RaiseStatementError(st, s->h, rc);
    }
    s->columns = std::move(columns);
    s->bound = true;
  }

  // The value of one bound cell; false when the text was cut short by the
  // buffer.
  bool CellValue(const Column& col, size_t row, Variant* out) const {
    const SQLLEN ind = col.indicator[row];
    if (ind == SQL_NULL_DATA) {
      *out = Variant::Null();
      return true;
    }
    const unsigned char* p = col.buffer.data() + row * static_cast<size_t>(col.width);
    switch (col.kind) {
      case Kind::kInteger: {
        SQLBIGINT v;
        std::memcpy(&v, p, sizeof v);
        *out = Variant::FromInt64(v);
        return true;
      }
      case Kind::kDouble: {
        SQLDOUBLE v;
        std::memcpy(&v, p, sizeof v);
        *out = Variant(AtFifteenDigits(v));
        return true;
      }
      case Kind::kDecimal: {
        if (col.c_type == SQL_C_DOUBLE) {
          SQLDOUBLE v;
          std::memcpy(&v, p, sizeof v);
          *out = DecimalValue(v);
          return true;
        }
        if (ind == SQL_NO_TOTAL || ind >= col.width) return false;
        const std::string_view text(reinterpret_cast<const char*>(p), static_cast<size_t>(ind));
        double v = 0;
        *out = ParseWhole(text, &v) ? DecimalValue(v) : Variant(text);
        return true;
      }
      case Kind::kTimestamp: {
        SQL_TIMESTAMP_STRUCT ts;
        std::memcpy(&ts, p, sizeof ts);
        *out = TimestampValue(ts);
        return true;
      }
      case Kind::kBit: *out = Variant(*p != 0); return true;
      case Kind::kText:
      case Kind::kInferred:
      case Kind::kSqliteDate: {
        if (ind == SQL_NO_TOTAL || ind >= col.width) return false;
        std::string text =
            col.c_type == SQL_C_CHAR
                ? std::string(reinterpret_cast<const char*>(p), static_cast<size_t>(ind))
                : FromWide(reinterpret_cast<const SQLWCHAR*>(p),
                           static_cast<size_t>(ind) / sizeof(SQLWCHAR));
        *out = TextValue(col.kind, std::move(text));
        return true;
      }
    }
    return false;
  }

  void ExecuteLocked(const Statement& st, ResultTable* result, size_t max_rows) {
    // A text run before comes from the cache (kept under the caller's
    // text) with the checks of its first run done: one statement, as many
    // markers as values. Another number of values, or an insert that may
    // return rows on SQLite (InsertReturningLocked), goes the whole way.
    StatementHandle* s = broken_ ? nullptr : cache_.Find(st.sql);
    if (s != nullptr && (s->markers != st.params.size() ||
                         (result != nullptr && s->keyword == "insert" && dialect_ == "sqlite")))
      s = nullptr;
    OdbcStatementPtr owned;
    bool schema_change = false;
    if (s == nullptr) {
      const std::string text = OneStatement(st);
      CheckMarkers(st, text);
      if (InsertReturningLocked(st, text, result, max_rows)) return;
      EnsureConnectedLocked();
      s = PrepareLocked(st, text, &owned, &schema_change);
    }
    CloseGuard guard(s->h);
    BindParamsLocked(st, s);
    const bool watched = BoundStatementLocked(s->h);
    WatchScope watch(watched ? &watchdog_ : nullptr);
    SQLRETURN rc = SQLExecute(s->h);
    if (!SQL_SUCCEEDED(rc) && rc != SQL_NO_DATA) RaiseStatementError(st, s->h, rc);
    if (schema_change) {
      column_types_.Clear();
      // Statements prepared before may no longer match their tables.
      cache_.Clear();
    }
    if (result == nullptr) return;
    result->names.clear();
    result->cells.clear();
    result->row_count = 0;
    SQLSMALLINT count = 0;
    rc = SQLNumResultCols(s->h, &count);
    if (!SQL_SUCCEEDED(rc)) RaiseStatementError(st, s->h, rc);
    if (count <= 0) return;
    // The drivers this engine knows describe a prepared statement once:
    // psqlODBC from the server's description of the prepared statement,
    // the SQLite driver when it prepares it (a column without a declared
    // type, such as an expression, as a text) and, for a column without a
    // declared type, once more from the first row of its first run. So the
    // description holds for every later run of the kept statement once it
    // comes from PostgreSQL or was read after a run that gave rows, and the
    // statement keeps its buffers without asking again. Other drivers may
    // describe each run afresh (a procedure may return other columns), and
    // are asked every time.
    const bool describe =
        !s->settled || !s->bound || s->columns.size() != static_cast<size_t>(count) ||
        dialect_ == "odbc";
    if (describe) BindColumnsLocked(st, s, count);
    for (const Column& col : s->columns) result->names.push_back(col.name);
    const size_t columns = s->columns.size();
    while (result->row_count < max_rows) {
      rc = SQLFetch(s->h);
      if (rc == SQL_NO_DATA) break;
      if (!SQL_SUCCEEDED(rc)) RaiseStatementError(st, s->h, rc);
      for (size_t row = 0; row < s->fetched && result->row_count < max_rows; ++row) {
        if (s->status[row] == SQL_ROW_ERROR) RaiseStatementError(st, s->h, SQL_ERROR);
        if (s->status[row] == SQL_ROW_NOROW) continue;
        for (size_t c = 0; c < columns; ++c) {
          Variant v;
          if (!CellValue(s->columns[c], row, &v)) {
            // A text longer than its buffer: read the rows again value by
            // value, which only a statement that changes nothing allows.
            const std::string& keyword = s->keyword;
            if (keyword != "select" && keyword != "with" && keyword != "values")
              Raise(kErrDatabase,
                    "Column '" + s->columns[c].name + "' returned a value longer than " +
                        std::to_string(kMaxBoundChars) + " characters" + st.Describe(),
                    source_);
            SQLFreeStmt(s->h, SQL_CLOSE);
            FetchValueByValueLocked(st, s->text, s, result, max_rows);
            if (watched && watchdog_.Disarm()) RaiseTimedOut(st);
            return;
          }
          result->cells.push_back(std::move(v));
        }
        ++result->row_count;
      }
    }
    if (describe) s->settled = dialect_ == "postgresql" || result->row_count > 0;
    // A cancel between two fetches may have ended the rows early.
    if (watched && watchdog_.Disarm()) RaiseTimedOut(st);
  }

  // Bounds the statement on `h` by the statement timeout: the driver's
  // SQL_ATTR_QUERY_TIMEOUT, or the watchdog (armed here) when the driver
  // does not keep that attribute. True when the watchdog watches it.
  bool BoundStatementLocked(SQLHSTMT h) {
    SQLSetStmtAttr(h, SQL_ATTR_QUERY_TIMEOUT,
                   reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(timeout_seconds_)), 0);
    if (timeout_seconds_ == 0) return false;
    SQLULEN kept = 0;
    if (SQL_SUCCEEDED(SQLGetStmtAttr(h, SQL_ATTR_QUERY_TIMEOUT, &kept, 0, nullptr)) &&
        kept == static_cast<SQLULEN>(timeout_seconds_))
      return false;
    watchdog_.Arm(h, std::chrono::steady_clock::now() + timeout_);
    return true;
  }

  [[noreturn]] void RaiseTimedOut(const Statement& st) {
    Raise(kErrDatabase,
          "Statement ended: it ran longer than the " + StatementTimeoutText(timeout_) +
              st.Describe(),
          source_);
  }

  // Runs the statement again on a handle of its own and reads each value
  // whole with SQLGetData: for results holding texts longer than the
  // bound buffers.
  void FetchValueByValueLocked(const Statement& st, const std::string& text, StatementHandle* s,
                               ResultTable* result, size_t max_rows) {
    result->cells.clear();
    result->row_count = 0;
    OdbcStatementPtr once(new StatementHandle);
    SQLRETURN rc = SQLAllocHandle(SQL_HANDLE_STMT, dbc_, &once->h);
    if (!SQL_SUCCEEDED(rc)) {
      once->h = SQL_NULL_HSTMT;
      Raise(kErrDatabase, DescribeDiagnostics(DiagRecords(SQL_HANDLE_DBC, dbc_), rc) + st.Describe(),
            source_);
    }
    once->param_count = s->param_count;
    CloseGuard guard(once->h);
    SQLSetStmtAttr(once->h, SQL_ATTR_QUERY_TIMEOUT,
                   reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(timeout_seconds_)), 0);
    watchdog_.Retarget(once->h);
    BindParamsLocked(st, once.get());
    const std::string sent = DriverText(text);
    if (utf8_) {
      rc = SQLExecDirect(once->h, reinterpret_cast<SQLCHAR*>(const_cast<char*>(sent.data())),
                         static_cast<SQLINTEGER>(sent.size()));
    } else {
      WString wide = ToWide(sent);
      rc = SQLExecDirectW(once->h, wide.data(), static_cast<SQLINTEGER>(wide.size()));
    }
    if (!SQL_SUCCEEDED(rc) && rc != SQL_NO_DATA) RaiseStatementError(st, once->h, rc);
    const std::vector<Column>& columns = s->columns;
    while (result->row_count < max_rows) {
      rc = SQLFetch(once->h);
      if (rc == SQL_NO_DATA) break;
      if (!SQL_SUCCEEDED(rc)) RaiseStatementError(st, once->h, rc);
      for (size_t c = 0; c < columns.size(); ++c) {
        const SQLUSMALLINT n = static_cast<SQLUSMALLINT>(c + 1);
        const Column& col = columns[c];
        const bool text = col.kind == Kind::kText || col.kind == Kind::kInferred ||
                          col.kind == Kind::kSqliteDate;
        if (!text && !(col.kind == Kind::kDecimal && col.c_type == SQL_C_CHAR)) {
          // Fixed-size values come whole in one call.
          Column one = col;
          one.buffer.assign(static_cast<size_t>(col.width), 0);
          one.indicator.assign(1, 0);
          rc = SQLGetData(once->h, n, col.c_type, one.buffer.data(), col.width, one.indicator.data());
          if (!SQL_SUCCEEDED(rc)) RaiseStatementError(st, once->h, rc);
          Variant v;
          CellValue(one, 0, &v);
          result->cells.push_back(std::move(v));
          continue;
        }
        std::string whole;
        bool is_null = false;
        SQLWCHAR chunk[2048];
        const SQLSMALLINT c_type = utf8_ ? SQL_C_CHAR : SQL_C_WCHAR;
        const size_t unit = utf8_ ? 1 : sizeof(SQLWCHAR);
        while (true) {
          SQLLEN ind = 0;
          rc = SQLGetData(once->h, n, c_type, chunk, sizeof chunk, &ind);
          if (rc == SQL_NO_DATA) break;
          if (!SQL_SUCCEEDED(rc)) RaiseStatementError(st, once->h, rc);
          if (ind == SQL_NULL_DATA) {
            is_null = true;
            break;
          }
          // A chunk that did not hold the rest is full but for its NUL.
          const size_t units = ind == SQL_NO_TOTAL || ind >= static_cast<SQLLEN>(sizeof chunk)
                                   ? sizeof chunk / unit - 1
                                   : static_cast<size_t>(ind) / unit;
          if (utf8_)
            whole.append(reinterpret_cast<const char*>(chunk), units);
          else
            whole += FromWide(chunk, units);
          if (rc == SQL_SUCCESS) break;
        }
        if (is_null) {
          result->cells.push_back(Variant::Null());
        } else if (col.kind == Kind::kDecimal) {
          const std::string& t = whole;
          double v = 0;
          result->cells.push_back(ParseWhole(std::string_view(t), &v) ? DecimalValue(v) : Variant(t));
        } else {
          result->cells.push_back(TextValue(col.kind, std::move(whole)));
        }
      }
      ++result->row_count;
    }
  }

  // --- column types ---------------------------------------------------

  std::optional<ColumnTypeCache::TableColumns> LoadColumnsLocked(std::string_view table) {
    ResultTable info;
    if (dialect_ == "postgresql") {
      static constexpr std::string_view kColumns =
          "select a.attname, case when t.typcategory = 'S' then 1 else 0 end "
          "from pg_catalog.pg_attribute a join pg_catalog.pg_type t on t.oid = a.atttypid "
          "where a.attrelid = to_regclass(?) and a.attnum > 0 and not a.attisdropped";
      const SqlParam p[] = {SqlParam::Text(table)};
      ExecuteLocked(Statement{kColumns, p}, &info, SIZE_MAX);
      if (info.row_count == 0) return std::nullopt;
      ColumnTypeCache::TableColumns columns;
      for (size_t r = 0; r < info.row_count; ++r)
        columns.emplace(info.at(r, 0).ToText(), info.at(r, 1).ToInt32() == 1);
      return columns;
    }
    if (dialect_ == "sqlite") {
      const size_t dot = table.find('.');
      if (dot == std::string_view::npos) {
        const SqlParam p[] = {SqlParam::Text(table)};
        ExecuteLocked(Statement{"select name, type from pragma_table_info(?)", p}, &info, SIZE_MAX);
      } else {
        const SqlParam p[] = {SqlParam::Text(table.substr(dot + 1)),
                              SqlParam::Text(table.substr(0, dot))};
        ExecuteLocked(Statement{"select name, type from pragma_table_info(?, ?)", p}, &info,
                      SIZE_MAX);
      }
      if (info.row_count == 0) return std::nullopt;
      ColumnTypeCache::TableColumns columns;
      for (size_t r = 0; r < info.row_count; ++r) {
        const std::string upper = ToUpperAscii(ConcatText(info.at(r, 1)));
        const bool text = upper.find("INT") == std::string::npos &&
                          (upper.find("CHAR") != std::string::npos ||
                           upper.find("CLOB") != std::string::npos ||
                           upper.find("TEXT") != std::string::npos);
        columns.emplace(info.at(r, 0).ToText(), text);
      }
      return columns;
    }
    // Any other server: the driver's catalogue, the name as written, then
    // in upper and in lower case (servers fold unquoted names either way).
    const size_t dot = table.find('.');
    const std::string schema(dot == std::string_view::npos ? "" : table.substr(0, dot));
    const std::string name(dot == std::string_view::npos ? table : table.substr(dot + 1));
    for (const std::string& candidate : {name, ToUpperAscii(name), ToLowerAscii(name)}) {
      ColumnTypeCache::TableColumns columns;
      if (CatalogueColumnsLocked(schema, candidate, &columns) && !columns.empty()) return columns;
    }
    return std::nullopt;
  }

  bool CatalogueColumnsLocked(const std::string& schema, const std::string& table,
                              ColumnTypeCache::TableColumns* columns) {
    OdbcStatementPtr s(new StatementHandle);
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, dbc_, &s->h))) {
      s->h = SQL_NULL_HSTMT;
      return false;
    }
    WString wschema = ToWide(schema), wtable = ToWide(table);
    SQLRETURN rc = SQLColumnsW(s->h, nullptr, 0, schema.empty() ? nullptr : wschema.data(),
                               static_cast<SQLSMALLINT>(wschema.size()), wtable.data(),
                               static_cast<SQLSMALLINT>(wtable.size()), nullptr, 0);
    if (!SQL_SUCCEEDED(rc)) return false;
    while (SQL_SUCCEEDED(SQLFetch(s->h))) {
      SQLWCHAR name[256] = {};
      SQLLEN name_len = 0;
      SQLSMALLINT type = 0;
      SQLLEN type_len = 0;
      SQLGetData(s->h, 4, SQL_C_WCHAR, name, sizeof name, &name_len);
      SQLGetData(s->h, 5, SQL_C_SSHORT, &type, sizeof type, &type_len);
      if (name_len <= 0) continue;
      columns->emplace(FromWide(name, std::min<size_t>(static_cast<size_t>(name_len) / sizeof(SQLWCHAR), 255)),
                       IsTextType(type));
    }
    return true;
  }

  // --- sequences ------------------------------------------------------

  // The SQLite driver returns no rows from "insert ... returning": the row
  // is raised and read back in one transaction, which holds the database's
  // write lock from the raise to the commit.
  int64_t NextSqliteSequenceLocked(std::string_view name) {
    static constexpr std::string_view kRaise =
        "insert into qev_sequence (name, value) values (?, 1) "
        "on conflict (name) do update set value = value + 1";
    static constexpr std::string_view kRead = "select value from qev_sequence where name = ?";
    const SqlParam param = SqlParam::Text(name);
    const std::span<const SqlParam> params(&param, 1);
    ResultTable out;
    EnsureConnectedLocked();
    SQLSetConnectAttrW(dbc_, SQL_ATTR_AUTOCOMMIT, reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_OFF), 0);
    try {
      ExecuteLocked(Statement{kRaise, params}, nullptr, SIZE_MAX);
      ExecuteLocked(Statement{kRead, params}, &out, SIZE_MAX);
      const SQLRETURN rc = SQLEndTran(SQL_HANDLE_DBC, dbc_, SQL_COMMIT);
      if (!SQL_SUCCEEDED(rc)) RaiseConnectError("Cannot commit on", SQL_HANDLE_DBC, dbc_, rc);
    } catch (...) {
      SQLEndTran(SQL_HANDLE_DBC, dbc_, SQL_ROLLBACK);
      SQLSetConnectAttrW(dbc_, SQL_ATTR_AUTOCOMMIT, reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_ON), 0);
      throw;
    }
    SQLSetConnectAttrW(dbc_, SQL_ATTR_AUTOCOMMIT, reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_ON), 0);
    if (out.row_count != 1)
      Raise(kErrDatabase, "Sequence '" + std::string(name) + "' gave no value", source_);
    return static_cast<int64_t>(out.at(0, 0).ToDouble());
  }

  // "insert into T ... returning COLS" on the SQLite driver, which returns
  // no rows from it: the insert alone, then the inserted row read back by
  // its rowid (last_insert_rowid() of this connection, under the mutex).
  // False when `text` is no such statement.
  bool InsertReturningLocked(const Statement& st, const std::string& text, ResultTable* result,
                             size_t max_rows) {
    if (dialect_ != "sqlite" || result == nullptr || FirstKeyword(text) != "insert") return false;
    const std::string lower = ToLowerAscii(text);
    const size_t ret = lower.rfind(" returning ");
    if (ret == std::string::npos || lower.find('\'', ret) != std::string::npos) return false;
    size_t p = SkipBlanksAndComments(lower, lower.find("insert") + 6);
    if (lower.compare(p, 4, "into") != 0) return false;
    p = SkipBlanksAndComments(lower, p + 4);
    size_t end = p;
    while (end < text.size() && (std::isalnum(static_cast<unsigned char>(text[end])) ||
                                 text[end] == '_' || text[end] == '.'))
      ++end;
    const std::string table = text.substr(p, end - p);
    if (table.empty() || !IsIdentifier(table)) return false;
    const std::string insert = text.substr(0, ret);
    const std::string read = "select " + text.substr(ret + 11) + " from " + table +
                             " where rowid = last_insert_rowid()";
    ExecuteLocked(Statement{insert, st.params, st.shown}, nullptr, SIZE_MAX);
    ExecuteLocked(Statement{read, {}, st.shown}, result, max_rows);
    return true;
  }

  int64_t NextPostgresSequenceLocked(std::string_view name) {
    const std::string sequence = PostgresSequenceName(name, source_);
    const SqlParam param = SqlParam::Text(sequence);
    const Statement next{"select nextval(?)", std::span<const SqlParam>(&param, 1)};
    for (int attempt = 0;; ++attempt) {
      ResultTable out;
      try {
        ExecuteLocked(next, &out, SIZE_MAX);
      } catch (const RuntimeError& e) {
        if (attempt > 0 || e.error().description.find("SQLSTATE 42P01") == std::string::npos)
          throw;
        // The sequence does not exist yet. Two sessions creating it at once
        // may collide in the catalogue; the loser uses the winner's.
        const std::string create = "create sequence if not exists " + sequence;
        try {
          ExecuteLocked(Statement{create}, nullptr, SIZE_MAX);
        } catch (const RuntimeError& c) {
          const std::string& d = c.error().description;
          if (d.find("SQLSTATE 23505") == std::string::npos &&
              d.find("SQLSTATE 42P07") == std::string::npos)
            throw;
        }
        continue;
      }
      if (out.row_count != 1)
        Raise(kErrDatabase, "Sequence '" + sequence + "' gave no value", source_);
      return static_cast<int64_t>(out.at(0, 0).ToDouble());
    }
  }

  std::string source_;
  std::string connection_string_;
  std::string shown_connection_;
  std::string dbms_name_;
  std::string dialect_ = "odbc";
  bool in_transaction_ = false;  // opened by a statement (see InTransaction)
  bool exact_arithmetic_ = false;  // SQLite behind the driver, with the host's qev_add
  std::string database_file_;
  std::mutex mu_;
  std::chrono::milliseconds timeout_{0};  // as the caller set it, for messages
  int64_t timeout_seconds_ = 0;  // 0: no bound
  SQLHDBC dbc_ = SQL_NULL_HDBC;  // closed after the cache's statements
  bool broken_ = false;
  bool utf8_ = false;  // narrow calls with UTF-8 text (see DetectTextCallsLocked)
  BasicStatementCache<OdbcStatementPtr> cache_{kStatementCacheSize};
  ColumnTypeCache column_types_;
  Watchdog watchdog_;  // ends statements the driver does not bound (see Watchdog)
};

}  // namespace

bool IsOdbcConnection(std::string_view connection) {
  const size_t pos = connection.find_first_not_of(" \t\r\n");
  return pos != std::string_view::npos && StartsWithNoCase(connection.substr(pos), kOdbcPrefix);
}

std::string MaskOdbcPassword(std::string_view connection) {
  // Attributes are KEY=VALUE separated by ';'; a value in braces may hold
  // ';' and ends at the first '}' not doubled.
  std::string out;
  size_t pos = 0;
  while (pos < connection.size()) {
    const size_t eq = connection.find('=', pos);
    if (eq == std::string_view::npos) {
      out.append(connection.substr(pos));
      break;
    }
    std::string_view key = connection.substr(pos, eq - pos);
    size_t value = eq + 1;
    while (value < connection.size() && (connection[value] == ' ' || connection[value] == '\t'))
      ++value;
    size_t end = value;
    if (end < connection.size() && connection[end] == '{') {
      ++end;
      while (end < connection.size()) {
        if (connection[end] == '}') {
          if (end + 1 < connection.size() && connection[end + 1] == '}') {
            end += 2;
            continue;
          }
          ++end;
          break;
        }
        ++end;
      }
    }
    end = std::min(connection.find(';', end), connection.size());
    // The key after any "odbc:" prefix and blanks.
    std::string_view bare = key;
    if (const size_t colon = bare.rfind(':'); colon != std::string_view::npos)
      bare = bare.substr(colon + 1);
    while (!bare.empty() && (bare.front() == ' ' || bare.front() == '\t')) bare.remove_prefix(1);
    while (!bare.empty() && (bare.back() == ' ' || bare.back() == '\t')) bare.remove_suffix(1);
    out.append(connection.substr(pos, value - pos));
    if (EqualsNoCase(bare, "pwd") || EqualsNoCase(bare, "password"))
      out.append("***");
    else
      out.append(connection.substr(value, end - value));
    if (end < connection.size()) out.push_back(';');
    pos = end + 1;
  }
  return out;
}

std::string OdbcDbmsName(const Database& db) {
  const auto* odbc = dynamic_cast<const OdbcDatabase*>(&db);
  return odbc ? odbc->dbms_name() : "";
}

std::shared_ptr<Database> OpenOdbcDatabase(const std::string& connection) {
  std::string_view text = connection;
  const size_t start = text.find_first_not_of(" \t\r\n");
  if (start != std::string_view::npos && StartsWithNoCase(text.substr(start), kOdbcPrefix))
    text = text.substr(start + kOdbcPrefix.size());
  return std::make_shared<OdbcDatabase>(std::string(text));
}

}  // namespace qev::host
