// A small 5×7 dot font (capitals, digits, a few signs) for the text on the built-in pages.
#pragma once

#include <array>
#include <cstdint>

namespace ordavel::virtual_scanner {

inline constexpr int kGlyphColumns = 5;
inline constexpr int kGlyphRows = 7;
inline constexpr int kGlyphAdvance = 6;  // columns per character including the space after it

// Seven rows, bit 4 = leftmost column. Unknown characters are blank.
std::array<uint8_t, kGlyphRows> GlyphRows(char c);

}  // namespace ordavel::virtual_scanner
