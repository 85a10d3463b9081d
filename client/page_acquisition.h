// Scanning one sheet into a page image: the line order switched to bitmap order, the image
// block laid out from the driver's figures, the data read in pieces of at most 64 KiB, and the
// rows turned bottom first.
#pragma once

#include <cstdint>
#include <optional>

#include "client/page_image.h"
#include "client/pimlet_context.h"

namespace mirt::client {

// Largest piece asked of the driver in one read.
inline constexpr int32_t kReadPieceBytes = 65536;

struct AcquiredPage {
    int32_t result = 1;  // 0 when `page` holds the sheet, else the failing call's code
    std::optional<PageImage> page;
};

AcquiredPage AcquirePage(PimletContext& ctx);

}  // namespace mirt::client
