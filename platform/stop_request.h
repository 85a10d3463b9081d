// A long-running program's wait between rounds of work that ends early when the user asks the
// program to stop: SIGTERM or SIGINT on POSIX (blocked while a StopRequest lives, so they are only
// ever taken here, never in the middle of a device transfer); on Windows a console break or
// close, or a close or quit message to the thread's windows, whose messages the wait handles.
#pragma once

#include <cstdint>
#include <memory>

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

    // What the system keeps while the request is armed.
    struct Native;

private:
    bool requested_ = false;
    int signal_ = 0;
    std::unique_ptr<Native> native_;
};

}  // namespace ordavel::platform
