// Pages from PNG files at a stated resolution, and writing pages out as PNG images.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "virtual/page.h"

namespace ordavel::virtual_scanner {

// An image of `columns` × `rows` pixels at `dpi`; one (grey) or three (RGB) bytes per pixel. A
// pixel value v stands for the reflectance v / 255 over the whole pixel.
class RasterPage final : public Page {
public:
    RasterPage(std::string name, int columns, int rows, double dpi, int channels, std::vector<uint8_t> pixels);
    float reflectance(double x, double y, Channel channel) const override;
    void sampleRow(double y, double x0, double dx, int count, Channel channel, float* out) const override;

private:
    int columns_, rows_, channels_;
    double dpi_;
    std::vector<uint8_t> pixels_;
};

// Null on failure, with `error` saying why. Grey and colour PNG files of any bit depth are read;
// colour files stay colour, alpha is composited over white.
std::shared_ptr<const Page> LoadPngPage(const std::string& path, double dpi, std::string& error);

// Renders `page` at `dpi` (sampling each pixel centre) as an 8-bit grey PNG, or RGB for colour
// pages. False on failure, with `error` saying why.
bool WritePagePng(const Page& page, double dpi, const std::string& path, std::string& error);

}  // namespace ordavel::virtual_scanner
