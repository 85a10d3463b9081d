// Mapping the driver's status texts to exit codes.
#include "tools/mirt/exit_codes.h"

#include <cstring>

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

}  // namespace mirt
