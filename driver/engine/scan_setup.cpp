// SetupScanRes and the core set-up shared by its three jobs (geometry only, sheet scan,
// calibration).
#include <algorithm>
#include <climits>
#include <cstdint>
#include <string>

#include "driver/calibration/calibration.h"
#include "driver/calibration/calibration_set.h"
#include "driver/description/register_programming.h"
#include "driver/device/paper_path.h"
#include "driver/device/status_report.h"
#include "driver/device/transport.h"
#include "driver/engine/acquisition.h"
#include "driver/engine/scan_setup.h"
#include "driver/engine/setup_state.h"
#include "driver/engine/work_file_job.h"
#include "driver/interface/driver_context.h"

namespace ordavel::engine {

namespace {

using description::RegisterImage;

// Bits per channel of the probe scan: the highest data rate the chip produces.
constexpr int32_t kProbeBits = 16;
constexpr int32_t kProbePauseLimit = 255;

void ProgramResolutionAndWindow(DriverContext& ctx, RegisterImage& image, const std::string& workFile) {
    const ScanRequest& request = ctx.engine.request;
    int32_t bits = request.bitDepth;
    if (JobOfWorkFile(workFile) == ScanJob::Probe) {
        image[0x45] &= ~0x10;  // motor outputs off: the probe only measures the data rate
        bits = kProbeBits;
    }
    SetScanResolution(ctx, image, request.xResolution, request.yResolution, bits);
    CalculateScanRect(ctx, &image, workFile);
    ctx.description.clockDividerSetting = description::kClockDividerSetting;
    image[0x08] = description::ClockRegisterValue(description::kClockDividerSetting);
}

void ProgramFeedAndPause(RegisterImage& image, bool probe) {
    image[0x48] = 0x01;
    image[0x49] = 0xF4;
    int32_t pause = image[0x4E];
    if (probe) {
        // The probe reads from the first step on, as fast as the buffer allows.
        pause = kProbePauseLimit;
        image[0x4A] = 0;
        image[0x4B] = 0;
        image[0x51] = 0;
    }
    image[0x4E] = pause;
    image[0x4F] = pause - 1;
}

// Calibrates (or downloads the stored calibration once) for a sheet scan.
bool CalibrateForSheet(DriverContext& ctx, const RegisterImage& image, bool calibrate) {
    SetupState& setup = ctx.engine.setup;
    if (calibrate) {
        device::ReportProgress(ctx, "开始校正");
        if (calibration::DoCalibration(ctx, image[0x09]) == 0) {
            device::FeedPaper(ctx, true);
            return false;
        }
        // Where the stored shading lines begin: the first pixel of the window the fine
        // calibration scanned (the geometry calibration left behind, before it is restored).
        // Later windows are placed on the stored lines relative to it.
        calibration::StageSetting(ctx, "startpixel", std::to_string(ctx.engine.parms.startpixel));
        if (!calibration::CommitCalibrationSet(ctx)) {
            calibration::DiscardCalibrationSet(ctx);
            device::FeedPaper(ctx, true);
            return false;
        }
        // The measurement is complete and stored, so a calibration whose sheet then cannot be
        // fed out still replaced the earlier one; the failure is the feed's, and the export
        // reports it rather than "done" with the sheet still in the rollers.
        if (!device::FeedPaper(ctx, true)) return false;
        setup.calibrated = true;
        return true;
    }
    if (setup.calibrated) return true;
    if (!DownloadCalibrationData(ctx)) return false;
    setup.calibrated = true;
    return true;
}

bool TakeMemoryConfigFromChip(DriverContext& ctx, RegisterImage& image) {
    uint8_t memoryConfig = 0;
    if (!device::ReadRegister(ctx, 0x42, memoryConfig)) return false;
    image[0x42] = memoryConfig;
    return true;
}

}  // namespace

void SetLineOffsets(DriverContext& ctx, const RegisterImage& image) {
    const description::ScannerDescription& d = ctx.description;
    LineGeometry& g = ctx.engine.geometry;
    // Separations are given in lines at the optical resolution; they scale with the y resolution.
    const double scale = d.Optical_Resolution > 0 ? static_cast<double>(g.actualYResolution) / d.Optical_Resolution : 0.0;
    g.redOffset = 0;
    g.greenOffset = 0;
    g.blueOffset = 0;
    g.evenOddOffset = scale * d.EvenOdd_Line_Separation;
    if ((image[0x26] & 7) == 4) return;
    if (d.Illumination_Mode == 1) {
        const double separation = scale * d.Line_Separation;
        g.redOffset = -separation;
        g.blueOffset = separation;
    }
    if ((d.Color_Mode & 1) != 0) {
        g.redOffset += 1.0 / 3;
        g.blueOffset -= 1.0 / 3;
    }
}

bool SetUpScanJob(DriverContext& ctx, RegisterImage& image, const std::string& workFile, bool calibrate) {
    if (!description::BuildRegisterImage(ctx, image, false)) return false;
    const ScanJob job = JobOfWorkFile(workFile);
    ProgramResolutionAndWindow(ctx, image, workFile);
    SetLineOffsets(ctx, image);
    ScanParms& parms = ctx.engine.parms;
    parms.lines = static_cast<int32_t>(std::clamp<double>(parms.yres * parms.scanlength, 1, INT32_MAX));
    ProgramFeedAndPause(image, job == ScanJob::Probe);

    // Calibration scans with geometries of their own; the job's geometry comes back afterwards.
    const LineGeometry savedGeometry = ctx.engine.geometry;
    const ScanParms savedParms = parms;
    if (job != ScanJob::Probe && job != ScanJob::Compute && !CalibrateForSheet(ctx, image, calibrate)) {
        return false;
    }
    ctx.engine.geometry = savedGeometry;
    parms = savedParms;

    if (!TakeMemoryConfigFromChip(ctx, image)) return false;
    CalculateScanRect(ctx, &image, workFile);
    // The lamp registers stay as the chip holds them (calibration may have tuned them).
    for (int reg = 0x2A; reg <= 0x37; ++reg) image.markUnwritten(reg);
    if (!description::WriteRegisterImage(ctx, image)) return false;
    return ReadBackScanGeometry(ctx);
}

bool SetupScanRes(DriverContext& ctx, bool final, bool calibrate) {
    ClearProgress(ctx.engine.info);
    if (!description::InitUSB(ctx, final)) return false;

    std::string workFile;
    if (final) {
        workFile = MeasureTransferRate(ctx, kSheetBaseName, calibrate);
        if (workFile.empty()) return false;
    } else {
        workFile = kComputeWorkFile;
        device::ReportProgress(ctx, "扫描仪准备好");
    }

    RegisterImage image;
    if (!SetUpScanJob(ctx, image, workFile, calibrate)) return false;
    ctx.engine.setup.workFile = workFile;

    // Abandon whatever scan is open, then open the new one.
    int32_t done = 0;
    if (!ScanSome(ctx, done, true) || !ScanSome(ctx, done, false)) return false;
    const ScanJob job = JobOfWorkFile(workFile);
    if (job == ScanJob::Compute || job == ScanJob::Sheet) {
        const int64_t total = int64_t{ctx.engine.parms.bytesperline} * ctx.engine.parms.lines;
        SetTotalImageSize(ctx.engine.info, static_cast<int32_t>(std::clamp<int64_t>(total, 0, INT32_MAX)));
    }
    return true;
}

}  // namespace ordavel::engine
