// Which job a work file belongs to: the engine recognises the job by the file's name.
#pragma once

#include <string>
#include <string_view>

namespace ordavel::engine {

enum class ScanJob {
    Probe,    // "pcrate." - the transfer-rate probe
    Compute,  // "compute." - geometry only, no sheet is scanned
    Sheet,    // "finalscn." - the real sheet scan
    Other,    // calibration scans and any other name
};

// Case-insensitive test whether the file name of `path` contains `marker`.
bool WorkFileNames(std::string_view path, std::string_view marker);
// The job, testing the markers in the order probe, geometry only, sheet.
ScanJob JobOfWorkFile(std::string_view path);
// The last component of a path.
std::string_view WorkFileName(std::string_view path);

inline constexpr std::string_view kProbeMarker = "pcrate.";
inline constexpr std::string_view kComputeMarker = "compute.";
inline constexpr std::string_view kSheetMarker = "finalscn.";

// Base names and the bare file of the geometry-only job.
inline constexpr const char* kProbeBaseName = "pcrate";
inline constexpr const char* kSheetBaseName = "finalscn";
inline constexpr const char* kComputeWorkFile = "compute.pxl";

}  // namespace ordavel::engine
