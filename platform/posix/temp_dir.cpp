// The user's temporary directory.
#include "platform/temp_dir.h"

#include <cstdlib>

namespace ordavel::platform {

std::string SystemTemporaryDirectory() {
    const char* env = std::getenv(kTemporaryDirectoryVariable);
    std::string dir = (env != nullptr && *env != '\0') ? env : "/tmp";
    if (dir.size() > kMaxTempPath) return {};
    return dir;
}

}  // namespace ordavel::platform
