// Whole-directory snapshots with the standard library's file system calls.
#include "tests/campaign/driver_files.h"

#include <filesystem>
#include <fstream>
#include <sstream>

#include "driver/calibration/work_file_header.h"

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

namespace {

// A stored black line with the 2-byte word that ends each of its 16-bit records cleared. The
// controller puts its buffer level there, which depends on how fast the bus carried the lines
// (a retried transfer changes it); no scan reads it, so it is no part of the calibration.
std::string WithoutStatusWords(std::string pxl) {
    const auto* bytes = reinterpret_cast<const uint8_t*>(pxl.data());
    const auto header = calibration::ParseWorkFileHeader({bytes, pxl.size()});
    if (!header || header->pixelsPerLine <= 0) return pxl;
    const std::size_t record = static_cast<std::size_t>(header->pixelsPerLine) * 2 + 2;
    if (pxl.size() < header->dataStart || (pxl.size() - header->dataStart) % record != 0) return pxl;
    for (std::size_t end = header->dataStart + record; end <= pxl.size(); end += record) {
        pxl[end - 2] = pxl[end - 1] = '\0';
    }
    return pxl;
}

}  // namespace

FileSet CalibrationFiles(const FileSet& files) {
    FileSet calibration;
    for (const char* name : {"Mirt.def", "cr.dat", "BlackFINE.PXL"}) {
        const auto it = files.find(name);
        calibration[name] = it == files.end() ? std::string("(missing)") : it->second;
    }
    calibration["BlackFINE.PXL"] = WithoutStatusWords(calibration["BlackFINE.PXL"]);
    return calibration;
}

}  // namespace ordavel::campaign
