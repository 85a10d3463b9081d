// The sheet watch of sheet scans: the tail kept up to the scan line, and a stopped sheet noticed
// by sensors that no longer change as a moving sheet's would.
#include "driver/engine/sheet_watch.h"

#include <cmath>

#include "driver/description/register_programming.h"
#include "driver/device/controller_registers.h"
#include "driver/device/paper_path.h"
#include "driver/device/status_report.h"
#include "driver/device/transport.h"
#include "driver/interface/driver_context.h"

namespace ordavel::engine::acquisition {

namespace {

constexpr const char* kCoverOpenText = "上盖打开";
// The tray sensor and the cover switch share one input: a sheet that stopped while it reads set
// may be jammed or held by the opened cover, and the text says both.
constexpr const char* kJamOrCoverOpenText = "塞纸或上盖打开";
constexpr uint8_t kJamSignal = 0x11;
constexpr uint8_t kCoverOpenSignal = 0x19;

double ControllerLinesPerStep(const DriverContext& ctx) {
    const ScanParms& p = ctx.engine.parms;
    const int32_t stepsPerInch = ctx.description.Motor_Steps_Per_Inch;
    if (stepsPerInch <= 0) return 0;
    const int32_t linesPerLine = (p.channelmode & 1) != 0 ? 3 : 1;  // line-rate colour: three a line
    return static_cast<double>(p.yres) * linesPerLine / stepsPerInch;
}

int64_t StepsToLines(const DriverContext& ctx, double steps) {
    return static_cast<int64_t>(std::ceil(steps * ControllerLinesPerStep(ctx)));
}

// Decided here: how long the sensors may disagree with a moving sheet before the sheet counts as
// stopped. A quarter inch of travel covers a tray sensor that sits a little before the entrance
// and the latency of the polls, and still fails the page long before its end.
int64_t MarginLines(const DriverContext& ctx) {
    return StepsToLines(ctx, ctx.description.Motor_Steps_Per_Inch / 4.0);
}

// Decided here: the description does not give the distance from the entrance (paper sensor 2) to
// paper sensor 1. It is taken to be no longer than the distance on from sensor 1 to the scan
// line (the entrance, the sensor and the rollers sit close together on a sheet feeder); a tail
// that left the entrance and still covers sensor 1 a margin beyond that has stopped.
int64_t EntranceToSensorOneLimitLines(const DriverContext& ctx) {
    return SensorOneToScanLineLines(ctx) + MarginLines(ctx);
}

// Lines the controller has acquired: what was read plus what it holds (the sample that followed
// the sensor status).
int64_t LinesAcquired(const DriverContext& ctx, int32_t units) {
    const AcquisitionState& a = ctx.engine.acquisition;
    const int32_t bytesPerLine = ctx.engine.parms.bytesperline;
    if (bytesPerLine <= 0) return 0;
    return (int64_t{a.totalRead} + description::MemUnitsToBytes(ctx, units)) / bytesPerLine;
}

bool SheetStopped(DriverContext& ctx, const char* text, uint8_t signal) {
    device::Report(ctx, "%s", text);
    device::WriteRegister(ctx, device::kGpioPins56, signal);
    return false;
}

// The tail has passed the scan line (or the next sheet reached sensor 1 first): the page ends.
void TailPassed(DriverContext& ctx, uint8_t status) {
    AcquisitionState& a = ctx.engine.acquisition;
    a.paperOutSeen = true;
    // No sheet follows when none is at the sensors and the tray input reads empty. Otherwise the
    // next one is on its way and the short feed brings it to sensor 1: the full feed would read
    // the gap before it as an empty path and run the motor on, carrying it past the scan
    // position so that its top is never scanned.
    a.lastSheet = (status & (device::kPaperAtSensor1 | device::kPaperAtSensor2)) == 0 &&
                  (status & device::kFeederEmptyOrCoverOpen) != 0;
    ctx.record.feedNeeded = a.lastSheet ? 1 : 0;
}

}  // namespace

int64_t SensorOneToScanLineLines(const DriverContext& ctx) {
    return StepsToLines(ctx, device::kPositioningSteps + ctx.description.Start_Of_Scan);
}

bool FollowSheet(DriverContext& ctx, uint8_t status, int32_t units) {
    AcquisitionState& a = ctx.engine.acquisition;
    SheetWatchState& w = a.watch;
    if (a.job != ScanJob::Sheet || a.paperOutSeen) return true;
    const int64_t lines = LinesAcquired(ctx, units);
    const bool atSensor1 = (status & device::kPaperAtSensor1) != 0;
    const bool atEntrance = (status & device::kPaperAtSensor2) != 0;
    const bool trayInput = (status & device::kFeederEmptyOrCoverOpen) != 0;

    if (w.tailLeftSensor1At >= 0) {
        // The tail left sensor 1 and is still before the scan line: the scan goes on until it has
        // passed, unless the next sheet already reaches sensor 1 (it must not be carried on).
        if (atSensor1 || lines >= w.keepUntilLine) TailPassed(ctx, status);
        return true;
    }
    if (!atSensor1) {
        w.tailLeftSensor1At = lines;
        w.keepUntilLine = lines + SensorOneToScanLineLines(ctx);
        return true;
    }

    // The sheet still covers sensor 1. A tray input that reads empty while a sheet still reaches
    // back to the entrance is the cover (an empty tray cannot hold that sheet).
    if (trayInput && atEntrance) {
        if (w.coverSeenAt < 0) w.coverSeenAt = lines;
        if (lines - w.coverSeenAt > MarginLines(ctx)) return SheetStopped(ctx, kCoverOpenText, kCoverOpenSignal);
    } else {
        w.coverSeenAt = -1;
    }
    // Once its tail has left the entrance the sheet must clear sensor 1 soon after.
    if (!atEntrance && w.tailLeftEntranceAt < 0) w.tailLeftEntranceAt = lines;
    if (w.tailLeftEntranceAt >= 0 && lines - w.tailLeftEntranceAt > EntranceToSensorOneLimitLines(ctx)) {
        return trayInput ? SheetStopped(ctx, kJamOrCoverOpenText, kCoverOpenSignal)
                         : SheetStopped(ctx, device::kPaperJamText, kJamSignal);
    }
    return true;
}

bool FollowSheetToWindowEnd(DriverContext& ctx) {
    const AcquisitionState& a = ctx.engine.acquisition;
    if (a.job != ScanJob::Sheet || a.paperOutSeen || a.watch.tailLeftSensor1At < 0) return true;
    uint8_t status = 0;
    if (!device::ReadRegister(ctx, device::kSensorStatus, status)) return false;
    TailPassed(ctx, status);
    return true;
}

int64_t PageEndByte(const DriverContext& ctx) {
    const AcquisitionState& a = ctx.engine.acquisition;
    if (a.job != ScanJob::Sheet || a.watch.keepUntilLine < 0) return -1;
    return a.watch.keepUntilLine * ctx.engine.parms.bytesperline;
}

}  // namespace ordavel::engine::acquisition
