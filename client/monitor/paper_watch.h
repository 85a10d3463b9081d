// What the scan monitor does: while no client scan runs it asks the scanner, through the
// driver's own exports, whether paper is in the feeder, and writes the answer as "bPaperLoaded".
#pragma once

#include <cstdint>
#include <string>

#include "client/driver_binding.h"
#include "platform/stop_request.h"

namespace mirt::monitor {

// The answer of one look at the scanner, as written to "bPaperLoaded" (values of pimlet.h).
enum class PaperState : uint32_t {
    None = 0,           // the scanner answered: no sheet ready
    Loaded = 1,         // a sheet is at the sensors
    NoScanner = 3,      // no driver library, no scanner, or it could not be opened and set up
    PathNotReady = 4,   // the scanner opened but its paper check failed (jam, stuck motor)
};

const char* Describe(PaperState state);

// One look: a scan set up (which opens and programs the device), the paper check, the set-up
// stopped again (which closes the device). Never moves paper.
PaperState LookAtScanner(client::DriverBinding& driver);

struct WatchOptions {
    uint32_t intervalMs = 1000;  // between looks; the device is closed meanwhile
};

// Runs until `stop` is requested: looks at the scanner whenever no client scan runs and keeps
// "bPaperLoaded" up to date. The first look happens at once; the answer is withdrawn at the end.
void Watch(client::DriverBinding& driver, ordavel::platform::StopRequest& stop, const WatchOptions& options);

// The monitor's status for people: presence, the client's scan flag and the last answer.
// Returns 0 when a monitor runs, 1 when none does.
int PrintStatus();

}  // namespace mirt::monitor
