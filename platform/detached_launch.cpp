// Detached start on POSIX: fork twice so the program is adopted by init and never becomes a
// zombie of the caller; the middle child is reaped at once.
#include "platform/detached_launch.h"

#include <cerrno>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace ordavel::platform {

namespace {

[[noreturn]] void RunDetached(const std::string& program, int reportFd) {
    ::setsid();
    const int null = ::open("/dev/null", O_RDWR);
    if (null >= 0) {
        ::dup2(null, STDIN_FILENO);
        ::dup2(null, STDOUT_FILENO);
        ::dup2(null, STDERR_FILENO);
    }
    // Descriptors of the caller (pipes of a test harness among them) must not be held open by a
    // program that may run for hours. The report pipe moves to descriptor 3, closed by exec.
    constexpr int kReportFd = STDERR_FILENO + 1;
    if (reportFd != kReportFd) {
        ::dup2(reportFd, kReportFd);
        reportFd = kReportFd;
    }
    ::fcntl(reportFd, F_SETFD, FD_CLOEXEC);
    ::close_range(kReportFd + 1, ~0U, 0);
    char* const argv[] = {const_cast<char*>(program.c_str()), nullptr};
    ::execv(program.c_str(), argv);
    const char failed = 1;
    if (::write(reportFd, &failed, 1) < 0) {
        // Nothing more can be said.
    }
    ::_exit(127);
}

}  // namespace

bool LaunchDetached(const std::string& program) {
    // The grandchild reports an exec failure through this pipe; a successful exec closes it.
    int report[2];
    if (::pipe2(report, O_CLOEXEC) != 0) return false;
    const pid_t child = ::fork();
    if (child < 0) {
        ::close(report[0]);
        ::close(report[1]);
        return false;
    }
    if (child == 0) {
        ::close(report[0]);
        const pid_t grandchild = ::fork();
        if (grandchild == 0) RunDetached(program, report[1]);
        ::_exit(grandchild < 0 ? 1 : 0);
    }
    ::close(report[1]);
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    char failed = 0;
    ssize_t n = 0;
    do {
        n = ::read(report[0], &failed, 1);
    } while (n < 0 && errno == EINTR);
    ::close(report[0]);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 && n == 0;
}

}  // namespace ordavel::platform
