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

struct sqlite3;

namespace qev::host {

class ExactSum {
 public:
  enum class Status { kOk, kOutOfRange };

  // Adds or removes (for a sliding window frame) one value.
  Status AddInteger(int64_t value) { return Apply(value, 0, false); }
  Status AddReal(double value) { return ApplyReal(value, false); }
  Status RemoveInteger(int64_t value) { return Apply(value, 0, true); }
  Status RemoveReal(double value) { return ApplyReal(value, true); }

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

  __int128 sum_ = 0;   // the sum in units of 10^scale_
  int scale_ = 0;      // never above 0: integers are whole units
  int64_t count_ = 0;  // values in the sum (a window may remove them)
  int64_t reals_ = 0;  // of which not integers
  double special_ = 0; // infinities added (SQLite has no NaN values)
  int64_t specials_ = 0;
};

// Registers sum(x) and total(x) on `db` in place of SQLite's built-ins
// (an application function of the same name and arity overrides a built-in
// for the connection), also as window functions. sum gives NULL for no
// rows, an integer when every value was an integer (an error beyond 64
// bits, as SQLite's sum), else the nearest double to the exact sum; total
// gives 0.0 for no rows and always a double. Returns SQLite's result code.
int RegisterExactSums(sqlite3* db);

// Whether SQLite connections opened from now on get the exact sums; on by
// default. Only the benchmarks turn it off, to compare with SQLite's own
// sum on the same data.
void SetExactSqliteSums(bool on);
bool ExactSqliteSums();

}  // namespace qev::host
