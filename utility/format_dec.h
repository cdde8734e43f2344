// FormatDec: the number formatting the reports apply to quantities and
// prices before they store them.
//
// A number is rounded to 2 decimal places, half away from zero, on its
// decimal value: the rounding works on the shortest decimal text that reads
// back as the same double, so 2.675 gives 2.68, -2.675 gives -2.68, 1.005
// gives 1.01 and 0.125 gives 0.13, even though the nearest doubles of those
// texts lie just below or above the halfway point. The result is the double
// nearest to the rounded decimal, so its text form (FormatDouble) shows at
// most 2 decimals. Magnitudes beyond 1e15, infinities and NaN come back
// unchanged (a double there has no reliable cents). A result of zero is
// always +0, never -0.
//
// FormatDec on a variant:
//   Empty                 -> Double 0
//   Null                  -> Null
//   integer, double, date, boolean -> its numeric value, rounded, as Double
//   text that is a number (blanks around it allowed) -> rounded, as Double
//   other text, an object -> error 13 (type mismatch)
#pragma once

#include "platform/variant.h"

namespace qev::utility {

double RoundDecimal2(double value);

Variant FormatDec(const Variant& value);

}  // namespace qev::utility
