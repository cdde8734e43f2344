#include "tools/rptcalc/text_width.h"

#include <algorithm>
#include <iterator>
#include <utility>

namespace rptcalc {

namespace {

using Range = std::pair<char32_t, char32_t>;

// Wide (W) and fullwidth (F) blocks of the Unicode East Asian Width
// property, coarsened to whole blocks, plus the emoji blocks that terminals
// draw two columns wide.
constexpr Range kWide[] = {
    {0x1100, 0x115F},   // Hangul Jamo initial consonants
    {0x231A, 0x231B},   {0x2329, 0x232A}, {0x23E9, 0x23EC}, {0x23F0, 0x23F0},
    {0x23F3, 0x23F3},   {0x25FD, 0x25FE}, {0x2614, 0x2615}, {0x2648, 0x2653},
    {0x267F, 0x267F},   {0x2693, 0x2693}, {0x26A1, 0x26A1}, {0x26AA, 0x26AB},
    {0x26BD, 0x26BE},   {0x26C4, 0x26C5}, {0x26CE, 0x26CE}, {0x26D4, 0x26D4},
    {0x26EA, 0x26EA},   {0x26F2, 0x26F3}, {0x26F5, 0x26F5}, {0x26FA, 0x26FA},
    {0x26FD, 0x26FD},   {0x2705, 0x2705}, {0x270A, 0x270B}, {0x2728, 0x2728},
    {0x274C, 0x274C},   {0x274E, 0x274E}, {0x2753, 0x2755}, {0x2757, 0x2757},
    {0x2795, 0x2797},   {0x27B0, 0x27B0}, {0x27BF, 0x27BF}, {0x2B1B, 0x2B1C},
    {0x2B50, 0x2B50},   {0x2B55, 0x2B55},
    {0x2E80, 0x303E},   // CJK radicals, Kangxi, ideographic description, CJK symbols
    {0x3041, 0x33FF},   // Hiragana, Katakana, Bopomofo, Hangul compatibility, CJK compatibility
    {0x3400, 0x4DBF},   // CJK extension A
    {0x4E00, 0x9FFF},   // CJK unified ideographs
    {0xA000, 0xA4CF},   // Yi
    {0xA960, 0xA97F},   // Hangul Jamo extended A
    {0xAC00, 0xD7A3},   // Hangul syllables
    {0xF900, 0xFAFF},   // CJK compatibility ideographs
    {0xFE10, 0xFE19},   // vertical forms
    {0xFE30, 0xFE6F},   // CJK compatibility forms, small form variants
    {0xFF00, 0xFF60},   // fullwidth forms
    {0xFFE0, 0xFFE6},   // fullwidth signs
    {0x16FE0, 0x18AFF}, // Tangut and friends
    {0x1B000, 0x1B2FF}, // Kana supplement and extensions, Nushu
    {0x1F004, 0x1F004}, {0x1F0CF, 0x1F0CF}, {0x1F18E, 0x1F18E}, {0x1F191, 0x1F19A},
    {0x1F200, 0x1F2FF}, // enclosed ideographic supplement
    {0x1F300, 0x1F64F}, // pictographs, emoticons
    {0x1F680, 0x1F6FF}, // transport and map symbols
    {0x1F7E0, 0x1F7EB},
    {0x1F90C, 0x1F9FF}, // supplemental symbols and pictographs
    {0x1FA70, 0x1FAFF},
    {0x20000, 0x2FFFD}, // CJK extensions B to F, compatibility supplement
    {0x30000, 0x3FFFD}, // CJK extension G and later
};

// Combining marks and other zero-width characters.
constexpr Range kZero[] = {
    {0x0300, 0x036F}, {0x0483, 0x0489}, {0x0591, 0x05BD}, {0x0610, 0x061A},
    {0x064B, 0x065F}, {0x1AB0, 0x1AFF}, {0x1DC0, 0x1DFF}, {0x200B, 0x200F},
    {0x2028, 0x202E}, {0x2060, 0x2064}, {0x20D0, 0x20FF}, {0x302A, 0x302D},
    {0x3099, 0x309A}, {0xFE00, 0xFE0F}, {0xFE20, 0xFE2F}, {0xFEFF, 0xFEFF},
    {0xE0100, 0xE01EF},
};

template <size_t N>
bool InRanges(const Range (&ranges)[N], char32_t cp) {
  const auto it = std::upper_bound(std::begin(ranges), std::end(ranges), cp,
                                   [](char32_t c, const Range& r) { return c < r.first; });
  return it != std::begin(ranges) && cp <= std::prev(it)->second;
}

// Decodes one code point at text[*pos] and advances *pos; an invalid byte
// decodes as itself (one byte, one column).
char32_t Decode(std::string_view text, size_t* pos, bool* valid) {
  const auto b0 = static_cast<unsigned char>(text[*pos]);
  int len = 0;
  char32_t cp = 0;
  if (b0 < 0x80) { len = 1; cp = b0; }
  else if ((b0 & 0xE0) == 0xC0) { len = 2; cp = b0 & 0x1F; }
  else if ((b0 & 0xF0) == 0xE0) { len = 3; cp = b0 & 0x0F; }
  else if ((b0 & 0xF8) == 0xF0) { len = 4; cp = b0 & 0x07; }
  *valid = len > 0 && *pos + len <= text.size();
  for (int i = 1; *valid && i < len; ++i) {
    const auto b = static_cast<unsigned char>(text[*pos + i]);
    if ((b & 0xC0) != 0x80) *valid = false;
    cp = (cp << 6) | (b & 0x3F);
  }
  if (!*valid) {
    ++*pos;
    return b0;
  }
  *pos += len;
  return cp;
}

}  // namespace

int CodePointWidth(char32_t cp) {
  if (cp == 0) return 0;
  if (cp < 0x20 || (cp >= 0x7F && cp < 0xA0)) return 0;  // control characters
  if (InRanges(kZero, cp)) return 0;
  if (InRanges(kWide, cp)) return 2;
  return 1;
}

int DisplayWidth(std::string_view text) {
  int width = 0;
  size_t pos = 0;
  while (pos < text.size()) {
    bool valid = true;
    const char32_t cp = Decode(text, &pos, &valid);
    width += valid ? CodePointWidth(cp) : 1;
  }
  return width;
}

std::string PadToWidth(std::string_view text, int width, bool align_right) {
  const int pad = std::max(0, width - DisplayWidth(text));
  std::string out;
  out.reserve(text.size() + pad);
  if (align_right) out.append(pad, ' ');
  out.append(text);
  if (!align_right) out.append(pad, ' ');
  return out;
}

}  // namespace rptcalc
