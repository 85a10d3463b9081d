// Calibration: coarse gain and offset, the calibration-scan analysis, fine black and white
// shading and the shading download.
#pragma once

#include <cstdint>
#include <string>

#include "driver/description/register_image.h"

namespace ordavel {
class DriverContext;
}

namespace ordavel::calibration {

// scanMode is register 0x09 of the caller's image. 1 on success, 0 on failure.
int DoCalibration(DriverContext& ctx, int32_t scanMode);
int DoCoarseCalibration(DriverContext& ctx, int32_t scanMode, description::RegisterImage& image);
int DoFineCalibration(DriverContext& ctx, int32_t scanMode, description::RegisterImage& image,
                      const char* name);
// mode: "Coarse", "BlackFine" or "WhiteFine". `lineCounter` in/out; `wanted` for fine modes.
int AnalyseCalibrationScan(DriverContext& ctx, const std::string& path, const char* mode,
                           int32_t& lineCounter, int32_t wanted);
// False when a register or table transfer failed (the transfer has reported why).
bool DownloadShadingTables(DriverContext& ctx, const char* name);

}  // namespace ordavel::calibration
