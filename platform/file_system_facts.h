// What this system's file system does where systems differ, for callers that must expect the
// system's own answer (tests above all, which otherwise would spell one system's behaviour).
#pragma once

namespace ordavel::platform {

// True where every file carries owner, group and other permission bits and the driver's own
// files are made owner-only by them (POSIX: mode 0600). False on Windows: a file has no such
// bits there (the C runtime reports a plain file as 0666 whatever its ACL says) and the driver's
// files are private because the user's temporary directory they live in is.
bool OwnerOnlyFileModesApply();

// True where a directory opens as a file for reading and only the read fails (POSIX), false
// where the open itself fails (Windows): a directory standing where a file is expected is then a
// read error on the first system and an open error on the second.
bool DirectoriesOpenAsFiles();

}  // namespace ordavel::platform
