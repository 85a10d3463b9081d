// The user's temporary directory, where every file of the driver lives.
//
// The driver's "temporary directory" is, on the system it was first written for, private to the
// user and kept across reboots; its calibration lives there for good. Here that is the per-user
// state directory (platform/state_dir.h), not the shared system temporary directory.
#pragma once

#include <string>

namespace ordavel::platform {

// Longest temporary directory path the driver accepts (the platform's path limit).
inline constexpr std::size_t kMaxTempPath = 260;

// POSIX: the per-user state directory, created and checked (EnsureStateDirectory in
// state_dir.h), which survives reboots where the shared system temporary directory does not.
// Windows: GetTempPathA's answer without its final backslash (per user and kept there).
// Empty when it is unusable or its path would exceed kMaxTempPath.
std::string SystemTemporaryDirectory();

// The same, with the reason when it is empty.
std::string SystemTemporaryDirectory(std::string& error);

#if defined(_WIN32)
// The platform's path separator, and the environment variable the system takes its temporary
// directory from first (tests and services point it at a directory of their own).
inline constexpr char kPathSeparator = '\\';
inline constexpr const char* kTemporaryDirectoryVariable = "TMP";
#else
inline constexpr char kPathSeparator = '/';
inline constexpr const char* kTemporaryDirectoryVariable = "MIRT_STATE_DIR";
#endif

}  // namespace ordavel::platform
