// The driver's page rows turned into SANE's: rows padded to four bytes become unpadded rows,
// and black-and-white pixels (1 = white from the driver) become SANE line art (1 = black).
#pragma once

#include <cstdint>
#include <vector>

namespace mirt::sane_backend {

struct DriverPage {
    int32_t width = 0;        // pixels per line as delivered
    int32_t height = 0;       // lines as delivered
    bool lineart = false;
    std::vector<uint8_t> rows;  // height rows of (width x bits + 31) / 32 x 4 bytes, top first
};

inline int32_t DriverRowBytes(int32_t width, bool lineart) { return ((lineart ? width : width * 8) + 31) / 32 * 4; }

// SANE's frame of `pixels` x `lines`: the page cropped or filled with white to that size.
std::vector<uint8_t> ToSaneFrame(const DriverPage& page, int32_t pixels, int32_t lines);

}  // namespace mirt::sane_backend
