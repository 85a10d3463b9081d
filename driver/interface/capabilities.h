// The capability queries of ScanGetCapability: the offered lists and the enlarged image size.
#pragma once

#include <cstdint>

namespace ordavel {
class DriverContext;
}

namespace ordavel::interface {

class Session;

enum CapabilityId : int32_t {
    kHorizontalResolutions = 0,
    kVerticalResolutions = 1,
    kPixelTypes = 2,
    kBitDepths = 3,       // input: a pixel type
    kEnlargedWidth = 4,   // xResolution x pixelWidth / opticalResolution x 3 / 2
    kEnlargedHeight = 5,  // yResolution x pixelLength / opticalResolution x 3 / 2
};

// Most elements a list query copies.
inline constexpr std::size_t kMaxCapabilityElements = 32768;

int32_t GetCapability(DriverContext& ctx, const Session& session, int32_t id, const int32_t* input,
                      int32_t* out, int32_t* count);

// value x size / opticalResolution x 3 / 2, each division truncating, in 64-bit arithmetic
// (the result wraps to 32 bits like the record's field would).
int32_t EnlargedExtent(int32_t resolution, int32_t size, int32_t opticalResolution);

}  // namespace ordavel::interface
