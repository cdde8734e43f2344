// Conversions and operators of variants, dates and checked 16-bit counters.

#include "platform/variant.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "platform/checked.h"
#include "platform/error.h"
#include "tests/platform/runtime_expect.h"

namespace qev {
namespace {

using ::qev::testing::RaisedBy;

Variant I16(int v) { return Variant(static_cast<int16_t>(v)); }
Variant I32(int32_t v) { return Variant(v); }

// ------------------------------------------------------------ Empty, Null

TEST(VariantEmptyNull, NullRefusesToBecomeTextOrNumberAndEmptyIsZero) {
  const Variant null = Variant::Null();
  const Error e = RaisedBy([&] { null.ToText(); });
  EXPECT_EQ(kErrInvalidNull, e.number);
  EXPECT_EQ("Invalid use of Null", e.description);
  EXPECT_RAISES(kErrInvalidNull, null.ToDouble());
  EXPECT_RAISES(kErrInvalidNull, null.ToInt16());
  EXPECT_RAISES(kErrInvalidNull, null.ToInt32());
  EXPECT_RAISES(kErrInvalidNull, null.ToDate());
  EXPECT_RAISES(kErrInvalidNull, null.ConvertTo(VarType::kString));
  const Variant empty;
  EXPECT_EQ("", empty.ToText());
  EXPECT_EQ(0.0, empty.ToDouble());
  EXPECT_EQ(0, empty.ToInt32());
  EXPECT_FALSE(empty.ToBool());
  EXPECT_EQ(0.0, empty.ToDate().serial);
  EXPECT_EQ(I16(0), empty.ConvertTo(VarType::kInt16));
  // Converting to Empty keeps any value, Null and Empty included.
  EXPECT_TRUE(null.ConvertTo(VarType::kEmpty).IsNull());
  EXPECT_TRUE(empty.ConvertTo(VarType::kEmpty).IsEmpty());
  EXPECT_EQ(Variant(2.5), Variant(2.5).ConvertTo(VarType::kEmpty));
}

TEST(VariantEmptyNull, NullAndEmptyAreDistinctValues) {
  EXPECT_FALSE(Variant::Null() == Variant());
  EXPECT_TRUE(Variant::Null() == Variant::Null());
  EXPECT_FALSE(Variant() == Variant(""));
  EXPECT_FALSE(I16(1) == I32(1));  // same value, different type
  // Numbers: integers, doubles, booleans and dates; not text, even numeric.
  for (const Variant& v : {I16(1), I32(1), Variant(1.5), Variant(true), Variant(Date{1})})
    EXPECT_TRUE(v.IsNumeric()) << ConcatText(v);
  for (const Variant& v : {Variant(), Variant::Null(), Variant("1"), Variant(Object())})
    EXPECT_FALSE(v.IsNumeric());
}

// ------------------------------------------------------- 16-bit integers

TEST(VariantToInt16, RoundsHalfToEven) {
  const std::pair<Variant, int> cases[] = {{Variant(2.5), 2},    {Variant(3.5), 4},    {Variant(-2.5), -2},
                                           {Variant(-3.5), -4},  {Variant(0.5), 0},    {Variant(2.4999), 2},
                                           {Variant(2.5001), 3}, {Variant("2.5"), 2},  {Variant(true), -1}};
  for (const auto& [v, want] : cases) {
    EXPECT_EQ(want, v.ToInt16()) << ConcatText(v);
    EXPECT_EQ(want, v.ToInt32()) << ConcatText(v);
  }
}

TEST(VariantToInteger, OverflowsPastTheRange) {
  EXPECT_EQ(32767, Variant(32767.4).ToInt16());
  EXPECT_RAISES(kErrOverflow, Variant(32767.5).ToInt16());
  EXPECT_EQ(-32768, Variant(-32768.5).ToInt16());  // rounds to the even -32768
  EXPECT_RAISES(kErrOverflow, Variant(-32768.6).ToInt16());
  EXPECT_EQ(-32768, I32(-32768).ToInt16());
  EXPECT_RAISES(kErrOverflow, I32(32768).ToInt16());
  EXPECT_RAISES(kErrOverflow, I32(-40000).ToInt16());
  EXPECT_RAISES(kErrOverflow, Variant("32768").ToInt16());
  EXPECT_RAISES(kErrOverflow, Variant(1e300).ToInt16());
  const Error e = RaisedBy([] { Variant(40000.0).ToInt16(); });
  EXPECT_EQ("Overflow", e.description);
  EXPECT_EQ(2147483646, Variant(2147483646.5).ToInt32());
  EXPECT_RAISES(kErrOverflow, Variant(2147483647.5).ToInt32());
  EXPECT_RAISES(kErrOverflow, Variant(-2147483648.6).ToInt32());
  EXPECT_RAISES(kErrOverflow, Variant("3000000000").ToInt32());
}

// ------------------------------------------------------- text and numbers

TEST(VariantTextToNumber, OnlyTextThatIsANumberConverts) {
  EXPECT_EQ(12, Variant(" 12 ").ToInt16());
  EXPECT_EQ(12.0, Variant("12").ToDouble());
  EXPECT_EQ(-3.25, Variant("-3.25").ToDouble());
  EXPECT_EQ(7.0, Variant("+7").ToDouble());
  EXPECT_EQ(1000.0, Variant("1e3").ToDouble());
  EXPECT_EQ(0.5, Variant(".5").ToDouble());

  for (const char* text :
       {"abc", "1,5", "", " ", "12abc", "1 2", ".", "1e", "0x10", "--1", "1.2.3"}) {
    SCOPED_TRACE(std::string("text: \"") + text + "\"");
    EXPECT_RAISES(kErrTypeMismatch, Variant(text).ToDouble());
    EXPECT_RAISES(kErrTypeMismatch, Variant(text).ToInt16());
    EXPECT_RAISES(kErrTypeMismatch, Variant(text).ToInt32());
  }
  const Error e = RaisedBy([] { Variant("abc").ToDouble(); });
  EXPECT_EQ("Type mismatch", e.description);
  // ParseNumber leaves the result alone on failure.
  double out = 99;
  EXPECT_FALSE(ParseNumber("1,5", &out));
  EXPECT_EQ(99, out);
  EXPECT_TRUE(ParseNumber(" 12 ", &out));
  EXPECT_EQ(12, out);
  EXPECT_FALSE(ParseNumber("1e999", &out));  // out of the double range
}

TEST(VariantToText, NumbersAndBooleans) {
  const std::pair<Variant, const char*> texts[] = {{I16(-5), "-5"},      {I32(2147483647), "2147483647"},
                                                   {Variant(2.5), "2.5"}, {Variant(true), "True"},
                                                   {Variant(false), "False"}};
  for (const auto& [v, want] : texts) EXPECT_EQ(want, v.ToText());
  EXPECT_RAISES(kErrTypeMismatch, Variant(Object()).ToText());
  const std::pair<Variant, bool> bools[] = {{Variant(" TRUE "), true}, {Variant("false"), false},
                                            {Variant("2"), true},      {Variant("0"), false},
                                            {Variant(0.1), true}};
  for (const auto& [v, want] : bools) EXPECT_EQ(want, v.ToBool()) << v.ToText();
  EXPECT_RAISES(kErrTypeMismatch, Variant("yes").ToBool());
  EXPECT_RAISES(kErrInvalidNull, Variant::Null().ToBool());
}

TEST(VariantObject, ObjectConversions) {
  EXPECT_EQ(nullptr, Variant().ToObject());
  EXPECT_RAISES(kErrTypeMismatch, Variant(1.0).ToObject());
  EXPECT_RAISES(kErrTypeMismatch, Variant::Null().ToObject());
  EXPECT_RAISES(kErrObjectNotSet, Variant().RequireObject());
  EXPECT_RAISES(kErrObjectNotSet, Variant(Object()).RequireObject());
  EXPECT_RAISES(kErrObjectRequired, Variant("x").RequireObject());
  // nullptr is Nothing, not text.
  const Variant nothing(nullptr);
  EXPECT_TRUE(nothing.IsObject());
  EXPECT_EQ(nullptr, nothing.object());
  EXPECT_RAISES(kErrObjectNotSet, nothing.RequireObject());
  // A raw object pointer is no value: it would otherwise become True.
  static_assert(!std::is_constructible_v<Variant, Dispatch*>);
  static_assert(!std::is_convertible_v<const Dispatch*, Variant>);
}

// ----------------------------------------------------------- FormatDouble

TEST(FormatDouble, FifteenSignificantDigits) {
  const std::pair<double, const char*> cases[] = {
      {0.1 + 0.2, "0.3"},      {1.0 / 3, "0.333333333333333"},  {2.0 / 3, "0.666666666666667"},
      {1e15, "1E+15"},         {-1e15, "-1E+15"},               {999999999999999.0, "999999999999999"},
      {1e-5, "1E-05"},         {1.5e-10, "1.5E-10"},            {1234567890123456.0, "1.23456789012346E+15"},
      {0.0001, "0.0001"},      {-0.0, "0"},                     {-2.5, "-2.5"},
      {100.0, "100"},          {1234567.125, "1234567.125"}};
  for (const auto& [v, want] : cases) EXPECT_EQ(want, FormatDouble(v));
  EXPECT_EQ("0.3", Variant(0.1 + 0.2).ToText());
  // The text reads back as the same value when 15 digits hold it.
  for (double v : {0.1, 123.456, -98765.4321, 1e-7, 3.14159265358979}) {
    double back = 0;
    ASSERT_TRUE(ParseNumber(FormatDouble(v), &back)) << FormatDouble(v);
    EXPECT_EQ(v, back) << FormatDouble(v);
  }
}

// ------------------------------------------------------------------ dates

TEST(VariantDate, SplitIsTheInverseOfMake) {
  // Every day of two centuries, each with a different time of day.
  for (double serial = 0; serial < 73000; serial += 1) {
    const int seconds = static_cast<int>(serial) * 7919 % 86400;
    const Date date{serial + seconds / 86400.0};
    const DateParts p = SplitDate(date);
    ASSERT_EQ(seconds, p.hour * 3600 + p.minute * 60 + p.second) << serial;
    ASSERT_EQ(serial, MakeDate({p.year, p.month, p.day}).serial) << serial;
  }
  const DateParts p = SplitDate(Date{45351.5});
  EXPECT_EQ((std::vector<int>{2024, 2, 29, 12}), (std::vector<int>{p.year, p.month, p.day, p.hour}));
}

TEST(VariantDate, ParseDateForms) {
  Date d;
  for (const char* text : {"2024-01-01", "2024/1/1", "2024/01/01", "2024.01.01", " 2024-1-01 "}) {
    SCOPED_TRACE(text);
    d = Date{-1};
    ASSERT_TRUE(ParseDate(text, &d));
    EXPECT_EQ(45292.0, d.serial);
  }
  ASSERT_TRUE(ParseDate("2024-01-01 12:30", &d));
  EXPECT_DOUBLE_EQ(45292.0 + (12 * 60 + 30) / 1440.0, d.serial);
  ASSERT_TRUE(ParseDate("2024/1/1 06:00:30", &d));
  EXPECT_DOUBLE_EQ(45292.0 + (6 * 3600 + 30) / 86400.0, d.serial);
  ASSERT_TRUE(ParseDate("2000-02-29", &d));  // every 400 years a leap year
  EXPECT_EQ(MakeDate({2000, 3, 1}).serial - 1, d.serial);
}

TEST(VariantDate, ParseDateRejectsWhatIsNoDate) {
  Date d;
  for (const char* text :
       {"2024-02-30", "2023-02-29", "1900-02-29", "2024-04-31", "2024-13-01", "2024-00-10",
        "2024-01-00", "2024-01", "2024-01/02", "24-01-01", "20240101", "abc", "",
        "2024-01-01 24:00", "2024-01-01 12:60", "2024-01-01 12", "2024-01-01x"}) {
    SCOPED_TRACE(text);
    EXPECT_FALSE(ParseDate(text, &d));
  }
}

TEST(VariantDate, SerialNumbersConversionsAndText) {
  EXPECT_EQ(0.0, MakeDate({1899, 12, 30}).serial);
  EXPECT_EQ(2.0, MakeDate({1900, 1, 1}).serial);
  EXPECT_EQ(45351.0, MakeDate({2024, 2, 29}).serial);
  EXPECT_DOUBLE_EQ(45292.75, MakeDate({2024, 1, 1, 18, 0, 0}).serial);
  for (const Variant& v : {Variant("2024-01-01"), Variant("45292"), Variant(45292.0)})
    EXPECT_EQ(45292.0, v.ToDate().serial) << v.ToText();
  EXPECT_EQ(45292.0, Variant(Date{45292}).ToDouble());
  EXPECT_RAISES(kErrTypeMismatch, Variant("2024-02-30").ToDate());
  EXPECT_RAISES(kErrTypeMismatch, Variant("soon").ToDate());
  EXPECT_EQ("2024-01-01", Variant(Date{45292}).ToText());
  EXPECT_EQ("2024-03-05 00:00:01", Variant(MakeDate({2024, 3, 5, 0, 0, 1})).ToText());
  // A time that rounds up to midnight belongs to the next day.
  EXPECT_EQ("2024-01-02", Variant(Date{45292.9999999999}).ToText());
}

// -------------------------------------------------------------- operators

TEST(VariantOperators, NullPropagates) {
  const Variant null = Variant::Null();
  for (const Variant& v : {VarAdd(null, I16(1)), VarAdd(Variant("abc"), null), VarSub(null, Variant(2.5)),
                           VarMul(I32(3), null), VarDiv(null, I16(0)), VarDiv(I16(1), null), VarNeg(null)})
    EXPECT_TRUE(v.IsNull());
}

TEST(VariantOperators, StringsJoinButNumericTextAdds) {
  EXPECT_EQ(Variant("abcd"), VarAdd(Variant("ab"), Variant("cd")));
  EXPECT_EQ(Variant("34"), VarAdd(Variant("3"), Variant("4")));
  EXPECT_EQ(Variant(7.0), VarAdd(Variant("3"), I16(4)));
  EXPECT_EQ(Variant(7.0), VarAdd(I32(4), Variant(" 3 ")));
  EXPECT_EQ(Variant(-1.0), VarSub(Variant("3"), Variant("4")));
  EXPECT_EQ(Variant(12.0), VarMul(Variant("3"), Variant("4")));
  EXPECT_RAISES(kErrTypeMismatch, VarAdd(Variant("abc"), I16(1)));
  EXPECT_RAISES(kErrTypeMismatch, VarSub(Variant("ab"), Variant("cd")));
}

TEST(VariantOperators, IntegerResultsWidenInsteadOfOverflowing) {
  EXPECT_EQ(I16(101), VarAdd(I16(100), I16(1)));
  EXPECT_EQ(I32(32768), VarAdd(I16(32767), I16(1)));
  EXPECT_EQ(I32(-32769), VarSub(I16(-32768), I16(1)));
  EXPECT_EQ(I32(40000), VarMul(I16(200), I16(200)));
  EXPECT_EQ(I32(5), VarAdd(I16(2), I32(3)));  // a 32-bit operand gives 32 bits
  EXPECT_EQ(Variant(2147483648.0), VarAdd(I32(2147483647), I32(1)));
  EXPECT_EQ(I16(0), VarAdd(Variant(), Variant()));
  EXPECT_EQ(I32(5), VarAdd(Variant(), I32(5)));
  EXPECT_EQ(Variant(2.5), VarAdd(Variant(1.5), I16(1)));
  EXPECT_EQ(I16(-2), VarAdd(Variant(true), Variant(true)));
  EXPECT_RAISES(kErrOverflow, VarMul(Variant(1e200), Variant(1e200)));
}

TEST(VariantOperators, DatesAndNumbers) {
  EXPECT_EQ(Variant(Date{45293}), VarAdd(Variant(Date{45292}), I16(1)));
  EXPECT_EQ(Variant(Date{45291.5}), VarSub(Variant(Date{45292}), Variant(0.5)));
  EXPECT_EQ(Variant(31.0), VarSub(Variant(Date{45323}), Variant(Date{45292})));
}

TEST(VariantOperators, Division) {
  EXPECT_EQ(Variant(3.5), VarDiv(I16(7), I16(2)));
  EXPECT_EQ(Variant(2.0), VarDiv(I32(6), I16(3)));  // always a double
  EXPECT_EQ(Variant(0.5), VarDiv(Variant("1"), Variant("2")));
  const Error by_zero = RaisedBy([] { VarDiv(I16(1), I16(0)); });
  EXPECT_EQ(kErrDivisionByZero, by_zero.number);
  EXPECT_EQ("Division by zero", by_zero.description);
  EXPECT_RAISES(kErrDivisionByZero, VarDiv(Variant(-2.5), Variant()));
  EXPECT_RAISES(kErrOverflow, VarDiv(I16(0), I16(0)));
  EXPECT_RAISES(kErrOverflow, VarDiv(Variant(), Variant(0.0)));
  EXPECT_RAISES(kErrOverflow, VarDiv(Variant(1e300), Variant(1e-300)));
}

TEST(VariantOperators, NegationAndConcat) {
  EXPECT_EQ(I16(-5), VarNeg(I16(5)));
  EXPECT_EQ(I32(32768), VarNeg(I16(-32768)));
  EXPECT_EQ(Variant(-2.5), VarNeg(Variant("2.5")));
  EXPECT_EQ(I16(0), VarNeg(Variant()));
  EXPECT_RAISES(kErrTypeMismatch, VarNeg(Variant("x")));
  // Concatenation treats Null as empty text.
  EXPECT_EQ("x", VarConcat(Variant::Null(), Variant("x")));
  EXPECT_EQ("", VarConcat(Variant(), Variant::Null()));
  EXPECT_EQ("12.5", VarConcat(I16(1), Variant(2.5)));
  EXPECT_EQ("0.3-1", VarConcat(Variant(0.1 + 0.2), I32(-1)));
  EXPECT_EQ("True2024-01-01", VarConcat(Variant(true), Variant(Date{45292})));
  EXPECT_EQ("", ConcatText(Variant::Null()));
  EXPECT_RAISES(kErrTypeMismatch, VarConcat(Variant("a"), Variant(Object())));
}

// ---------------------------------------------------------- checked ints

TEST(Checked16, CountsPastTheRangeOverflow) {
  EXPECT_EQ(32767, CheckedAdd16(32766, 1));
  EXPECT_EQ(-32768, CheckedAdd16(-32767, -1));
  EXPECT_RAISES(kErrOverflow, CheckedAdd16(32767, 1));
  EXPECT_RAISES(kErrOverflow, CheckedAdd16(-32768, -1));
  EXPECT_RAISES(kErrOverflow, CheckedInt16(40000));
  EXPECT_EQ(-32768, CheckedInt16(-32768));
  // A row counter stepping one by one stops at the last value that fits.
  int16_t counter = 0;
  int steps = 0;
  const Error e = RaisedBy([&] {
    for (int i = 0; i < 40000; ++i) {
      counter = CheckedAdd16(counter, 1);
      ++steps;
    }
  });
  EXPECT_EQ(kErrOverflow, e.number);
  EXPECT_EQ(32767, counter);
  EXPECT_EQ(32767, steps);
}

}  // namespace
}  // namespace qev
