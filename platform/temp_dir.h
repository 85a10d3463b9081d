// The user's temporary directory, where every file of the driver lives.
#pragma once

#include <string>

namespace ordavel::platform {

// Longest temporary directory path the driver accepts (the platform's path limit).
inline constexpr std::size_t kMaxTempPath = 260;

// $TMPDIR when set and non-empty, else /tmp. Empty when the result would exceed kMaxTempPath.
std::string SystemTemporaryDirectory();

// The platform's path separator ("/" here).
inline constexpr char kPathSeparator = '/';

}  // namespace ordavel::platform
