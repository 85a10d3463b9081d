// The driver's status classes as SANE statuses.
#include "sane/sane_status.h"

namespace mirt::sane_backend {

SANE_Status SaneStatusFor(StatusClass statusClass) {
    switch (statusClass) {
        case StatusClass::PaperJam: return SANE_STATUS_JAMMED;
        case StatusClass::CoverOpen: return SANE_STATUS_COVER_OPEN;
        case StatusClass::FeederEmpty: return SANE_STATUS_NO_DOCS;
        case StatusClass::NotCalibrated:
        case StatusClass::CalibrationDamaged: return kNotCalibratedStatus;
        case StatusClass::OutOfMemory: return SANE_STATUS_NO_MEM;
        case StatusClass::BadRequest: return SANE_STATUS_INVAL;
        case StatusClass::NoScanner:
        case StatusClass::Communication:
        case StatusClass::Ok:  // a failure that left only a progress text still failed
        case StatusClass::Other: return SANE_STATUS_IO_ERROR;
    }
    return SANE_STATUS_IO_ERROR;
}

}  // namespace mirt::sane_backend
