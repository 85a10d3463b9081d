// Stop requests through blocked signals taken with sigtimedwait.
#include "platform/stop_request.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <ctime>

namespace ordavel::platform {

namespace {

sigset_t StopSignals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGINT);
    return set;
}

}  // namespace

StopRequest::StopRequest() {
    static_assert(sizeof(sigset_t) <= sizeof savedMask_);
    sigset_t stop = StopSignals();
    sigset_t saved;
    sigprocmask(SIG_BLOCK, &stop, &saved);
    std::memcpy(savedMask_, &saved, sizeof saved);
}

StopRequest::~StopRequest() {
    sigset_t saved;
    std::memcpy(&saved, savedMask_, sizeof saved);
    sigprocmask(SIG_SETMASK, &saved, nullptr);
}

bool StopRequest::waitFor(uint32_t milliseconds) {
    if (requested_) return true;
    const sigset_t stop = StopSignals();
    timespec timeout{static_cast<time_t>(milliseconds / 1000), static_cast<long>(milliseconds % 1000) * 1000000L};
    for (;;) {
        const int signal = sigtimedwait(&stop, nullptr, &timeout);
        if (signal == SIGTERM || signal == SIGINT) {
            requested_ = true;
            signal_ = signal;
            return true;
        }
        // An unrelated interruption restarts the wait (slightly long, which is harmless here).
        if (signal < 0 && errno == EINTR) continue;
        return false;
    }
}

}  // namespace ordavel::platform
