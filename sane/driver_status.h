// What a failure of the driver means to a SANE frontend: the driver's status text turned into a
// SANE status and an English explanation.
#pragma once

#include <sane/sane.h>

#include <string>

namespace mirt::sane_backend {

struct DriverFailure {
    SANE_Status status = SANE_STATUS_IO_ERROR;
    bool notCalibrated = false;  // the stored calibration is missing or damaged
    std::string explanation;     // English, with the driver's own text beside it
};

// `tempDir` is the driver's directory, where the stored calibration is looked at when the text
// says a calibration file could not be read.
DriverFailure ClassifyDriverStatus(const std::string& statusText, const std::string& tempDir);

// SANE 1.0 has no status for "calibrate first". The request is refused as the scanner's present
// state cannot carry it out, before any sheet moves: SANE_STATUS_INVAL, with kNeedsCalibration
// on standard error.
inline constexpr SANE_Status kNotCalibratedStatus = SANE_STATUS_INVAL;
inline constexpr const char* kNeedsCalibration =
    "the scanner needs calibrating: put the white calibration sheet in the feeder and press the "
    "calibrate button (scanimage --calibrate -n), then scan again";

}  // namespace mirt::sane_backend
