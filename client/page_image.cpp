// Laying out the page image.
#include "client/page_image.h"

#include <algorithm>

namespace mirt::client {

namespace {

// Beyond any page the two windows can give (2130 x 2838 at 8 bits is 6 MB).
constexpr int64_t kLargestImage = 256LL << 20;

void Put32(std::vector<uint8_t>& block, std::size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i) block[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

void Put16(std::vector<uint8_t>& block, std::size_t at, uint16_t value) {
    block[at] = static_cast<uint8_t>(value);
    block[at + 1] = static_cast<uint8_t>(value >> 8);
}

int64_t RowBytes(int32_t width, int32_t pixelType) {
    const int64_t bytes = pixelType == 0 ? (int64_t{width} + 7) / 8 : width;
    return (bytes + 3) / 4 * 4;
}

}  // namespace

std::optional<PageImage> PageImage::Create(const ScanParameters& params, int32_t totalBytes) {
    PageImage page;
    const bool enlarged = params.res != 0;
    page.width_ = enlarged ? params.imageWidth : params.scanRectRight - params.scanRectLeft;
    page.height_ = enlarged ? params.imageHeight : params.scanRectBottom - params.scanRectTop;
    page.bitCount_ = params.bitDepth;
    page.paletteEntries_ = page.bitCount_ >= 1 && page.bitCount_ <= 8 ? 1 << page.bitCount_ : 0;
    const int64_t imageSize = enlarged ? int64_t{params.imageHeight} * RowBytes(params.imageWidth, params.pixelType)
                                       : int64_t{totalBytes};
    if (page.width_ <= 0 || page.height_ <= 0 || page.bitCount_ <= 0 || page.bitCount_ > 32 || imageSize <= 0 ||
        imageSize > kLargestImage) {
        return std::nullopt;
    }
    page.imageSize_ = static_cast<std::size_t>(imageSize);
    // The file takes fileRowBytes() x height bytes whatever the driver reported, so the block
    // holds at least that much (zero where the driver delivered less) and the writer never reads
    // past it.
    const int64_t fileBytes = int64_t{page.height_} * static_cast<int64_t>(page.fileRowBytes());
    if (fileBytes > kLargestImage) return std::nullopt;
    const std::size_t pixelBytes = std::max(page.imageSize_, static_cast<std::size_t>(fileBytes));
    page.block_.assign(page.pixelOffset() + pixelBytes, 0);

    Put32(page.block_, 0, kInfoHeaderBytes);
    Put32(page.block_, 4, static_cast<uint32_t>(page.width_));
    Put32(page.block_, 8, static_cast<uint32_t>(page.height_));
    Put16(page.block_, 12, 1);
    Put16(page.block_, 14, static_cast<uint16_t>(page.bitCount_));
    Put32(page.block_, 16, 0);
    Put32(page.block_, 20, static_cast<uint32_t>(page.imageSize_));
    Put32(page.block_, 24, 0);
    Put32(page.block_, 28, 0);
    Put32(page.block_, 32, static_cast<uint32_t>(page.paletteEntries_));
    Put32(page.block_, 36, static_cast<uint32_t>(page.paletteEntries_));
    // Two entries: black and white; 256: a grey ramp. Every byte of an entry carries the level.
    for (int32_t i = 0; i < page.paletteEntries_; ++i) {
        const uint8_t level = page.paletteEntries_ == 2 ? static_cast<uint8_t>(i == 0 ? 0 : 255)
                                                        : static_cast<uint8_t>(i * 255 / (page.paletteEntries_ - 1));
        std::fill_n(page.block_.begin() + static_cast<std::ptrdiff_t>(kInfoHeaderBytes + 4 * static_cast<std::size_t>(i)), 4, level);
    }
    return page;
}

std::size_t PageImage::fileRowBytes() const {
    return static_cast<std::size_t>((int64_t{bitCount_} * width_ + 31) / 32 * 4);
}

void PageImage::turnUpsideDown() {
    const std::size_t row = imageSize_ / static_cast<std::size_t>(height_);
    if (row == 0) return;
    auto data = pixels();
    for (int32_t top = 0, bottom = height_ - 1; top < bottom; ++top, --bottom) {
        std::swap_ranges(data.begin() + static_cast<std::ptrdiff_t>(row * static_cast<std::size_t>(top)),
                         data.begin() + static_cast<std::ptrdiff_t>(row * static_cast<std::size_t>(top + 1)),
                         data.begin() + static_cast<std::ptrdiff_t>(row * static_cast<std::size_t>(bottom)));
    }
}

}  // namespace mirt::client
