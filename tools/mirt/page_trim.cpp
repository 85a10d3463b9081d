// The trim.
#include "tools/mirt/page_trim.h"

#include <algorithm>

namespace mirt {

namespace {

bool RowIsFillWhite(const PageImage& page, int32_t y) {
    const uint8_t* row = page.row(y);
    if (page.bitsPerPixel == 8) return std::all_of(row, row + page.width, [](uint8_t v) { return v == 0xFF; });
    const int32_t wholeBytes = page.width / 8;
    if (!std::all_of(row, row + wholeBytes, [](uint8_t v) { return v == 0xFF; })) return false;
    const int32_t rest = page.width % 8;
    if (rest == 0) return true;
    const auto mask = static_cast<uint8_t>(0xFF << (8 - rest));
    return (row[wholeBytes] & mask) == mask;
}

}  // namespace

void TrimWhiteBelowSheet(PageImage& page) {
    int32_t height = page.height;
    while (height > 1 && RowIsFillWhite(page, height - 1)) --height;
    page.height = height;
    page.pixels.resize(static_cast<std::size_t>(height) * static_cast<std::size_t>(page.rowBytes));
}

}  // namespace mirt
