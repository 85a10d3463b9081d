// Whole-file replacement and the clean-up of its stray temporaries, on POSIX.
#include "platform/atomic_file.h"

#include "platform/temporary_names.h"

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ordavel::platform {

namespace {

mode_t ModeForRewrite(const std::string& path) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode)) return info.st_mode & 07777;
    return 0644;
}

bool WriteAll(int fd, std::string_view content) {
    const char* p = content.data();
    std::size_t left = content.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, left);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        p += n;
        left -= static_cast<std::size_t>(n);
    }
    return true;
}

// Removes `path` when it is a stale temporary of ours. The lock is taken on the file itself: a
// writer holds it from creation to rename, so a file we can lock is no one's work in progress.
bool RemoveWhenStale(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat info {};
    bool removed = false;
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_uid == ::geteuid() &&
        std::time(nullptr) - info.st_mtime >= kStaleTemporarySeconds && ::flock(fd, LOCK_EX | LOCK_NB) == 0) {
        // The entry must still be the file we locked (not replaced meanwhile by a rename).
        struct stat now {};
        if (::lstat(path.c_str(), &now) == 0 && now.st_ino == info.st_ino && now.st_dev == info.st_dev) {
            removed = ::unlink(path.c_str()) == 0;
        }
    }
    ::close(fd);
    return removed;
}

}  // namespace

bool WriteFileAtomically(const std::string& path, std::string_view content) {
    struct stat link {};
    if (::lstat(path.c_str(), &link) == 0 && S_ISLNK(link.st_mode) && link.st_uid != ::geteuid()) return false;
    const mode_t mode = ModeForRewrite(path);
    std::string tmp = path + ".XXXXXX";
    std::vector<char> name(tmp.begin(), tmp.end());
    name.push_back('\0');
    // mkstemp creates exclusively (O_CREAT | O_EXCL): never through a planted link.
    const int fd = ::mkstemp(name.data());
    if (fd < 0) return false;
    bool ok = ::flock(fd, LOCK_EX) == 0;
    ok = ok && WriteAll(fd, content);
    // mkstemp creates owner-only files; a rewritten file keeps the mode it had.
    ok = ok && ::fchmod(fd, mode) == 0;
    ok = ok && ::fsync(fd) == 0;
    ok = ok && std::rename(name.data(), path.c_str()) == 0;
    if (!ok) ::unlink(name.data());
    // Closing releases the lock, after the rename: the temporary is never seen unlocked.
    ok = (::close(fd) == 0) && ok;
    return ok;
}

int RemoveStaleTemporaries(const std::string& directory, std::span<const std::string_view> atomicBases) {
    DIR* dir = ::opendir(directory.c_str());
    if (dir == nullptr) return 0;
    std::vector<std::string> candidates;
    while (const dirent* entry = ::readdir(dir)) {
        if (IsLeftoverTemporaryName(entry->d_name, atomicBases)) candidates.emplace_back(entry->d_name);
    }
    ::closedir(dir);
    std::string prefix = directory;
    if (!prefix.empty() && prefix.back() != '/') prefix += '/';
    int removed = 0;
    for (const std::string& name : candidates) {
        if (RemoveWhenStale(prefix + name)) ++removed;
    }
    return removed;
}

}  // namespace ordavel::platform
