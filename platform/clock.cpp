// The clocks every system shares: the machine-wide monotonic time base (the standard steady
// clock, monotonic on every system this builds for) and real time scaled by a speed.
#include "platform/clock.h"

#include <chrono>
#include <thread>

namespace ordavel::platform {

uint64_t MonotonicMicroseconds() {
    using namespace std::chrono;
    return static_cast<uint64_t>(duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count());
}

void SleepRealMicroseconds(uint64_t micros) {
    if (micros > 0) std::this_thread::sleep_for(std::chrono::microseconds(micros));
}

ScaledRealClock::ScaledRealClock(double speed, uint64_t originMicros)
    : speed_(speed > 0 ? speed : 1.0), originMicros_(originMicros) {}

uint64_t ScaledRealClock::microseconds() {
    const uint64_t now = MonotonicMicroseconds();
    return now > originMicros_ ? static_cast<uint64_t>(static_cast<double>(now - originMicros_) * speed_) : 0;
}

void ScaledRealClock::sleep(uint32_t milliseconds) {
    // Rounded up, so that a sleep never ends before the time it stands for has passed.
    SleepRealMicroseconds(static_cast<uint64_t>(static_cast<double>(milliseconds) * 1000.0 / speed_ + 0.999));
}

}  // namespace ordavel::platform
