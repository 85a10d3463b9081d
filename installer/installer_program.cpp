// The installer program's two threads.
#include "installer/installer_program.h"

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

#include "installer/operations.h"

namespace installer {

namespace {

// The main thread's message queue: sent tasks run in order on the main thread while the sender
// waits; the OK command ends the loop.
class MainThreadQueue {
public:
    void send(std::function<void()> task) {
        std::unique_lock lock(mutex_);
        const uint64_t ticket = ++sent_;
        tasks_.push_back(std::move(task));
        changed_.notify_all();
        changed_.wait(lock, [&] { return done_ >= ticket; });
    }

    void postOk() {
        std::lock_guard lock(mutex_);
        ok_ = true;
        changed_.notify_all();
    }

    // Runs sent tasks until the OK command arrives (tasks sent before it run first).
    void run() {
        std::unique_lock lock(mutex_);
        for (;;) {
            changed_.wait(lock, [&] { return !tasks_.empty() || ok_; });
            if (tasks_.empty()) return;
            auto task = std::move(tasks_.front());
            tasks_.pop_front();
            lock.unlock();
            task();
            lock.lock();
            ++done_;
            changed_.notify_all();
        }
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::function<void()>> tasks_;
    uint64_t sent_ = 0, done_ = 0;
    bool ok_ = false;
};

// What the worker's operation writes, carried to the window on the main thread.
class WindowOutput final : public InstallerOutput {
public:
    WindowOutput(MainThreadQueue& queue, ordavel::platform::InstallerWindow& window) : queue_(queue), window_(window) {}
    void logLine(std::string_view line) override {
        std::string text(line);
        text += "\r\n";
        queue_.send([this, &text] { window_.appendToLog(text); });
    }
    void messageBox(std::string_view text) override {
        // No caption of its own: the box shows the system's default one.
        queue_.send([this, &text] { window_.showMessageBox("Error", text); });
    }

private:
    MainThreadQueue& queue_;
    ordavel::platform::InstallerWindow& window_;
};

// Everything the worker touches, kept alive by the worker itself: it may outlive the main
// thread's part of the program by its final sleep.
struct WorkerState {
    MainThreadQueue queue;
    std::atomic<bool> succeeded{true};
};

}  // namespace

std::string OperationArgument(const std::vector<std::string>& arguments) {
    for (const auto& argument : arguments) {
        if (!argument.empty() && (argument[0] == '-' || argument[0] == '/')) continue;
        return argument;
    }
    return {};
}

int RunInstallerProgram(const std::vector<std::string>& arguments, ProgramParts parts) {
    const int number = ParseOperationNumber(OperationArgument(arguments));
    auto state = std::make_shared<WorkerState>();

    std::thread worker([state, number, parts] {
        WindowOutput output(state->queue, *parts.window);
        InstallerContext ctx{*parts.setup, output, parts.installerDirectory, parts.window->handle()};
        state->succeeded = RunOperation(number, ctx);
        state->queue.postOk();
        parts.clock->sleep(2000);
    });
    worker.detach();

    state->queue.run();
    // The OK command: a short pause, then the window closes.
    const int status = state->succeeded ? 0 : 1;
    parts.clock->sleep(200);
    return status;
}

}  // namespace installer
