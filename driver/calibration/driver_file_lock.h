// The lock over the driver's files in its temporary directory, shared by every process (of every
// user) that uses that directory: scans hold it shared, a calibration holds it alone. Whoever
// takes it first finishes or removes what a killed calibration left (see calibration_set.h), and
// the first lock of a driver context removes stale temporaries of killed writers.
#pragma once

#include <cstdint>
#include <optional>

#include "platform/directory_lock.h"

namespace ordavel {
class DriverContext;
}

namespace ordavel::calibration {

// The lock file, in the temporary directory beside "Mirt.def".
inline constexpr const char* kDriverLockFile = "Mirt.lock";
// As long as a transfer waits for the device lock.
inline constexpr uint32_t kDriverLockTimeoutMs = 2000;

// Holds the lock until destroyed. Empty when the temporary directory is unknown (every file of
// the driver then fails to open on its own, with its own text).
struct DriverFileLock {
    std::optional<platform::DirectoryLock> held;
};

// Takes the lock (waiting up to kDriverLockTimeoutMs), then tidies the directory. Reports
// "扫描文件被其他程序占用" (scan files in use by another program) with the lock file's path and
// fails when the lock cannot be had, and "写文件错误: %s" when an interrupted calibration's set
// cannot be put in place.
bool LockDriverFiles(DriverContext& ctx, platform::LockMode mode, DriverFileLock& lock);

}  // namespace ordavel::calibration
