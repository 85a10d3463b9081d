// The scan request as the scan-to-file library keeps it: the driver's record without its first
// word (the line order), which the binding puts back in front when it hands the record over.
#pragma once

#include <cstddef>
#include <cstdint>

#include "ordavel.h"

namespace mirt::client {

struct ScanParameters {
    int32_t bedLeft, bedTop, bedRight, bedBottom;
    int32_t scanRectLeft, scanRectTop, scanRectRight, scanRectBottom;
    int32_t pixelType, bitDepth, xResolution, yResolution, interpolate, reserved2;
    int32_t res, imageWidth, imageHeight;
};
static_assert(sizeof(ScanParameters) == sizeof(ScanRequest) - sizeof(int32_t));
static_assert(offsetof(ScanParameters, bedLeft) == offsetof(ScanRequest, bedLeft) - 4);
static_assert(offsetof(ScanParameters, imageHeight) == offsetof(ScanRequest, imageHeight) - 4);

ScanParameters WithoutLineOrder(const ScanRequest& request);
ScanRequest WithLineOrder(const ScanParameters& params, int32_t lineOrder);

// The paper form the caller chose: 1 is the narrow window, anything else the wide one.
enum class PaperForm { Narrow, Wide };

// Every field of the record for one sheet: both resolutions 200, a 300 request passed as the
// 3/2 enlargement with the 300-dpi output size.
ScanParameters SheetParameters(int32_t bitDepth, int32_t resolution, PaperForm form);

}  // namespace mirt::client
