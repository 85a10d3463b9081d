// The user's temporary directory, where every file of the driver lives.
#pragma once

#include <string>

namespace ordavel::platform {

// Longest temporary directory path the driver accepts (the platform's path limit).
inline constexpr std::size_t kMaxTempPath = 260;

// POSIX: $TMPDIR when set and non-empty, else /tmp. Windows: GetTempPathA's answer without its
// final backslash. Empty when the result would exceed kMaxTempPath.
std::string SystemTemporaryDirectory();

#if defined(_WIN32)
// The platform's path separator, and the environment variable the system takes its temporary
// directory from first (tests and services point it at a directory of their own).
inline constexpr char kPathSeparator = '\\';
inline constexpr const char* kTemporaryDirectoryVariable = "TMP";
#else
inline constexpr char kPathSeparator = '/';
inline constexpr const char* kTemporaryDirectoryVariable = "TMPDIR";
#endif

}  // namespace ordavel::platform
