// Watching the feeder.
#include "client/monitor/paper_watch.h"

#include <cstdio>

#include "client/monitor_handshake.h"
#include "client/scan_parameters.h"
#include "platform/monitor_presence.h"

namespace mirt::monitor {

namespace {

bool ClientScanRunning() {
    uint32_t scanStart = client::kScanIdle;
    return client::ReadKeyDword(client::kScanStartValue, scanStart) && scanStart == client::kScanRunning;
}

void Publish(PaperState state) {
    uint32_t stored = 0;
    const uint32_t value = static_cast<uint32_t>(state);
    // Rewritten only on change, so an idle monitor leaves the store alone.
    if (client::ReadKeyDword(client::kPaperLoadedValue, stored) && stored == value) return;
    client::WriteKeyDword(client::kPaperLoadedValue, value);
}

}  // namespace

const char* Describe(PaperState state) {
    switch (state) {
        case PaperState::None: return "no paper in the feeder";
        case PaperState::Loaded: return "paper loaded";
        case PaperState::NoScanner: return "scanner not found or not accessible";
        case PaperState::PathNotReady: return "paper path not ready (jam or stuck motor)";
    }
    return "unknown";
}

PaperState LookAtScanner(client::DriverBinding& driver) {
    if (!driver.bound()) return PaperState::NoScanner;
    // The smallest of the client's scans; the request only has to be one the driver accepts.
    const client::ScanParameters params = client::SheetParameters(8, 200, client::PaperForm::Narrow);
    if (driver.setScanParams(params, 0, nullptr) != 0) return PaperState::NoScanner;
    // A client scan that began meanwhile has the device now.
    if (ClientScanRunning()) return PaperState::None;
    if (driver.start() != 0) return PaperState::NoScanner;
    int32_t empty = 1;
    const int32_t checked = driver.paperEmpty(&empty);
    driver.stop();
    if (checked != 0) return PaperState::PathNotReady;
    return empty != 0 ? PaperState::None : PaperState::Loaded;
}

void Watch(client::DriverBinding& driver, ordavel::platform::StopRequest& stop, const WatchOptions& options) {
    do {
        // The scanner is left alone while the library uses it; the flag says so to monitors of
        // other builds, the device-use lock closes the gap between a look and a starting call.
        if (!ClientScanRunning()) {
            if (const auto use = ordavel::platform::Presence::Take(client::kDeviceUsePresence)) {
                const PaperState state = LookAtScanner(driver);
                if (!ClientScanRunning()) Publish(state);
            }
        }
    } while (!stop.waitFor(options.intervalMs));
    // The answer goes with the monitor: a library finding no monitor must not act on a value
    // written by one that has ended.
    client::DeleteKeyValue(client::kPaperLoadedValue);
}

int PrintStatus() {
    const bool running = ordavel::platform::PresenceHeld(client::kMonitorPresence);
    std::printf("%-10s %s\n", "monitor:", running ? "running" : "not running");
    uint32_t scanStart = 0;
    if (client::ReadKeyDword(client::kScanStartValue, scanStart)) {
        const char* meaning = scanStart == client::kScanRunning      ? "a client scan runs"
                              : scanStart == client::kScanFeedFailed ? "the last feed failed"
                                                                      : "idle";
        std::printf("%-10s %s (%u)\n", "scan:", meaning, scanStart);
    } else {
        std::printf("%-10s %s\n", "scan:", "idle (never set)");
    }
    uint32_t paper = 0;
    if (client::ReadKeyDword(client::kPaperLoadedValue, paper)) {
        std::printf("%-10s %s (%u)\n", "paper:", Describe(static_cast<PaperState>(paper)), paper);
    } else {
        std::printf("%-10s %s\n", "paper:", "no answer yet");
    }
    return running ? 0 : 1;
}

}  // namespace mirt::monitor
