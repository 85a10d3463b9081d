// Whole-directory snapshots with the standard library's file system calls.
#include "tests/campaign/driver_files.h"

#include <filesystem>
#include <fstream>
#include <sstream>

namespace ordavel::campaign {

FileSet ReadFileSet(const std::string& dir) {
    FileSet files;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(dir, ec)) {
        if (!entry.is_regular_file(ec)) {
            files[entry.path().filename().string()] = "(not a regular file)";
            continue;
        }
        std::ifstream in(entry.path(), std::ios::binary);
        std::ostringstream content;
        content << in.rdbuf();
        files[entry.path().filename().string()] = content.str();
    }
    return files;
}

bool WriteFileSet(const std::string& dir, const FileSet& files, std::string& error) {
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
    std::filesystem::create_directories(dir, ec);
    if (ec) {
        error = dir + ": " + ec.message();
        return false;
    }
    for (const auto& [name, content] : files) {
        std::ofstream out(dir + "/" + name, std::ios::binary | std::ios::trunc);
        out << content;
        if (!out) {
            error = dir + "/" + name + ": cannot be written";
            return false;
        }
    }
    return true;
}

void RemoveDir(const std::string& dir) {
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
}

FileSet CalibrationFiles(const FileSet& files) {
    FileSet calibration;
    for (const char* name : {"Mirt.def", "cr.dat", "BlackFINE.PXL"}) {
        const auto it = files.find(name);
        calibration[name] = it == files.end() ? std::string("(missing)") : it->second;
    }
    return calibration;
}

}  // namespace ordavel::campaign
