// Stop requests through blocked signals taken with sigtimedwait.
#include "platform/stop_request.h"

#include <cerrno>
#include <csignal>
#include <ctime>

namespace ordavel::platform {

struct StopRequest::Native {
    sigset_t saved;
};

namespace {

sigset_t StopSignals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGINT);
    return set;
}

}  // namespace

StopRequest::StopRequest() : native_(std::make_unique<Native>()) {
    sigset_t stop = StopSignals();
    sigprocmask(SIG_BLOCK, &stop, &native_->saved);
}

StopRequest::~StopRequest() { sigprocmask(SIG_SETMASK, &native_->saved, nullptr); }

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
