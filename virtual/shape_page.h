// A page drawn from simple shapes (filled rectangles, grey ramps, 1-bit glyph bitmaps) painted in
// order over a background. Sampling is exact at any point, so the ground truth has no raster of its
// own; rows are fast because shapes are indexed by horizontal bands.
#pragma once

#include <string>
#include <vector>

#include "virtual/page.h"

namespace ordavel::virtual_scanner {

struct Shape {
    enum class Kind { Solid, RampAcross, RampDown, Bitmap };
    Kind kind = Kind::Solid;
    double x0 = 0, y0 = 0, x1 = 0, y1 = 0;  // inches; x1 and y1 exclusive
    float value0 = 0;                       // solid value, ramp start, bitmap ink
    float value1 = 0;                       // ramp end
    int columns = 0, rows = 0;              // bitmap cells across the rectangle
    std::vector<uint8_t> cells;             // rows × columns, non-zero = ink (zero shows what is below)
};

class ShapePage final : public Page {
public:
    ShapePage(std::string name, double widthInches, double heightInches, float background);

    void add(Shape shape);
    void addRect(double x0, double y0, double x1, double y1, float value);
    // A rectangular outline whose strokes are `thickness` wide, drawn inside the rectangle.
    void addFrame(double x0, double y0, double x1, double y1, double thickness, float value);
    // Text in the built-in 5×7 glyphs, `cell` inches per glyph dot, top-left at (x, y).
    // Returns the width of the text in inches.
    double addText(double x, double y, const std::string& text, double cell, float ink);

    float reflectance(double x, double y, Channel channel) const override;
    void sampleRow(double y, double x0, double dx, int count, Channel channel, float* out) const override;

private:
    static constexpr double kBandInches = 0.05;
    float valueAt(const Shape& shape, double x, double y, bool& painted) const;
    void paintRow(const Shape& shape, double y, double x0, double dx, int count, float* out) const;

    float background_;
    std::vector<Shape> shapes_;
    std::vector<std::vector<uint32_t>> bands_;  // shape indices per band, in painting order
};

}  // namespace ordavel::virtual_scanner
