#include "utility/format_dec.h"

#include <charconv>
#include <cmath>
#include <string>

#include "platform/error.h"

namespace qev::utility {

namespace {

constexpr double kLargestRounded = 1e15;

// Adds one unit in the last place of a decimal text of digits and one '.',
// carrying to the left ("9.99" -> "10.00").
void IncrementLastDigit(std::string* text) {
  for (size_t i = text->size(); i-- > 0;) {
    char& c = (*text)[i];
    if (c == '.') continue;
    if (c != '9') {
      ++c;
      return;
    }
    c = '0';
  }
  text->insert(text->begin(), '1');
}

}  // namespace

double RoundDecimal2(double value) {
  if (!std::isfinite(value) || std::fabs(value) > kLargestRounded) return value;
  const bool negative = std::signbit(value);
  // Shortest fixed-notation text that reads back as the same double. The
  // smallest subnormal needs about 330 characters.
  char buf[512];
  const auto written = std::to_chars(buf, buf + sizeof buf, std::fabs(value),
                                     std::chars_format::fixed);
  if (written.ec != std::errc()) return value;  // cannot happen with this buffer
  std::string text(buf, written.ptr);
  const size_t dot = text.find('.');
  double magnitude;
  if (dot == std::string::npos || text.size() - dot - 1 <= 2) {
    magnitude = std::fabs(value);  // already has at most 2 decimals
  } else {
    // Half away from zero on the magnitude: the third decimal decides.
    const bool up = text[dot + 3] >= '5';
    text.resize(dot + 3);
    if (up) IncrementLastDigit(&text);
    const auto parsed = std::from_chars(text.data(), text.data() + text.size(), magnitude);
    if (parsed.ec != std::errc()) return value;  // cannot happen: plain digits
  }
  if (magnitude == 0) return 0.0;
  return negative ? -magnitude : magnitude;
}

Variant FormatDec(const Variant& value) {
  switch (value.type()) {
    case VarType::kNull:
      return Variant::Null();
    case VarType::kString: {
      double number;
      if (!ParseNumber(value.string(), &number))
        Raise(kErrTypeMismatch, "Type mismatch: FormatDec needs a number, not the text \"" +
                                    value.string() + "\"");
      return Variant(RoundDecimal2(number));
    }
    case VarType::kObject:
      Raise(kErrTypeMismatch, "Type mismatch: FormatDec needs a number, not an object");
    default:
      return Variant(RoundDecimal2(value.ToDouble()));
  }
}

}  // namespace qev::utility
