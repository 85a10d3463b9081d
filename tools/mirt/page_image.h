// One scanned page in memory: rows top first, each padded to a multiple of 4 bytes as the driver
// delivers them; 8-bit grey or 1-bit black and white (1 = white, most significant bit first),
// with the resolution it was scanned at.
#pragma once

#include <cstdint>
#include <vector>

namespace mirt {

struct PageImage {
    int32_t width = 0;
    int32_t height = 0;
    int32_t bitsPerPixel = 8;  // 8 or 1
    int32_t rowBytes = 0;      // padded to a multiple of 4
    int32_t dpi = 200;         // written into every file format that records it
    bool jammed = false;       // the feed after it jammed: never stored as a good page
    std::vector<uint8_t> pixels;  // height x rowBytes, top row first

    static int32_t RowBytesFor(int32_t width, int32_t bitsPerPixel) {
        return (width * bitsPerPixel + 31) / 32 * 4;
    }
    const uint8_t* row(int32_t y) const { return pixels.data() + static_cast<std::size_t>(y) * rowBytes; }
};

}  // namespace mirt
