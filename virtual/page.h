// A sheet's printed face: a physical size in inches and the reflectance (0 = black, 1 = a perfect
// white) at any point, which is both what the sensor sees and the ground truth tests compare with.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace ordavel::virtual_scanner {

enum class Channel : int { Red = 0, Green = 1, Blue = 2 };

class Page {
public:
    Page(std::string name, double widthInches, double heightInches, bool colour)
        : name_(std::move(name)), width_(widthInches), height_(heightInches), colour_(colour) {}
    virtual ~Page() = default;

    const std::string& name() const { return name_; }
    double widthInches() const { return width_; }
    double heightInches() const { return height_; }
    // Grey pages answer the same for every channel.
    bool colour() const { return colour_; }
    bool contains(double x, double y) const { return x >= 0 && y >= 0 && x < width_ && y < height_; }

    // Reflectance at (x, y) inches from the top-left corner; callers keep the point on the page.
    virtual float reflectance(double x, double y, Channel channel) const = 0;
    // `count` samples along row y at x0, x0 + dx, ...; every point must lie on the page.
    virtual void sampleRow(double y, double x0, double dx, int count, Channel channel, float* out) const;

    // The 8-bit grey value of the ground truth (reflectance × 255, rounded).
    uint8_t grey(double x, double y, Channel channel = Channel::Green) const;

private:
    std::string name_;
    double width_;
    double height_;
    bool colour_;
};

// A page seen with another length: cut off, or extended at the bottom with blank paper.
class ResizedPage final : public Page {
public:
    ResizedPage(std::shared_ptr<const Page> base, double heightInches, float blankReflectance);
    float reflectance(double x, double y, Channel channel) const override;
    void sampleRow(double y, double x0, double dx, int count, Channel channel, float* out) const override;

private:
    std::shared_ptr<const Page> base_;
    float blank_;
};

}  // namespace ordavel::virtual_scanner
