// The directory lock on Windows: LockFileEx on the first byte of a lock file.
#include "platform/directory_lock.h"

#include <chrono>
#include <thread>
#include <utility>

#include <windows.h>

#include "platform/win32/file_handle.h"

namespace ordavel::platform {

namespace {

constexpr auto kRetryInterval = std::chrono::milliseconds(10);

// Every process sharing the directory opens the file alike: reading, writing and deletion shared.
HANDLE OpenLockFile(const std::string& path) {
    return ::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                         nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
}

bool TryLock(HANDLE file, LockMode mode) {
    OVERLAPPED at{};
    const DWORD flags = LOCKFILE_FAIL_IMMEDIATELY | (mode == LockMode::Exclusive ? LOCKFILE_EXCLUSIVE_LOCK : 0);
    return ::LockFileEx(file, flags, 0, 1, 0, &at) != 0;
}

}  // namespace

std::optional<DirectoryLock> DirectoryLock::Acquire(const std::string& path, LockMode mode, uint32_t timeoutMs) {
    const HANDLE file = OpenLockFile(path);
    if (file == INVALID_HANDLE_VALUE) return std::nullopt;
    BY_HANDLE_FILE_INFORMATION info{};
    if (::GetFileInformationByHandle(file, &info) == 0 ||
        (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0) {
        ::CloseHandle(file);
        return std::nullopt;
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!TryLock(file, mode)) {
        if (::GetLastError() != ERROR_LOCK_VIOLATION || std::chrono::steady_clock::now() >= deadline) {
            ::CloseHandle(file);
            return std::nullopt;
        }
        std::this_thread::sleep_for(kRetryInterval);
    }
    // Closing the handle releases the lock.
    const int fd = win32::DescriptorOfHandle(file);
    if (fd < 0) return std::nullopt;
    return DirectoryLock(fd);
}

DirectoryLock::DirectoryLock(DirectoryLock&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

DirectoryLock& DirectoryLock::operator=(DirectoryLock&& other) noexcept {
    if (this != &other) {
        win32::CloseDescriptor(fd_);
        fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
}

DirectoryLock::~DirectoryLock() { win32::CloseDescriptor(fd_); }

}  // namespace ordavel::platform
