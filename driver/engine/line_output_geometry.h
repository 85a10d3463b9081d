// The line processor's geometry for a scan, from the request's window and order and the
// controller's line format.
#pragma once

#include "driver/engine/scan_parms.h"
#include "ordavel.h"

namespace ordavel::engine {

// Fills the sizes, depth, layout and order of `geometry`; its offsets and resolutions (set by
// the scan set-up) stay as they are.
void ComputeOutputGeometry(const ScanRequest& request, const ScanParms& parms, LineGeometry& geometry);

}  // namespace ordavel::engine
