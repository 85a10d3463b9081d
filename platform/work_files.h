// Files the scan engine creates for itself: a work file opened for update with the owner's read
// and write permission only, and a fresh unique temporary file name.
#pragma once

#include <cstdio>
#include <string>

namespace ordavel::platform {

// Deletes `path` if it exists and creates it anew, empty, for binary reading and writing with
// read and write permission for the owner only. Null on failure.
std::FILE* CreateOwnerFile(const std::string& path);

// Creates a new, empty file with a unique name in `directory` beginning with `prefix` and
// returns its path; empty when none can be created.
std::string UniqueTemporaryFile(const std::string& directory, const std::string& prefix);

}  // namespace ordavel::platform
