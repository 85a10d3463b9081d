// The installer program's two threads.
#include "installer/installer_program.h"

#include <atomic>
#include <string>
#include <thread>

#include "installer/operations.h"

namespace installer {

namespace {

// What the worker's operation writes, carried to the window on the main thread.
class WindowOutput final : public InstallerOutput {
public:
    explicit WindowOutput(ordavel::platform::InstallerWindow& window) : window_(window) {}
    void logLine(std::string_view line) override {
        std::string text(line);
        text += "\r\n";
        window_.send([this, &text] { window_.appendToLog(text); });
    }
    void messageBox(std::string_view text) override {
        // No caption of its own: the box shows the system's default one.
        window_.send([this, &text] { window_.showMessageBox("Error", text); });
    }

private:
    ordavel::platform::InstallerWindow& window_;
};

// What the worker reports, kept alive by the worker itself: it may outlive the main thread's
// part of the program by its final sleep.
struct WorkerState {
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
    auto& window = *parts.window;

    const auto startWorker = [state, number, parts] {
        std::thread worker([state, number, parts] {
            WindowOutput output(*parts.window);
            InstallerContext ctx{*parts.setup, output, parts.installerDirectory, parts.window->handle()};
            state->succeeded = RunOperation(number, ctx);
            parts.window->postOk();
            parts.clock->sleep(2000);
        });
        worker.detach();
    };
    // The OK command: a short pause, then the window closes.
    constexpr uint32_t kCloseDelayMs = 200;
    window.run(startWorker, kCloseDelayMs);
    return state->succeeded ? 0 : 1;
}

}  // namespace installer
