// Files the driver creates for itself in a directory other users may share: created without
// following a symbolic link planted under their name, exclusively where a fresh file is meant,
// staged files put in place by rename, and a fresh unique temporary file name.
#pragma once

#include <cstdio>
#include <string>

namespace ordavel::platform {

// Flushes the regular file `path` to disk (a link is not followed); false when that fails.
bool SyncFile(const std::string& path);

// Removes the directory entry `path` (a planted link is removed, never its target) and creates
// the file anew, exclusively and without following links, empty, for binary reading and writing
// with read and write permission for the owner only. Null on failure: in particular when another
// user's entry of that name cannot be removed (a sticky directory), the driver's data is never
// written into a file someone else put there.
std::FILE* CreateOwnerFile(const std::string& path);

// Creates a new, empty file with a unique name in `directory` beginning with `prefix` and
// returns its path; empty when none can be created.
std::string UniqueTemporaryFile(const std::string& directory, const std::string& prefix);

// True when `path` names a directory entry of any kind (a link is not followed).
bool EntryExists(const std::string& path);

// Flushes the regular file `from` to disk and renames it to `to` (replacing `to`, or a link of
// that name, never a link's target). False when `from` is missing or not a regular file, or the
// flush or rename fails.
bool MoveIntoPlace(const std::string& from, const std::string& to);

// Flushes the regular file `path` to disk (a link is not followed); false when that fails.
bool SyncFile(const std::string& path);

// Removes the directory entry `path` when it exists; false only when it exists and stays.
bool RemoveEntry(const std::string& path);

}  // namespace ordavel::platform
