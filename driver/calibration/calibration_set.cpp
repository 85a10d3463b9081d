// The calibration set: staging, commit and recovery.
#include "driver/calibration/calibration_set.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "driver/calibration/stored_calibration.h"
#include "driver/device/status_report.h"
#include "driver/interface/driver_context.h"
#include "platform/atomic_file.h"
#include "platform/profile.h"
#include "platform/work_files.h"

namespace ordavel::calibration {

namespace {

constexpr std::string_view kFilesSection = "FILES";

std::string Staged(const std::string& directory, std::string_view name) {
    return FileIn(directory, std::string(name) + std::string(kStagedSuffix));
}

// The commit file: the set's files and its keys, in profile form.
std::string CommitText(const std::vector<std::pair<std::string, std::string>>& settings) {
    std::string text = "[" + std::string(kFilesSection) + "]\nCount=" + std::to_string(kStoredFiles.size()) + "\n";
    for (std::size_t i = 0; i < kStoredFiles.size(); ++i) {
        text += "File" + std::to_string(i + 1) + "=" + std::string(kStoredFiles[i]) + "\n";
    }
    text += "[" + std::string(kSettingsSection) + "]\n";
    for (const auto& [key, value] : settings) text += key + "=" + value + "\n";
    return text;
}

// The renames, the keys, then the commit file's removal; every step may run again after a kill.
bool FinishCommit(const std::string& directory, std::string& failedPath) {
    const std::string commitPath = FileIn(directory, kCommitFile);
    const auto commit = platform::ProfileFile::Load(commitPath);
    if (!commit) {
        if (!platform::EntryExists(commitPath)) return true;  // another process finished it
        failedPath = commitPath;
        return false;
    }
    const int32_t count = platform::ProfileIntFromText(commit->value(kFilesSection, "Count").value_or("0"));
    for (int32_t i = 1; i <= count; ++i) {
        const auto name = commit->value(kFilesSection, "File" + std::to_string(i));
        // Only the set's own names: the commit file is no way to rename anything else.
        if (!name || std::find(kStoredFiles.begin(), kStoredFiles.end(), *name) == kStoredFiles.end()) continue;
        const std::string staged = Staged(directory, *name);
        // A staged file already gone was renamed before the kill (or, just now, by another
        // process finishing the same commit under its shared lock).
        if (platform::EntryExists(staged) && !platform::MoveIntoPlace(staged, FileIn(directory, *name)) &&
            platform::EntryExists(staged)) {
            failedPath = FileIn(directory, *name);
            return false;
        }
    }
    std::vector<std::pair<std::string, std::string>> settings;
    for (std::string_view key : kSetKeys) {
        if (auto value = commit->value(kSettingsSection, key)) settings.emplace_back(std::string(key), *value);
    }
    const std::string settingsPath = FileIn(directory, kSettingsFile);
    if (!settings.empty() && !platform::WriteProfileStrings(settingsPath, kSettingsSection, settings)) {
        failedPath = settingsPath;
        return false;
    }
    if (!platform::RemoveEntry(commitPath)) {
        failedPath = commitPath;
        return false;
    }
    return true;
}

void RemoveStagedFiles(const std::string& directory) {
    for (std::string_view name : kStoredFiles) platform::RemoveEntry(Staged(directory, name));
}

}  // namespace

std::string StagedPath(const DriverContext& ctx, std::string_view name) {
    const std::string& directory = ctx.tempDirectory();
    return directory.empty() ? std::string() : Staged(directory, name);
}

void StageSetting(DriverContext& ctx, std::string_view key, std::string value) {
    auto& settings = ctx.calibration.stagedSettings;
    const auto same = std::find_if(settings.begin(), settings.end(), [key](const auto& entry) { return entry.first == key; });
    if (same != settings.end()) {
        same->second = std::move(value);
    } else {
        settings.emplace_back(std::string(key), std::move(value));
    }
}

void BeginCalibrationSet(DriverContext& ctx) {
    ctx.calibration.stagedSettings.clear();
    if (!ctx.tempDirectory().empty()) RemoveStagedFiles(ctx.tempDirectory());
}

void DiscardCalibrationSet(DriverContext& ctx) { BeginCalibrationSet(ctx); }

bool CommitCalibrationSet(DriverContext& ctx) {
    const std::string& directory = ctx.tempDirectory();
    auto fail = [&ctx](const std::string& path) {
        device::Report(ctx, "写文件错误: %s", path.c_str());
        return false;
    };
    if (directory.empty()) return fail(ctx.TempFilePath(kCommitFile));
    for (std::string_view name : kStoredFiles) {
        const std::string staged = Staged(directory, name);
        if (!platform::SyncFile(staged)) return fail(staged);
    }
    const std::string commitPath = FileIn(directory, kCommitFile);
    if (!platform::WriteFileAtomically(commitPath, CommitText(ctx.calibration.stagedSettings))) return fail(commitPath);
    ctx.calibration.stagedSettings.clear();
    std::string failedPath;
    return FinishCommit(directory, failedPath) || fail(failedPath);
}

bool RecoverCalibrationSet(const std::string& directory, std::string& failedPath) {
    if (platform::EntryExists(FileIn(directory, kCommitFile))) return FinishCommit(directory, failedPath);
    RemoveStagedFiles(directory);
    return true;
}

}  // namespace ordavel::calibration
