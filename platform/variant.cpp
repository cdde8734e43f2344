#include "platform/variant.h"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

#include "platform/error.h"

namespace qev {

const char* VarTypeName(VarType type) {
  switch (type) {
    case VarType::kEmpty: return "Empty";
    case VarType::kNull: return "Null";
    case VarType::kInt16: return "Integer";
    case VarType::kInt32: return "Long";
    case VarType::kDouble: return "Double";
    case VarType::kBool: return "Boolean";
    case VarType::kString: return "String";
    case VarType::kDate: return "Date";
    case VarType::kObject: return "Object";
  }
  return "?";
}

// ---------------------------------------------------------------- dates

namespace {

// Days since 1970-01-01 of a proleptic Gregorian date.
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

void CivilFromDays(int64_t z, int* y, int* m, int* d) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  *d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  *m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  *y = static_cast<int>(static_cast<int64_t>(yoe) + era * 400 + (*m <= 2));
}

const int64_t kSerialEpoch = DaysFromCivil(1899, 12, 30);

int DaysInMonth(int y, int m) {
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (m == 2 && ((y % 4 == 0 && y % 100 != 0) || y % 400 == 0)) return 29;
  return kDays[m - 1];
}

// Reads an unsigned decimal of 1 to `max_digits` digits at text[*pos].
bool ReadInt(std::string_view text, size_t* pos, int max_digits, int* out) {
  size_t start = *pos;
  int value = 0;
  while (*pos < text.size() && *pos - start < static_cast<size_t>(max_digits) &&
         text[*pos] >= '0' && text[*pos] <= '9') {
    value = value * 10 + (text[*pos] - '0');
    ++*pos;
  }
  if (*pos == start) return false;
  *out = value;
  return true;
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

}  // namespace

Date MakeDate(const DateParts& p) {
  const int64_t days = DaysFromCivil(p.year, static_cast<unsigned>(p.month),
                                     static_cast<unsigned>(p.day)) -
                       kSerialEpoch;
  const double time = (p.hour * 3600.0 + p.minute * 60.0 + p.second) / 86400.0;
  return Date{static_cast<double>(days) + time};
}

DateParts SplitDate(Date date) {
  const double whole = std::floor(date.serial);
  int64_t seconds = std::llround((date.serial - whole) * 86400.0);
  int64_t days = static_cast<int64_t>(whole);
  if (seconds >= 86400) {
    seconds -= 86400;
    ++days;
  }
  DateParts p;
  CivilFromDays(days + kSerialEpoch, &p.year, &p.month, &p.day);
  p.hour = static_cast<int>(seconds / 3600);
  p.minute = static_cast<int>(seconds / 60 % 60);
  p.second = static_cast<int>(seconds % 60);
  return p;
}

bool ParseDate(std::string_view text, Date* out) {
  text = Trim(text);
  DateParts p;
  size_t pos = 0;
  if (!ReadInt(text, &pos, 4, &p.year) || pos != 4) return false;
  if (pos >= text.size()) return false;
  const char sep = text[pos];
  if (sep != '-' && sep != '/' && sep != '.') return false;
  ++pos;
  if (!ReadInt(text, &pos, 2, &p.month)) return false;
  if (pos >= text.size() || text[pos] != sep) return false;
  ++pos;
  if (!ReadInt(text, &pos, 2, &p.day)) return false;
  if (p.month < 1 || p.month > 12 || p.day < 1 || p.day > DaysInMonth(p.year, p.month))
    return false;
  if (pos < text.size()) {
    if (text[pos] != ' ' && text[pos] != 'T') return false;
    while (pos < text.size() && (text[pos] == ' ' || text[pos] == 'T')) ++pos;
    if (!ReadInt(text, &pos, 2, &p.hour)) return false;
    if (pos >= text.size() || text[pos] != ':') return false;
    ++pos;
    if (!ReadInt(text, &pos, 2, &p.minute)) return false;
    if (pos < text.size() && text[pos] == ':') {
      ++pos;
      if (!ReadInt(text, &pos, 2, &p.second)) return false;
      // Fractions of a second are accepted and dropped.
      if (pos < text.size() && text[pos] == '.') {
        ++pos;
        while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') ++pos;
      }
    }
    if (pos != text.size()) return false;
    if (p.hour > 23 || p.minute > 59 || p.second > 59) return false;
  }
  *out = MakeDate(p);
  return true;
}

// -------------------------------------------------------------- numbers

std::string FormatDouble(double value) {
  if (std::isnan(value)) return "NaN";
  if (std::isinf(value)) return value > 0 ? "Infinity" : "-Infinity";
  if (value == 0) return "0";  // also -0
  // Fifteen significant digits, the shortest of "%.15G": to_chars with a
  // precision writes exactly what printf's %.15g writes (trailing zeros of
  // the mantissa and a bare point already dropped) without printf's
  // formatting machinery; every figure a report writes passes through here.
  char buf[32];
  const auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::general, 15);
  for (char* p = buf; p != res.ptr; ++p)
    if (*p == 'e') *p = 'E';
  return std::string(buf, res.ptr);
}

bool ParseNumber(std::string_view text, double* out) {
  text = Trim(text);
  if (text.empty()) return false;
  // Check the shape first: [sign] digits [. digits] [E [sign] digits].
  size_t i = 0;
  if (text[i] == '+' || text[i] == '-') ++i;
  size_t digits = 0;
  while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i, ++digits;
  if (i < text.size() && text[i] == '.') {
    ++i;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i, ++digits;
  }
  if (digits == 0) return false;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    ++i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    size_t exp_digits = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i, ++exp_digits;
    if (exp_digits == 0) return false;
  }
  if (i != text.size()) return false;
  std::string copy(text[0] == '+' ? text.substr(1) : text);
  char* end = nullptr;
  errno = 0;
  double v = std::strtod(copy.c_str(), &end);
  if (end != copy.c_str() + copy.size()) return false;
  if (errno == ERANGE && std::isinf(v)) return false;
  *out = v;
  return true;
}

// -------------------------------------------------------------- Variant

Variant Variant::FromInt64(int64_t v) {
  if (v >= std::numeric_limits<int32_t>::min() && v <= std::numeric_limits<int32_t>::max())
    return Variant(static_cast<int32_t>(v));
  return Variant(static_cast<double>(v));
}

bool Variant::IsNumeric() const {
  switch (type()) {
    case VarType::kInt16:
    case VarType::kInt32:
    case VarType::kDouble:
    case VarType::kBool:
    case VarType::kDate:
      return true;
    default:
      return false;
  }
}

std::string Variant::ToText() const {
  switch (type()) {
    case VarType::kEmpty: return "";
    case VarType::kNull: Raise(kErrInvalidNull);
    case VarType::kInt16: return std::to_string(std::get<int16_t>(value_));
    case VarType::kInt32: return std::to_string(std::get<int32_t>(value_));
    case VarType::kDouble: return FormatDouble(std::get<double>(value_));
    case VarType::kBool: return std::get<bool>(value_) ? "True" : "False";
    case VarType::kString: return std::get<std::string>(value_);
    case VarType::kDate: {
      const DateParts p = SplitDate(std::get<Date>(value_));
      char buf[48];
      if (p.hour == 0 && p.minute == 0 && p.second == 0)
        std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", p.year, p.month, p.day);
      else
        std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", p.year, p.month,
                      p.day, p.hour, p.minute, p.second);
      return buf;
    }
    case VarType::kObject: Raise(kErrTypeMismatch);
  }
  Raise(kErrTypeMismatch);
}

double Variant::ToDouble() const {
  switch (type()) {
    case VarType::kEmpty: return 0;
    case VarType::kNull: Raise(kErrInvalidNull);
    case VarType::kInt16: return std::get<int16_t>(value_);
    case VarType::kInt32: return std::get<int32_t>(value_);
    case VarType::kDouble: return std::get<double>(value_);
    case VarType::kBool: return std::get<bool>(value_) ? -1 : 0;
    case VarType::kString: {
      double v;
      if (!ParseNumber(std::get<std::string>(value_), &v)) Raise(kErrTypeMismatch);
      return v;
    }
    case VarType::kDate: return std::get<Date>(value_).serial;
    case VarType::kObject: Raise(kErrTypeMismatch);
  }
  Raise(kErrTypeMismatch);
}

int32_t Variant::ToInt32() const {
  switch (type()) {
    case VarType::kInt16: return std::get<int16_t>(value_);
    case VarType::kInt32: return std::get<int32_t>(value_);
    default: break;
  }
  // Integer conversion rounds half to even.
  const double v = std::nearbyint(ToDouble());
  if (!(v >= std::numeric_limits<int32_t>::min() && v <= std::numeric_limits<int32_t>::max()))
    Raise(kErrOverflow);
  return static_cast<int32_t>(v);
}

int16_t Variant::ToInt16() const {
  if (type() == VarType::kInt16) return std::get<int16_t>(value_);
  const double v = type() == VarType::kInt32 ? std::get<int32_t>(value_)
                                             : std::nearbyint(ToDouble());
  if (!(v >= std::numeric_limits<int16_t>::min() && v <= std::numeric_limits<int16_t>::max()))
    Raise(kErrOverflow);
  return static_cast<int16_t>(v);
}

bool Variant::ToBool() const {
  switch (type()) {
    case VarType::kBool: return std::get<bool>(value_);
    case VarType::kString: {
      const std::string& s = std::get<std::string>(value_);
      std::string_view t = Trim(s);
      if (t.size() == 4 && (t[0] | 0x20) == 't' && (t[1] | 0x20) == 'r' &&
          (t[2] | 0x20) == 'u' && (t[3] | 0x20) == 'e')
        return true;
      if (t.size() == 5 && (t[0] | 0x20) == 'f' && (t[1] | 0x20) == 'a' &&
          (t[2] | 0x20) == 'l' && (t[3] | 0x20) == 's' && (t[4] | 0x20) == 'e')
        return false;
      return ToDouble() != 0;
    }
    default:
      return ToDouble() != 0;
  }
}

Date Variant::ToDate() const {
  switch (type()) {
    case VarType::kEmpty: return Date{0};
    case VarType::kNull: Raise(kErrInvalidNull);
    case VarType::kDate: return std::get<Date>(value_);
    case VarType::kString: {
      Date d;
      if (ParseDate(std::get<std::string>(value_), &d)) return d;
      double serial;
      if (ParseNumber(std::get<std::string>(value_), &serial)) return Date{serial};
      Raise(kErrTypeMismatch);
    }
    case VarType::kObject: Raise(kErrTypeMismatch);
    default: return Date{ToDouble()};
  }
}

Object Variant::ToObject() const {
  if (type() == VarType::kObject) return std::get<Object>(value_);
  if (type() == VarType::kEmpty) return nullptr;
  Raise(kErrTypeMismatch);
}

const Object& Variant::RequireObject() const {
  if (type() == VarType::kObject) {
    const Object& o = std::get<Object>(value_);
    if (!o) Raise(kErrObjectNotSet);
    return o;
  }
  if (type() == VarType::kEmpty) Raise(kErrObjectNotSet);
  Raise(kErrObjectRequired);
}

Variant Variant::ConvertTo(VarType target) const {
  switch (target) {
    case VarType::kEmpty: return *this;
    case VarType::kNull: return *this;
    case VarType::kInt16: return Variant(ToInt16());
    case VarType::kInt32: return Variant(ToInt32());
    case VarType::kDouble: return Variant(ToDouble());
    case VarType::kBool: return Variant(ToBool());
    case VarType::kString: return Variant(ToText());
    case VarType::kDate: return Variant(ToDate());
    case VarType::kObject: return Variant(ToObject());
  }
  return *this;
}

bool operator==(const Variant& a, const Variant& b) { return a.value_ == b.value_; }

// ------------------------------------------------------------ operators

namespace {

enum class Kind { kNull, kInteger, kDouble, kDate };

// Integer operands take part as 64-bit integers, others as doubles.
struct Operand {
  Kind kind;
  int64_t i = 0;
  double d = 0;
  bool narrow = false;  // a 16-bit (or Empty/Boolean) operand
};

Operand Classify(const Variant& v) {
  switch (v.type()) {
    case VarType::kNull: return {Kind::kNull};
    case VarType::kEmpty: return {Kind::kInteger, 0, 0, true};
    case VarType::kInt16: return {Kind::kInteger, v.ToInt32(), 0, true};
    case VarType::kBool: return {Kind::kInteger, v.ToBool() ? -1 : 0, 0, true};
    case VarType::kInt32: return {Kind::kInteger, v.ToInt32(), 0, false};
    case VarType::kDate: return {Kind::kDate, 0, v.ToDouble(), false};
    default: return {Kind::kDouble, 0, v.ToDouble(), false};
  }
}

Variant IntegerResult(int64_t r, bool narrow) {
  if (narrow && r >= std::numeric_limits<int16_t>::min() &&
      r <= std::numeric_limits<int16_t>::max())
    return Variant(static_cast<int16_t>(r));
  return Variant::FromInt64(r);
}

template <typename IntOp, typename DblOp>
Variant Arith(const Variant& a, const Variant& b, IntOp int_op, DblOp dbl_op, bool dates) {
  // Null wins before the other operand is looked at, even text that is no
  // number: Null + "abc" is Null, not a type mismatch.
  if (a.IsNull() || b.IsNull()) return Variant::Null();
  const Operand x = Classify(a);
  const Operand y = Classify(b);
  if (x.kind == Kind::kInteger && y.kind == Kind::kInteger)
    return IntegerResult(int_op(x.i, y.i), x.narrow && y.narrow);
  const double dx = x.kind == Kind::kInteger ? static_cast<double>(x.i) : x.d;
  const double dy = y.kind == Kind::kInteger ? static_cast<double>(y.i) : y.d;
  const double r = dbl_op(dx, dy);
  if (std::isinf(r) && std::isfinite(dx) && std::isfinite(dy)) Raise(kErrOverflow);
  if (dates && (x.kind == Kind::kDate) != (y.kind == Kind::kDate)) return Variant(Date{r});
  return Variant(r);
}

}  // namespace

Variant VarAdd(const Variant& a, const Variant& b) {
  if (a.IsString() && b.IsString()) return Variant(a.string() + b.string());
  return Arith(a, b, [](int64_t x, int64_t y) { return x + y; },
               [](double x, double y) { return x + y; }, true);
}

Variant VarSub(const Variant& a, const Variant& b) {
  return Arith(a, b, [](int64_t x, int64_t y) { return x - y; },
               [](double x, double y) { return x - y; }, true);
}

Variant VarMul(const Variant& a, const Variant& b) {
  return Arith(a, b, [](int64_t x, int64_t y) { return x * y; },
               [](double x, double y) { return x * y; }, false);
}

Variant VarDiv(const Variant& a, const Variant& b) {
  if (a.IsNull() || b.IsNull()) return Variant::Null();
  const double x = a.ToDouble();
  const double y = b.ToDouble();
  if (y == 0) Raise(x == 0 ? kErrOverflow : kErrDivisionByZero);
  const double r = x / y;
  if (std::isinf(r)) Raise(kErrOverflow);
  return Variant(r);
}

Variant VarNeg(const Variant& a) {
  const Operand x = Classify(a);
  switch (x.kind) {
    case Kind::kNull: return Variant::Null();
    case Kind::kInteger: return IntegerResult(-x.i, x.narrow);
    case Kind::kDate: return Variant(Date{-x.d});
    case Kind::kDouble: return Variant(-x.d);
  }
  return Variant::Null();
}

std::string ConcatText(const Variant& v) {
  if (v.IsNull() || v.IsEmpty()) return "";
  return v.ToText();
}

std::string VarConcat(const Variant& a, const Variant& b) {
  return ConcatText(a) + ConcatText(b);
}

}  // namespace qev
