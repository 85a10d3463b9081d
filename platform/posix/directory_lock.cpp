// The directory lock on POSIX: flock on a lock file.
#include "platform/directory_lock.h"

#include <cerrno>
#include <chrono>
#include <thread>
#include <utility>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ordavel::platform {

namespace {

constexpr auto kRetryInterval = std::chrono::milliseconds(10);

// Opening for reading is enough to lock. An existing file is opened without O_CREAT: in a sticky
// directory the kernel may refuse O_CREAT on another user's file, though it lets us open it.
int OpenLockFile(const std::string& path) {
    constexpr int kFlags = O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;
    for (int attempt = 0; attempt < 2; ++attempt) {
        int fd = ::open(path.c_str(), kFlags);
        if (fd >= 0 || errno != ENOENT) return fd;
        fd = ::open(path.c_str(), kFlags | O_CREAT | O_EXCL, 0666);
        if (fd >= 0) {
            // Every user sharing the directory must be able to open it, whatever our umask.
            ::fchmod(fd, 0666);
            return fd;
        }
        if (errno != EEXIST) return -1;  // created meanwhile by another process: open that one
    }
    return -1;
}

}  // namespace

std::optional<DirectoryLock> DirectoryLock::Acquire(const std::string& path, LockMode mode, uint32_t timeoutMs) {
    const int fd = OpenLockFile(path);
    if (fd < 0) return std::nullopt;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return std::nullopt;
    }
    const int operation = (mode == LockMode::Shared ? LOCK_SH : LOCK_EX) | LOCK_NB;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (::flock(fd, operation) != 0) {
        if ((errno != EWOULDBLOCK && errno != EINTR) || std::chrono::steady_clock::now() >= deadline) {
            ::close(fd);
            return std::nullopt;
        }
        std::this_thread::sleep_for(kRetryInterval);
    }
    return DirectoryLock(fd);
}

DirectoryLock::DirectoryLock(DirectoryLock&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

DirectoryLock& DirectoryLock::operator=(DirectoryLock&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
}

DirectoryLock::~DirectoryLock() {
    if (fd_ >= 0) ::close(fd_);
}

}  // namespace ordavel::platform
