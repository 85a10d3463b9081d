// Halvex, the scan monitor: holds the "usbHalvex" presence while it runs and keeps
// "bPaperLoaded" up to date for the scan-to-file library. "Halvex --status" tells how things are.
#include <cstdio>
#include <string>

#include <CLI/CLI.hpp>

#include "client/driver_binding.h"
#include "client/monitor/paper_watch.h"
#include "client/monitor_handshake.h"
#include "platform/monitor_presence.h"
#include "platform/stop_request.h"

int main(int argc, char** argv) {
    CLI::App app("Halvex: watches the scanner's feeder for the scan-to-file library");
    bool status = false;
    mirt::monitor::WatchOptions options;
    app.add_flag("--status", status, "print whether the monitor runs, the scan flag and the paper state");
    app.add_option("--interval", options.intervalMs, "milliseconds between looks at the scanner")
        ->check(CLI::Range(50u, 60000u));
    CLI11_PARSE(app, argc, argv);
    if (status) return mirt::monitor::PrintStatus();

    // Blocked from here on, so a stop request arrives only between looks at the scanner.
    ordavel::platform::StopRequest stop;
    const auto presence = ordavel::platform::Presence::Take(mirt::client::kMonitorPresence);
    if (!presence) {
        std::fprintf(stderr, "Halvex: a monitor is already running\n");
        return 0;
    }
    mirt::client::DriverBinding driver;
    if (!driver.bind(mirt::client::DriverLibraryPath())) {
        std::fprintf(stderr, "Halvex: %s\n", driver.error().c_str());
    }
    mirt::monitor::Watch(driver, stop, options);
    return 0;
}
