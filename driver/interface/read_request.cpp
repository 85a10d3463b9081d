// Request arithmetic of the enlarging read path.
#include "driver/interface/read_request.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace ordavel::interface {

int32_t DeliveredLineBytes(int32_t pixelType, int32_t imageWidth) {
    if (imageWidth <= 0) return 0;
    int64_t bytes = 0;
    if (pixelType == 0) {
        bytes = (int64_t{imageWidth} + 7) / 8;
    } else if (pixelType == 1) {
        bytes = imageWidth;
    } else {
        return 0;
    }
    bytes = (bytes + 3) / 4 * 4;
    if (bytes > std::numeric_limits<int32_t>::max()) return 0;
    return static_cast<int32_t>(bytes);
}

SourceRequest PlanSourceLines(int32_t size, int32_t outLine, int32_t sourceLineBytes, int32_t imageHeight,
                              int32_t linesDelivered) {
    SourceRequest request;
    const int32_t fit = size > 0 && outLine > 0 ? size / outLine : 0;
    // The acquisition stores the source lines in the caller's buffer before they are enlarged
    // there: no more may be asked for than it holds, or fewer would arrive than were planned.
    const int32_t sourceRoom = size > 0 && sourceLineBytes > 0 ? size / sourceLineBytes : 0;
    int32_t src = static_cast<int32_t>(int64_t{4} * fit / 9);
    // Two source lines enlarge to exactly three delivered lines, so a destination of three or
    // four lines can take two. Without this a client that asks for "what is left" near the end
    // of a page gets one source line rounded down to none, and reads nothing for ever.
    if (src < 2 && fit >= 3) src = 2;
    src = std::min(src, sourceRoom);
    // Source lines still needed: two for every three delivered lines left, rounded up. A height
    // already reached (or a negative one) needs none, which makes this the last request.
    const int64_t remaining = std::max<int64_t>(0, int64_t{imageHeight} - linesDelivered);
    const auto need = static_cast<int64_t>(std::ceil(static_cast<double>(remaining) * 0.6666666666666666));
    if (2 * need / 3 == 0) {
        request.sourceLines = 1;
        request.last = true;
        // The one delivered line left must fit the destination, as must its source line.
        request.tooSmall = remaining > fit || (remaining > 0 && sourceRoom < 1);
    } else if (need <= src) {
        request.sourceLines = static_cast<int32_t>(need);
        request.last = true;
    } else if (src >= 2) {
        request.sourceLines = src - (src % 2);  // an even count keeps the 2-to-3 rhythm
    } else if (remaining <= fit && need <= sourceRoom) {
        // No whole step of the 2-to-3 rhythm fits, yet the destination holds every delivered
        // line left: the end of a page whose height is 2 more than a multiple of 3, read as
        // "what is left". The enlargement stops at the image height, so the lines it makes
        // beyond it are never written.
        request.sourceLines = static_cast<int32_t>(need);
        request.last = true;
    } else {
        // Fewer than three delivered lines of room while more than one source line is needed.
        request.tooSmall = true;
    }
    return request;
}

}  // namespace ordavel::interface
