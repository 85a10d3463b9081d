// Capability queries.
#include "driver/interface/capabilities.h"

#include <algorithm>
#include <vector>

#include "driver/interface/driver_context.h"
#include "driver/interface/export_operations.h"
#include "driver/interface/session.h"

namespace ordavel::interface {

namespace {

int32_t CopyList(const std::vector<int32_t>& list, int32_t* out, int32_t* count) {
    const std::size_t n = std::min(list.size(), kMaxCapabilityElements);
    std::copy_n(list.begin(), n, out);
    *count = static_cast<int32_t>(n);
    return 0;
}

std::vector<int32_t> PixelTypeList(const Session& session) {
    std::vector<int32_t> types;
    for (const auto& entry : session.pixelTypes) types.push_back(entry.type);
    return types;
}

// Ids 4 and 5 load the description through the hardware query and return its result when
// that fails.
int32_t EnlargedSize(DriverContext& ctx, bool width, int32_t* out, int32_t* count) {
    ScanHardware hw{};
    const int32_t result = interface::ScanGetScanHardware(ctx, &hw);
    if (result != 0) return result;
    const ScanRequest& request = ctx.engine.request;
    out[0] = width ? EnlargedExtent(request.xResolution, hw.pixelWidth, hw.opticalResolution)
                   : EnlargedExtent(request.yResolution, hw.pixelLength, hw.opticalResolution);
    *count = 1;
    return 0;
}

}  // namespace

int32_t EnlargedExtent(int32_t resolution, int32_t size, int32_t opticalResolution) {
    // A loaded description has an optical resolution of at least 10; guard the division anyway.
    if (opticalResolution == 0) return 0;
    const int64_t scaled = int64_t{resolution} * size / opticalResolution;
    return static_cast<int32_t>(static_cast<uint32_t>(scaled * 3 / 2));
}

int32_t GetCapability(DriverContext& ctx, const Session& session, int32_t id, const int32_t* input,
                      int32_t* out, int32_t* count) {
    *count = 0;
    switch (id) {
        case kHorizontalResolutions:
            return CopyList(session.horizontalResolutions, out, count);
        case kVerticalResolutions:
            return CopyList(session.verticalResolutions, out, count);
        case kPixelTypes:
            return CopyList(PixelTypeList(session), out, count);
        case kBitDepths: {
            const PixelTypeEntry* entry = session.findPixelType(*input);
            if (entry == nullptr) return 1;
            return CopyList(entry->depths, out, count);
        }
        case kEnlargedWidth:
            return EnlargedSize(ctx, true, out, count);
        case kEnlargedHeight:
            return EnlargedSize(ctx, false, out, count);
        default:
            return 1;
    }
}

}  // namespace ordavel::interface
