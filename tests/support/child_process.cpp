// Child processes for tests, by fork.
#include "tests/support/child_process.h"

#include <grp.h>
#include <signal.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

namespace ordavel::test {

namespace {

bool BecomeUser(std::optional<unsigned> uid) {
    if (!uid) return true;
    // Root's supplementary groups go too: a second user of the machine has none of them.
    return ::setgroups(0, nullptr) == 0 && ::setgid(static_cast<gid_t>(*uid)) == 0 && ::setuid(static_cast<uid_t>(*uid)) == 0;
}

int WaitFor(int pid) {
    int status = 0;
    if (::waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

}  // namespace

bool RunningAsRoot() { return ::geteuid() == 0; }

int RunInChild(const std::function<int()>& body, std::optional<unsigned> uid) {
    const pid_t pid = ::fork();
    if (pid < 0) return -1;
    if (pid == 0) ::_exit(BecomeUser(uid) ? body() : 125);
    return WaitFor(pid);
}

HoldingChild::HoldingChild(const std::function<bool()>& hold, std::optional<unsigned> uid) {
    int ready[2];
    if (::pipe(ready) != 0) return;
    pid_ = ::fork();
    if (pid_ == 0) {
        ::close(ready[0]);
        const char held = BecomeUser(uid) && hold() ? 1 : 0;
        (void)!::write(ready[1], &held, 1);
        ::pause();  // until the parent ends it
        ::_exit(0);
    }
    ::close(ready[1]);
    char held = 0;
    holding_ = pid_ > 0 && ::read(ready[0], &held, 1) == 1 && held == 1;
    ::close(ready[0]);
}

HoldingChild::~HoldingChild() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGKILL);
    int status = 0;
    ::waitpid(pid_, &status, 0);
}

std::vector<int> RunChildrenTogether(const std::vector<std::function<int()>>& bodies) {
    std::vector<pid_t> pids;
    for (const auto& body : bodies) {
        const pid_t pid = ::fork();
        if (pid == 0) ::_exit(body());
        pids.push_back(pid);
    }
    std::vector<int> codes;
    for (pid_t pid : pids) codes.push_back(pid > 0 ? WaitFor(pid) : -1);
    return codes;
}

}  // namespace ordavel::test
