// The calibration later scans rely on, as one set: the shading file "cr.dat", the black line file
// "BlackFINE.PXL" and the calibration keys of section "GAIN_OFFSET" of "Mirt.def". This header
// names the set and tells whether a directory holds a usable one; the driver and the tools share
// it, so "not calibrated" and "calibration damaged" mean the same to both.
#pragma once

#include <array>
#include <string>
#include <string_view>

namespace ordavel::calibration {

inline constexpr std::string_view kShadingFile = "cr.dat";
inline constexpr std::string_view kBlackLineFile = "BlackFINE.PXL";
inline constexpr std::string_view kSettingsFile = "Mirt.def";
inline constexpr std::string_view kSettingsSection = "GAIN_OFFSET";
// The set's files in the order they are put in place.
inline constexpr std::array<std::string_view, 2> kStoredFiles = {kShadingFile, kBlackLineFile};
// A calibration writes its files under these names and renames them only when it has succeeded.
inline constexpr std::string_view kStagedSuffix = ".new";
// Present from the moment a calibration's set is complete on disk until all of it is in place:
// its presence means "finish putting the staged set in place", its absence "a staged set is an
// abandoned one".
inline constexpr std::string_view kCommitFile = "calibration.commit";
// The keys of "GAIN_OFFSET" that belong to the set.
inline constexpr std::array<std::string_view, 11> kSetKeys = {
    "regs[0x38]", "regs[0x39]",    "regs[0x3A]",    "regs[0x3B]",   "regs[0x3C]", "regs[0x3D]",
    "minBlackred", "minBlackgreen", "minBlackblue", "startpixel", "looplines"};

enum class StoredCalibration {
    Usable,        // the set is complete and well formed (or a completed one waits to be put in place)
    NotCalibrated, // none of its files is there
    Damaged,       // some are there, but one is missing, cut short or malformed
};

// Looks at the set in `directory` (the driver's temporary directory).
StoredCalibration InspectStoredCalibration(const std::string& directory);

// `directory` with a separator when it has none, then `name`.
std::string FileIn(const std::string& directory, std::string_view name);

}  // namespace ordavel::calibration
