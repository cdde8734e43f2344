// The statement and condition texts of the host services: the guard that
// lets a caller's condition into a statement, the date escapes, the lifting
// of literals into parameters and the one-statement guards of the engines.
// SQLite's own parser is the judge wherever it can be: what the guards let
// through must not hide a second statement or swallow the text after it.
#include <sqlite3.h>

#include <forward_list>
#include <string>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "host/database.h"
#include "host/dialect.h"
#include "host/sql_text.h"
#include "platform/error.h"

using namespace qev::host;

namespace {

// A database that only hands out '?' markers and remembers where it put them.
class MarkerDb final : public Database {
 public:
  mutable std::vector<size_t> at;
  const std::string& source() const override { static const std::string s = "fuzz"; return s; }
  std::string_view engine() const override { return "sqlite"; }
  void Execute(std::string_view, std::span<const SqlParam>, ResultTable*, size_t,
               std::string_view) override {}
  bool IsTextColumn(std::string_view, std::string_view) override { return true; }
  int64_t NextSequenceValue(std::string_view) override { return 0; }
  void SetStatementTimeout(std::chrono::milliseconds) override {}
  void AppendParamMarker(std::string* sql, int) const override {
    at.push_back(sql->size());
    sql->push_back('?');
  }
  std::string DateLiteral(qev::Date d) const override { return IsoDateLiteral(d); }
  std::string NumericOrder(std::string_view f) const override { return SqliteNumericOrder(f); }
  std::string_view FixedTablesDdl() const override { return {}; }
};

struct Parsed {
  bool ok = false;
  sqlite3_stmt* stmt = nullptr;  // null: nothing but blanks and comments
  size_t used = 0;
  ~Parsed() { sqlite3_finalize(stmt); }
};

void Prepare(std::string_view sql, Parsed* p) {
  static sqlite3* db = [] { sqlite3* d = nullptr; sqlite3_open(":memory:", &d); return d; }();
  const char* tail = nullptr;
  p->ok = sqlite3_prepare_v2(db, sql.data(), static_cast<int>(sql.size()), &p->stmt, &tail) ==
          SQLITE_OK;
  p->used = tail ? static_cast<size_t>(tail - sql.data()) : 0;
}

// SQLite finds no statement in `text` (an error counts: nothing would run).
bool NoStatement(std::string_view text) {
  while (!text.empty()) {
    Parsed p;
    Prepare(text, &p);
    if (!p.ok) return true;
    if (p.stmt) return false;
    if (p.used == 0) return true;
    text.remove_prefix(p.used);
  }
  return true;
}

bool Refused(auto&& f) {
  try {
    f();
    return false;
  } catch (const qev::RuntimeError&) {
    return true;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);

  // SQLite's one-statement guard: a tail it accepts holds no statement.
  Parsed first;
  Prepare(text, &first);
  if (first.ok && first.stmt && IsEmptyTail(std::string_view(text).substr(first.used)))
    FUZZ_CHECK(NoStatement(std::string_view(text).substr(first.used)));

  // The ODBC guard outside PostgreSQL: one piece is at most one statement.
  const std::vector<std::string> pieces = SplitStatements(text);
  if (pieces.size() == 1) {
    const std::string_view one =
        std::string_view(pieces[0]).substr(SkipBlanksAndComments(pieces[0], 0));
    Parsed p;
    Prepare(one, &p);
    if (p.ok && p.stmt) FUZZ_CHECK(NoStatement(one.substr(p.used)));
  }

  // PostgreSQL's guard: past the first statement its own lexing finds none.
  const PostgresStatementShape shape = ScanPostgresStatement(text);
  FUZZ_CHECK(shape.first_end == text.size() || text[shape.first_end] == ';');
  for (size_t pos = shape.first_end; !shape.more && pos < text.size();) {
    const PostgresStatementShape rest = ScanPostgresStatement(std::string_view(text).substr(pos + 1));
    FUZZ_CHECK(rest.empty);
    pos += 1 + rest.first_end;
  }

  // A condition the guard accepts, its date escapes replaced, cannot end the
  // statement it is pasted into or hide the text after it.
  std::string cond;
  if (!Refused([&] { RequireSelfContainedCondition(text, "fuzz"); }) &&
      !Refused([&] { cond = ReplaceDateEscapes(text, IsoDateLiteral, "fuzz"); })) {
    FUZZ_CHECK(!Refused([&] { RequireSelfContainedCondition(cond, "fuzz"); }));
    const std::string sql = "select 1 where " + cond + " and :fuzz_end is null";
    Parsed p;
    Prepare(sql, &p);
    if (p.ok && p.stmt) {
      FUZZ_CHECK(p.used == sql.size());
      FUZZ_CHECK(sqlite3_bind_parameter_index(p.stmt, ":fuzz_end") > 0);
    }
  }

  // Each date escape's date comes back from the dialect's literal and escape.
  internal::DateEscape esc;
  bool found = false;
  for (size_t pos = 0;
       !Refused([&] { found = internal::FindDateEscape(text, pos, "", &esc); }) && found;
       pos = esc.end) {
    const std::string iso = IsoDateLiteral(esc.date), odbc = OdbcDateEscape(esc.date);
    qev::Date back;
    FUZZ_CHECK(qev::ParseDate(iso.substr(1, iso.size() - 2), &back) && back == esc.date);
    internal::DateEscape again;
    FUZZ_CHECK(internal::FindDateEscape(odbc, 0, "", &again) && again.date == esc.date &&
               again.begin == 0 && again.end == odbc.size());
  }

  // Lifted literals put back in place of their markers give the text again;
  // SQLite sees one marker for each of them.
  for (const LiteralScope scope : {LiteralScope::kCondition, LiteralScope::kStatement}) {
    MarkerDb db;
    std::string sql;
    std::vector<SqlParam> params;
    std::forward_list<std::string> unescaped;
    AppendWithLiteralParams(text, scope, db, &sql, &params, &unescaped);
    FUZZ_CHECK(db.at.size() == params.size());
    std::string back;
    size_t from = 0;
    for (size_t i = 0; i < params.size(); ++i) {
      back.append(sql, from, db.at[i] - from).push_back('\'');
      for (char c : params[i].text) back.append(c == '\'' ? 2 : 1, c);
      back.push_back('\'');
      from = db.at[i] + 1;
    }
    FUZZ_CHECK(back + sql.substr(from) == text);
    if (text.find_first_of("?:@$#") != std::string::npos || params.empty()) continue;
    const std::string where = scope == LiteralScope::kCondition ? "select 1 where " : "";
    Parsed p;
    Prepare(where + sql, &p);
    if (p.ok && p.stmt && IsEmptyTail(std::string_view(where + sql).substr(p.used)))
      FUZZ_CHECK(sqlite3_bind_parameter_count(p.stmt) == static_cast<int>(params.size()));
  }
  return 0;
}
