// A long-running program's wait between rounds of work that ends early when the user asks the
// program to stop (SIGTERM or SIGINT). The two signals are blocked while a StopRequest lives,
// so they are only ever taken here, never in the middle of a device transfer.
#pragma once

#include <cstdint>

namespace ordavel::platform {

class StopRequest {
public:
    StopRequest();
    ~StopRequest();
    StopRequest(const StopRequest&) = delete;
    StopRequest& operator=(const StopRequest&) = delete;

    // Sleeps up to `milliseconds` (real time, no CPU); true when a stop was asked for (now or
    // before).
    bool waitFor(uint32_t milliseconds);
    bool requested() const { return requested_; }
    // The signal that asked (SIGINT or SIGTERM), 0 while none did; for exit codes of 128 + it.
    int signalNumber() const { return signal_; }

private:
    bool requested_ = false;
    int signal_ = 0;
    unsigned char savedMask_[128];
};

}  // namespace ordavel::platform
