// Scan set-up: the three jobs of SetupScanRes, the scan window, the transfer-rate probe, the
// stored-shading download and the geometry read back from the chip.
#pragma once

#include <array>
#include <cstdint>
#include <span>
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

// The core of every set-up on `image` for the job of `workFile`: registers, window, line
// offsets, calibration (run or downloaded once), the write to the chip and the read-back.
// SetupScanRes runs it between the device initialisation and opening the acquisition.
bool SetUpScanJob(DriverContext& ctx, description::RegisterImage& image, const std::string& workFile,
                  bool calibrate);

// Colour line offsets of the line geometry from the channel mode of `image` and the description.
void SetLineOffsets(DriverContext& ctx, const description::RegisterImage& image);

// ScanParms from a register block read back from the chip (the arithmetic of the read-back).
void ApplyGeometryFromRegisters(DriverContext& ctx, const description::RegisterImage& block);

// One line of a stored shading file holds this many bytes (16-bit words of the sensor range).
inline constexpr int kStoredShadingLineBytes = 3360;
using ShadingTable = std::array<uint8_t, kStoredShadingLineBytes>;

// The shading table for a window starting `offsetBytes` into a stored line: the stored words
// from there on, then the last stored word repeated; `neutralWord` when no stored word is left.
ShadingTable ShadingTableFrom(std::span<const uint8_t, kStoredShadingLineBytes> line,
                              int64_t offsetBytes, uint16_t neutralWord);

}  // namespace ordavel::engine
