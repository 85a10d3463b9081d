// Waiting for the controller to go idle, and checking whether paper is at the sensors.
#include "driver/device/paper_path.h"

#include <algorithm>
#include <cmath>

#include "driver/device/controller_registers.h"
#include "driver/device/status_report.h"
#include "driver/device/transport.h"
#include "driver/interface/driver_context.h"

namespace ordavel::device {

namespace {

// Running commands (a scan, register programming) are stopped; moves that end by themselves are
// polled again at once.
bool MustStopCommand(uint8_t command) { return command == kCommandScan || command >= kCommandProgramming; }

}  // namespace

// The longest any move along the paper path can take: the scanner's length plus five inches at
// the top speed. A speed of zero or less, or a result that is not a usable number of
// milliseconds, would make the limit meaningless (or the conversion undefined); the wait then
// gets no time at all and reports failure rather than polling for ever.
uint32_t IdleTimeLimitMs(const description::ScannerDescription& d) {
    constexpr double kLongestLimitMs = 0x7FFF'FFFF;
    if (!(d.Max_Speed > 0)) return 0;
    const double limit = std::trunc(1000.0 * (d.Scanner_Length + 5) / d.Max_Speed);
    if (!(limit > 0)) return 0;
    return static_cast<uint32_t>(std::min(limit, kLongestLimitMs));
}

bool WaitForIdle(DriverContext& ctx) {
    platform::Clock& clock = ctx.clock();
    const uint32_t limit = IdleTimeLimitMs(ctx.description);
    const uint32_t start = clock.tickCount();
    // Elapsed time by unsigned difference, so the wait keeps its length when the tick count
    // wraps around during it.
    while (clock.tickCount() - start < limit) {
        uint8_t command = 0;
        if (!ReadRegister(ctx, kCommand, command)) return false;
        if (command == kCommandIdle) return true;
        if (MustStopCommand(command) && !WriteRegister(ctx, kCommand, kCommandIdle)) return false;
    }
    return false;
}

bool CheckPaperEmpty(DriverContext& ctx, int32_t& empty) {
    empty = 1;
    if (!WaitForIdle(ctx)) return false;
    uint8_t status = 0;
    if (!ReadRegister(ctx, kSensorStatus, status)) {
        empty = 0;
        return false;
    }
    // A sheet at either paper sensor is the next page, whatever the tray input says: that input
    // also reads "empty" once the last sheet of the stack has left the tray for the rollers, and
    // taking it first ended a batch with its last sheet waiting unscanned in the paper path.
    if ((status & (kPaperAtSensor1 | kPaperAtSensor2)) != 0) {
        ReportProgress(ctx, "扫描下一张");
        empty = 0;
    } else if ((status & kFeederEmptyOrCoverOpen) != 0) {
        empty = 1;
    }
    return true;
}

}  // namespace ordavel::device
