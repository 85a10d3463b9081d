// The instance lock as flock() on an open file: the kernel drops it with the last descriptor.
#include "platform/instance_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ordavel::platform {

bool InstanceLock::tryAcquire(const std::string& path) {
    release();
    for (int attempt = 0; attempt < 8; ++attempt) {
        const int handle = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
        if (handle < 0) return false;
        if (::flock(handle, LOCK_EX | LOCK_NB) != 0) {
            ::close(handle);
            return false;
        }
        // The file locked must still be the one at the path: an owner that was leaving may have
        // removed it between our open and our lock.
        struct stat held {}, named {};
        if (::fstat(handle, &held) == 0 && ::stat(path.c_str(), &named) == 0 && held.st_dev == named.st_dev &&
            held.st_ino == named.st_ino) {
            handle_ = handle;
            path_ = path;
            return true;
        }
        ::close(handle);
    }
    return false;
}

bool InstanceLock::record(const std::string& text) {
    if (handle_ < 0 || ::ftruncate(handle_, 0) != 0) return false;
    return ::pwrite(handle_, text.data(), text.size(), 0) == static_cast<ssize_t>(text.size());
}

void InstanceLock::release() {
    if (handle_ < 0) return;
    ::close(handle_);
    handle_ = -1;
    path_.clear();
}

void InstanceLock::releaseAndRemove() {
    if (handle_ < 0) return;
    ::unlink(path_.c_str());
    release();
}

}  // namespace ordavel::platform
