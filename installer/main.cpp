// install: registers or removes the scanner's drivers, one operation per run ("install 5").
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "installer/installer_program.h"
#include "platform/clock.h"
#include "platform/device_setup.h"
#include "platform/installer_window.h"
#include "platform/process.h"

int main(int argc, char** argv) {
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    const auto window = ordavel::platform::CreateInstallerWindow();
    installer::ProgramParts parts;
    parts.setup = ordavel::platform::CreateDeviceSetup();
    parts.clock = std::make_shared<ordavel::platform::RealClock>();
    parts.window = window.get();
    parts.installerDirectory = ordavel::platform::ExecutableDirectory();
    // The worker may still be in its final sleep when the program ends; it ends with it.
    return installer::RunInstallerProgram(arguments, parts);
}
