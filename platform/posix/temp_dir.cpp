// The user's temporary directory: the per-user state directory.
#include "platform/temp_dir.h"

#include "platform/state_dir.h"

namespace ordavel::platform {

std::string SystemTemporaryDirectory(std::string& error) {
    // Checked for length before anything is created: a path the driver would refuse is not made.
    if (StateDirectoryPath().size() > kMaxTempPath) {
        error = "the state directory's path is longer than " + std::to_string(kMaxTempPath) + " characters";
        return {};
    }
    std::string dir = EnsureStateDirectory(error);
    if (dir.size() > kMaxTempPath) return {};
    return dir;
}

std::string SystemTemporaryDirectory() {
    std::string error;
    return SystemTemporaryDirectory(error);
}

}  // namespace ordavel::platform
