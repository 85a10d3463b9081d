// Whether a directory holds a usable calibration set.
#include "driver/calibration/stored_calibration.h"

#include <cstdint>
#include <fstream>
#include <iterator>
#include <optional>
#include <span>
#include <vector>

#include "driver/calibration/work_file_header.h"
#include "platform/profile.h"
#include "platform/temp_dir.h"
#include "platform/work_files.h"

namespace ordavel::calibration {

namespace {

constexpr std::size_t kShadingHeaderBytes = 7;  // "v2\n" and the pixel count
constexpr uint32_t kMostPixels = 16384;

std::optional<std::vector<uint8_t>> ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) return std::nullopt;
    return bytes;
}

// "v2\n", N (1 to 16384, little-endian) and three lines of N words: nothing more, nothing less.
bool ShadingFileWellFormed(const std::vector<uint8_t>& bytes) {
    if (bytes.size() < kShadingHeaderBytes || bytes[0] != 'v' || bytes[1] != '2' || bytes[2] != '\n') return false;
    const uint32_t pixels = bytes[3] | (bytes[4] << 8) | (bytes[5] << 16) | (uint32_t{bytes[6]} << 24);
    return pixels >= 1 && pixels <= kMostPixels && bytes.size() == kShadingHeaderBytes + 6 * std::size_t{pixels};
}

// A work-file header and at least one whole line of 16-bit samples after it.
bool BlackLineFileWellFormed(const std::vector<uint8_t>& bytes) {
    const auto header = ParseWorkFileHeader(std::span<const uint8_t>(bytes.data(), bytes.size()));
    if (!header || header->pixelsPerLine <= 0 || static_cast<uint32_t>(header->pixelsPerLine) > kMostPixels) {
        return false;
    }
    return bytes.size() >= header->dataStart + 2 * static_cast<std::size_t>(header->pixelsPerLine);
}

}  // namespace

std::string FileIn(const std::string& directory, std::string_view name) {
    std::string path = directory;
    if (!path.empty() && path.back() != platform::kPathSeparator) path += platform::kPathSeparator;
    path += name;
    return path;
}

StoredCalibration InspectStoredCalibration(const std::string& directory) {
    // A set complete on disk whose renames were cut short is finished by the driver's next run.
    if (platform::EntryExists(FileIn(directory, kCommitFile))) return StoredCalibration::Usable;
    const auto shading = ReadAll(FileIn(directory, kShadingFile));
    const auto black = ReadAll(FileIn(directory, kBlackLineFile));
    if (!shading && !black) return StoredCalibration::NotCalibrated;
    if (!shading || !black || !ShadingFileWellFormed(*shading) || !BlackLineFileWellFormed(*black)) {
        return StoredCalibration::Damaged;
    }
    // The offset and gain codes the shading was measured with, and where its lines begin.
    const std::string settings = FileIn(directory, kSettingsFile);
    for (std::string_view key : {std::string_view("regs[0x3D]"), std::string_view("startpixel")}) {
        if (!platform::ReadProfileString(settings, kSettingsSection, key)) return StoredCalibration::Damaged;
    }
    return StoredCalibration::Usable;
}

}  // namespace ordavel::calibration
