// Splitting a register image into runs of consecutive written registers.
#include "driver/description/register_runs.h"

namespace ordavel::description {

std::vector<RegisterRun> SplitIntoRuns(const RegisterImage& image, int from) {
    std::vector<RegisterRun> runs;
    bool inRun = false;
    for (int reg = from; reg < kRegisterCount; ++reg) {
        if (!image.isWritten(reg)) {
            inRun = false;
            continue;
        }
        if (!inRun) {
            runs.push_back(RegisterRun{reg, {}});
            inRun = true;
        }
        runs.back().values.push_back(static_cast<uint8_t>(image[reg] & 0xFF));
    }
    return runs;
}

}  // namespace ordavel::description
