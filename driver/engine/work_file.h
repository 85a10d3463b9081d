// The work file of a scan (".pxl"): a ten-line text header followed by raw controller lines.
// Calibration reads the same format back.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "driver/engine/scan_parms.h"

namespace ordavel {
class DriverContext;
}

namespace ordavel::engine {

// Line 6 of the header: bits per channel 2 -> 1, 4 -> 2, 8 -> 3, 16 -> 4, otherwise 0.
int32_t WorkFileDepthCode(int32_t bitsperchannel);

// "v2", pixels per line, "0.00", "0", channel mode, depth code, lines to scan, horizontal and
// vertical resolution, "2": one per line, each ended by a line feed.
std::string WorkFileHeader(const ScanParms& parms, int32_t linesToScan);

// Creates the open scan's work file afresh and writes its header. Reports "打开文件错误: %s" or
// "写文件错误: %s" and returns false on failure.
bool CreateWorkFile(DriverContext& ctx);

// Appends raw controller bytes to the open work file; reports "写文件错误!" on a short write.
bool AppendToWorkFile(DriverContext& ctx, std::span<const uint8_t> bytes);

// Closes the open work file, if any.
void CloseWorkFile(DriverContext& ctx);

}  // namespace ordavel::engine
