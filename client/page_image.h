// One page in memory laid out as a device-independent bitmap: the 40-byte information header,
// the palette (2 or 256 grey entries) and the pixel rows, in one zero-filled block.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "client/scan_parameters.h"

namespace mirt::client {

inline constexpr std::size_t kInfoHeaderBytes = 40;

class PageImage {
public:
    // The block for a scan with `params` whose driver reports `totalBytes` of image data; nullopt
    // when the geometry makes no sense (no rows, no data, a depth without a row layout).
    static std::optional<PageImage> Create(const ScanParameters& params, int32_t totalBytes);

    int32_t width() const { return width_; }
    int32_t height() const { return height_; }
    int32_t bitCount() const { return bitCount_; }
    int32_t paletteEntries() const { return paletteEntries_; }
    // Bytes of image data the driver is asked for (the header's image size).
    std::size_t imageSize() const { return imageSize_; }
    // Padded row size as a bitmap file counts it: (bits x width + 31) / 32 x 4.
    std::size_t fileRowBytes() const;

    std::span<uint8_t> pixels() { return std::span(block_).subspan(pixelOffset()); }
    std::span<const uint8_t> pixels() const { return std::span(block_).subspan(pixelOffset()); }
    // The header and the palette, as they go into the file after its own 14-byte header.
    std::span<const uint8_t> headerAndPalette() const { return std::span(block_).first(pixelOffset()); }

    // Swaps row i with row height - 1 - i (rows of imageSize / height bytes): the driver
    // delivers the top row first, a bitmap stores the bottom row first.
    void turnUpsideDown();

private:
    std::size_t pixelOffset() const { return kInfoHeaderBytes + static_cast<std::size_t>(paletteEntries_) * 4; }

    int32_t width_ = 0;
    int32_t height_ = 0;
    int32_t bitCount_ = 0;
    int32_t paletteEntries_ = 0;
    std::size_t imageSize_ = 0;
    std::vector<uint8_t> block_;
};

}  // namespace mirt::client
