// Checked 16-bit integer arithmetic: the row loops and item counters of the
// reports are signed 16-bit, and a count past 32,767 is an overflow error,
// not a wrap-around.
#pragma once

#include <cstdint>
#include <limits>

#include "platform/error.h"

namespace qev {

inline int16_t CheckedInt16(int64_t value) {
  if (value < std::numeric_limits<int16_t>::min() || value > std::numeric_limits<int16_t>::max())
    Raise(kErrOverflow);
  return static_cast<int16_t>(value);
}

inline int16_t CheckedAdd16(int16_t a, int16_t b) {
  return CheckedInt16(static_cast<int64_t>(a) + b);
}

}  // namespace qev
