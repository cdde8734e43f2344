// Variant: the one value type of late-bound calls.
//
// A Variant is Empty, Null, a 16-bit or 32-bit integer, a double, a boolean,
// a UTF-8 string, a date or an object reference. Conversions follow the
// runtime's rules: Empty converts to 0 or "", Null refuses to become text or
// a number ("Invalid use of Null"), a 16-bit conversion rounds half to even
// and checks for overflow, text converts to a number only when it is one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <variant>

namespace qev {

class Dispatch;
// A counted reference to a late-bound object; a null pointer is "Nothing".
using Object = std::shared_ptr<Dispatch>;

enum class VarType : uint8_t {
  kEmpty,
  kNull,
  kInt16,
  kInt32,
  kDouble,
  kBool,
  kString,
  kDate,
  kObject,
};

const char* VarTypeName(VarType type);

// A date as a serial day number: whole days since 1899-12-30, the time of
// day as the fraction.
struct Date {
  double serial = 0;
  friend bool operator==(const Date&, const Date&) = default;
};

// Calendar parts of a date.
struct DateParts {
  int year = 1899, month = 12, day = 30, hour = 0, minute = 0, second = 0;
};
Date MakeDate(const DateParts& parts);
DateParts SplitDate(Date date);
// Parses "yyyy-mm-dd", "yyyy/m/d", "yyyy.mm.dd", optionally followed by a
// time "hh:mm[:ss]"; false when the text is no valid date.
bool ParseDate(std::string_view text, Date* out);

// Text form of a double: at most 15 significant digits, no thousands
// separator, no trailing zeros, "." as decimal separator, and the exponent
// form ("1E+15", "1E-05") only where fixed notation would need more digits.
std::string FormatDouble(double value);

// Parses a number written as text (blanks around it allowed); false when the
// text is not a number.
bool ParseNumber(std::string_view text, double* out);

class Variant {
 public:
  Variant() = default;  // Empty
  Variant(int16_t v) : value_(v) {}
  Variant(int32_t v) : value_(v) {}
  Variant(double v) : value_(v) {}
  Variant(bool v) : value_(v) {}
  Variant(std::string v) : value_(std::move(v)) {}
  Variant(std::string_view v) : value_(std::string(v)) {}
  Variant(const char* v) : value_(std::string(v)) {}
  Variant(Date v) : value_(v) {}
  Variant(Object v) : value_(std::move(v)) {}
  // An object variable set to Nothing. Without this, nullptr would pick the
  // text constructor and fail at run time.
  Variant(std::nullptr_t) : value_(Object()) {}
  // A raw object pointer would otherwise silently become the boolean True;
  // objects travel as counted references (Object) only.
  Variant(const Dispatch*) = delete;

  static Variant Null() {
    Variant v;
    v.value_ = NullTag{};
    return v;
  }
  // A 64-bit integer: a 32-bit integer when it fits, a double otherwise.
  static Variant FromInt64(int64_t v);

  VarType type() const { return static_cast<VarType>(value_.index()); }
  bool IsEmpty() const { return type() == VarType::kEmpty; }
  bool IsNull() const { return type() == VarType::kNull; }
  bool IsString() const { return type() == VarType::kString; }
  bool IsObject() const { return type() == VarType::kObject; }
  bool IsNumeric() const;  // integer, double, boolean or date

  // Direct access; only valid for the matching type.
  const std::string& string() const { return std::get<std::string>(value_); }
  const Object& object() const { return std::get<Object>(value_); }

  // Conversions; each raises the runtime's error when the value does not
  // convert (94 for Null, 13 for a type mismatch, 6 for overflow).
  std::string ToText() const;
  double ToDouble() const;
  int16_t ToInt16() const;
  int32_t ToInt32() const;
  bool ToBool() const;
  Date ToDate() const;
  // The object reference; Empty gives Nothing, any other value error 13.
  Object ToObject() const;
  // The object a member is called on: error 91 for Nothing or Empty,
  // 424 for a value that is not an object.
  const Object& RequireObject() const;

  // Converts to `type` (for argument coercion); Empty and Null stay as they
  // are when `type` is kEmpty (any).
  Variant ConvertTo(VarType type) const;

  // Same type and same value (objects: the same reference).
  friend bool operator==(const Variant& a, const Variant& b);

 private:
  struct NullTag {
    friend bool operator==(NullTag, NullTag) { return true; }
  };
  std::variant<std::monostate, NullTag, int16_t, int32_t, double, bool,
               std::string, Date, Object>
      value_;
};

// Operators with the runtime's rules for variants: Null in, Null out;
// text that is a number takes part as a number; + of two strings joins them.
Variant VarAdd(const Variant& a, const Variant& b);
Variant VarSub(const Variant& a, const Variant& b);
Variant VarMul(const Variant& a, const Variant& b);
Variant VarDiv(const Variant& a, const Variant& b);  // 11 on x/0, 6 on 0/0
Variant VarNeg(const Variant& a);
// The & operator: both sides as text, Null as "".
std::string VarConcat(const Variant& a, const Variant& b);
// The text a value shows when concatenated (Null and Empty as "").
std::string ConcatText(const Variant& v);

}  // namespace qev
