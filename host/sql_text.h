// Text helpers of the host services: names, field and value lists,
// statement scripts and the portable date escape. Engine-independent.
#pragma once

#include <forward_list>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "host/database.h"
#include "platform/variant.h"

namespace qev::host {

// True for an identifier [A-Za-z_][A-Za-z0-9_]*, optionally qualified by one
// schema name ("main.rpt_header").
bool IsIdentifier(std::string_view name);

// Raises kErrBadStatement (with `source`) unless `name` is an identifier;
// `what` names the argument in the message ("table name", "field name").
void RequireIdentifier(std::string_view name, std::string_view what, const std::string& source);

// Splits a field list at commas, trimming blanks around each name; the empty
// list gives no names. Each name is checked with RequireIdentifier.
void SplitFieldList(std::string_view list, const std::string& source,
                    std::vector<std::string_view>* names);

// Splits a value list at qev::kValueListSeparator. The empty list is one
// empty value. Views point into `list`.
void SplitValueList(std::string_view list, std::vector<std::string_view>* values);

// Position of the first character after blanks and SQL comments ("-- ..."
// to the end of the line, "/* ... */") from `pos`; an unterminated block
// comment runs to the end.
size_t SkipBlanksAndComments(std::string_view sql, size_t pos);

// True when `tail` holds nothing but blanks, comments and semicolons: what
// may follow the one statement of a call.
bool IsEmptyTail(std::string_view tail);

// Raises kErrBadStatement (with `source`) unless the condition `cond` is
// self-contained: a caller's condition is pasted into a statement with more
// text after it, so it may not end inside a quoted literal or name or inside
// a comment ("--" without a line break after it, "/*" without "*/"), which
// would swallow that text; may not close a parenthesis it did not open or
// leave one open; may not hold a ';' outside quotes and comments; and may
// not hold a NUL byte outside quoted literals.
void RequireSelfContainedCondition(std::string_view cond, const std::string& source);

// The first keyword of a statement, lower-cased ("select", "create", ...).
std::string FirstKeyword(std::string_view sql);

// The statement shown in an error message: " [statement: <shown>]" when
// `shown` (the text as the caller wrote it) is given, else
// " [statement: <sql>]" followed by " [values: 'a', NULL, ...]" when there
// are bound parameters.
std::string DescribeStatement(std::string_view sql, std::span<const SqlParam> params,
                              std::string_view shown);

// One statement an engine runs: its text, the bound values and the text to
// show in messages.
struct EngineStatement {
  std::string_view sql;
  std::span<const SqlParam> params = {};
  std::string_view shown = {};

  std::string Describe() const { return DescribeStatement(sql, params, shown); }
};

// The lexical shape of a PostgreSQL statement text, found without running
// it: quoted literals ('...', E'...' with backslash escapes), quoted names
// ("..."), dollar-quoted bodies ($$...$$, $tag$...$tag$) and comments
// (-- and nested /* */) are skipped.
struct PostgresStatementShape {
  size_t first_end = 0;  // where the first statement ends: its ';' or the end
  bool empty = true;     // the first statement holds only blanks and comments
  bool more = false;     // another statement follows the first
  int max_param = 0;     // the highest parameter marker $n of the first statement
};
PostgresStatementShape ScanPostgresStatement(std::string_view sql);

// Splits a script into its statements at the semicolons that lie outside
// quotes and comments; pieces holding only blanks and comments are dropped.
// (Not for trigger bodies, whose inner semicolons it would split at.)
std::vector<std::string> SplitStatements(std::string_view script);

// Replaces every portable date escape {d 'yyyy-mm-dd'} (also the timestamp
// escape {ts '...'}; letter case and blanks inside the braces free) that lies
// outside a quoted literal by `literal(date)`. A date escape whose text is no
// date raises kErrBadStatement. Everything else is copied unchanged.
template <typename Literal>
std::string ReplaceDateEscapes(std::string_view cond, Literal&& literal,
                               const std::string& source);

// Where AppendWithLiteralParams looks for literal values.
enum class LiteralScope {
  // The text is a condition (what follows " where "), up to a top-level
  // group/order/having/limit/union/intersect/except/window/returning.
  kCondition,
  // The text is a whole statement: for a select, the parts after a
  // top-level WHERE up to the same words; any other statement is left as it
  // is.
  kStatement,
};

// Appends `text` to `*sql`, turning every string literal that stands as a
// value in a condition part into a parameter marker of `db` and appending
// its value to `*params`, so that statements differing only in their keys
// share one prepared statement. A literal counts as a value when the token
// before it is an operator, "(", "," or one of the words and, or, not, like,
// glob, regexp, match, between, is, in, case, when, then, else, escape,
// where, on, having (or when it opens a condition): never after "as", a
// name or a closing parenthesis, so aliases, names given as strings and
// typed literals stay as written, and never for PostgreSQL's escape,
// Unicode and dollar-quoted strings (E'...', U&'...', $$...$$), nor for a
// literal that a word follows without a blank ('a'20). A literal with doubled quotes is
// unescaped into `*unescaped`; other values are views into `text`.
// Comparisons keep their meaning: a string literal and a bound text both
// carry no type affinity.
void AppendWithLiteralParams(std::string_view text, LiteralScope scope, const Database& db,
                             std::string* sql, std::vector<SqlParam>* params,
                             std::forward_list<std::string>* unescaped);

namespace internal {
// One escape found by FindDateEscape: [begin, end) in the text and its date.
struct DateEscape {
  size_t begin = 0, end = 0;
  Date date;
};
// Finds the next date escape at or after `pos` outside quoted literals;
// false when there is none.
bool FindDateEscape(std::string_view text, size_t pos, const std::string& source,
                    DateEscape* found);
}  // namespace internal

template <typename Literal>
std::string ReplaceDateEscapes(std::string_view cond, Literal&& literal,
                               const std::string& source) {
  std::string out;
  size_t pos = 0;
  internal::DateEscape esc;
  while (internal::FindDateEscape(cond, pos, source, &esc)) {
    out.append(cond.substr(pos, esc.begin - pos));
    out += literal(esc.date);
    pos = esc.end;
  }
  out.append(cond.substr(pos));
  return out;
}

}  // namespace qev::host
