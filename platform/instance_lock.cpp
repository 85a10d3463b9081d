// The instance lock as flock() on an open file: the kernel drops it with the last descriptor.
#include "platform/instance_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace ordavel::platform {

bool InstanceLock::tryAcquire(const std::string& path) {
    release();
    const int handle = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (handle < 0) return false;
    if (::flock(handle, LOCK_EX | LOCK_NB) != 0) {
        ::close(handle);
        return false;
    }
    handle_ = handle;
    return true;
}

bool InstanceLock::record(const std::string& text) {
    if (handle_ < 0 || ::ftruncate(handle_, 0) != 0) return false;
    return ::pwrite(handle_, text.data(), text.size(), 0) == static_cast<ssize_t>(text.size());
}

void InstanceLock::release() {
    if (handle_ < 0) return;
    ::close(handle_);
    handle_ = -1;
}

}  // namespace ordavel::platform
