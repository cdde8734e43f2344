#include "utility/format_dec.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <limits>

#include "platform/dispatch.h"
#include "platform/error.h"
#include "tests/platform/runtime_expect.h"
#include "utility/activex_lib.h"

namespace qev::utility {
namespace {

struct RoundCase {
  double in;
  const char* text;  // the text form of the expected result
};

// Each case's expected result is the double nearest to `text`.
double Expected(const RoundCase& c) {
  double v = 0;
  EXPECT_TRUE(ParseNumber(c.text, &v)) << c.text;
  return v;
}

TEST(FormatDecRounding, HalfAwayFromZeroOnTheDecimalValue) {
  const RoundCase cases[] = {
      // Halves whose nearest double lies below the half: rounding the
      // binary value would go down.
      {2.675, "2.68"},      {-2.675, "-2.68"},    {1.005, "1.01"},   {-1.005, "-1.01"},
      {1.255, "1.26"},      {0.285, "0.29"},      {1.115, "1.12"},   {9.995, "10"},
      {-9.995, "-10"},      {0.995, "1"},
      // Exact halves.
      {0.125, "0.13"},      {-0.125, "-0.13"},    {0.375, "0.38"},
      // Halves whose nearest double lies above the half.
      {8.345, "8.35"},      {1234.565, "1234.57"}, {0.115, "0.12"},  {2.345, "2.35"},
      {0.005, "0.01"},      {-0.005, "-0.01"},    {123456789012.345, "123456789012.35"},
      // Plain rounding up and down, carries.
      {2.674999, "2.67"},   {-2.674999, "-2.67"}, {3.14159, "3.14"}, {99.999, "100"},
      {-0.996, "-1"},
      // Nothing to round.
      {7, "7"},             {2.5, "2.5"},         {-0.1, "-0.1"},    {12.34, "12.34"},
      {0, "0"},
  };
  for (const RoundCase& c : cases) {
    const double got = RoundDecimal2(c.in);
    EXPECT_EQ(got, Expected(c)) << "FormatDec(" << c.in << ")";
    EXPECT_EQ(FormatDouble(got), c.text) << "FormatDec(" << c.in << ")";
  }
}

TEST(FormatDecRounding, TheTrapCasesReallyDefeatBinaryRounding) {
  // Guards the table above: rounding the exact binary value of these inputs
  // (as printf does) goes down, and so does scaling by 100 for some.
  for (double v : {2.675, 1.005, 1.255, 0.285, 1.115, 9.995}) {
    char binary[32];
    std::snprintf(binary, sizeof binary, "%.2f", v);
    double rounded_binary = 0;
    ASSERT_TRUE(ParseNumber(binary, &rounded_binary));
    EXPECT_LT(rounded_binary, RoundDecimal2(v)) << v;
  }
  for (double v : {1.005, 1.255, 0.285}) EXPECT_LT(std::round(v * 100) / 100, RoundDecimal2(v)) << v;
}

TEST(FormatDecRounding, TinyValuesBecomePositiveZero) {
  for (double v : {0.004, -0.004, -0.0049999, 1e-300, -1e-300,
                   std::numeric_limits<double>::denorm_min(), -0.0}) {
    const double got = RoundDecimal2(v);
    EXPECT_EQ(got, 0.0) << v;
    EXPECT_FALSE(std::signbit(got)) << v;
    EXPECT_EQ(FormatDouble(got), "0") << v;
  }
}

TEST(FormatDecRounding, HugeAndNonFiniteValuesAreUnchanged) {
  for (double v : {1234567890123456.7, -1234567890123456.7, 1e15 + 0.125, 1e300,
                   std::numeric_limits<double>::infinity()}) {
    EXPECT_EQ(RoundDecimal2(v), v) << v;
  }
  EXPECT_TRUE(std::isnan(RoundDecimal2(std::numeric_limits<double>::quiet_NaN())));
  // At exactly 1e15 the value is an integer and stays what it is.
  EXPECT_EQ(RoundDecimal2(1e15), 1e15);
  EXPECT_EQ(RoundDecimal2(999999999999.995), 1000000000000.0);
}

TEST(FormatDecVariant, NullEmptyNumbersAndText) {
  EXPECT_TRUE(FormatDec(Variant::Null()).IsNull());

  const Variant empty = FormatDec(Variant());
  EXPECT_EQ(empty.type(), VarType::kDouble);
  EXPECT_EQ(empty.ToDouble(), 0.0);

  const Variant from_int = FormatDec(Variant(int16_t{5}));
  EXPECT_EQ(from_int.type(), VarType::kDouble);
  EXPECT_EQ(from_int.ToDouble(), 5.0);
  EXPECT_EQ(FormatDec(Variant(int32_t{-70000})).ToDouble(), -70000.0);

  EXPECT_EQ(FormatDec(Variant("2.675")).ToDouble(), 2.68);
  EXPECT_EQ(FormatDec(Variant(" -1.005 ")).ToDouble(), -1.01);
  EXPECT_EQ(FormatDec(Variant("1E2")).ToDouble(), 100.0);

  for (const char* text : {"abc", "", "1.2.3", "12 kg"})
    EXPECT_RAISES(kErrTypeMismatch, FormatDec(Variant(text))) << text;
}

TEST(FormatDecVariant, ThroughTheFunctionLibrary) {
  const Variant lib = Call(Variant(NewActiveXLib()), "Create_Func_Lib");
  const Variant rounded = Call(lib, "FormatDec", Variant(2.675));
  EXPECT_EQ(rounded.type(), VarType::kDouble);
  EXPECT_EQ(rounded.ToDouble(), 2.68);
  // Concatenated, the result shows the rounded number's text.
  EXPECT_EQ(VarConcat(Variant("qty="), rounded), "qty=2.68");
  EXPECT_EQ(VarConcat(Variant(), Call(lib, "FormatDec", Variant(-1.005))), "-1.01");

  // A quotient as the goods reports compute it (amount / quantity).
  const Variant price = VarDiv(Variant(10.0), Variant(3.0));
  EXPECT_EQ(ConcatText(Call(lib, "FormatDec", price)), "3.33");

  EXPECT_TRUE(Call(lib, "formatdec", Variant::Null()).IsNull());
  EXPECT_EQ(testing::ExpectRaised(kErrTypeMismatch, [&] { Call(lib, "FormatDec", Variant("n/a")); }).source,
            "qevActiveXLib.Func_Lib");
}

}  // namespace
}  // namespace qev::utility
