// Page bitmaps written by the scan-to-file library, read back and judged: their file layout and
// how their pixels follow what was on the paper.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/pimlet_desk.h"

namespace ordavel::test {

// A bitmap file read back: header fields and pixels by their place on the page (top row 0).
struct Bitmap {
    std::vector<uint8_t> bytes;
    uint32_t width() const { return Le32(bytes, 18); }
    uint32_t height() const { return Le32(bytes, 22); }
    uint32_t dataOffset() const { return Le32(bytes, 10); }
    uint32_t rowBytes() const { return (bytes[28] * width() + 31) / 32 * 4; }
    uint8_t grey(uint32_t x, uint32_t y) const { return bytes[dataOffset() + (height() - 1 - y) * rowBytes() + x]; }
    bool white(uint32_t x, uint32_t y) const {
        return ((bytes[dataOffset() + (height() - 1 - y) * rowBytes() + x / 8] >> (7 - x % 8)) & 1) != 0;
    }
    double meanGrey() const {
        double sum = 0;
        for (uint32_t y = 0; y < height(); y += 4)
            for (uint32_t x = 0; x < width(); x += 4) sum += grey(x, y);
        return sum / ((height() + 3) / 4 * ((width() + 3) / 4));
    }
};

// Checks (with gtest assertions) the file layout every page bitmap shares.
void ExpectBitmapLayout(const Bitmap& bmp, uint32_t width, uint32_t height, uint32_t bits);

// For each of `pages` (grey, narrow window, scanned in this order from a feeder with the first at
// the ready position), how "<prefix>NNN.bmp" in the desk's output follows the paper: the
// correlation with the page's reflectance, 0 for a missing file.
std::vector<double> GroundTruthAgreement(const std::vector<std::string>& pages, const PimletDesk& desk,
                                         const std::string& prefix = "page");

// How a grey narrow-window page follows the built-in page `pageName` wherever the feed stopped
// the sheet: the best correlation with the reflectance over the sheet's possible vertical
// offsets. For scanners on real time, where the feed's stopping point is not reproducible.
// `reach`: the largest offset tried, in lines (a scan from the ready position on virtual time
// needs only a few).
double AlignedAgreement(const std::string& pageName, const Bitmap& bmp, int32_t reach = 400);

}  // namespace ordavel::test
