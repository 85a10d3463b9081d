// The real clock on Windows: GetTickCount (milliseconds since boot, wrapping at 2^32 as the
// driver's timeouts expect) and Sleep. Its microseconds are the machine's monotonic time, which
// also counts from boot.
#include "platform/clock.h"

#include <windows.h>
#include <mmsystem.h>

namespace ordavel::platform {

RealClock::RealClock() : originMicros_(0) {}

uint32_t RealClock::tickCount() { return static_cast<uint32_t>(::GetTickCount()); }

uint64_t RealClock::microseconds() { return MonotonicMicroseconds() - originMicros_; }

void RealClock::sleep(uint32_t milliseconds) { ::Sleep(milliseconds); }

// The system timer's finest period, for the whole process (the system keeps one for all).
void PreferPreciseSleeps() { ::timeBeginPeriod(1); }

}  // namespace ordavel::platform
