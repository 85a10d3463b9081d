// The real clock: monotonic time from the operating system.
#include "platform/clock.h"

#include <chrono>
#include <thread>

namespace ordavel::platform {

namespace {
uint64_t steadyMicros() {
    using namespace std::chrono;
    return static_cast<uint64_t>(duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count());
}
}  // namespace

RealClock::RealClock() : originMicros_(steadyMicros()) {}

uint32_t RealClock::tickCount() { return static_cast<uint32_t>(microseconds() / 1000); }

uint64_t RealClock::microseconds() { return steadyMicros() - originMicros_; }

void RealClock::sleep(uint32_t milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

}  // namespace ordavel::platform
