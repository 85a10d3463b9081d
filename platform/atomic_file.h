// Files replaced whole, and the temporaries such replacements leave behind when a process dies
// halfway.
#pragma once

#include <span>
#include <string>
#include <string_view>

namespace ordavel::platform {

// Writes `content` to a fresh temporary beside `path` ("<path>.XXXXXX", created exclusively), flushes
// it and renames it over `path`, so a reader sees the old content or the new, never a part. A
// rewritten file keeps its mode; a new one gets 0644. The temporary is
// held under an exclusive advisory lock while it exists, which tells RemoveStaleTemporaries that
// it is still being written. False when `path` is a symbolic link of another user (planted,
// perhaps, in a shared directory: the content a caller read through it would land in a file of
// ours) or when any step fails; the temporary is then removed. A link of our own is replaced by
// the file, as rename does.
bool WriteFileAtomically(const std::string& path, std::string_view content);

// Seconds a temporary must have gone unmodified before it counts as stale. Its writer locks it
// right after creating it; the grace covers that moment.
inline constexpr long kStaleTemporarySeconds = 10;

// Removes from `directory` the temporaries a killed process left: "<base>.XXXXXX" for each name
// in `atomicBases` (six letters or digits, as WriteFileAtomically makes them) and any "*.partial".
// Only regular files of this user that no live process holds locked and that have not been
// modified for kStaleTemporarySeconds are removed; links, other users' files and everything else
// stay. Returns how many were removed.
int RemoveStaleTemporaries(const std::string& directory, std::span<const std::string_view> atomicBases);

}  // namespace ordavel::platform
