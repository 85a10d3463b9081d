// An exclusive lock on a file that says "one process owns this": held while the process lives,
// released by the system when it ends however it ends (a crash included).
#pragma once

#include <string>

namespace ordavel::platform {

class InstanceLock {
public:
    InstanceLock() = default;
    ~InstanceLock() { release(); }
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;

    // Takes the lock on `path` (created 0600 when missing) without waiting; false when another
    // process holds it or the file cannot be opened.
    bool tryAcquire(const std::string& path);
    // Replaces the file's text while the lock is held (the owner says who it is).
    bool record(const std::string& text);
    void release();
    bool held() const { return handle_ >= 0; }

private:
    int handle_ = -1;
};

}  // namespace ordavel::platform
