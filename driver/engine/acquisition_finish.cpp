// Finishing a scan: clean-up, counters, stopping the controller, final status.
#include <vector>

#include "driver/description/register_programming.h"
#include "driver/device/controller_registers.h"
#include "driver/device/status_report.h"
#include "driver/device/transport.h"
#include "driver/engine/acquisition_steps.h"
#include "driver/engine/line_output.h"
#include "driver/engine/line_processor.h"
#include "driver/engine/work_file.h"
#include "driver/interface/driver_context.h"

namespace ordavel::engine::acquisition {

bool Finish(DriverContext& ctx, int32_t& done, bool stopRequest) {
    EngineState& e = ctx.engine;
    AcquisitionState& a = e.acquisition;
    ProcessLines(e.geometry, e.processor, LineProcessorMode::CleanUp);
    CloseLineOutput(ctx);
    CloseWorkFile(ctx);
    a.workBuffer.Release();
    std::vector<uint8_t>().swap(a.imageBuffer);
    a.readOffset = 0;
    a.bytesInBuffer = 0;
    e.parms.transferbytes = a.totalRead;

    if (a.error || stopRequest) {
        // The scan ends here: stop the controller and give the paper sensors back their setting.
        device::WriteRegister(ctx, device::kCommand, device::kCommandIdle);
        description::WritePaperSensorConfig(ctx);
    }
    if (a.job == ScanJob::Sheet && !a.error) device::ReportProgress(ctx, "扫描完成");

    a.idle = true;
    done = 1;
    a.dataExpected = true;
    a.motorRunning = true;
    a.paperOutSeen = false;
    a.lastSheet = false;
    a.watch = SheetWatchState{};
    a.delivering = false;
    return !a.error;
}

}  // namespace ordavel::engine::acquisition
