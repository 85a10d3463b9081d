// The real clocks: monotonic time from the operating system, plain or scaled.
#include "platform/clock.h"

#include <chrono>
#include <thread>

#include <sys/prctl.h>

namespace ordavel::platform {

namespace {
// The steady clock is CLOCK_MONOTONIC here: one time base for every process of the machine.
uint64_t steadyMicros() {
    using namespace std::chrono;
    return static_cast<uint64_t>(duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count());
}
}  // namespace

uint64_t MonotonicMicroseconds() { return steadyMicros(); }

void SleepRealMicroseconds(uint64_t micros) {
    if (micros > 0) std::this_thread::sleep_for(std::chrono::microseconds(micros));
}

RealClock::RealClock() : originMicros_(steadyMicros()) {}

uint32_t RealClock::tickCount() { return static_cast<uint32_t>(microseconds() / 1000); }

uint64_t RealClock::microseconds() { return steadyMicros() - originMicros_; }

void RealClock::sleep(uint32_t milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

void PreferPreciseSleeps() { ::prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL); }

ScaledRealClock::ScaledRealClock(double speed, uint64_t originMicros)
    : speed_(speed > 0 ? speed : 1.0), originMicros_(originMicros) {}

uint64_t ScaledRealClock::microseconds() {
    const uint64_t now = steadyMicros();
    return now > originMicros_ ? static_cast<uint64_t>(static_cast<double>(now - originMicros_) * speed_) : 0;
}

void ScaledRealClock::sleep(uint32_t milliseconds) {
    // Rounded up, so that a sleep never ends before the time it stands for has passed.
    SleepRealMicroseconds(static_cast<uint64_t>(static_cast<double>(milliseconds) * 1000.0 / speed_ + 0.999));
}

}  // namespace ordavel::platform
