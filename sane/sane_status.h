// What a failure of the driver means to a SANE frontend: the class of the driver's status text
// (shared with mirt) as a SANE status.
#pragma once

#include <sane/sane.h>

#include "tools/common/driver_status.h"

namespace mirt::sane_backend {

SANE_Status SaneStatusFor(StatusClass statusClass);

// SANE 1.0 has no status for "calibrate first". The request is refused, before any sheet moves,
// as one the scanner's present state cannot carry out: SANE_STATUS_INVAL, with
// kNeedsCalibration on standard error.
inline constexpr SANE_Status kNotCalibratedStatus = SANE_STATUS_INVAL;
inline constexpr const char* kNeedsCalibration =
    "the scanner needs calibrating: put the white calibration sheet in the feeder and press the "
    "calibrate button (scanimage --calibrate -n), then scan again";

}  // namespace mirt::sane_backend
