// Scanning sheets into numbered bitmap files: the checks, the monitor handshake, the curve file,
// the progress view and the sheet loop.
#pragma once

#include <cstdint>
#include <string>

#include "client/pimlet_context.h"
#include "pimlet.h"

namespace mirt::client {

int ScanToFile(PimletContext& ctx, const PimletAdjustments* adjust, const PimletScanRequest* request,
               const char* directory, const char* prefix, uint32_t* pagesOut, int singleSheet);

// "<directory>/<prefix>NNN.bmp": the number has at least three digits.
std::string PageFileName(const std::string& directory, const std::string& prefix, uint32_t number);

}  // namespace mirt::client
