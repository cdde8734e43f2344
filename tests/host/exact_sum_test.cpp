// The same sums, dates and row order on every engine: decimal amounts add
// up exactly (SQLite through the host's own sum and total), date and time
// stamp columns reach the caller as date values, rows of a statement
// without an order come sorted by value.
#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <random>

#include "host/exact_sum.h"
#include "tests/host/host_fixture.h"
#include "utility/format_dec.h"

namespace qev::host::testing {
namespace {

class ExactSumTest : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    if (IsSkipped()) return;
    // Amounts in numeric columns on the server, as they belong there.
    const std::string number = On("real", "numeric");
    Exec("create table fee (visit text, amt " + number + ", qty " + number + ", rate " + number +
         ", n integer)");
    Exec("insert into fee values ('v1', 0.1, 1.5, 0.333, 1), ('v1', 0.2, 2, 0.1, 2), "
         "('v1', -0.3, 1, 0.7, 3), ('v2', 1.005, 3, 0.1, 4), ('v2', 0.7, 1, 0.2, 5)");
  }

  double Sum(const std::string& expr, const std::string& visit) {
    return Scalar("select sum(" + expr + ") from fee where visit='" + visit + "'").ToDouble();
  }
};

INSTANTIATE_TEST_SUITE_P(Backends, ExactSumTest, ::qev::testing::AllBackends(),
                         ::qev::testing::BackendTestName);
INSTANTIATE_TEST_SUITE_P(Odbc, ExactSumTest, ::qev::testing::OdbcBackends(),
                         ::qev::testing::BackendTestName);

TEST_P(ExactSumTest, DecimalsAddUpExactly) {
  // A charge of 0.1 and 0.2 refunded by 0.3 is exactly nothing, not 5.55e-17.
  EXPECT_EQ(Sum("amt", "v1"), 0.0);
  EXPECT_EQ(Scalar("select count(*) from (select visit from fee group by visit "
                   "having sum(amt) > 0) t"),
            Variant(int32_t{1}));
  // 1.005 + 0.7 is 1.705, which shows as 1.71 with two decimals (1.70 in binary).
  EXPECT_EQ(Sum("amt", "v2"), 1.705);
  EXPECT_EQ(utility::FormatDec(Variant(Sum("amt", "v2"))).ToDouble(), 1.71);
  // Products computed by the engine count as the decimals they stand for:
  // 1.5*0.333 + 2*0.1 + 1*0.7 = 1.3995.
  EXPECT_EQ(Sum("qty*rate", "v1"), 1.3995);
  // Over the whole table, and as a running sum over a window.
  EXPECT_EQ(Scalar("select sum(amt) from fee").ToDouble(), 1.705);
  Variant rs = Open("select visit, sum(amt) over (partition by visit order by n "
                    "rows between 1 preceding and current row) as s from fee order by n");
  std::vector<double> running;
  for (; !Get(rs, "EOF").ToBool(); Call(rs, "MoveNext")) running.push_back(Call(rs, "Fields", "s").ToDouble());
  EXPECT_EQ(running, (std::vector<double>{0.1, 0.3, -0.1, 1.005, 1.705}));
  // Integers stay integers; no rows give NULL.
  EXPECT_EQ(Scalar("select sum(n) from fee"), Variant(int32_t{15}));
  EXPECT_TRUE(Scalar("select sum(amt) from fee where visit='none'").IsNull());
}

TEST_P(ExactSumTest, ArithmeticOfTheEngineIsExactToo) {
  // An update adding and subtracting amounts in the engine, as the
  // cashier's sheet sets hjamt, figures that cancel (0.0999999940395355 in
  // binary), and a product (0.49950000000000006 in binary), beside
  // stronger operators and a function.
  Exec("update fee set rate = amt + 123456789.12 - 123456789.12, qty = qty * 0.333 where n = 1");
  Variant rs = Open("select rate, qty, amt + 0.2 as s, 1 + n * 2 - abs(n) + n as p from fee where n = 1");
  EXPECT_EQ(Call(rs, "Fields", "rate"), Variant(0.1));
  EXPECT_EQ(Call(rs, "Fields", "qty"), Variant(0.4995));
  EXPECT_EQ(Call(rs, "Fields", "s"), Variant(0.3));
  EXPECT_EQ(Call(rs, "Fields", "p"), Variant(int32_t{3}));
  if (GetParam() == ::qev::testing::Backend::kSqlite) {
    EXPECT_EQ(ExactArithmetic("update t set h=a+b-0.5  where x='a-b' and y=c.d - -e"),
              "update t set h=qev_add(a,b,-0.5)  where x='a-b' and y=c.d - -e");
    EXPECT_EQ(ExactArithmetic("select a + b * c, f(a) - b, x - y from t"),
              "select a + b * c, f(a) - b, qev_add(x,-y) from t");
    EXPECT_EQ(ExactArithmetic("create view v as select a + b from t"), "");
  }
}

TEST_P(ExactSumTest, DateColumnsGiveDateValuesAndTextColumnsText) {
  Exec(On("create table stamps (ts timestamp, dt datetime, d date, t text)",
          "create table stamps (ts timestamp, dt timestamp, d date, t text)"));
  Exec("insert into stamps values ('2024-03-01 00:00:00', '2024-03-31 23:59:59', '2024-02-29', "
       "'2024-03-01 00:00:00')");
  Exec("create view stamps_v as select ts, dt, d, t from stamps");
  for (const char* from : {"stamps", "stamps_v"}) {
    SCOPED_TRACE(from);
    Variant rs = Open(std::string("select * from ") + from);
    EXPECT_EQ(Call(rs, "Fields", "ts"), Variant(MakeDate({2024, 3, 1})));
    EXPECT_EQ(ConcatText(Call(rs, "Fields", "ts")), "2024-03-01");
    EXPECT_EQ(ConcatText(Call(rs, "Fields", "dt")), "2024-03-31 23:59:59");
    EXPECT_EQ(ConcatText(Call(rs, "Fields", "d")), "2024-02-29");
    // A text column that merely holds a date stays text.
    EXPECT_EQ(Call(rs, "Fields", "t"), Variant("2024-03-01 00:00:00"));
  }
}

TEST_P(ExactSumTest, RowsWithoutAnOrderComeSortedByValue) {
  Exec("create table k (name text, n integer)");
  Exec("insert into k values ('阿莫西林', 3), ('b', 1), ('B', 2), ('10', 4), ('9', 5), (null, 6)");
  Exec("update k set n = n + 10 where name in ('b', '10')");  // moves rows on a server's disk
  auto column = [&](const std::string& sql) {
    std::vector<std::string> out;
    Variant rs = Open(sql);
    for (; !Get(rs, "EOF").ToBool(); Call(rs, "MoveNext")) out.push_back(ConcatText(Call(rs, "Fields", int16_t{0})));
    return out;
  };
  // NULL first, then texts by their bytes, whatever the collation.
  const std::vector<std::string> by_bytes = {"", "10", "9", "B", "b", "阿莫西林"};
  EXPECT_EQ(column("select name, n from k"), by_bytes);
  EXPECT_EQ(column("select name, sum(n) from k group by name"), by_bytes);
  EXPECT_EQ(column("select name from (select name, n from k order by n) t"), by_bytes);
  // A statement's own order stays.
  EXPECT_EQ(column("select n from k order by n desc"),
            (std::vector<std::string>{"14", "11", "6", "5", "3", "2"}));
}

// SQLite alone: what the exact sums refuse, and total().
TEST_F(SqliteHostTest, ExactSumsRefuseRatherThanRound) {
  if (IsSkipped()) return;
  Exec("create table v (x)");
  EXPECT_EQ(Scalar("select total(x) from v"), Variant(0.0));
  Exec("insert into v values (9223372036854775807), (1)");
  ExpectRaised(kErrDatabase, [&] { Scalar("select sum(x) from v"); }, "integer overflow");
  EXPECT_EQ(Scalar("select total(x) from v"), Variant(9223372036854775808.0));
  Exec("delete from v");
  Exec("insert into v values (1e300), (0.1)");
  ExpectRaised(kErrDatabase, [&] { Scalar("select sum(x) from v"); }, "exact range");
}

// The 15-digit decimal of a double: the fast path agrees with the exact
// decimal rounding of the binary value over every magnitude, and so does
// the number the engines hand out (whole numbers as they are).
TEST(ExactSumDecimal, AgreesWithExactRounding) {
  std::mt19937_64 rng(7);
  std::uniform_int_distribution<int> exp(-40, 40);
  std::uniform_int_distribution<int64_t> digits(1, 999999999999999);
  for (int i = 0; i < 200000; ++i) {
    double value;
    if (i % 2) {
      // A short decimal, as amounts are typed.
      value = static_cast<double>(digits(rng) % 100000000) / std::pow(10.0, i % 7);
    } else {
      value = std::ldexp(static_cast<double>(rng() >> 11), exp(rng) - 53);
    }
    if (i % 3 == 0) value = -value;
    char buf[48];
    auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific, 14);
    double expected = 0;
    std::from_chars(buf, res.ptr, expected);
    int64_t m = 0;
    int e = 0;
    ASSERT_TRUE(ExactSum::Decimal15(value, &m, &e));
    ASSERT_TRUE(m == 0 || m % 10 != 0) << value;  // trailing zeros dropped
    ExactSum one;
    one.AddReal(value);
    ASSERT_EQ(one.AsDouble(), expected) << std::string(buf, res.ptr);
    ASSERT_EQ(AtFifteenDigits(value), value == std::trunc(value) ? value : expected) << value;
  }
}

// Sums of mixed decimals against a plain reference: every value's 15-digit
// decimal (from the exact decimal rounding) added at the fixed unit 10^-20.
TEST(ExactSumDecimal, SumsAgreeWithAFixedPointReference) {
  std::mt19937_64 rng(11);
  auto decimal15_at_1e20 = [](double v) {
    char buf[48];
    auto res = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::scientific, 14);
    const std::string text(buf, res.ptr);
    const size_t e = text.find('e');
    __int128 m = 0;
    for (size_t i = 0; i < e; ++i)
      if (text[i] >= '0' && text[i] <= '9') m = m * 10 + (text[i] - '0');
    int exp10 = std::stoi(text.substr(e + 1)) - 14 + 20;  // 15 digits, at 10^-20
    for (; exp10 > 0; --exp10) m *= 10;
    for (; exp10 < 0; ++exp10) m /= 10;  // values here need no place finer than 10^-20
    return v < 0 ? -m : m;
  };
  for (int round = 0; round < 3000; ++round) {
    ExactSum sum;
    __int128 reference = 0;
    const int n = 1 + static_cast<int>(rng() % 40);
    for (int i = 0; i < n; ++i) {
      double v;
      switch (rng() % 4) {
        case 0: v = static_cast<double>(static_cast<int64_t>(rng() % 20000000) - 5000000) / 100; break;
        case 1: v = static_cast<double>(static_cast<int64_t>(rng() % 2000000)) / 1000; break;
        case 2: v = static_cast<double>(rng() % 100000) / 100000.0 * 0.3; break;  // 15 digits
        default: v = static_cast<double>(static_cast<int64_t>(rng() % 2000) - 1000); break;
      }
      ASSERT_EQ(sum.AddReal(v), ExactSum::Status::kOk);
      reference += decimal15_at_1e20(v);
    }
    // The reference as text, read back correctly rounded.
    const bool negative = reference < 0;
    unsigned __int128 mag = negative ? -static_cast<unsigned __int128>(reference) : reference;
    std::string digits;
    do digits.insert(digits.begin(), static_cast<char>('0' + static_cast<int>(mag % 10)));
    while ((mag /= 10) != 0);
    double expected = 0;
    const std::string text = digits + "e-20";
    std::from_chars(text.data(), text.data() + text.size(), expected);
    ASSERT_EQ(sum.AsDouble(), negative ? -expected : expected) << round;
  }
}

}  // namespace
}  // namespace qev::host::testing
