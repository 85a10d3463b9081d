// Time for the whole system: a millisecond tick count that wraps like the platform's, and sleep.
// Production uses the real clock; the in-process virtual scanner and the tests use a virtual
// clock in which sleeping advances time at once; processes sharing one virtual scanner run on
// real time scaled by the speed its server announces. Nothing else reads the system clock.
#pragma once

#include <cstdint>

namespace ordavel::platform {

class Clock {
public:
    virtual ~Clock() = default;
    // Milliseconds since an arbitrary origin, wrapping at 2^32.
    virtual uint32_t tickCount() = 0;
    // Monotonic microseconds since the same origin (does not wrap); for models that need
    // finer time than the tick count.
    virtual uint64_t microseconds() = 0;
    virtual void sleep(uint32_t milliseconds) = 0;
};

class RealClock final : public Clock {
public:
    RealClock();
    uint32_t tickCount() override;
    uint64_t microseconds() override;
    void sleep(uint32_t milliseconds) override;

private:
    uint64_t originMicros_;
};

// Time that moves only when someone sleeps or spends it: a page scan costs no real time.
class VirtualClock final : public Clock {
public:
    explicit VirtualClock(uint64_t startMicros = 0) : nowMicros_(startMicros) {}
    uint32_t tickCount() override { return static_cast<uint32_t>(nowMicros_ / 1000); }
    uint64_t microseconds() override { return nowMicros_; }
    void sleep(uint32_t milliseconds) override { nowMicros_ += uint64_t{milliseconds} * 1000; }
    // Time spent by work the model performs (a USB transfer, a motor move).
    void advanceMicroseconds(uint64_t micros) { nowMicros_ += micros; }

private:
    uint64_t nowMicros_;
};

// Real time running `speed` times faster, counted from `originMicros` of the system-wide
// monotonic clock (MonotonicMicroseconds): every process built on the same origin and speed reads
// the same time. Sleeping sleeps the real time that stands for the requested time.
class ScaledRealClock final : public Clock {
public:
    ScaledRealClock(double speed, uint64_t originMicros);
    uint32_t tickCount() override { return static_cast<uint32_t>(microseconds() / 1000); }
    uint64_t microseconds() override;
    void sleep(uint32_t milliseconds) override;
    double speed() const { return speed_; }

private:
    double speed_;
    uint64_t originMicros_;
};

// Microseconds of the system-wide monotonic clock: the same time base in every process.
uint64_t MonotonicMicroseconds();
// Sleeps at least that much real time.
void SleepRealMicroseconds(uint64_t micros);

}  // namespace ordavel::platform
