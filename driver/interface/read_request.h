// The read path's request arithmetic for images delivered enlarged by 3/2: how long a delivered
// line is, and how many source lines one ScanRead may ask the acquisition for.
#pragma once

#include <cstdint>

namespace ordavel::interface {

// Longest delivered line the pending-line buffer holds without being enlarged.
inline constexpr int32_t kPendingLineBytes = 2600;

// Bytes of one delivered line: black and white packs eight pixels a byte, grey one; either is
// raised to a multiple of 4. Zero when there is no such length: a pixel type other than 0 or 1,
// a width of zero or less, or a length beyond the 32-bit range.
int32_t DeliveredLineBytes(int32_t pixelType, int32_t imageWidth);

struct SourceRequest {
    int32_t sourceLines = 0;  // source lines to request from the acquisition
    bool last = false;        // this request completes the image
    bool tooSmall = false;    // the destination cannot take the next step of the image
};

// Plans one read of `size` bytes with delivered lines of `outLine` bytes (> 0) made from source
// lines of `sourceLineBytes`, of an image of `imageHeight` delivered lines of which
// `linesDelivered` are already out. The source lines asked for fit the destination as they are
// stored and as they come out enlarged; a last request also holds every delivered line left.
SourceRequest PlanSourceLines(int32_t size, int32_t outLine, int32_t sourceLineBytes, int32_t imageHeight,
                              int32_t linesDelivered);

}  // namespace ordavel::interface
