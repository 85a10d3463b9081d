// The production environment of the driver library: the system temporary directory and the
// device list, with the real clock.
//
// MIRT_VIRTUAL_SCANNER naming a virtual scanner configuration lists that scanner first (so it is
// the one opened even when a real scanner of the same names is attached). It is the shared
// device of that configuration: every process of the user that names the same file reaches one
// scanner (one feeder, one device lock, one time) through the configuration's server, which the
// first of them starts. The driver's clock then follows the time the server announces: real time
// times the configured speed.
//
// MIRT_VIRTUAL_PRIVATE=1 gives this process a scanner of its own instead, modelled in the process
// on virtual time (a page costs no real time): what the demonstration feeder of `mirt` and tests
// that want determinism use. Where the system offers no local sockets (Windows) there is no shared
// device, and every virtual scanner is private so.
#include "driver/interface/production_environment.h"

#include <cstdio>
#include <cstdlib>

#include "platform/background_process.h"
#include "platform/clock.h"
#include "platform/local_socket.h"
#include "platform/process.h"
#include "platform/temp_dir.h"
#include "platform/usb_device_backend.h"
#include "virtual/shared_scanner_client.h"
#include "virtual/virtual_backend.h"

namespace ordavel::interface {

namespace {

std::string VirtualScannerConfig() { return platform::GetEnvironment("MIRT_VIRTUAL_SCANNER"); }

bool PrivateVirtualScanner() {
    const std::string value = platform::GetEnvironment("MIRT_VIRTUAL_PRIVATE");
    return (!value.empty() && value != "0") || !platform::LocalSocketsAvailable();
}

void SayMissing(const std::string& error) {
    // The user asked for this scanner explicitly; say why it is missing rather than leaving
    // only "device not found" later.
    std::fprintf(stderr, "Ordavel: virtual scanner %s: %s\n", VirtualScannerConfig().c_str(), error.c_str());
}

// The server program: named by MIRT_VIRTUAL_SERVER, else found from where this process runs,
// never from where it was built (an installed driver must not depend on a build tree that may be
// gone, or belong to someone else). Looked for beside the file that holds this code (the driver
// library, or a program linking the driver), then in the "bin" folder next to that file's folder
// (a library in "lib", programs in "bin", as in the build tree and an installed prefix), then the
// same two places for the running program (a copy of the library laid out elsewhere, as the
// client's Windows-directory layout does, is loaded by a program that sits beside the server).
std::string SharedScannerServerProgram() {
    static const char anchor = 0;
    std::vector<std::string> folders;
    for (const std::string& here : {platform::ModuleFolderOf(&anchor), platform::ExecutableDirectory()}) {
        if (here.empty()) continue;
        folders.push_back(here);
        folders.push_back(here + "/../bin");
    }
    return virtual_scanner::FindSharedScannerServer(platform::GetEnvironment("MIRT_VIRTUAL_SERVER"), folders);
}

}  // namespace

void AddProductionDeviceBackends(platform::DeviceList& devices,
                                 const std::shared_ptr<platform::VirtualClock>& virtualClock) {
    if (virtualClock) {
        std::string error;
        auto backend = virtual_scanner::MakeVirtualScannerBackend(VirtualScannerConfig(), virtualClock, error);
        if (backend) {
            devices.addBackend(std::move(backend));
        } else {
            SayMissing(error);
        }
    }
    if (auto usb = platform::MakeUsbDeviceBackend()) devices.addBackend(std::move(usb));
}

DriverEnvironment MakeProductionEnvironment() {
    DriverEnvironment env;
    env.devices = std::make_shared<platform::DeviceList>();
    std::shared_ptr<platform::VirtualClock> virtualClock;
    const std::string config = VirtualScannerConfig();
    if (!config.empty() && PrivateVirtualScanner()) {
        virtualClock = std::make_shared<platform::VirtualClock>();
        env.clock = virtualClock;
    } else if (!config.empty()) {
        std::string error;
        virtual_scanner::SharedScannerStart start;
        start.serverProgram = SharedScannerServerProgram();
        if (auto shared = virtual_scanner::ConnectSharedScanner(config, start, error)) {
            env.clock = std::make_shared<platform::ScaledRealClock>(shared->announcement.speed,
                                                                    shared->announcement.originMicros);
            env.devices->addBackend(std::move(shared->backend));
        } else {
            SayMissing(error);
        }
    }
    if (!env.clock) env.clock = std::make_shared<platform::RealClock>();
    AddProductionDeviceBackends(*env.devices, virtualClock);
    env.tempDirectory = platform::SystemTemporaryDirectory();
    env.workingDirectory.clear();  // the process's current directory
    return env;
}

}  // namespace ordavel::interface
