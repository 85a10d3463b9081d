// Running one calibration scan: choosing its file, telling the acquisition how many lines to read,
// and taking the scan's colour mode and sample width for the analysis.
#pragma once

#include <string_view>

namespace ordavel {
class DriverContext;
}

namespace ordavel::calibration {

// Puts the temporary path of `name` in the engine's file-name buffer; for a file of the stored
// calibration set, the path it is staged under (calibration_set.h).
void SelectCalibrationFile(DriverContext& ctx, std::string_view name);

// Scans the calibration strip into the selected file with ScanToEnd. The acquisition reads as many
// lines as the `lines` field of ScanParms says, and nothing in the geometry read-back sets that
// field, so the lines per read request are stored there just before the scan: this is how the
// lines a calibration step asks for reach the acquisition. Afterwards the colour mode and the
// sample width that the acquisition read back from the chip become the analysis's.
bool ScanCalibrationFile(DriverContext& ctx);

// The colour mode and bits per sample of the current geometry, for the analysis.
void TakeScanGeometry(DriverContext& ctx);

}  // namespace ordavel::calibration
