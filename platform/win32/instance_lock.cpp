// The instance lock on Windows: an exclusive LockFileEx range far past the file's text, which the
// system drops with the owner's handle however the owner ends. Others may still read the text.
#include "platform/instance_lock.h"

#include <windows.h>

#include "platform/win32/file_handle.h"

namespace ordavel::platform {

namespace {

// The locked byte range: past any text an owner records, so readers are never blocked.
constexpr DWORD kLockOffsetHigh = 0x7fffffff;

bool LockRange(HANDLE file) {
    OVERLAPPED at{};
    at.OffsetHigh = kLockOffsetHigh;
    return ::LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at) != 0;
}

}  // namespace

bool InstanceLock::tryAcquire(const std::string& path) {
    release();
    const HANDLE file = ::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    if (!LockRange(file)) {
        ::CloseHandle(file);
        return false;
    }
    handle_ = win32::DescriptorOfHandle(file);
    if (handle_ < 0) return false;
    path_ = path;
    return true;
}

bool InstanceLock::record(const std::string& text) {
    if (handle_ < 0) return false;
    const HANDLE file = win32::HandleOfDescriptor(handle_);
    LARGE_INTEGER start{};
    DWORD written = 0;
    return ::SetFilePointerEx(file, start, nullptr, FILE_BEGIN) != 0 && ::SetEndOfFile(file) != 0 &&
           ::WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) != 0 &&
           written == text.size();
}

void InstanceLock::release() {
    if (handle_ < 0) return;
    win32::CloseDescriptor(handle_);
    handle_ = -1;
    path_.clear();
}

void InstanceLock::releaseAndRemove() {
    if (handle_ < 0) return;
    // Deleted while held: the name goes now, the file with the last handle.
    ::DeleteFileA(path_.c_str());
    release();
}

}  // namespace ordavel::platform
