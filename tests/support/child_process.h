// Real child processes for tests of what several processes (or users) do to shared files: a child
// that runs a body and exits with its result, optionally as another user, and a child that holds
// something (a lock, an open file) until the test lets it go.
#pragma once

#include <functional>
#include <optional>
#include <vector>

namespace ordavel::test {

// A user other than the test's: "nobody" on most systems.
inline constexpr unsigned kOtherUser = 65534;

// Only root can act as another user; tests that need one skip otherwise.
bool RunningAsRoot();

// Forks; the child becomes `uid` (group and user) when given, runs `body` and exits with its
// result. The parent waits and returns that exit code, or -1 when the child died otherwise.
int RunInChild(const std::function<int()>& body, std::optional<unsigned> uid = std::nullopt);

class HoldingChild {
public:
    // Forks a child that runs `hold` (as `uid` when given), tells the parent whether it
    // succeeded, then waits until this object is destroyed, which ends it.
    explicit HoldingChild(const std::function<bool()>& hold, std::optional<unsigned> uid = std::nullopt);
    ~HoldingChild();
    HoldingChild(const HoldingChild&) = delete;
    HoldingChild& operator=(const HoldingChild&) = delete;

    bool holding() const { return holding_; }

private:
    int pid_ = -1;
    bool holding_ = false;
};

// Forks one child per body, all at once, and returns their exit codes (-1 for one that died
// otherwise) once all have ended.
std::vector<int> RunChildrenTogether(const std::vector<std::function<int()>>& bodies);

}  // namespace ordavel::test
