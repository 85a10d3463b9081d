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

// The per-user state directory, created and checked (EnsureStateDirectory). Empty when it is
// unusable or its path would exceed kMaxTempPath.
std::string SystemTemporaryDirectory();

// The same, with the reason when it is empty.
std::string SystemTemporaryDirectory(std::string& error);

// The platform's path separator ("/" here).
inline constexpr char kPathSeparator = '/';

}  // namespace ordavel::platform
