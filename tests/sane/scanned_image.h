// The images scanimage writes, read back, and how they follow what was on the paper.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace ordavel::test {

// One byte per pixel, top row first; line art reads 0 for black and 255 for white.
struct GreyImage {
    int width = 0;
    int height = 0;
    int maxval = 0;  // 1 for line art (P4), 255 for grey
    std::vector<uint8_t> pixels;

    bool empty() const { return pixels.empty(); }
    uint8_t at(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
    // The mean of the rectangle [x0, x1) × [y0, y1), clipped to the image.
    double mean(int x0, int y0, int x1, int y1) const;
};

// A binary PNM (P4 line art or P5 grey) as scanimage writes it; empty when malformed.
GreyImage ParsePnm(const std::string& bytes);
// A PNG file; empty when it cannot be read.
GreyImage ReadPng(const std::string& path);

// Where the scan lay on the reference scanner's bed: the bed pixel (200 dpi) of the image's
// first column and first line, and output pixels per bed pixel (1.5 at 300 dpi).
struct BedPlacement {
    double left = 0;
    double top = 0;
    double scale = 1;
};

// How the scan follows the built-in page `pageName`, centred by the paper guide: the correlation
// with the page's reflectance, each inch of the sheet at its best vertical offset. The bottom inch of the page is left out: the driver fills the end of a sheet
// shorter than its window with white.
double PageAgreement(const GreyImage& scan, const std::string& pageName, BedPlacement where);

}  // namespace ordavel::test
