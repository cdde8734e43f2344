#include "host/sql_text.h"

#include <array>
#include <cstdint>

#include "platform/ci_map.h"
#include "platform/error.h"
#include "platform/value_list.h"

namespace qev::host {

namespace {

bool IsIdentStart(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
}
bool IsIdentChar(char c) { return IsIdentStart(c) || (c >= '0' && c <= '9'); }
bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v'; }

bool IsPlainIdentifier(std::string_view name) {
  if (name.empty() || !IsIdentStart(name[0])) return false;
  for (char c : name)
    if (!IsIdentChar(c)) return false;
  return true;
}

std::string_view Trim(std::string_view s) {
  size_t b = 0, e = s.size();
  while (b < e && IsBlank(s[b])) ++b;
  while (e > b && IsBlank(s[e - 1])) --e;
  return s.substr(b, e - b);
}

// Position just after the quoted text that starts at `pos` (its opening
// quote `quote`, doubled quotes inside); the end of the text when it is not
// closed.
size_t SkipQuoted(std::string_view sql, size_t pos, char close) {
  ++pos;
  while (pos < sql.size()) {
    if (sql[pos] == close) {
      if (close != ']' && pos + 1 < sql.size() && sql[pos + 1] == close) {
        pos += 2;
        continue;
      }
      return pos + 1;
    }
    ++pos;
  }
  return pos;
}

// Whether the quote opened at `pos` is closed (as SkipQuoted reads it).
bool QuoteIsClosed(std::string_view sql, size_t pos, char close) {
  for (++pos; pos < sql.size(); ++pos) {
    if (sql[pos] != close) continue;
    if (close != ']' && pos + 1 < sql.size() && sql[pos + 1] == close) {
      ++pos;
      continue;
    }
    return true;
  }
  return false;
}

// If a comment starts at `pos`, the position after it; otherwise `pos`.
size_t SkipComment(std::string_view sql, size_t pos) {
  if (pos + 1 >= sql.size()) return pos;
  if (sql[pos] == '-' && sql[pos + 1] == '-') {
    size_t nl = sql.find('\n', pos + 2);
    return nl == std::string_view::npos ? sql.size() : nl + 1;
  }
  if (sql[pos] == '/' && sql[pos + 1] == '*') {
    size_t end = sql.find("*/", pos + 2);
    return end == std::string_view::npos ? sql.size() : end + 2;
  }
  return pos;
}

// If a quoted literal or identifier or a comment starts at `pos`, the
// position after it; otherwise `pos`.
size_t SkipQuotedOrComment(std::string_view sql, size_t pos) {
  switch (sql[pos]) {
    case '\'': return SkipQuoted(sql, pos, '\'');
    case '"': return SkipQuoted(sql, pos, '"');
    case '`': return SkipQuoted(sql, pos, '`');
    case '[': return SkipQuoted(sql, pos, ']');
    default: return SkipComment(sql, pos);
  }
}

}  // namespace

bool IsIdentifier(std::string_view name) {
  size_t dot = name.find('.');
  if (dot == std::string_view::npos) return IsPlainIdentifier(name);
  return IsPlainIdentifier(name.substr(0, dot)) && IsPlainIdentifier(name.substr(dot + 1));
}

void RequireIdentifier(std::string_view name, std::string_view what, const std::string& source) {
  if (IsIdentifier(name)) return;
  Raise(kErrBadStatement,
        "Refused " + std::string(what) + " '" + std::string(name) +
            "': a name must be an identifier (letters, digits and '_', optionally schema.name)",
        source);
}

void SplitFieldList(std::string_view list, const std::string& source,
                    std::vector<std::string_view>* names) {
  names->clear();
  if (Trim(list).empty()) return;
  size_t pos = 0;
  while (true) {
    size_t comma = list.find(',', pos);
    std::string_view name =
        Trim(list.substr(pos, comma == std::string_view::npos ? std::string_view::npos : comma - pos));
    RequireIdentifier(name, "field name", source);
    names->push_back(name);
    if (comma == std::string_view::npos) break;
    pos = comma + 1;
  }
}

void SplitValueList(std::string_view list, std::vector<std::string_view>* values) {
  values->clear();
  size_t pos = 0;
  while (true) {
    size_t sep = list.find(kValueListSeparator, pos);
    if (sep == std::string_view::npos) {
      values->push_back(list.substr(pos));
      return;
    }
    values->push_back(list.substr(pos, sep - pos));
    pos = sep + kValueListSeparator.size();
  }
}

size_t SkipBlanksAndComments(std::string_view sql, size_t pos) {
  while (pos < sql.size()) {
    if (IsBlank(sql[pos])) {
      ++pos;
      continue;
    }
    size_t after = SkipComment(sql, pos);
    if (after == pos) break;
    pos = after;
  }
  return pos;
}

bool IsEmptyTail(std::string_view tail) {
  size_t pos = 0;
  while (true) {
    pos = SkipBlanksAndComments(tail, pos);
    if (pos >= tail.size()) return true;
    if (tail[pos] != ';') return false;
    ++pos;
  }
}

void RequireSelfContainedCondition(std::string_view cond, const std::string& source) {
  // Outside a literal (which becomes a bound value) a NUL is text that an
  // engine reading up to the NUL would drop, with what follows it.
  static constexpr const char* kNulEnds = "a NUL byte would end the statement text";
  auto refuse = [&](const char* why) {
    Raise(kErrBadStatement, "Refused condition '" + std::string(cond) + "': " + why, source);
  };
  int depth = 0;
  size_t pos = 0;
  while (pos < cond.size()) {
    const char c = cond[pos];
    if (c == ';') refuse("a ';' would end the statement");
    if (c == '\0') refuse(kNulEnds);
    if (c == '(') ++depth;
    if (c == ')' && --depth < 0) refuse("it closes a parenthesis it did not open");
    const size_t after = SkipQuotedOrComment(cond, pos);
    if (after == pos) {
      ++pos;
      continue;
    }
    if (c == '\'' || c == '"' || c == '`' || c == '[') {
      if (!QuoteIsClosed(cond, pos, c == '[' ? ']' : c)) refuse("a quote is left open");
    } else if (cond.substr(pos, after - pos).find('\0') != std::string_view::npos) {
      refuse(kNulEnds);
    } else if (cond[pos] == '-' && (after == cond.size() && cond.back() != '\n')) {
      refuse("a '--' comment would hide the rest of the statement");
    } else if (cond[pos] == '/' && (after - pos < 4 || cond.substr(after - 2, 2) != "*/")) {
      refuse("a '/*' comment is left open");
    }
    pos = after;
  }
  if (depth != 0) refuse("a parenthesis is left open");
}

std::string FirstKeyword(std::string_view sql) {
  size_t pos = SkipBlanksAndComments(sql, 0);
  size_t end = pos;
  while (end < sql.size() && IsIdentChar(sql[end])) ++end;
  return ToLowerAscii(sql.substr(pos, end - pos));
}

std::vector<std::string> SplitStatements(std::string_view script) {
  std::vector<std::string> out;
  size_t start = 0, pos = 0;
  auto flush = [&](size_t end) {
    std::string_view piece = script.substr(start, end - start);
    if (SkipBlanksAndComments(piece, 0) < piece.size()) out.emplace_back(Trim(piece));
  };
  while (pos < script.size()) {
    if (script[pos] == ';') {
      flush(pos);
      start = ++pos;
      continue;
    }
    size_t after = SkipQuotedOrComment(script, pos);
    pos = after == pos ? pos + 1 : after;
  }
  flush(script.size());
  return out;
}

namespace {

// Characters of SQL words (names, keywords, numbers): letters, digits, '_',
// '$' and every byte of a UTF-8 sequence.
constexpr std::array<bool, 256> kWordChars = [] {
  std::array<bool, 256> t{};
  for (int c = 0; c < 256; ++c)
    t[c] = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' ||
           c == '$' || c >= 0x80;
  return t;
}();

inline bool IsWordChar(char c) { return kWordChars[static_cast<unsigned char>(c)]; }

// If a PostgreSQL dollar quote ($$ or $tag$) opens at `pos`, the position
// after its closing tag (the end of the text when it is not closed);
// otherwise npos. The caller makes sure that `pos` starts a token.
size_t DollarQuoteEnd(std::string_view text, size_t pos) {
  size_t p = pos + 1;
  if (p < text.size() && text[p] != '$') {
    const char first = text[p];
    if (!IsWordChar(first) || first == '$' || (first >= '0' && first <= '9'))
      return std::string_view::npos;
    while (p < text.size() && IsWordChar(text[p]) && text[p] != '$') ++p;
  }
  if (p >= text.size() || text[p] != '$') return std::string_view::npos;
  const std::string_view tag = text.substr(pos, p + 1 - pos);
  const size_t close = text.find(tag, p + 1);
  return close == std::string_view::npos ? text.size() : close + tag.size();
}

// The end of a PostgreSQL escape string whose opening quote is at `pos`
// (E'...': backslash escapes and doubled quotes); the end of the text when
// it is not closed.
size_t EscapeStringEnd(std::string_view text, size_t pos) {
  for (size_t p = pos + 1; p < text.size(); ++p) {
    if (text[p] == '\\') {
      ++p;
      continue;
    }
    if (text[p] != '\'') continue;
    if (p + 1 < text.size() && text[p + 1] == '\'') {
      ++p;
      continue;
    }
    return p + 1;
  }
  return text.size();
}

// What a word means to AppendWithLiteralParams.
enum WordClass : uint8_t {
  kPlainWord = 0,
  kIntroducer = 1,     // a string literal after it stands as a value
  kEndsCondition = 2,  // at the top level, the condition part ends here
  kWhere = 4,          // at the top level, a condition part begins here
};

// Classifies a lower-cased word; most words are rejected by their length
// and first letter without a comparison.
uint8_t ClassifyWord(std::string_view w) {
  auto is = [&w](std::string_view k) { return w == k; };
  switch (w.size()) {
    case 2: return (is("or") || is("is") || is("in") || is("on")) ? kIntroducer : kPlainWord;
    case 3: return (is("and") || is("not")) ? kIntroducer : kPlainWord;
    case 4: return (is("like") || is("glob") || is("case") || is("when") || is("then") || is("else"))
                       ? kIntroducer
                       : kPlainWord;
    case 5:
      if (is("match")) return kIntroducer;
      if (is("where")) return kIntroducer | kWhere;
      return (is("group") || is("order") || is("limit") || is("union")) ? kEndsCondition : kPlainWord;
    case 6:
      if (is("regexp") || is("escape")) return kIntroducer;
      if (is("having")) return kIntroducer | kEndsCondition;
      return (is("except") || is("window")) ? kEndsCondition : kPlainWord;
    case 7: return is("between") ? kIntroducer : kPlainWord;
    case 9: return (is("returning") || is("intersect")) ? kEndsCondition : kPlainWord;
    default: return kPlainWord;
  }
}

// True for the length of a word ClassifyWord knows; only such words are
// lower-cased and classified.
bool KeywordLength(size_t n) { return n >= 2 && n <= 9 && n != 8; }

bool StartsWithSelect(std::string_view text) {
  const size_t pos = SkipBlanksAndComments(text, 0);
  return text.size() >= pos + 7 && EqualsNoCase(text.substr(pos, 6), "select") &&
         !IsWordChar(text[pos + 6]);
}

// The end of the single-quoted literal starting at `pos` (after its closing
// quote) and whether it holds doubled quotes; npos when it is not closed.
size_t ScanLiteral(std::string_view text, size_t pos, bool* doubled) {
  *doubled = false;
  for (size_t p = pos + 1; p < text.size(); ++p) {
    if (text[p] != '\'') continue;
    if (p + 1 < text.size() && text[p + 1] == '\'') {
      *doubled = true;
      ++p;
      continue;
    }
    return p + 1;
  }
  return std::string_view::npos;
}

}  // namespace

void AppendWithLiteralParams(std::string_view text, LiteralScope scope, const Database& db,
                             std::string* sql, std::vector<SqlParam>* params,
                             std::forward_list<std::string>* unescaped) {
  if (scope == LiteralScope::kStatement && !StartsWithSelect(text)) {
    sql->append(text);
    return;
  }
  enum class Prev { kIntroducer, kValue };  // what the last token was
  bool in_condition = scope == LiteralScope::kCondition;
  Prev prev = Prev::kIntroducer;
  int depth = 0;
  size_t copied = 0, pos = 0;
  char word[16];
  while (pos < text.size()) {
    const char c = text[pos];
    if (IsBlank(c)) {
      ++pos;
      continue;
    }
    if (c == '-' || c == '/') {
      if (const size_t after = SkipComment(text, pos); after != pos) {
        pos = after;
        continue;
      }
    }
    if (c == '\'') {
      bool doubled = false;
      const size_t end = ScanLiteral(text, pos, &doubled);
      if (end == std::string_view::npos) break;  // unterminated: the engine reports it
      // A literal run together with a word after it ('a'20) stays as
      // written: the marker would run into the word ("?20" is parameter 20).
      if (in_condition && prev == Prev::kIntroducer && !(end < text.size() && IsWordChar(text[end]))) {
        sql->append(text.substr(copied, pos - copied));
        db.AppendParamMarker(sql, static_cast<int>(params->size() + 1));
        std::string_view value = text.substr(pos + 1, end - pos - 2);
        if (doubled) {
          std::string& plain = unescaped->emplace_front();
          plain.reserve(value.size());
          for (size_t i = 0; i < value.size(); ++i) {
            plain.push_back(value[i]);
            if (value[i] == '\'') ++i;  // the second quote of a pair
          }
          value = plain;
        }
        params->push_back(SqlParam::Text(value));
        copied = end;
      }
      prev = Prev::kValue;
      pos = end;
      continue;
    }
    if (c == '"' || c == '`' || c == '[') {
      pos = SkipQuoted(text, pos, c == '[' ? ']' : c);
      prev = Prev::kValue;
      continue;
    }
    if (IsWordChar(c)) {
      if (c == '$') {
        // A dollar-quoted body is one value; its text stays as written.
        if (const size_t end = DollarQuoteEnd(text, pos); end != std::string_view::npos) {
          pos = end;
          prev = Prev::kValue;
          continue;
        }
      }
      const size_t start = pos;
      while (pos < text.size() && IsWordChar(text[pos])) ++pos;
      const size_t len = pos - start;
      prev = Prev::kValue;
      if (len == 1 && (c == 'e' || c == 'E') && pos < text.size() && text[pos] == '\'') {
        // An escape string E'...' stays as written.
        pos = EscapeStringEnd(text, pos);
        continue;
      }
      if (len == 1 && (c == 'u' || c == 'U') && pos + 1 < text.size() && text[pos] == '&' &&
          text[pos + 1] == '\'') {
        // So does a Unicode string U&'...'.
        pos = SkipQuoted(text, pos + 1, '\'');
        continue;
      }
      if (KeywordLength(len) && !(c >= '0' && c <= '9')) {
        for (size_t i = 0; i < len; ++i) word[i] = LowerAscii(text[start + i]);
        const uint8_t cls = ClassifyWord(std::string_view(word, len));
        if (cls & kIntroducer) prev = Prev::kIntroducer;
        if (depth == 0 && (cls & kWhere)) in_condition = true;
        if (depth == 0 && (cls & kEndsCondition)) in_condition = false;
      }
      continue;
    }
    if (c == '(') ++depth;
    if (c == ')' && depth > 0) --depth;
    prev = (c == ')' || c == '.') ? Prev::kValue : Prev::kIntroducer;
    ++pos;
  }
  sql->append(text.substr(copied));
}

std::string DescribeStatement(std::string_view sql, std::span<const SqlParam> params,
                              std::string_view shown) {
  // Built by appending only: GCC 12 sees a false overlap (-Wrestrict) in
  // a literal + temporary string at -O2 and above.
  std::string out = " [statement: ";
  out += shown.empty() ? sql : shown;
  out += ']';
  if (!shown.empty() || params.empty()) return out;
  out += " [values:";
  for (size_t i = 0; i < params.size(); ++i) {
    out += i ? ", " : " ";
    if (params[i].is_null) {
      out += "NULL";
    } else {
      out += '\'';
      out += params[i].text;
      out += '\'';
    }
  }
  out += ']';
  return out;
}

PostgresStatementShape ScanPostgresStatement(std::string_view sql) {
  PostgresStatementShape shape;
  size_t pos = 0;
  const size_t n = sql.size();
  while (pos < n) {
    const char c = sql[pos];
    if (c == ';') break;
    if (IsBlank(c)) {
      ++pos;
      continue;
    }
    if (c == '-' && pos + 1 < n && sql[pos + 1] == '-') {
      const size_t nl = sql.find('\n', pos);
      pos = nl == std::string_view::npos ? n : nl + 1;
      continue;
    }
    if (c == '/' && pos + 1 < n && sql[pos + 1] == '*') {
      int depth = 1;  // block comments nest
      pos += 2;
      while (pos < n && depth > 0) {
        if (sql[pos] == '/' && pos + 1 < n && sql[pos + 1] == '*') {
          ++depth;
          pos += 2;
        } else if (sql[pos] == '*' && pos + 1 < n && sql[pos + 1] == '/') {
          --depth;
          pos += 2;
        } else {
          ++pos;
        }
      }
      continue;
    }
    shape.empty = false;
    if (c == '\'' || c == '"') {
      pos = SkipQuoted(sql, pos, c);
      continue;
    }
    if (c == '$') {
      if (pos + 1 < n && sql[pos + 1] >= '0' && sql[pos + 1] <= '9') {
        int number = 0;
        for (++pos; pos < n && sql[pos] >= '0' && sql[pos] <= '9'; ++pos)
          number = number > 100000 ? number : number * 10 + (sql[pos] - '0');
        if (number > shape.max_param) shape.max_param = number;
        continue;
      }
      if (const size_t end = DollarQuoteEnd(sql, pos); end != std::string_view::npos) {
        pos = end;
        continue;
      }
      ++pos;
      continue;
    }
    if (IsWordChar(c)) {
      const size_t start = pos;
      while (pos < n && IsWordChar(sql[pos])) ++pos;  // '$' inside a name is part of it
      if (pos - start == 1 && (c == 'e' || c == 'E') && pos < n && sql[pos] == '\'')
        pos = EscapeStringEnd(sql, pos);
      continue;
    }
    ++pos;
  }
  shape.first_end = pos;
  shape.more = pos < n && !IsEmptyTail(sql.substr(pos));
  return shape;
}

namespace internal {

bool FindDateEscape(std::string_view text, size_t pos, const std::string& source,
                    DateEscape* found) {
  while (pos < text.size()) {
    if (text[pos] != '{') {
      size_t after = SkipQuotedOrComment(text, pos);
      pos = after == pos ? pos + 1 : after;
      continue;
    }
    // "{" blanks keyword blanks 'text' blanks "}"
    const size_t begin = pos;
    size_t p = pos + 1;
    while (p < text.size() && IsBlank(text[p])) ++p;
    size_t kw = p;
    while (p < text.size() && IsIdentChar(text[p])) ++p;
    const std::string keyword = ToLowerAscii(text.substr(kw, p - kw));
    while (p < text.size() && IsBlank(text[p])) ++p;
    if ((keyword != "d" && keyword != "ts") || p >= text.size() || text[p] != '\'') {
      pos = begin + 1;  // some other brace: not ours
      continue;
    }
    size_t close = text.find('\'', p + 1);
    if (close == std::string_view::npos) {
      pos = begin + 1;
      continue;
    }
    std::string_view value = text.substr(p + 1, close - p - 1);
    p = close + 1;
    while (p < text.size() && IsBlank(text[p])) ++p;
    if (p >= text.size() || text[p] != '}') {
      pos = begin + 1;
      continue;
    }
    if (!ParseDate(value, &found->date))
      Raise(kErrBadStatement,
            "Refused date escape '" + std::string(text.substr(begin, p + 1 - begin)) +
                "': '" + std::string(value) + "' is not a date (yyyy-mm-dd)",
            source);
    found->begin = begin;
    found->end = p + 1;
    return true;
  }
  return false;
}

}  // namespace internal

}  // namespace qev::host
