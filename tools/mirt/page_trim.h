// Trimming the white the driver fills below a sheet shorter than the scan window.
#pragma once

#include "tools/mirt/page_image.h"

namespace mirt {

// Drops the trailing rows that are pure white in every pixel (255 in grey, all bits set in line
// art), which is what the driver fills in once the sheet's tail has passed the scan line. A
// scanned sheet is never that white across a whole row: its paper, and the backing behind it,
// read below full white with the sensor's noise. At least one row is kept.
void TrimWhiteBelowSheet(PageImage& page);

}  // namespace mirt
