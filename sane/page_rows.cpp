// The driver's rows in SANE's formats.
#include "sane/page_rows.h"

#include <algorithm>
#include <cstring>

namespace mirt::sane_backend {

std::vector<uint8_t> ToSaneFrame(const DriverPage& page, int32_t pixels, int32_t lines) {
    const std::size_t saneRow = static_cast<std::size_t>(page.lineart ? (pixels + 7) / 8 : pixels);
    const std::size_t driverRow = static_cast<std::size_t>(DriverRowBytes(page.width, page.lineart));
    // White: 0 in SANE line art, 255 in grey. A frame larger than the page (the driver delivered
    // fewer lines or pixels than it was asked for) is filled with white, as the scanner fills the
    // end of a short sheet.
    std::vector<uint8_t> frame(saneRow * static_cast<std::size_t>(lines), page.lineart ? 0x00 : 0xFF);
    const int32_t copyLines = std::min(lines, page.height);
    const std::size_t available = page.rows.size();
    if (page.lineart) {
        const int32_t copyPixels = std::min(pixels, page.width);
        const std::size_t fullBytes = static_cast<std::size_t>(copyPixels / 8);
        const int tailBits = copyPixels % 8;
        for (int32_t y = 0; y < copyLines; ++y) {
            const std::size_t at = static_cast<std::size_t>(y) * driverRow;
            if (at + driverRow > available) break;
            const uint8_t* in = page.rows.data() + at;
            uint8_t* out = frame.data() + static_cast<std::size_t>(y) * saneRow;
            for (std::size_t i = 0; i < fullBytes; ++i) out[i] = static_cast<uint8_t>(~in[i]);
            if (tailBits != 0) {
                // Only the pixels of the line; the bits after the last one stay 0 (white).
                const uint8_t mask = static_cast<uint8_t>(0xFF << (8 - tailBits));
                out[fullBytes] = static_cast<uint8_t>(~in[fullBytes] & mask);
            }
        }
    } else {
        const std::size_t copyBytes = static_cast<std::size_t>(std::min(pixels, page.width));
        for (int32_t y = 0; y < copyLines; ++y) {
            const std::size_t at = static_cast<std::size_t>(y) * driverRow;
            if (at + driverRow > available) break;
            std::memcpy(frame.data() + static_cast<std::size_t>(y) * saneRow, page.rows.data() + at, copyBytes);
        }
    }
    return frame;
}

}  // namespace mirt::sane_backend
