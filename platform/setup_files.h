// File helpers of the POSIX device set-up: whole-file reads with a size limit, atomic writes,
// directory listings by a Windows-style pattern, and POSIX errors as Windows error codes.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace ordavel::platform::setup_files {

// The Windows error code for a POSIX errno value.
uint32_t ErrorFromErrno(int error);

// The whole content of a regular file of at most `limit` bytes; nullopt with `error` (a Windows
// code) when it is missing, not a regular file, unreadable or too large.
std::optional<std::string> ReadFile(const std::string& path, std::size_t limit, uint32_t& error);

// Writes `content` to a temporary file beside `path` and renames it over `path`. With
// `exclusive`, fails with ERROR_FILE_EXISTS instead of replacing an existing file.
bool WriteFileAtomically(const std::string& path, const std::string& content, bool exclusive, uint32_t& error);

// Creates a directory and its parents.
bool MakeDirectories(const std::string& path, uint32_t& error);

// True when `name` matches a pattern of '*' and '?' wildcards, letter case ignored.
bool MatchesPattern(const std::string& name, const std::string& pattern);

// Regular files (not directories) in `directory` matching `pattern`, sorted; empty when the
// directory cannot be listed.
std::vector<std::string> ListFiles(const std::string& directory, const std::string& pattern);

bool FileExists(const std::string& path);

std::string JoinPath(const std::string& directory, const std::string& name);

}  // namespace ordavel::platform::setup_files
