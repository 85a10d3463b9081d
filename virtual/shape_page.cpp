// Shape pages: painting rectangles, ramps and glyph bitmaps by bands.
#include "virtual/shape_page.h"

#include <algorithm>
#include <cmath>

#include "virtual/glyphs.h"

namespace ordavel::virtual_scanner {

ShapePage::ShapePage(std::string name, double widthInches, double heightInches, float background)
    : Page(std::move(name), widthInches, heightInches, false),
      background_(background),
      bands_(static_cast<std::size_t>(std::ceil(heightInches / kBandInches)) + 1) {}

void ShapePage::add(Shape shape) {
    if (shape.x1 <= shape.x0 || shape.y1 <= shape.y0) return;
    const auto index = static_cast<uint32_t>(shapes_.size());
    const auto last = static_cast<long>(bands_.size()) - 1;
    const long first = std::clamp(static_cast<long>(std::floor(shape.y0 / kBandInches)), 0L, last);
    const long end = std::clamp(static_cast<long>(std::floor(shape.y1 / kBandInches)), 0L, last);
    for (long b = first; b <= end; ++b) bands_[static_cast<std::size_t>(b)].push_back(index);
    shapes_.push_back(std::move(shape));
}

void ShapePage::addRect(double x0, double y0, double x1, double y1, float value) {
    Shape s;
    s.x0 = x0, s.y0 = y0, s.x1 = x1, s.y1 = y1, s.value0 = value;
    add(std::move(s));
}

void ShapePage::addFrame(double x0, double y0, double x1, double y1, double thickness, float value) {
    addRect(x0, y0, x1, y0 + thickness, value);
    addRect(x0, y1 - thickness, x1, y1, value);
    addRect(x0, y0, x0 + thickness, y1, value);
    addRect(x1 - thickness, y0, x1, y1, value);
}

double ShapePage::addText(double x, double y, const std::string& text, double cell, float ink) {
    if (text.empty()) return 0;
    Shape s;
    s.kind = Shape::Kind::Bitmap;
    s.columns = static_cast<int>(text.size()) * kGlyphAdvance;
    s.rows = kGlyphRows;
    s.cells.assign(static_cast<std::size_t>(s.columns * s.rows), 0);
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto glyph = GlyphRows(text[i]);
        for (int r = 0; r < kGlyphRows; ++r) {
            for (int c = 0; c < kGlyphColumns; ++c) {
                if (glyph[static_cast<std::size_t>(r)] & (0x10 >> c)) {
                    s.cells[static_cast<std::size_t>(r * s.columns) + i * kGlyphAdvance + static_cast<std::size_t>(c)] = 1;
                }
            }
        }
    }
    s.x0 = x, s.y0 = y;
    s.x1 = x + cell * s.columns;
    s.y1 = y + cell * s.rows;
    s.value0 = ink;
    const double width = s.x1 - s.x0;
    add(std::move(s));
    return width;
}

float ShapePage::valueAt(const Shape& shape, double x, double y, bool& painted) const {
    painted = true;
    switch (shape.kind) {
        case Shape::Kind::Solid: return shape.value0;
        case Shape::Kind::RampAcross:
            return shape.value0 + (shape.value1 - shape.value0) * static_cast<float>((x - shape.x0) / (shape.x1 - shape.x0));
        case Shape::Kind::RampDown:
            return shape.value0 + (shape.value1 - shape.value0) * static_cast<float>((y - shape.y0) / (shape.y1 - shape.y0));
        case Shape::Kind::Bitmap: {
            const int c = std::min(shape.columns - 1, static_cast<int>((x - shape.x0) / (shape.x1 - shape.x0) * shape.columns));
            const int r = std::min(shape.rows - 1, static_cast<int>((y - shape.y0) / (shape.y1 - shape.y0) * shape.rows));
            painted = shape.cells[static_cast<std::size_t>(r * shape.columns + c)] != 0;
            return shape.value0;
        }
    }
    return background_;
}

float ShapePage::reflectance(double x, double y, Channel) const {
    const auto band = std::min(bands_.size() - 1, static_cast<std::size_t>(std::max(0.0, y / kBandInches)));
    const auto& indices = bands_[band];
    for (auto it = indices.rbegin(); it != indices.rend(); ++it) {
        const Shape& s = shapes_[*it];
        if (x < s.x0 || x >= s.x1 || y < s.y0 || y >= s.y1) continue;
        bool painted = false;
        const float v = valueAt(s, x, y, painted);
        if (painted) return v;
    }
    return background_;
}

// The samples i whose x = x0 + dx·i lie in [a, b), computed with the same expression the point
// lookup uses so that rows and single points always agree.
static void indexRange(double a, double b, double x0, double dx, int count, int& first, int& end) {
    auto at = [&](long i) { return x0 + dx * static_cast<double>(i); };
    long f = static_cast<long>(std::ceil((a - x0) / dx));
    while (f > 0 && at(f - 1) >= a) --f;
    while (at(f) < a) ++f;
    long e = static_cast<long>(std::ceil((b - x0) / dx));
    while (e > f && at(e - 1) >= b) --e;
    while (at(e) < b) ++e;
    first = static_cast<int>(std::clamp(f, 0L, static_cast<long>(count)));
    end = static_cast<int>(std::clamp(e, 0L, static_cast<long>(count)));
}

void ShapePage::paintRow(const Shape& s, double y, double x0, double dx, int count, float* out) const {
    int first = 0, end = 0;
    indexRange(s.x0, s.x1, x0, dx, count, first, end);
    if (first >= end) return;
    switch (s.kind) {
        case Shape::Kind::Solid: std::fill(out + first, out + end, s.value0); return;
        case Shape::Kind::RampDown: {
            bool painted = false;
            std::fill(out + first, out + end, valueAt(s, x0, y, painted));
            return;
        }
        case Shape::Kind::RampAcross:
        case Shape::Kind::Bitmap:
            for (int i = first; i < end; ++i) {
                bool painted = false;
                const float v = valueAt(s, x0 + dx * i, y, painted);
                if (painted) out[i] = v;
            }
            return;
    }
}

void ShapePage::sampleRow(double y, double x0, double dx, int count, Channel, float* out) const {
    std::fill(out, out + count, background_);
    const auto band = std::min(bands_.size() - 1, static_cast<std::size_t>(std::max(0.0, y / kBandInches)));
    for (uint32_t index : bands_[band]) {
        const Shape& s = shapes_[index];
        if (y < s.y0 || y >= s.y1) continue;
        paintRow(s, y, x0, dx, count, out);
    }
}

}  // namespace ordavel::virtual_scanner
