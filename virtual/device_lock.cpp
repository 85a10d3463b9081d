// Taking and releasing the device lock.
#include "virtual/device_lock.h"

#include <chrono>

namespace ordavel::virtual_scanner {

bool DeviceLock::lock(const void* owner, uint32_t timeoutMs, platform::VirtualClock& clock) {
    std::unique_lock guard(mutex_);
    auto take = [&] {
        owner_ = owner;
        thread_ = std::this_thread::get_id();
        return true;
    };
    if (owner_ == nullptr || owner_ == owner) return take();
    if (thread_ == std::this_thread::get_id()) {
        clock.sleep(timeoutMs);
        return false;
    }
    if (released_.wait_for(guard, std::chrono::milliseconds(timeoutMs), [&] { return owner_ == nullptr; })) return take();
    return false;
}

bool DeviceLock::unlock(const void* owner) {
    {
        std::lock_guard guard(mutex_);
        if (owner_ != owner || owner == nullptr) return false;
        owner_ = nullptr;
    }
    released_.notify_all();
    return true;
}

bool DeviceLock::heldBy(const void* owner) const {
    std::lock_guard guard(mutex_);
    return owner_ == owner;
}

}  // namespace ordavel::virtual_scanner
