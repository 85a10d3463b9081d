// The installer's window: a log box that lines are appended to, message boxes with an OK button,
// and the window thread's loop that carries the worker's requests to it. On Windows it is the
// installer's dialog with its log box; on a terminal or pipe the log box is standard output (each
// line written as it arrives) and a message box is one "caption: text" line on standard error.
// Texts are UTF-8.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>

#include "platform/device_setup.h"

namespace ordavel::platform {

class InstallerWindow {
public:
    virtual ~InstallerWindow() = default;
    virtual WindowHandle handle() const = 0;

    // On the window's thread: appends `text` at the end of the log box, exactly as given.
    virtual void appendToLog(std::string_view text) = 0;
    virtual void showMessageBox(std::string_view caption, std::string_view text) = 0;

    // On the window's thread: shows the window and runs its loop. `started` runs once while the
    // window initialises (it starts the worker); the window closes `closeDelayMs` (real time)
    // after the OK command arrives, which ends the call. The window keeps answering meanwhile.
    virtual void run(const std::function<void()>& started, uint32_t closeDelayMs) = 0;
    // From any thread: runs `task` on the window's thread, in order with the other requests, and
    // returns once it is done. Only while run() runs.
    virtual void send(const std::function<void()>& task) = 0;
    // From any thread: the OK command; returns at once.
    virtual void postOk() = 0;
};

std::unique_ptr<InstallerWindow> CreateInstallerWindow();

}  // namespace ordavel::platform
