// The Windows directory on POSIX: an override, or the layout beside the code's own module.
#include "platform/windows_directory.h"

#include <cstdlib>
#include <filesystem>

#include <dlfcn.h>

namespace ordavel::platform {

namespace {

namespace fs = std::filesystem;

// The folder of the shared object or program this function was linked into.
fs::path OwnModuleFolder() {
    Dl_info info{};
    if (::dladdr(reinterpret_cast<void*>(&OwnModuleFolder), &info) == 0 || info.dli_fname == nullptr) return {};
    std::error_code ec;
    const fs::path module = fs::canonical(info.dli_fname, ec);
    return ec ? fs::path() : module.parent_path();
}

std::string WithoutTrailingSeparator(std::string path) {
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    return path;
}

}  // namespace

std::string WindowsDirectory() {
    if (const char* own = std::getenv("MIRT_WINDIR"); own != nullptr && *own != '\0') {
        return WithoutTrailingSeparator(own);
    }
    // The build tree lays the directory out beside lib/ and bin/; an installed library finds it
    // under share/ beside lib/, and a program installed inside it (the monitor) two levels up.
    // Otherwise it is where the installation was configured to put it.
    const fs::path folder = OwnModuleFolder();
    std::error_code ec;
    if (!folder.empty()) {
        const fs::path beside = folder.parent_path() / "windir";
        if (fs::is_directory(beside, ec)) return beside.string();
        const fs::path shared = folder.parent_path() / "share" / "mirt" / "windir";
        if (fs::is_directory(shared, ec)) return shared.string();
        if (folder.filename() == "Mirt" && folder.parent_path().filename() == "twain_32") {
            return folder.parent_path().parent_path().string();
        }
    }
    return MIRT_INSTALLED_WINDIR;
}

}  // namespace ordavel::platform
