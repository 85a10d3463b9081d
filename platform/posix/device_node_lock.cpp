// The device lock: flock() on the device node, polled until the timeout.
#include "platform/device_node_lock.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <thread>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace ordavel::platform {

namespace {
constexpr auto kPollInterval = std::chrono::milliseconds(5);
}  // namespace

std::string UsbDeviceNodePath(unsigned busNumber, unsigned deviceAddress) {
    char path[48];
    std::snprintf(path, sizeof path, "/dev/bus/usb/%03u/%03u", busNumber, deviceAddress);
    return path;
}

DeviceNodeLock::DeviceNodeLock(std::string nodePath) : path_(std::move(nodePath)) {}

DeviceNodeLock::~DeviceNodeLock() {
    if (fd_ >= 0) ::close(fd_);
}

// Opened on first use, not at construction: a node that appears late (udev still setting its
// permissions) is found by the next transfer.
bool DeviceNodeLock::ensureOpen() {
    if (fd_ < 0) fd_ = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
    return fd_ >= 0;
}

bool DeviceNodeLock::lock(uint32_t timeoutMs) {
    if (!ensureOpen()) return false;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        if (::flock(fd_, LOCK_EX | LOCK_NB) == 0) return true;
        if (errno != EWOULDBLOCK && errno != EINTR) return false;
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(kPollInterval);
    }
}

bool DeviceNodeLock::unlock() { return fd_ >= 0 && ::flock(fd_, LOCK_UN) == 0; }

}  // namespace ordavel::platform
