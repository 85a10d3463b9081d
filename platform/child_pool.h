// Work run in child processes of this one, a few at a time, each within a time limit. A program
// that must keep many runs apart (a fault campaign: one driver context per process) forks a
// child per run; a child that crashes, aborts with a sanitizer report or hangs is seen as such
// instead of taking the program down with it.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace ordavel::platform {

// The exit code of a child whose leak check found leaks.
inline constexpr int kLeakReportExitCode = 23;

struct ChildEnd {
    enum class How { Exited, Signalled, TimedOut };
    How how = How::Exited;
    int code = 0;          // exit code, or the signal that ended the child
    std::string output;    // the text the child's work returned (complete only when it exited 0)
    std::string errors;    // what the child wrote to standard error, cut at about 64 KiB
    double seconds = 0;    // wall time from fork to end
};

class ChildPool {
public:
    explicit ChildPool(int jobs);
    ~ChildPool();  // kills and reaps children still running
    ChildPool(const ChildPool&) = delete;
    ChildPool& operator=(const ChildPool&) = delete;

    std::size_t running() const { return children_.size(); }
    bool full() const { return children_.size() >= jobs_; }

    // Forks a child that runs `work`, hands its text back and exits; false when no child could be
    // made. With `leakCheck`, a sanitizer build checks the child for leaks before it exits (a
    // leak report ends it with a nonzero code).
    bool start(uint64_t id, const std::function<std::string()>& work, uint32_t timeoutMs, bool leakCheck);
    // Waits until a running child ends, or kills one whose time is up; returns its id and end
    // (id 0 and an empty end when none runs).
    std::pair<uint64_t, ChildEnd> next();

private:
    struct Child {
        uint64_t id = 0;
        int pid = -1;
        int outFd = -1;
        int errFd = -1;
        double startSeconds = 0;
        double deadlineSeconds = 0;
        std::string output;
        std::string errors;
    };

    ChildEnd reap(Child& child, bool timedOut);

    std::size_t jobs_;
    std::vector<Child> children_;
};

}  // namespace ordavel::platform
