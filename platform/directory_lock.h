// A lock shared by every process that works on the files of one directory: many may hold it
// shared, one alone exclusive. An advisory lock on a lock file in that directory.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace ordavel::platform {

enum class LockMode { Shared, Exclusive };

class DirectoryLock {
public:
    // Opens the lock file `path` (creating it when missing, exclusively and without following a
    // link, readable and writable by every user so that all who share the directory can lock it)
    // and takes the lock, trying again until `timeoutMs` has passed. Nullopt when the file cannot
    // be opened, is not a regular file, or the lock stays taken.
    static std::optional<DirectoryLock> Acquire(const std::string& path, LockMode mode, uint32_t timeoutMs);

    DirectoryLock(DirectoryLock&& other) noexcept;
    DirectoryLock& operator=(DirectoryLock&& other) noexcept;
    DirectoryLock(const DirectoryLock&) = delete;
    DirectoryLock& operator=(const DirectoryLock&) = delete;
    ~DirectoryLock();  // releases the lock

private:
    explicit DirectoryLock(int fd) : fd_(fd) {}
    int fd_ = -1;
};

}  // namespace ordavel::platform
