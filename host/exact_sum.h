// Exact sums for the SQLite engine.
//
// SQLite stores no decimals: an amount of 0.1 is the binary double nearest
// to it, and SQLite's own sum() adds those doubles in binary, so that
// 0.1 + 0.2 - 0.3 comes out as 5.55e-17 where a server's numeric column
// gives 0. A report that tests a sum for zero or by its sign then counts
// differently on the two engines.
//
// ExactSum adds the values as the decimals they stand for instead: each
// double is taken at 15 significant digits (the digits a double holds
// faithfully, so 0.1 is 0.1 and a product 1.5 * 0.333 computed in binary is
// 0.4995), each integer as it is, and the decimals are added exactly in a
// checked 128-bit integer scaled by a power of ten. The result is the
// double nearest to the exact sum, or an integer when every value was one.
//
// Why 128-bit integers and no multiple-precision library: a sum of
// 15-digit decimals needs as many digits as lie between its largest value
// and its finest decimal place. 38 digits cover hospital figures (amounts
// up to 10^15 with any decimals down to 10^-20) with room to spare, the
// arithmetic stays in registers without allocation on the per-row path,
// and the host takes on no new dependency. A sum that would need more
// digits is refused with an error rather than rounded.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

struct sqlite3;

namespace qev::host {

class ExactSum {
 public:
  enum class Status { kOk, kOutOfRange };

  // Powers of ten that a double holds exactly.
  static constexpr double kExactPow10[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                           1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                           1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

  // Adds or removes (for a sliding window frame) one value.
  Status AddInteger(int64_t value) { return Apply(value, 0, false); }
  Status AddReal(double value) {
    return AddAtScale(value, false) ? Status::kOk : ApplyReal(value, false);
  }
  Status RemoveInteger(int64_t value) { return Apply(value, 0, true); }
  Status RemoveReal(double value) {
    return AddAtScale(value, true) ? Status::kOk : ApplyReal(value, true);
  }

  // True while no value (other than NULL) has been added.
  bool empty() const { return count_ == 0; }
  // True when every value added was an integer.
  bool all_integers() const { return reals_ == 0; }

  // The exact sum as an integer; nullopt when it does not fit 64 bits or
  // is not whole.
  std::optional<int64_t> AsInteger() const;
  // The double nearest to the exact sum.
  double AsDouble() const;

  // The decimal that `value` stands for at 15 significant digits:
  // value ~ mantissa * 10^exponent with trailing zeros of the mantissa
  // dropped; false for infinities and NaN.
  static bool Decimal15(double value, int64_t* mantissa, int* exponent);

 private:
  Status Apply(int64_t mantissa, int exponent, bool remove);
  Status ApplyReal(double value, bool remove);

  // The path of nearly every value: when `value` is, to 15 digits, a whole
  // number of the sum's present unit 10^scale_, adds that number and
  // returns true. value * 10^-scale_ is one correctly rounded product of
  // exact operands; when it lies within 2^-52 (relative) of an integer r
  // of at most 15 digits, `value` lies within 3.4e-16 of r * 10^scale_,
  // nearer than half a step of 15 significant digits, so that is its
  // 15-digit decimal. Anything else (a finer decimal, more digits, an
  // infinity) takes the full path.
  bool AddAtScale(double value, bool remove) {
    if (scale_ < -22) return false;
    const double q = value * kExactPow10[-scale_];
    if (!(q > -1e15 && q < 1e15)) return false;
    const double r = (q + 0x1.8p52) - 0x1.8p52;  // q rounded to an integer (|q| < 2^51)
    const double off = q - r;
    const double tolerance = (r < 0 ? -r : r) * 0x1p-52;
    if (off > tolerance || -off > tolerance) return false;
    const __int128 units = static_cast<int64_t>(r);
    __int128 sum;
    if (remove ? __builtin_sub_overflow(sum_, units, &sum) : __builtin_add_overflow(sum_, units, &sum))
      return false;  // the full path reports it
    sum_ = sum;
    const int64_t step = remove ? -1 : 1;
    count_ += step;
    reals_ += step;
    return true;
  }

  __int128 sum_ = 0;   // the sum in units of 10^scale_
  int scale_ = 0;      // never above 0: integers are whole units
  int64_t count_ = 0;  // values in the sum (a window may remove them)
  int64_t reals_ = 0;  // of which not integers
  double special_ = 0; // infinities added (SQLite has no NaN values)
  int64_t specials_ = 0;
};

// The number the engines hand to the reports for a floating value: the
// double nearest to the decimal that `value` stands for at 15 significant
// digits; `value` itself when it is that double already, a whole number
// (which a double holds exactly up to 2^53, and beyond it no decimal
// places are left to tidy), an infinity or NaN. SQLite multiplies in
// binary where a server computes numeric columns exactly (a view's
// Qty * JhPrice: 1.5 * 0.333 is 0.49950000000000006 on SQLite, 0.4995 on
// PostgreSQL). Every engine hands out its floating and decimal values at
// 15 digits, so such noise in the last bits reads alike, and a server's
// figures, which a double holds to 15 digits, stay as they are.
double AtFifteenDigits(double value);

// SQLite adds and subtracts in binary within a statement as well, and
// 15 digits do not hide figures that cancel: 789.26 - 716.19 is
// 73.0699999999999 there. The host therefore writes every chain of
// additions and subtractions of plain operands (columns and number
// literals: hjamt=skamt+xjamt-qtamt) as a call of its exact qev_add
// (hjamt=qev_add(skamt,xjamt,-qtamt)), which adds the operands as sum()
// does: NULL when one is NULL, an integer when all are, else the double
// nearest the exact sum. A chain beside a stronger operator (*, /, %, ||)
// or a function call keeps SQLite's arithmetic for that part. This returns
// the statement so written, or "" when it holds no such chain or is no
// query or change of rows (a view's definition keeps SQLite's own text).
std::string ExactArithmetic(std::string_view sql);

// Registers sum(x) and total(x) on `db` in place of SQLite's built-ins
// (an application function of the same name and arity overrides a built-in
// for the connection), also as window functions. sum gives NULL for no
// rows, an integer when every value was an integer (an error beyond 64
// bits, as SQLite's sum), else the nearest double to the exact sum; total
// gives 0.0 for no rows and always a double; and qev_add (ExactArithmetic).
// Returns SQLite's result code.
int RegisterExactSums(sqlite3* db);

// Whether SQLite connections opened from now on get the exact sums; on by
// default. Only the benchmarks turn it off, to compare with SQLite's own
// sum on the same data.
void SetExactSqliteSums(bool on);
bool ExactSqliteSums();

}  // namespace qev::host
