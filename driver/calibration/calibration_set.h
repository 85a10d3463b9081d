// Replacing the stored calibration as one set, only when a calibration has succeeded.
//
// A calibration writes "cr.dat" and "BlackFINE.PXL" under staged names and keeps its
// "GAIN_OFFSET" keys in memory. When it has succeeded, the staged files are flushed and a commit
// file naming the set and holding the keys is written atomically: that write is the moment the
// new set replaces the old. The files are then renamed into place, the keys written into
// "Mirt.def" in one atomic rewrite, and the commit file removed. A process killed before the
// commit point leaves staged files only, which the next run removes (the old set stays as it
// was); one killed after it leaves the commit file, and the next run finishes the renames and the
// keys (each step can be repeated). Only calibration (holding the driver's lock exclusively) ever
// writes a set, and every user of the set holds the lock, so no one reads a set being replaced.
#pragma once

#include <string>
#include <string_view>

namespace ordavel {
class DriverContext;
}

namespace ordavel::calibration {

// Where the calibration in progress writes the set's file `name`.
std::string StagedPath(const DriverContext& ctx, std::string_view name);

// Keeps a "GAIN_OFFSET" key of the calibration in progress until the set is committed (a later
// value of the same key replaces the earlier).
void StageSetting(DriverContext& ctx, std::string_view key, std::string value);

// Forgets whatever an earlier calibration of this process staged and removes staged files.
void BeginCalibrationSet(DriverContext& ctx);

// Removes the staged files of a calibration that failed and forgets its keys: the set on disk
// stays the earlier calibration's.
void DiscardCalibrationSet(DriverContext& ctx);

// Puts the staged set in place. Reports "写文件错误: %s" with the path and fails when a staged
// file is missing or a step cannot be done; before the commit point the old set then stays.
bool CommitCalibrationSet(DriverContext& ctx);

// Finishes or removes what a killed calibration left in `directory` (see above); false, with the
// path of what could not be done in `failedPath`, when a step of finishing fails.
bool RecoverCalibrationSet(const std::string& directory, std::string& failedPath);

}  // namespace ordavel::calibration
