// The user's temporary directory on Windows: GetTempPathA (TMP, TEMP, USERPROFILE, the Windows
// directory, in that order), without its final backslash so callers add the separator themselves.
#include "platform/temp_dir.h"

#include <windows.h>

namespace ordavel::platform {

std::string SystemTemporaryDirectory() {
    char path[MAX_PATH + 1] = {};
    const DWORD length = ::GetTempPathA(sizeof path, path);
    if (length == 0 || length > MAX_PATH) return {};
    std::string dir(path, length);
    if (dir.size() > 3 && (dir.back() == '\\' || dir.back() == '/')) dir.pop_back();  // "C:\" stays whole
    if (dir.size() > kMaxTempPath) return {};
    return dir;
}

}  // namespace ordavel::platform
