// Writing the files calibration leaves behind.
#include "driver/calibration/calibration_file.h"

#include "driver/calibration/calibration_set.h"
#include "driver/device/status_report.h"
#include "driver/interface/driver_context.h"
#include "platform/work_files.h"

namespace ordavel::calibration {

bool WriteCalibrationFile(DriverContext& ctx, const char* name, const std::function<bool(std::FILE*)>& write) {
    const std::string path = StagedPath(ctx, name);
    std::FILE* file = path.empty() ? nullptr : platform::CreateOwnerFile(path);
    if (file == nullptr) {
        device::Report(ctx, "打开文件错误: %s", path.c_str());
        return false;
    }
    const bool written = write(file);
    const bool closed = std::fclose(file) == 0;
    if (written && closed) return true;
    device::Report(ctx, "写文件错误: %s", path.c_str());
    return false;
}

}  // namespace ordavel::calibration
