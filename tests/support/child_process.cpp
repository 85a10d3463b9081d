// Child processes for tests, by fork.
#include "tests/support/child_process.h"

#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

namespace ordavel::test {

namespace {

bool BecomeUser(std::optional<unsigned> uid) {
    if (!uid) return true;
    return ::setgid(static_cast<gid_t>(*uid)) == 0 && ::setuid(static_cast<uid_t>(*uid)) == 0;
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
    int release[2];
    if (::pipe(ready) != 0) return;
    if (::pipe(release) != 0) {
        ::close(ready[0]);
        ::close(ready[1]);
        return;
    }
    pid_ = ::fork();
    if (pid_ == 0) {
        ::close(ready[0]);
        ::close(release[1]);
        const char held = BecomeUser(uid) && hold() ? 1 : 0;
        (void)!::write(ready[1], &held, 1);
        char unused = 0;
        (void)!::read(release[0], &unused, 1);  // returns when the parent closes its end
        ::_exit(0);
    }
    ::close(ready[1]);
    ::close(release[0]);
    release_ = release[1];
    char held = 0;
    holding_ = pid_ > 0 && ::read(ready[0], &held, 1) == 1 && held == 1;
    ::close(ready[0]);
}

HoldingChild::~HoldingChild() {
    if (release_ >= 0) ::close(release_);
    if (pid_ > 0) WaitFor(pid_);
}

}  // namespace ordavel::test
