// Mapping the driver's status classes to exit codes.
#include "tools/mirt/exit_codes.h"

namespace mirt {

int ExitCodeFor(StatusClass statusClass) {
    switch (statusClass) {
        case StatusClass::Ok: return kExitOk;
        case StatusClass::NoScanner: return kExitNoScanner;
        case StatusClass::PaperJam: return kExitPaperJam;
        case StatusClass::CoverOpen: return kExitCoverOpen;
        case StatusClass::FeederEmpty: return kExitNoPaper;
        case StatusClass::Communication: return kExitCommunication;
        case StatusClass::NotCalibrated: return kExitNotCalibrated;
        case StatusClass::CalibrationDamaged: return kExitCalibrationDamaged;
        case StatusClass::OutOfMemory: return kExitOutOfMemory;
        case StatusClass::BadRequest: return kExitBadRequest;
        case StatusClass::Other: return kExitDriverFailure;
    }
    return kExitDriverFailure;
}

namespace {

// A failure whose text is a progress text ("扫描完成") or none still failed.
int FailureCode(StatusClass statusClass) {
    const int code = ExitCodeFor(statusClass);
    return code == kExitOk ? kExitDriverFailure : code;
}

}  // namespace

int ExitCodeForStatus(const char* statusText) {
    return FailureCode(DescribeDriverStatus(statusText != nullptr ? statusText : "").statusClass);
}

int ExitCodeForStatus(const char* statusText, const std::string& tempDir) {
    const DriverStatus status = DescribeDriverStatus(statusText != nullptr ? statusText : "");
    return FailureCode(RefineWithCalibration(status, tempDir).statusClass);
}

}  // namespace mirt
