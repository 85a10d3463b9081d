// The user's temporary directory on Windows: GetTempPathA (TMP, TEMP, USERPROFILE, the Windows
// directory, in that order), without its final backslash so callers add the separator themselves.
#include "platform/temp_dir.h"

#include <windows.h>

namespace ordavel::platform {

std::string SystemTemporaryDirectory(std::string& error) {
    char path[MAX_PATH + 1] = {};
    const DWORD length = ::GetTempPathA(sizeof path, path);
    if (length == 0 || length > MAX_PATH) {
        error = "the system names no usable temporary directory (GetTempPathA)";
        return {};
    }
    std::string dir(path, length);
    if (dir.size() > 3 && (dir.back() == '\\' || dir.back() == '/')) dir.pop_back();  // "C:\" stays whole
    if (dir.size() > kMaxTempPath) {
        error = "the temporary directory's path is longer than " + std::to_string(kMaxTempPath) + " characters";
        return {};
    }
    return dir;
}

std::string SystemTemporaryDirectory() {
    std::string error;
    return SystemTemporaryDirectory(error);
}

}  // namespace ordavel::platform
