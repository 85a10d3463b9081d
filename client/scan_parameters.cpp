// Filling and converting the client's copy of the scan request.
#include "client/scan_parameters.h"

#include <cstring>

namespace mirt::client {

ScanParameters WithoutLineOrder(const ScanRequest& request) {
    ScanParameters params{};
    std::memcpy(&params, reinterpret_cast<const unsigned char*>(&request) + sizeof(int32_t), sizeof params);
    return params;
}

ScanRequest WithLineOrder(const ScanParameters& params, int32_t lineOrder) {
    ScanRequest request{};
    request.lineOrder = lineOrder;
    std::memcpy(reinterpret_cast<unsigned char*>(&request) + sizeof(int32_t), &params, sizeof params);
    return request;
}

ScanParameters SheetParameters(int32_t bitDepth, int32_t resolution, PaperForm form) {
    const bool narrow = form == PaperForm::Narrow;
    ScanParameters p{};
    p.bedLeft = 0;
    p.bedTop = 0;
    p.bedRight = 1680;
    p.bedBottom = 2340;
    p.scanRectLeft = narrow ? 284 : 130;
    p.scanRectTop = 0;
    p.scanRectRight = narrow ? 1384 : 1550;
    p.scanRectBottom = 1892;
    p.pixelType = bitDepth == 8 ? 1 : 0;
    p.bitDepth = bitDepth;
    p.xResolution = 200;
    p.yResolution = 200;
    p.interpolate = 0;
    p.reserved2 = 0;
    p.res = resolution == 300 ? 1 : 0;
    p.imageWidth = narrow ? 1650 : 2130;
    p.imageHeight = 2838;
    return p;
}

}  // namespace mirt::client
