// What an installer operation works with: the device set-up, the installer's directory, its
// window (as the owner of set-up calls) and the two outputs, the log box and the message box.
#pragma once

#include <string>
#include <string_view>

#include "platform/device_setup.h"

namespace installer {

using ordavel::platform::DeviceSetup;

// The log box and the message box as an operation sees them; the program carries each call to
// the window's thread and returns once it is done.
class InstallerOutput {
public:
    virtual ~InstallerOutput() = default;
    // Appends one line; `line` comes without its line end.
    virtual void logLine(std::string_view line) = 0;
    virtual void messageBox(std::string_view text) = 0;
};

struct InstallerContext {
    DeviceSetup& setup;
    InstallerOutput& output;
    std::string installerDirectory;  // without a final separator
    ordavel::platform::WindowHandle window = 0;
};

// `directory` + separator + `name`, the separator only when `directory` does not end in one.
std::string JoinPath(const std::string& directory, const std::string& name);

}  // namespace installer
