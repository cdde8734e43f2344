// FormatDec on any number: 8 input bytes are a double, other inputs a text.
// The result lies within half a cent of the number, shows at most two
// decimals and reads back as itself; rounding is idempotent, symmetric
// about zero (never -0) and never reverses the order of two numbers.
#include <cmath>
#include <cstring>
#include <string>

#include "fuzz/fuzz_check.h"
#include "platform/error.h"
#include "utility/format_dec.h"

using qev::utility::RoundDecimal2;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  double x = 0;
  const std::string text(reinterpret_cast<const char*>(data), size);
  if (size == sizeof x) {
    std::memcpy(&x, data, sizeof x);
  } else if (!qev::ParseNumber(text, &x)) {
    bool mismatch = false;
    try {
      qev::utility::FormatDec(qev::Variant(text));
    } catch (const qev::RuntimeError& e) {
      mismatch = e.number() == qev::kErrTypeMismatch;
    }
    FUZZ_CHECK(mismatch);
    return 0;
  } else {
    FUZZ_CHECK(qev::utility::FormatDec(qev::Variant(text)).ToDouble() == RoundDecimal2(x) ||
               std::isnan(x));
  }
  const double r = RoundDecimal2(x);
  if (!std::isfinite(x) || std::fabs(x) > 1e15) {
    FUZZ_CHECK(std::memcmp(&r, &x, sizeof r) == 0);
    return 0;
  }
  const double ulp = std::nextafter(std::fabs(x) + 0.01, INFINITY) - (std::fabs(x) + 0.01);
  FUZZ_CHECK(std::fabs(r - x) <= 0.005 + 2 * ulp);
  FUZZ_CHECK(qev::utility::FormatDec(qev::Variant(x)).ToDouble() == r);
  const std::string shown = qev::FormatDouble(r);
  const size_t dot = shown.find('.');
  FUZZ_CHECK(shown.find('E') == std::string::npos || r == 0 || std::fabs(r) > 1e15 - 1);
  FUZZ_CHECK(dot == std::string::npos || shown.size() - dot - 1 <= 2);
  double back = 0;
  FUZZ_CHECK(qev::ParseNumber(shown, &back) && std::fabs(back - x) <= 0.005 + 1e-14 * std::fabs(x) + 2 * ulp);
  FUZZ_CHECK(RoundDecimal2(r) == r);
  FUZZ_CHECK(!std::signbit(r) || r != 0);
  const double minus = RoundDecimal2(-x);
  FUZZ_CHECK(minus == -r && std::signbit(minus) == (r != 0 && !std::signbit(r)));
  FUZZ_CHECK(RoundDecimal2(std::nextafter(x, INFINITY)) >= r);
  return 0;
}
