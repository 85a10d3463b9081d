// Scan set-up: the three jobs of SetupScanRes, the scan window, the transfer-rate probe, the
// stored-shading download and the geometry read back from the chip.
#pragma once

#include <cstdint>
#include <string>

#include "driver/description/register_image.h"

namespace ordavel {
class DriverContext;
}

namespace ordavel::engine {

bool SetupScanRes(DriverContext& ctx, bool final, bool calibrate);
void SetScanResolution(DriverContext& ctx, description::RegisterImage& image, int32_t xres,
                       int32_t yres, int32_t bits);
// Does nothing when `image` is null.
void CalculateScanRect(DriverContext& ctx, description::RegisterImage* image,
                       const std::string& workFile);
bool DownloadCalibrationData(DriverContext& ctx);
// Loads "cr.dat" and "BlackFINE.PXL" into the controller's shading memory.
bool DownloadStoredShading(DriverContext& ctx);
// The probe's work-file path, or empty on failure.
std::string MeasureTransferRate(DriverContext& ctx, const char* baseName, bool calibrate);
bool ScanToEnd(DriverContext& ctx, const std::string& workFile);
bool ReadBackScanGeometry(DriverContext& ctx);

// Horizontal divider factor of a divider code (0..7): 1, 1.5, 2, 3, 4, 6, 8, 12.
double DividerFactor(int32_t code);

}  // namespace ordavel::engine
