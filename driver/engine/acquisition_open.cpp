// Opening a scan: geometry from the chip, buffers, the line output, the stop count and the
// work file.
#include <algorithm>
#include <cmath>
#include <new>
#include <vector>

#include "driver/description/register_image.h"
#include "driver/description/register_programming.h"
#include "driver/description/scanner_description.h"
#include "driver/device/controller_registers.h"
#include "driver/device/status_report.h"
#include "driver/device/transport.h"
#include "driver/engine/acquisition_steps.h"
#include "driver/engine/line_output.h"
#include "driver/engine/line_processor.h"
#include "driver/engine/scan_setup.h"
#include "driver/engine/work_file.h"
#include "driver/interface/driver_context.h"
#include "platform/work_files.h"

namespace ordavel::engine::acquisition {

namespace {

constexpr int32_t kMinimumWorkBuffer = 3 * 1048576;
constexpr int32_t kStopCountLimit = 0x4000;
constexpr uint8_t kChannelModeRegister = 0x26;
constexpr uint8_t kMoveStepHigh = 0x48;
constexpr uint8_t kPauseLimit = 0x4E;
constexpr uint8_t kResumeLimit = 0x4F;

// Forgets whatever a previous scan left and marks the scan open.
void ResetForOpen(DriverContext& ctx) {
    EngineState& e = ctx.engine;
    AcquisitionState& a = e.acquisition;
    a.idle = false;
    a.workFile = nullptr;
    a.workBuffer.Release();
    a.imageBuffer.clear();
    a.readOffset = 0;
    a.bytesInBuffer = 0;
    a.ringRead = 0;
    a.ringWrite = 0;
    a.totalRead = 0;
    a.stopCount = 0;
    a.bytesWanted = 0;
    a.controllerBytes = 0;
    a.statusHigh = 0;
    a.watch = SheetWatchState{};
    a.started = false;
    e.output.started = false;
    e.parms.millisecs = 0;
    e.geometry.interpolate = e.request.interpolate;
    e.geometry.reserved2 = e.request.reserved2;
    a.workFilePath = e.setup.workFile;
    a.job = JobOfWorkFile(a.workFilePath);
}

// An open that fails before the scan is running leaves the engine idle with nothing allocated.
bool AbandonOpen(DriverContext& ctx) {
    AcquisitionState& a = ctx.engine.acquisition;
    ProcessLines(ctx.engine.geometry, ctx.engine.processor, LineProcessorMode::CleanUp);
    a.workBuffer.Release();
    std::vector<uint8_t>().swap(a.imageBuffer);
    a.idle = true;
    return false;
}

bool PrepareFastFeed(DriverContext& ctx) {
    uint8_t unused = 0;
    return device::ReadRegister(ctx, kChannelModeRegister, unused) &&
           device::WriteRegister(ctx, kMoveStepHigh, 0x01) &&
           device::WriteRegister(ctx, device::kFastFeedStepLow, 0x50);
}

void NameUnnamedWorkFile(DriverContext& ctx) {
    AcquisitionState& a = ctx.engine.acquisition;
    if (!a.workFilePath.empty()) return;
    a.workFilePath = platform::UniqueTemporaryFile(".", "");
    if (a.workFilePath.empty()) a.workFilePath = "nsscan.tmp";
    ctx.engine.setup.workFile = a.workFilePath;
}

int32_t ChannelLinesPerLine(const ScanParms& parms) { return (parms.channelmode & 1) != 0 ? 3 : 1; }

bool AllocateWorkBuffer(DriverContext& ctx) {
    AcquisitionState& a = ctx.engine.acquisition;
    const int32_t bytes = a.job == ScanJob::Sheet ? std::max(ctx.settings.scanBufferBytes, kMinimumWorkBuffer)
                                                  : kMinimumWorkBuffer;
    bool ok = a.workBuffer.Allocate(static_cast<std::size_t>(bytes));
    try {
        if (ok && a.ring.size() != static_cast<std::size_t>(kRingBytes)) a.ring.assign(kRingBytes, 0);
    } catch (const std::bad_alloc&) {
        ok = false;
    }
    if (!ok) {
        a.workBuffer.Release();
        device::Report(ctx, "内存不足!");
    }
    return ok;
}

bool ProgramResumeLimit(DriverContext& ctx) {
    uint8_t pause = 0;
    return device::ReadRegister(ctx, kPauseLimit, pause) &&
           device::WriteRegister(ctx, kResumeLimit, static_cast<uint8_t>((pause - 1) & 0xFF));
}

bool AllocateImageBuffer(DriverContext& ctx) {
    const LineGeometry& g = ctx.engine.geometry;
    try {
        ctx.engine.acquisition.imageBuffer.assign(
            static_cast<std::size_t>(g.outputBytesPerLine) * static_cast<std::size_t>(g.repeatLimit), 0);
    } catch (const std::bad_alloc&) {
        device::Report(ctx, "内存不足!");
        return false;
    }
    return true;
}

// Full steps the controller keeps scanning after the start, so that it stops by itself after
// the lines to scan: 0 when the job or chip does not use it or the count does not fit.
int32_t StopSteps(const DriverContext& ctx, int32_t linePeriod, const description::RegisterImage& block) {
    const int32_t step = block.get16(0x46);
    const int32_t bytesPerLine = ctx.engine.parms.bytesperline;
    if (step <= 0 || bytesPerLine <= 0 || linePeriod <= 0) return 0;
    const int64_t k = (16 + bytesPerLine - 1) / bytesPerLine;
    const double steps = std::ceil(static_cast<double>(ctx.engine.acquisition.linesToScan + k + 1) * linePeriod /
                                   (static_cast<double>(step) * 4));
    return steps < kStopCountLimit ? static_cast<int32_t>(steps) : 0;
}

// False after a register failure (the scan then ends with the error flag).
bool ProgramStopCount(DriverContext& ctx) {
    AcquisitionState& a = ctx.engine.acquisition;
    a.stopCount = 0;
    if (a.job == ScanJob::Probe || description::IsLM9831(ctx.description)) return true;
    description::RegisterImage block;
    if (!device::ReadRegisterBlock(ctx, block)) return false;
    // The line period of one controller line: colour sent line by line counts three lines.
    const int32_t period = description::ComputeLinePeriod(ctx, block, false);
    const int32_t w = StopSteps(ctx, period, block);
    if (w == 0) return true;
    block.set16(0x4C, w);
    block[0x1A] = 7;
    block[0x1B] = 0;
    if (!description::WriteRegisterImage(ctx, block)) return false;
    a.stopCount = w;
    return true;
}

bool FailOpen(DriverContext& ctx, int32_t& done) {
    ctx.engine.acquisition.error = true;
    return Finish(ctx, done, false);
}

}  // namespace

bool Open(DriverContext& ctx, int32_t& done) {
    EngineState& e = ctx.engine;
    AcquisitionState& a = e.acquisition;
    ResetForOpen(ctx);
    if (!ReadBackScanGeometry(ctx) || !PrepareFastFeed(ctx)) return AbandonOpen(ctx);
    NameUnnamedWorkFile(ctx);
    if (a.job != ScanJob::Compute && !AllocateWorkBuffer(ctx)) return AbandonOpen(ctx);
    a.linesToScan = e.parms.lines * ChannelLinesPerLine(e.parms);
    e.parms.lines = a.linesToScan;

    a.error = false;
    if (!ProgramResumeLimit(ctx)) return FailOpen(ctx, done);
    a.done = false;
    a.delivering = false;
    done = 0;

    if (a.job == ScanJob::Sheet || a.job == ScanJob::Compute) {
        if (!StartLineOutput(ctx)) return AbandonOpen(ctx);
        a.linesToScan = e.geometry.inputLinesNeeded * ChannelLinesPerLine(e.parms);
        e.parms.lines = a.linesToScan;
        if (a.job == ScanJob::Compute) return true;
        if (!AllocateImageBuffer(ctx)) return AbandonOpen(ctx);
    }
    if (!ProgramStopCount(ctx)) return FailOpen(ctx, done);
    if (!CreateWorkFile(ctx)) return FailOpen(ctx, done);
    return true;
}

}  // namespace ordavel::engine::acquisition
