// The device lock that serialises raw transfers of several clients of one virtual scanner: a real
// in-process lock with a timeout. A holder may lock again. When the holder is another client on
// the waiting thread itself, waiting could never succeed: the wait is charged to the virtual clock
// and fails at once. Holders on other threads are waited for, up to the timeout.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

#include "platform/clock.h"

namespace ordavel::virtual_scanner {

class DeviceLock {
public:
    bool lock(const void* owner, uint32_t timeoutMs, platform::VirtualClock& clock);
    bool unlock(const void* owner);
    bool heldBy(const void* owner) const;

private:
    mutable std::mutex mutex_;
    std::condition_variable released_;
    const void* owner_ = nullptr;
    std::thread::id thread_;
};

}  // namespace ordavel::virtual_scanner
