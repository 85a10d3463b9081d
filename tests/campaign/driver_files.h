// The driver's temporary directory as a set of files (name and content): what a run starts from,
// what it leaves, and which of its files hold the stored calibration.
#pragma once

#include <map>
#include <string>

namespace ordavel::campaign {

using FileSet = std::map<std::string, std::string>;

FileSet ReadFileSet(const std::string& dir);
// Makes `dir` hold exactly `files`; false with `error` when it cannot.
bool WriteFileSet(const std::string& dir, const FileSet& files, std::string& error);
void RemoveDir(const std::string& dir);

// The files a calibration stores and later scans read: the settings with the analogue results,
// the shading coefficients and the black line (without the controller's word at the end of each
// of its records, which no scan reads).
FileSet CalibrationFiles(const FileSet& files);

}  // namespace ordavel::campaign
