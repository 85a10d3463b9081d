// Forked children on POSIX: two pipes each (the work's text, standard error), poll for both
// with the nearest deadline, SIGKILL when a child's time is up.
#include "platform/child_pool.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#if defined(__SANITIZE_ADDRESS__)
#define MIRT_HAS_LSAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define MIRT_HAS_LSAN 1
#endif
#endif
#if defined(MIRT_HAS_LSAN)
#include <sanitizer/lsan_interface.h>
#endif

namespace ordavel::platform {

namespace {

constexpr std::size_t kErrorCap = 64 * 1024;

double Now() { return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count(); }

void WriteAll(int fd, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;
        done += static_cast<std::size_t>(n);
    }
}

// Reads what is there; false at end of file or on error (the fd is then closed).
bool Drain(int& fd, std::string& into, std::size_t cap) {
    char buffer[16384];
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && (errno == EINTR || errno == EAGAIN)) return true;
    if (n <= 0) {
        ::close(fd);
        fd = -1;
        return false;
    }
    const std::size_t room = into.size() < cap ? cap - into.size() : 0;
    into.append(buffer, std::min(room, static_cast<std::size_t>(n)));
    return true;
}

[[noreturn]] void RunChild(const std::function<std::string()>& work, int outFd, int errFd, bool leakCheck) {
    ::dup2(errFd, STDERR_FILENO);
    const int devNull = ::open("/dev/null", O_WRONLY);
    if (devNull >= 0) ::dup2(devNull, STDOUT_FILENO);
    const std::string text = work();
    WriteAll(outFd, text);
    int code = 0;
#if defined(MIRT_HAS_LSAN)
    if (leakCheck && __lsan_do_recoverable_leak_check() != 0) code = kLeakReportExitCode;
#else
    (void)leakCheck;
#endif
    // No exit handlers: they belong to the parent's copy of the program.
    ::_exit(code);
}

}  // namespace

ChildPool::ChildPool(int jobs) : jobs_(static_cast<std::size_t>(std::max(1, jobs))) {}

ChildPool::~ChildPool() {
    for (Child& c : children_) {
        ::kill(c.pid, SIGKILL);
        reap(c, true);
    }
}

bool ChildPool::start(uint64_t id, const std::function<std::string()>& work, uint32_t timeoutMs, bool leakCheck) {
    int out[2], err[2];
    if (::pipe2(out, O_CLOEXEC) != 0) return false;
    if (::pipe2(err, O_CLOEXEC) != 0) {
        ::close(out[0]);
        ::close(out[1]);
        return false;
    }
    // Buffered output would be written twice, once by each process.
    std::fflush(nullptr);
    const pid_t pid = ::fork();
    if (pid < 0) {
        for (int fd : {out[0], out[1], err[0], err[1]}) ::close(fd);
        return false;
    }
    if (pid == 0) {
        ::close(out[0]);
        ::close(err[0]);
        RunChild(work, out[1], err[1], leakCheck);
    }
    ::close(out[1]);
    ::close(err[1]);
    ::fcntl(out[0], F_SETFL, O_NONBLOCK);
    ::fcntl(err[0], F_SETFL, O_NONBLOCK);
    Child c;
    c.id = id;
    c.pid = pid;
    c.outFd = out[0];
    c.errFd = err[0];
    c.startSeconds = Now();
    c.deadlineSeconds = c.startSeconds + timeoutMs / 1000.0;
    children_.push_back(std::move(c));
    return true;
}

ChildEnd ChildPool::reap(Child& c, bool timedOut) {
    if (c.outFd >= 0) ::close(c.outFd);
    if (c.errFd >= 0) ::close(c.errFd);
    c.outFd = c.errFd = -1;
    int status = 0;
    while (::waitpid(c.pid, &status, 0) < 0 && errno == EINTR) {
    }
    ChildEnd end;
    end.output = std::move(c.output);
    end.errors = std::move(c.errors);
    end.seconds = Now() - c.startSeconds;
    if (timedOut) {
        end.how = ChildEnd::How::TimedOut;
    } else if (WIFSIGNALED(status)) {
        end.how = ChildEnd::How::Signalled;
        end.code = WTERMSIG(status);
    } else {
        end.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    return end;
}

std::pair<uint64_t, ChildEnd> ChildPool::next() {
    while (!children_.empty()) {
        // A child whose pipes are both closed has exited (or is about to): reap it.
        for (std::size_t i = 0; i < children_.size(); ++i) {
            Child& c = children_[i];
            const bool timedOut = (c.outFd >= 0 || c.errFd >= 0) && Now() >= c.deadlineSeconds;
            if (timedOut) ::kill(c.pid, SIGKILL);
            if ((c.outFd < 0 && c.errFd < 0) || timedOut) {
                const uint64_t id = c.id;
                ChildEnd end = reap(c, timedOut);
                children_.erase(children_.begin() + static_cast<std::ptrdiff_t>(i));
                return {id, std::move(end)};
            }
        }
        std::vector<pollfd> fds;
        std::vector<std::pair<std::size_t, bool>> owners;  // child index, is the output pipe
        double nearest = Now() + 3600;
        for (std::size_t i = 0; i < children_.size(); ++i) {
            const Child& c = children_[i];
            nearest = std::min(nearest, c.deadlineSeconds);
            if (c.outFd >= 0) {
                fds.push_back({c.outFd, POLLIN, 0});
                owners.emplace_back(i, true);
            }
            if (c.errFd >= 0) {
                fds.push_back({c.errFd, POLLIN, 0});
                owners.emplace_back(i, false);
            }
        }
        const double wait = std::max(0.0, nearest - Now());
        const int waitMs = static_cast<int>(std::min(wait * 1000.0 + 1, static_cast<double>(INT_MAX)));
        const int ready = ::poll(fds.data(), fds.size(), waitMs);
        if (ready <= 0) continue;
        for (std::size_t k = 0; k < fds.size(); ++k) {
            if (fds[k].revents == 0) continue;
            Child& c = children_[owners[k].first];
            if (owners[k].second) {
                Drain(c.outFd, c.output, SIZE_MAX);
            } else {
                Drain(c.errFd, c.errors, kErrorCap);
            }
        }
    }
    return {0, ChildEnd{}};
}

}  // namespace ordavel::platform
