// The 3/2 enlargement of finished output lines in both directions, for requests that ask for a
// 200 dpi scan to be delivered as 300 dpi.
#pragma once

#include <cstdint>
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

// Enlarges the `bytes` bytes of whole input lines at `buffer` in place (the buffer must hold the
// enlarged result) and sets `bytes` to the bytes written. `lastCall` marks the page's last call.
bool EnlargeThreeHalves(uint8_t* buffer, int32_t& bytes, bool lastCall,
                        const EnlargementRequest& request, EnlargementCarry& carry);

}  // namespace ordavel::engine
