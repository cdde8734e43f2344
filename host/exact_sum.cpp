#include "host/exact_sum.h"

#include <cstring>

#include <sqlite3.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <string>
#include <type_traits>
#include <vector>

#include "host/sql_text.h"
#include "platform/ci_map.h"

namespace qev::host {

namespace {

constexpr const double* kExactPow10 = ExactSum::kExactPow10;

// 10^n for n in 0..38 as a 128-bit integer.
__int128 Pow10Int(int n) {
  static const auto table = [] {
    struct T {
      __int128 v[39];
    } t{};
    t.v[0] = 1;
    for (int i = 1; i < 39; ++i) t.v[i] = t.v[i - 1] * 10;
    return t;
  }();
  return table.v[n];
}

constexpr int kMaxDigits = 38;  // every 38-digit number fits a signed 128-bit integer

// value * 10^n, false on overflow.
bool ScaleUp(__int128 value, int n, __int128* out) {
  if (value == 0) {
    *out = 0;
    return true;
  }
  if (n > kMaxDigits) return false;
  return !__builtin_mul_overflow(value, Pow10Int(n), out);
}

std::atomic<bool> g_exact_sums{true};

}  // namespace

bool ExactSum::Decimal15(double value, int64_t* mantissa, int* exponent) {
  if (!std::isfinite(value)) return false;
  if (value == 0) {
    *mantissa = 0;
    *exponent = 0;
    return true;
  }
  const double a = std::fabs(value);
  int e2 = 0;
  std::frexp(a, &e2);  // a = f * 2^e2, f in [0.5, 1)
  // floor(log10 a) or one less.
  int e10 = static_cast<int>(std::floor((e2 - 1) * 0.30102999566398120));
  int64_t digits = 0;
  int exp10 = 0;
  bool found = false;
  // Fast path: a * 10^k in [1e14, 1e15) with one correctly rounded
  // operation on exact operands (k within the exact powers), so the
  // computed product is within 1/16 of the true one; when it is not near
  // a half, rounding it gives the true 15-digit decimal.
  for (int attempt = 0; attempt < 2 && !found; ++attempt) {
    const int k = 14 - e10;
    if (k < -22 || k > 22) break;
    const double p = k >= 0 ? a * kExactPow10[k] : a / kExactPow10[-k];
    if (p >= 1e15) {
      ++e10;
      continue;
    }
    if (p < 1e14) {
      --e10;
      continue;
    }
    const double r = std::nearbyint(p);
    if (std::fabs(p - r) >= 0.375) break;
    digits = static_cast<int64_t>(r);
    exp10 = -k;
    found = true;
  }
  if (!found) {
    // Exact decimal rounding of the binary value: d.dddddddddddddde[+-]x.
    char buf[48];
    const auto res = std::to_chars(buf, buf + sizeof buf, a, std::chars_format::scientific, 14);
    if (res.ec != std::errc()) return false;
    const char* p = buf;
    digits = 0;
    for (; p < res.ptr && *p != 'e'; ++p)
      if (*p >= '0' && *p <= '9') digits = digits * 10 + (*p - '0');
    int e = 0;
    if (p < res.ptr) std::from_chars(p + 1 + (p[1] == '+'), res.ptr, e);
    exp10 = e - 14;
  }
  // Drop trailing zeros (at most 15): 8 + 4 + 2 + 1.
  if (digits % 100000000 == 0) digits /= 100000000, exp10 += 8;
  if (digits % 10000 == 0) digits /= 10000, exp10 += 4;
  if (digits % 100 == 0) digits /= 100, exp10 += 2;
  if (digits % 10 == 0) digits /= 10, exp10 += 1;
  *mantissa = value < 0 ? -digits : digits;
  *exponent = exp10;
  return true;
}

ExactSum::Status ExactSum::ApplyReal(double value, bool remove) {
  int64_t mantissa = 0;
  int exponent = 0;
  if (!Decimal15(value, &mantissa, &exponent)) {
    // An infinity (SQLite keeps no NaN): counted apart from the decimals.
    const int64_t step = remove ? -1 : 1;
    count_ += step;
    reals_ += step;
    specials_ += step;
    special_ += remove ? -value : value;
    return Status::kOk;
  }
  reals_ += remove ? -1 : 1;
  return Apply(mantissa, exponent, remove);
}

ExactSum::Status ExactSum::Apply(int64_t mantissa, int exponent, bool remove) {
  count_ += remove ? -1 : 1;
  if (mantissa == 0) return Status::kOk;
  if (exponent < scale_) {
    // A finer decimal place: the sum so far moves to it.
    if (!ScaleUp(sum_, scale_ - exponent, &sum_)) return Status::kOutOfRange;
    scale_ = exponent;
  }
  __int128 term = 0;
  if (!ScaleUp(mantissa, exponent - scale_, &term)) return Status::kOutOfRange;
  const bool overflow = remove ? __builtin_sub_overflow(sum_, term, &sum_)
                               : __builtin_add_overflow(sum_, term, &sum_);
  return overflow ? Status::kOutOfRange : Status::kOk;
}

std::optional<int64_t> ExactSum::AsInteger() const {
  __int128 whole = sum_;
  if (scale_ < 0) {
    if (-scale_ > kMaxDigits) {
      if (sum_ != 0) return std::nullopt;
    } else {
      const __int128 unit = Pow10Int(-scale_);
      if (sum_ % unit != 0) return std::nullopt;
      whole = sum_ / unit;
    }
  }
  if (whole < INT64_MIN || whole > INT64_MAX) return std::nullopt;
  return static_cast<int64_t>(whole);
}

double ExactSum::AsDouble() const {
  if (specials_ != 0) {
    // Infinities decide; +inf and -inf together give NaN (NULL in SQLite).
    return special_;
  }
  if (sum_ == 0) return 0.0;
  constexpr __int128 kExactInDouble = static_cast<__int128>(1) << 53;
  if (sum_ > -kExactInDouble && sum_ < kExactInDouble && scale_ >= -22) {
    // Both operands exact: one correctly rounded division.
    return static_cast<double>(sum_) / kExactPow10[-scale_];
  }
  // Otherwise the decimal text, read back with correct rounding.
  char buf[64];
  char* end = buf + sizeof buf;
  char* p = end;
  unsigned __int128 magnitude =
      sum_ < 0 ? static_cast<unsigned __int128>(-(sum_ + 1)) + 1 : static_cast<unsigned __int128>(sum_);
  do {
    *--p = static_cast<char>('0' + static_cast<int>(magnitude % 10));
    magnitude /= 10;
  } while (magnitude != 0);
  std::string text(p, end);
  text += 'e';
  text += std::to_string(scale_);
  double value = 0;
  const auto res = std::from_chars(text.data(), text.data() + text.size(), value);
  if (res.ec == std::errc::result_out_of_range) value = HUGE_VAL;  // cannot be reached: 38 digits
  return sum_ < 0 ? -value : value;
}

double AtFifteenDigits(double value) {
  if (value == std::trunc(value)) return value;  // whole numbers and infinities as they are
  int64_t mantissa = 0;
  int exponent = 0;
  if (!ExactSum::Decimal15(value, &mantissa, &exponent)) return value;
  // Both operands exact (|mantissa| < 10^15 < 2^53): one correctly rounded
  // operation; beyond the exact powers of ten the decimal text read back.
  const double m = static_cast<double>(mantissa);
  if (exponent >= 0 && exponent <= 22) return m * ExactSum::kExactPow10[exponent];
  if (exponent < 0 && exponent >= -22) return m / ExactSum::kExactPow10[-exponent];
  const std::string text = std::to_string(mantissa) + "e" + std::to_string(exponent);
  double out = value;
  std::from_chars(text.data(), text.data() + text.size(), out);
  return out;
}

// ------------------------------------------------------------------ SQLite

namespace {

// The aggregate's state lives in SQLite's zero-filled aggregate context:
// all-zero bytes are an empty ExactSum and a clear flag.
struct SumState {
  ExactSum sum;
  bool out_of_range;
};
static_assert(std::is_trivially_copyable_v<SumState>);
static_assert(std::is_trivially_destructible_v<SumState>);

constexpr const char* kOutOfRange =
    "sum out of the exact range: the values need more than 38 decimal digits between the "
    "largest and the finest decimal place";

void Step(sqlite3_context* ctx, sqlite3_value* value, bool remove) {
  // SQLite's aggregate context is aligned for 8 bytes only, and the state
  // holds 128-bit integers: it is copied out and back, never used in place.
  void* raw = sqlite3_aggregate_context(ctx, sizeof(SumState));
  if (raw == nullptr) {
    sqlite3_result_error_nomem(ctx);
    return;
  }
  SumState state;
  std::memcpy(&state, raw, sizeof state);
  // As SQLite's own sum: text that looks like a number counts as that
  // number, other text and blobs as 0.0.
  ExactSum::Status status;
  switch (sqlite3_value_numeric_type(value)) {
    case SQLITE_NULL: return;
    case SQLITE_INTEGER:
      status = remove ? state.sum.RemoveInteger(sqlite3_value_int64(value))
                      : state.sum.AddInteger(sqlite3_value_int64(value));
      break;
    default:
      status = remove ? state.sum.RemoveReal(sqlite3_value_double(value))
                      : state.sum.AddReal(sqlite3_value_double(value));
      break;
  }
  if (status != ExactSum::Status::kOk) state.out_of_range = true;
  std::memcpy(raw, &state, sizeof state);
}

void StepAdd(sqlite3_context* ctx, int, sqlite3_value** argv) { Step(ctx, argv[0], false); }
void StepRemove(sqlite3_context* ctx, int, sqlite3_value** argv) { Step(ctx, argv[0], true); }

void Result(sqlite3_context* ctx, bool total) {
  void* raw = sqlite3_aggregate_context(ctx, 0);
  SumState copy;
  if (raw != nullptr) std::memcpy(&copy, raw, sizeof copy);
  const SumState* state = raw != nullptr ? &copy : nullptr;
  if (state == nullptr || state->sum.empty()) {
    if (total)
      sqlite3_result_double(ctx, 0.0);
    else
      sqlite3_result_null(ctx);
    return;
  }
  if (state->out_of_range) {
    sqlite3_result_error(ctx, kOutOfRange, -1);
    return;
  }
  if (!total && state->sum.all_integers()) {
    if (const auto whole = state->sum.AsInteger()) {
      sqlite3_result_int64(ctx, *whole);
    } else {
      sqlite3_result_error(ctx, "integer overflow", -1);
    }
    return;
  }
  sqlite3_result_double(ctx, state->sum.AsDouble());
}

// qev_add(a, b, ...): a + b + ... of a statement, exactly (ExactArithmetic);
// beyond the exact range the binary sum that SQLite's + gives.
void ExactAdd(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  ExactSum sum;
  bool exact = true;
  double binary = 0;
  for (int i = 0; i < argc; ++i) {
    switch (sqlite3_value_numeric_type(argv[i])) {
      case SQLITE_NULL: sqlite3_result_null(ctx); return;
      case SQLITE_INTEGER: {
        const int64_t n = sqlite3_value_int64(argv[i]);
        binary += static_cast<double>(n);
        exact = exact && sum.AddInteger(n) == ExactSum::Status::kOk;
        break;
      }
      default: {
        const double d = sqlite3_value_double(argv[i]);
        binary += d;
        exact = exact && sum.AddReal(d) == ExactSum::Status::kOk;
      }
    }
  }
  if (!exact) return sqlite3_result_double(ctx, binary);
  if (sum.all_integers())
    if (const auto whole = sum.AsInteger()) return sqlite3_result_int64(ctx, *whole);
  sqlite3_result_double(ctx, sum.AsDouble());
}

void SumFinal(sqlite3_context* ctx) { Result(ctx, false); }
void SumValue(sqlite3_context* ctx) { Result(ctx, false); }
void TotalFinal(sqlite3_context* ctx) { Result(ctx, true); }
void TotalValue(sqlite3_context* ctx) { Result(ctx, true); }

}  // namespace

namespace {

// A token of a statement as ExactArithmetic sees it: an operand (a column,
// possibly qualified, or a number), an operator or other punctuation (its
// text), or anything else (a keyword, a string, a function's name, a
// parameter).
struct Token {
  enum Kind { kOperand, kPunct, kOther } kind;
  size_t begin, end;
};

bool IsWordChar(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '$' ||
         static_cast<unsigned char>(c) >= 0x80;
}

std::vector<Token> Tokens(std::string_view sql) {
  static const char* const kKeywords[] = {
      "select", "from", "where", "and", "or", "not", "set", "update", "insert", "into", "values",
      "as", "on", "by", "group", "order", "having", "case", "when", "then", "else", "end", "is",
      "in", "like", "glob", "between", "null", "distinct", "join", "left", "inner", "outer",
      "cross", "limit", "offset", "union", "all", "except", "intersect", "exists", "cast",
      "collate", "escape", "asc", "desc", "delete", "with", "returning", "current_date",
      "current_time", "current_timestamp"};
  std::vector<Token> out;
  const size_t n = sql.size();
  for (size_t i = 0; i < n;) {
    const char c = sql[i];
    const size_t begin = i;
    if (std::isspace(static_cast<unsigned char>(c)) || sql.substr(i, 2) == "--" ||
        sql.substr(i, 2) == "/*") {
      i = std::max(SkipBlanksAndComments(sql, i), i + 1);
    } else if (c == '?' || c == ':' || c == '@' || c == '$') {
      for (++i; i < n && IsWordChar(sql[i]);) ++i;
      out.push_back({Token::kOther, begin, i});
    } else if (c == '\'' || c == '"' || c == '`' || c == '[') {
      const char close = c == '[' ? ']' : c;
      for (++i; i < n; ++i)
        if (sql[i] == close && !(close != ']' && i + 1 < n && sql[i + 1] == close && ++i)) break;
      i = std::min(i + 1, n);
      out.push_back({Token::kOther, begin, i});
    } else if (std::isdigit(static_cast<unsigned char>(c)) ||
               (c == '.' && i + 1 < n && std::isdigit(static_cast<unsigned char>(sql[i + 1])))) {
      while (i < n && (std::isalnum(static_cast<unsigned char>(sql[i])) || sql[i] == '.' ||
                       ((sql[i] == '+' || sql[i] == '-') && (sql[i - 1] == 'e' || sql[i - 1] == 'E'))))
        ++i;
      const bool hex = sql.substr(begin, 2) == "0x" || sql.substr(begin, 2) == "0X";
      out.push_back({hex ? Token::kOther : Token::kOperand, begin, i});
    } else if (IsWordChar(c) && !std::isdigit(static_cast<unsigned char>(c))) {
      while (i < n && (IsWordChar(sql[i]) || (sql[i] == '.' && i + 1 < n && IsWordChar(sql[i + 1])))) ++i;
      size_t next = i;
      while (next < n && std::isspace(static_cast<unsigned char>(sql[next]))) ++next;
      bool keyword = next < n && sql[next] == '(';
      for (const char* k : kKeywords) keyword = keyword || EqualsNoCase(sql.substr(begin, i - begin), k);
      out.push_back({keyword ? Token::kOther : Token::kOperand, begin, i});
    } else {
      i += sql.substr(i, 2) == "||" ? 2 : 1;
      out.push_back({Token::kPunct, begin, i});
    }
  }
  return out;
}

}  // namespace

std::string ExactArithmetic(std::string_view sql) {
  size_t first = 0;
  while (first < sql.size() && !std::isalpha(static_cast<unsigned char>(sql[first]))) ++first;
  const std::string_view verb = sql.substr(first, 6);
  if (!EqualsNoCase(verb, "select") && !EqualsNoCase(verb, "update") && !EqualsNoCase(verb, "insert") &&
      !EqualsNoCase(verb, "delete"))
    return "";
  const std::vector<Token> t = Tokens(sql);
  auto text = [&](size_t k) { return sql.substr(t[k].begin, t[k].end - t[k].begin); };
  auto is = [&](size_t k, std::string_view ops) {  // a punctuation token among `ops`
    if (k >= t.size() || t[k].kind != Token::kPunct) return false;
    const std::string_view p = text(k);
    return p == "||" ? ops.find('|') != std::string_view::npos : ops.find(p) != std::string_view::npos;
  };
  std::string out;
  size_t copied = 0;
  for (size_t i = 0; i + 2 < t.size(); ++i) {
    // A chain: operand (+|- operand)..., not taken by a stronger or an
    // additive operator before it (which it would then belong to).
    if (t[i].kind != Token::kOperand || (i > 0 && is(i - 1, "+-*/%|~.")) || !is(i + 1, "+-") ||
        t[i + 2].kind != Token::kOperand)
      continue;
    size_t last = i;
    while (is(last + 1, "+-") && last + 2 < t.size() && t[last + 2].kind == Token::kOperand) last += 2;
    if (is(last + 1, "*/%|.")) last -= 2;  // the last operand belongs to the stronger operator
    if (last == i) continue;
    out.append(sql.substr(copied, t[i].begin - copied));
    out += "qev_add(";
    out.append(text(i));
    for (size_t k = i + 1; k < last; k += 2) {
      out += text(k) == "-" ? ",-" : ",";
      out.append(text(k + 1));
    }
    out += ")";
    copied = t[last].end;
    i = last;
  }
  if (copied == 0) return "";
  out.append(sql.substr(copied));
  return out;
}

int RegisterExactSums(sqlite3* db) {
  constexpr int kFlags = SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS;
  int rc = sqlite3_create_window_function(db, "sum", 1, kFlags, nullptr, StepAdd, SumFinal,
                                          SumValue, StepRemove, nullptr);
  if (rc != SQLITE_OK) return rc;
  rc = sqlite3_create_function(db, "qev_add", -1, kFlags, nullptr, ExactAdd, nullptr, nullptr);
  if (rc != SQLITE_OK) return rc;
  return sqlite3_create_window_function(db, "total", 1, kFlags, nullptr, StepAdd, TotalFinal,
                                        TotalValue, StepRemove, nullptr);
}

void SetExactSqliteSums(bool on) { g_exact_sums.store(on); }
bool ExactSqliteSums() { return g_exact_sums.load(); }

}  // namespace qev::host
