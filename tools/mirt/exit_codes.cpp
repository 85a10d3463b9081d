// Mapping the driver's status texts to exit codes.
#include "tools/mirt/exit_codes.h"

#include <cstring>

#include "driver/calibration/stored_calibration.h"

namespace mirt {

int ExitCodeForStatus(const char* statusText) {
    struct Rule {
        const char* text;
        int code;
    };
    static constexpr Rule kRules[] = {
        {"塞纸", kExitPaperJam},
        {"上盖打开", kExitCoverOpen},
        {"通信失败", kExitCommunication},
        {"未发现", kExitNoScanner},
        {"打开扫描文件错误", kExitNotCalibrated},
    };
    if (statusText == nullptr) return kExitDriverFailure;
    for (const Rule& rule : kRules) {
        if (std::strstr(statusText, rule.text) != nullptr) return rule.code;
    }
    return kExitDriverFailure;
}

int ExitCodeForStatus(const char* statusText, const std::string& tempDir) {
    const int code = ExitCodeForStatus(statusText);
    const bool calibrationFile = code == kExitNotCalibrated ||
                                 (statusText != nullptr && std::strstr(statusText, "读扫描文件错误") != nullptr);
    if (!calibrationFile) return code;
    using ordavel::calibration::StoredCalibration;
    switch (ordavel::calibration::InspectStoredCalibration(tempDir)) {
        case StoredCalibration::NotCalibrated: return kExitNotCalibrated;
        case StoredCalibration::Damaged: return kExitCalibrationDamaged;
        case StoredCalibration::Usable: break;
    }
    return code;
}

}  // namespace mirt
