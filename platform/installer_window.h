// The installer's window: a log box that lines are appended to and message boxes with an OK
// button. Called on the main thread only. On a terminal or pipe the log box is standard output
// (each line written as it arrives) and a message box is one "caption: text" line on standard error.
#pragma once

#include <memory>
#include <string_view>

#include "platform/device_setup.h"

namespace ordavel::platform {

class InstallerWindow {
public:
    virtual ~InstallerWindow() = default;
    virtual WindowHandle handle() const = 0;
    // Appends `text` at the end of the log box, exactly as given.
    virtual void appendToLog(std::string_view text) = 0;
    virtual void showMessageBox(std::string_view caption, std::string_view text) = 0;
};

class ConsoleInstallerWindow final : public InstallerWindow {
public:
    WindowHandle handle() const override { return 0; }
    void appendToLog(std::string_view text) override;
    void showMessageBox(std::string_view caption, std::string_view text) override;
};

std::unique_ptr<InstallerWindow> CreateInstallerWindow();

}  // namespace ordavel::platform
