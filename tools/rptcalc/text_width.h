// Display width of UTF-8 text on a terminal: East Asian wide and fullwidth
// characters (Chinese, Japanese, Korean, fullwidth forms) take two columns,
// combining marks and control characters none, everything else one.
#pragma once

#include <string>
#include <string_view>

namespace rptcalc {

// Columns taken by one code point.
int CodePointWidth(char32_t cp);

// Columns taken by `text`. Bytes that are not valid UTF-8 count one column
// each.
int DisplayWidth(std::string_view text);

// `text` padded with blanks to `width` columns, on the right (left-aligned)
// or on the left (right-aligned). Text already as wide is returned as is.
std::string PadToWidth(std::string_view text, int width, bool align_right);

}  // namespace rptcalc
