// The Windows directory as the system names it.
#include "platform/windows_directory.h"

#include <windows.h>

namespace ordavel::platform {

std::string WindowsDirectory() {
    char path[MAX_PATH + 1];
    const UINT length = ::GetWindowsDirectoryA(path, sizeof path);
    if (length == 0 || length >= sizeof path) return {};
    std::string directory(path, length);
    // "C:\" keeps its separator; every other directory comes without one.
    if (directory.size() > 3 && directory.back() == '\\') directory.pop_back();
    return directory;
}

}  // namespace ordavel::platform
