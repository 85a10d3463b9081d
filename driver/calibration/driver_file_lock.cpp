// Taking the driver's file lock and tidying the directory under it.
#include "driver/calibration/driver_file_lock.h"

#include <array>
#include <string>
#include <string_view>

#include "driver/calibration/calibration_set.h"
#include "driver/calibration/stored_calibration.h"
#include "driver/device/status_report.h"
#include "driver/interface/driver_context.h"
#include "platform/atomic_file.h"

namespace ordavel::calibration {

namespace {

// The files the driver replaces atomically, whose "<name>.XXXXXX" temporaries a kill leaves.
constexpr std::array<std::string_view, 2> kAtomicallyWritten = {kSettingsFile, kCommitFile};

}  // namespace

bool LockDriverFiles(DriverContext& ctx, platform::LockMode mode, DriverFileLock& lock) {
    const std::string& directory = ctx.tempDirectory();
    if (directory.empty()) return true;
    const std::string path = FileIn(directory, kDriverLockFile);
    lock.held = platform::DirectoryLock::Acquire(path, mode, kDriverLockTimeoutMs);
    if (!lock.held) {
        device::Report(ctx, "扫描文件被其他程序占用: %s", path.c_str());
        return false;
    }
    // Holding the lock, shared or not, no calibration is running: what one left is a killed
    // one's. Finishing it is safe under a shared lock too, as every step may be repeated.
    std::string failedPath;
    if (!RecoverCalibrationSet(directory, failedPath)) {
        lock.held.reset();
        device::Report(ctx, "写文件错误: %s", failedPath.c_str());
        return false;
    }
    if (!ctx.calibration.temporariesSwept) {
        ctx.calibration.temporariesSwept = true;
        platform::RemoveStaleTemporaries(directory, kAtomicallyWritten);
    }
    return true;
}

}  // namespace ordavel::calibration
