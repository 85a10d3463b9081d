// The 3/2 enlargement of finished output lines in both directions, for requests that ask for a
// 200 dpi scan to be delivered as 300 dpi.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace ordavel::engine {

struct EnlargementRequest {
    int32_t pixelType = 1;       // 1: 8-bit grey, 0: 1-bit black and white; others fail
    int32_t inputLineBytes = 0;  // output bytes per line of the line output (n)
    int32_t targetWidth = 0;     // imageWidth of the request
    int32_t targetHeight = 0;    // imageHeight of the request
    int32_t windowWidth = 0;     // scanRect.right - scanRect.left
};

// What the enlargement carries from one ScanRead to the next (kept in the session).
struct EnlargementCarry {
    std::vector<uint8_t> pendingLine;  // one delivered-format line to emit first
    bool pending = false;
    int32_t enlargedLines = 0;         // lines enlarged so far on this page
    std::vector<uint8_t> scratch;      // the copy of a call's input lines, reused across calls
};

enum class EnlargeResult {
    Enlarged,     // `bytes` holds the bytes written
    NoRoom,       // the enlarged lines do not fit the destination; nothing beyond it was written
    OutOfMemory,  // the copy of the input lines could not be made
    Unsupported,  // a pixel type without an enlargement, or no input line length
};

// Enlarges the `bytes` bytes of whole input lines at the start of `destination` in place and sets
// `bytes` to the bytes written (0 unless the result is Enlarged). It never writes beyond the end
// of `destination`. `lastCall` marks the page's last call.
EnlargeResult EnlargeThreeHalves(std::span<uint8_t> destination, int32_t& bytes, bool lastCall,
                                 const EnlargementRequest& request, EnlargementCarry& carry);

}  // namespace ordavel::engine
