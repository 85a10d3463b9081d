// The cross-process device lock of a USB scanner: an advisory lock on the device node itself.
//
// Every user who may talk to the device can open its node, so every such user can take the
// lock; a lock file of our own would belong to whoever created it first and lock everybody else
// out. The node is opened read-only: the lock needs no write access, and a read-only open of a
// usbfs node neither claims nor disturbs the device.
#pragma once

#include <cstdint>
#include <string>

namespace ordavel::platform {

// The usbfs node of the device at that bus number and address ("/dev/bus/usb/001/004").
std::string UsbDeviceNodePath(unsigned busNumber, unsigned deviceAddress);

class DeviceNodeLock {
public:
    explicit DeviceNodeLock(std::string nodePath);
    ~DeviceNodeLock();
    DeviceNodeLock(const DeviceNodeLock&) = delete;
    DeviceNodeLock& operator=(const DeviceNodeLock&) = delete;

    // Takes the lock, waiting up to `timeoutMs`; false when another holder kept it that long or
    // the node cannot be opened. The lock is exclusive between holders of separate DeviceNodeLocks,
    // in this process or another.
    bool lock(uint32_t timeoutMs);
    bool unlock();

private:
    bool ensureOpen();

    std::string path_;
    int fd_ = -1;
};

}  // namespace ordavel::platform
