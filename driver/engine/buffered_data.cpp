// Handing the work buffer's data on: whole controller lines to the line output for sheet scans,
// the probe's data dropped, everything else appended to the work file.
#include <cstring>

#include "driver/engine/acquisition_steps.h"
#include "driver/engine/line_output.h"
#include "driver/engine/work_file.h"
#include "driver/interface/driver_context.h"

namespace ordavel::engine::acquisition {

namespace {

// Moves what is left (a partial line at most) to the start of the work buffer.
void CompactWorkBuffer(AcquisitionState& a) {
    if (a.readOffset == 0) return;
    std::memmove(a.workBuffer.data(), a.workBuffer.data() + a.readOffset, static_cast<std::size_t>(a.bytesInBuffer));
    a.readOffset = 0;
}

}  // namespace

void DeliverBufferedLines(DriverContext& ctx) {
    EngineState& e = ctx.engine;
    AcquisitionState& a = e.acquisition;
    const int32_t bytesPerLine = e.parms.bytesperline;
    while (bytesPerLine > 0 && a.bytesInBuffer >= bytesPerLine) {
        uint8_t* line = a.workBuffer.data() + a.readOffset;
        e.geometry.currentInputLine = line;
        const LineOutputResult result = OutputLine(ctx, a.workFilePath, a.imageBuffer);
        if (result == LineOutputResult::Failed) {
            a.error = true;
            break;
        }
        if (result == LineOutputResult::DestinationFull) a.delivering = true;
        if (!LineOutputWaiting(ctx)) {
            // The line's output has gone out: the line is consumed.
            if (ctx.settings.debugLevel != 0 &&
                !AppendToWorkFile(ctx, {line, static_cast<std::size_t>(bytesPerLine)})) {
                a.error = true;
            }
            a.readOffset += bytesPerLine;
            a.bytesInBuffer -= bytesPerLine;
        }
        if (a.delivering || a.error) return;  // the next ScanRead resumes at readOffset
        if (a.done) break;
    }
    CompactWorkBuffer(a);
}

void HandOnBufferedData(DriverContext& ctx) {
    AcquisitionState& a = ctx.engine.acquisition;
    switch (a.job) {
    case ScanJob::Sheet:
        DeliverBufferedLines(ctx);
        return;
    case ScanJob::Probe:
        break;
    default:
        if (!AppendToWorkFile(ctx, {a.workBuffer.data() + a.readOffset, static_cast<std::size_t>(a.bytesInBuffer)})) {
            a.error = true;
        }
        break;
    }
    a.readOffset = 0;
    a.bytesInBuffer = 0;
}

}  // namespace ordavel::engine::acquisition
