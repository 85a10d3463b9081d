// The installer's window on a terminal or pipe: the window thread's loop is a queue of requests.
#include "platform/installer_window.h"

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <mutex>
#include <string>
#include <thread>

namespace ordavel::platform {

namespace {

class ConsoleInstallerWindow final : public InstallerWindow {
public:
    WindowHandle handle() const override { return 0; }

    void appendToLog(std::string_view text) override {
        std::fwrite(text.data(), 1, text.size(), stdout);
        std::fflush(stdout);
    }

    void showMessageBox(std::string_view caption, std::string_view text) override {
        // One line: the text's own line ends are the box's layout, not part of the message.
        std::string line(caption);
        line += ": ";
        line += text;
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
        for (char& c : line) {
            if (c == '\n' || c == '\r') c = ' ';
        }
        line += '\n';
        std::fwrite(line.data(), 1, line.size(), stderr);
        std::fflush(stderr);
    }

    // Runs sent tasks in order until the OK command arrives (tasks sent before it run first).
    void run(const std::function<void()>& started, uint32_t closeDelayMs) override {
        started();
        std::unique_lock lock(mutex_);
        for (;;) {
            changed_.wait(lock, [&] { return !tasks_.empty() || ok_; });
            if (tasks_.empty()) break;
            auto task = std::move(tasks_.front());
            tasks_.pop_front();
            lock.unlock();
            task();
            lock.lock();
            ++done_;
            changed_.notify_all();
        }
        lock.unlock();
        std::this_thread::sleep_for(std::chrono::milliseconds(closeDelayMs));
    }

    void send(const std::function<void()>& task) override {
        std::unique_lock lock(mutex_);
        const uint64_t ticket = ++sent_;
        tasks_.push_back(task);
        changed_.notify_all();
        changed_.wait(lock, [&] { return done_ >= ticket; });
    }

    void postOk() override {
        std::lock_guard lock(mutex_);
        ok_ = true;
        changed_.notify_all();
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::function<void()>> tasks_;
    uint64_t sent_ = 0, done_ = 0;
    bool ok_ = false;
};

}  // namespace

std::unique_ptr<InstallerWindow> CreateInstallerWindow() { return std::make_unique<ConsoleInstallerWindow>(); }

}  // namespace ordavel::platform
