// The real clock on POSIX: the monotonic clock (CLOCK_MONOTONIC, one time base for every process
// of the machine) counted from the clock's creation.
#include "platform/clock.h"

#include <chrono>
#include <thread>

#include <sys/prctl.h>

namespace ordavel::platform {

RealClock::RealClock() : originMicros_(MonotonicMicroseconds()) {}

uint32_t RealClock::tickCount() { return static_cast<uint32_t>(microseconds() / 1000); }

uint64_t RealClock::microseconds() { return MonotonicMicroseconds() - originMicros_; }

void RealClock::sleep(uint32_t milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

void PreferPreciseSleeps() { ::prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL); }

}  // namespace ordavel::platform
