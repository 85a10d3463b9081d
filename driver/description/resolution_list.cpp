// The resolution list of the hardware summary.
#include "driver/description/resolution_list.h"

namespace ordavel::description {

std::array<int32_t, kResolutionCount> ResolutionList(int32_t opticalResolution,
                                                     double evenOddLineSeparation,
                                                     int32_t maxSensorResolution) {
    constexpr int32_t kDivisorsOfTwiceBase[8] = {24, 16, 12, 8, 6, 4, 3, 2};
    int64_t base = opticalResolution;
    if (evenOddLineSeparation != 0.0) base /= 2;
    std::array<int32_t, kResolutionCount> list{};
    for (std::size_t i = 0; i < 8; ++i) list[i] = static_cast<int32_t>(2 * base / kDivisorsOfTwiceBase[i]);
    for (std::size_t i = 8; i < kResolutionCount; ++i) {
        const int64_t doubled = int64_t{list[i - 1]} * 2;
        if (list[i - 1] == 0 || doubled > maxSensorResolution) break;  // the rest stay zero
        list[i] = static_cast<int32_t>(doubled);
    }
    return list;
}

}  // namespace ordavel::description
