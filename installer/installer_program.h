// The installer program: the main (window) thread and one worker. The worker runs the operation,
// handing each log line and message box to the main thread and waiting until it is shown, then
// posts the OK command and sleeps 2,000 ms; the main thread, on OK, waits 200 ms and closes the
// window, so the program ends about 200 ms after its operation whatever the worker is doing.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/device_setup.h"
#include "platform/installer_window.h"

namespace installer {

// The operation number's text: the first argument that is not an option ("-x" or "/x");
// empty when there is none.
std::string OperationArgument(const std::vector<std::string>& arguments);

struct ProgramParts {
    std::shared_ptr<ordavel::platform::DeviceSetup> setup;
    std::shared_ptr<ordavel::platform::Clock> clock;
    ordavel::platform::InstallerWindow* window = nullptr;
    std::string installerDirectory;
};

// Runs one installer program; returns the exit status (0 when the operation reached its goal).
int RunInstallerProgram(const std::vector<std::string>& arguments, ProgramParts parts);

}  // namespace installer
