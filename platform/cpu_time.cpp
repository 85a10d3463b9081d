// CPU time through the POSIX per-thread clock.
#include "platform/cpu_time.h"

#include <ctime>

namespace ordavel::platform {

double ThreadCpuSeconds() {
    timespec now{};
    if (clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now) != 0) return 0;
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

}  // namespace ordavel::platform
