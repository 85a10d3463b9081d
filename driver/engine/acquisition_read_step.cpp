// A read step of the open scan: the first step starts the controller; every step then polls
// the data counter, reads what is available and hands it on, until the destination is full, a
// chunk is done (calibration scans), the data ends, or something fails.
#include <algorithm>
#include <cstdint>

#include "driver/description/gamma_tables.h"
#include "driver/description/register_image.h"
#include "driver/description/register_programming.h"
#include "driver/description/scanner_description.h"
#include "driver/device/controller_registers.h"
#include "driver/device/paper_path.h"
#include "driver/device/status_report.h"
#include "driver/device/transport.h"
#include "driver/engine/acquisition_steps.h"
#include "driver/engine/controller_wait.h"
#include "driver/engine/line_output.h"
#include "driver/engine/scan_setup.h"
#include "driver/engine/sheet_watch.h"
#include "driver/interface/driver_context.h"

namespace ordavel::engine::acquisition {

namespace {

constexpr uint8_t kDataCounter = 0x01;
constexpr uint8_t kEngineStatus = 0x03;
constexpr uint8_t kEngineStopped = 0x10;  // register 0x03: the scan engine has stopped acquiring
constexpr uint32_t kSettleMs = 1000;
constexpr int32_t kCounterUnitsForUnpolledRead = 262144;  // 16-bit scans read without polling

int32_t GammaDepth(int32_t bitDepth) { return bitDepth % 3 == 0 ? bitDepth / 3 : bitDepth; }

// Sheet scans refuse a destination that cannot take one output line.
bool DestinationTakesALine(DriverContext& ctx) {
    if (ctx.engine.destination.capacity >= ctx.engine.output.outputBytesPerLine) return true;
    device::Report(ctx, "扫描宽度超界");
    return false;
}

// The LM9831 keeps data of an earlier scan: read it away and return the counter that is left.
bool DiscardStaleData(DriverContext& ctx, int32_t& threshold) {
    threshold = 0;
    if (!description::IsLM9831(ctx.description)) return true;
    uint8_t units = 0;
    if (!device::ReadRegister(ctx, kDataCounter, units)) return false;
    ByteBlock& buffer = ctx.engine.acquisition.workBuffer;
    const auto bytes = std::min<std::size_t>(static_cast<std::size_t>(description::MemUnitsToBytes(ctx, units)),
                                             buffer.size());
    if (!device::ReadBlock(ctx, device::kDataPort, {buffer.data(), bytes})) return false;
    uint8_t left = 0;
    if (!device::ReadRegister(ctx, kDataCounter, left)) return false;
    threshold = left;
    return true;
}

bool PrepareSheetScan(DriverContext& ctx) {
    // A sheet without its shading is not the page on the paper (streaked, or blank where no table
    // arrived): a failed download fails the scan with its own text. Set-up has already found the
    // stored files, so a failure here is the device's or the files' just now.
    if (!DownloadStoredShading(ctx)) return false;
    if (!description::LoadGammaTables(ctx, GammaDepth(ctx.engine.request.bitDepth))) return false;
    device::ReportProgress(ctx, "扫描中...");
    description::RegisterImage block;
    return device::ReadRegisterBlock(ctx, block);
}

bool StartController(DriverContext& ctx) {
    return device::WriteRegister(ctx, device::kCommand, device::kCommandIdle) &&
           device::WriteRegister(ctx, device::kCommand, device::kCommandScan);
}

// Waits until data beyond the stale threshold arrives, or the engine stops or goes idle.
bool WaitForScanToGetGoing(DriverContext& ctx, int32_t threshold) {
    ControllerWait wait(ctx);
    for (;;) {
        if (!wait.goesOn()) return false;
        std::array<uint8_t, 3> s{};
        if (!ReadCounterSamples(ctx, s)) return false;
        if (s[1] != s[0] && s[1] != s[2]) continue;
        if (s[1] > threshold) return true;
        uint8_t status = 0;
        if (!device::ReadRegister(ctx, kEngineStatus, status)) return false;
        if ((status & kEngineStopped) != 0) return true;
        uint8_t command = 0;
        if (!device::ReadRegister(ctx, device::kCommand, command)) return false;
        if (command == 0) return true;
    }
}

// False after a failure (reported by the failing step).
bool FirstReadStep(DriverContext& ctx) {
    EngineState& e = ctx.engine;
    AcquisitionState& a = e.acquisition;
    a.started = true;
    if (a.job == ScanJob::Sheet && !DestinationTakesALine(ctx)) return false;
    int32_t threshold = 0;
    if (!DiscardStaleData(ctx, threshold)) return false;
    if (a.job == ScanJob::Sheet) {
        if (!PrepareSheetScan(ctx)) return false;
    } else if (ctx.settings.debugLevel != 0) {
        description::RegisterImage block;
        if (!device::ReadRegisterBlock(ctx, block)) return false;
    }
    if (!StartController(ctx)) return false;
    if (a.job == ScanJob::Sheet) SetStartStamps(e.info, ctx.clock().tickCount());
    return a.stopCount != 0 || WaitForScanToGetGoing(ctx, threshold);
}

// The controller has delivered everything: stop it and restore the paper sensors. A sheet scan
// is done only once the line output has delivered the whole image.
bool EndOfData(DriverContext& ctx) {
    AcquisitionState& a = ctx.engine.acquisition;
    const bool lineWaiting = a.bytesInBuffer >= ctx.engine.parms.bytesperline || LineOutputWaiting(ctx);
    // With no line left to deliver, an image the output still lacks can never complete; the
    // scan ends rather than polling for ever.
    if (a.job != ScanJob::Sheet || LineOutputComplete(ctx) || !lineWaiting) a.done = true;
    if (a.stopCount != 0) {
        ControllerWait wait(ctx);
        for (;;) {
            if (!wait.goesOn()) return false;
            uint8_t command = 0;
            uint8_t status = 0;
            if (!device::ReadRegister(ctx, device::kCommand, command)) return false;
            if (command == 0) break;
            if (!device::ReadRegister(ctx, kEngineStatus, status)) return false;
            if ((status & kEngineStopped) != 0) break;
        }
    }
    if (!device::WriteRegister(ctx, device::kCommand, device::kCommandIdle)) return false;
    if (a.stopCount != 0) {
        uint8_t unused = 0;
        if (!device::ReadRegister(ctx, kDataCounter, unused)) return false;
    }
    return FollowSheetToWindowEnd(ctx) && description::WritePaperSensorConfig(ctx);
}

// The status callback's progress point; false when the scan must stop (`reentered` tells
// whether the callback re-entered the engine, in which case nothing more may be touched).
bool ProgressPoint(DriverContext& ctx, bool& reentered) {
    AcquisitionState& a = ctx.engine.acquisition;
    a.insideStep = true;
    const int answer = device::CallStatusCallback(ctx, 1);
    reentered = !a.insideStep;
    if (reentered) return false;
    a.insideStep = false;
    return answer == 0;
}

// Counter sample for this pass: polled, or a fixed amount for 16-bit data.
std::optional<int32_t> Availability(DriverContext& ctx) {
    const ScanParms& p = ctx.engine.parms;
    if (p.bitsperchannel == 16) {
        ctx.engine.acquisition.amountCounted = false;
        return description::BytesToMemUnits(ctx, kCounterUnitsForUnpolledRead);
    }
    const int64_t pageKiB = int64_t{p.bytesperline} * ctx.engine.acquisition.linesToScan / 1024;
    return PollAvailability(ctx, static_cast<int32_t>(std::min<int64_t>(pageKiB, INT32_MAX)));
}

int32_t Remaining(const DriverContext& ctx) {
    const AcquisitionState& a = ctx.engine.acquisition;
    const int64_t expected = int64_t{ctx.engine.parms.bytesperline} * a.linesToScan;
    return static_cast<int32_t>(std::clamp<int64_t>(expected - a.totalRead, 0, INT32_MAX));
}

// Steps 5 to 12: progress point, availability, end of data and transfer. False when the pass
// cannot go on: an error (flag set) or a re-entry from the callback (`reentered`).
bool ReadPass(DriverContext& ctx, int32_t& remaining, bool& reentered) {
    EngineState& e = ctx.engine;
    AcquisitionState& a = e.acquisition;
    RefreshStartStamps(e.info, ctx.clock().tickCount());
    if (a.job == ScanJob::Sheet) SetProgress(e.info, a.totalRead);
    if (!ProgressPoint(ctx, reentered)) {
        a.error = !reentered;  // a non-zero answer cancels the scan
        return false;
    }
    const std::optional<int32_t> v = Availability(ctx);
    if (!v) {
        a.error = true;
        return false;
    }
    if (e.parms.millisecs == 0) e.parms.millisecs = static_cast<int32_t>(ctx.clock().tickCount());
    TakeSample(ctx, *v);
    remaining = Remaining(ctx);
    if (remaining == 0 && !EndOfData(ctx)) {
        a.error = true;
        return false;
    }
    a.bytesWanted = std::min(a.bytesWanted, remaining);
    if (!TransferWantedBytes(ctx, remaining)) a.error = true;
    return !a.error;
}

// Sheet scans and the probe keep reading within the call while the work buffer has room and
// data is still to come.
bool KeepsReading(DriverContext& ctx, int32_t remaining, bool returnAfterChunk) {
    const AcquisitionState& a = ctx.engine.acquisition;
    const int32_t roomLimit = static_cast<int32_t>(a.workBuffer.size()) - description::MemUnitsToBytes(ctx, 255);
    return a.bytesInBuffer < roomLimit && !a.done && !returnAfterChunk && remaining != 0;
}

bool Pause(int32_t& done) {
    done = 0;
    return true;
}

// Steps 4 to 15: read, hand on and repeat until the step returns.
bool MainLoop(DriverContext& ctx, int32_t& done) {
    AcquisitionState& a = ctx.engine.acquisition;
    const bool returnAfterChunk = ReturnsAfterEachChunk(ctx);
    // Passes that bring no data are bounded by their number as well as by the waits inside them:
    // each costs register transfers (a millisecond or more on the bus), so this many in a row is
    // most of a minute of a controller that answers but never gives data, whatever clock the
    // waits run on (a working scanner's longest stretch without data is some hundreds of passes).
    constexpr int kMostPassesWithoutData = 50'000;
    int passesWithoutData = 0;
    for (;;) {
        if (a.done) return Finish(ctx, done, false);
        int32_t remaining = 0;
        bool reentered = false;
        const int64_t readBefore = a.totalRead;
        if (!ReadPass(ctx, remaining, reentered)) return reentered ? false : Finish(ctx, done, false);
        passesWithoutData = a.totalRead == readBefore ? passesWithoutData + 1 : 0;
        if (passesWithoutData >= kMostPassesWithoutData) {
            device::Report(ctx, device::kCommunicationFailedText);
            a.error = true;
            return Finish(ctx, done, false);
        }
        if (KeepsReading(ctx, remaining, returnAfterChunk)) continue;
        if (a.bytesInBuffer > 0) HandOnBufferedData(ctx);
        if (a.delivering && !a.error) return Pause(done);
        if (a.done || a.error) return Finish(ctx, done, false);
        if (returnAfterChunk) return Pause(done);
    }
}

}  // namespace

bool ReturnsAfterEachChunk(const DriverContext& ctx) {
    const ScanJob job = ctx.engine.acquisition.job;
    return job != ScanJob::Sheet && job != ScanJob::Probe;
}

bool ReadStep(DriverContext& ctx, int32_t& done) {
    AcquisitionState& a = ctx.engine.acquisition;
    done = 0;
    if (a.delivering) {
        a.delivering = false;
        if (!a.done) DeliverBufferedLines(ctx);
        if (a.delivering && !a.error) return true;
        if (a.done || a.error) return Finish(ctx, done, false);
        if (ReturnsAfterEachChunk(ctx)) return true;
        return MainLoop(ctx, done);
    }
    if (!a.started && !FirstReadStep(ctx)) {
        a.error = true;
        return Finish(ctx, done, false);
    }
    ctx.record.feedNeeded = 1;
    if (ctx.engine.parms.bitsperchannel != 16) ctx.clock().sleep(kSettleMs);
    return MainLoop(ctx, done);
}

}  // namespace ordavel::engine::acquisition
