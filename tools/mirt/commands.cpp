// The mirt subcommands on top of the driver's exports.
#include "tools/mirt/commands.h"

#include <cstdio>
#include <vector>

#include "platform/process.h"
#include "tools/mirt/exit_codes.h"
#include "tools/common/scanner_setup.h"

namespace mirt {

namespace {

void Tell(const std::string& text) { std::fprintf(stderr, "mirt: %s\n", text.c_str()); }

int Fail(const std::string& text, int code) {
    std::fprintf(stderr, "mirt: error: %s\n", text.c_str());
    return code;
}

// What every subcommand needs: the driver's files in place, the scanner chosen, the driver loaded.
struct Prepared {
    std::string tempDir;
    ScannerChoice choice;
    DriverBinding driver;
};

enum class Purpose { Scan, Calibrate, CalibrateWithSheet, Query };

// The driver's files in place and the scanner chosen (before the driver is loaded, which reads
// the choice from the environment).
int PrepareScanner(Purpose purpose, Prepared& out) {
    out.tempDir = DriverTempDirectory();
    if (out.tempDir.empty()) return Fail("no usable temporary directory", kExitSetup);
    std::string error;
    if (!PrepareDriverFiles(out.tempDir, DataDirectory(), Tell, error)) return Fail(error, kExitSetup);
    out.choice = ChooseScanner(out.tempDir, DataDirectory(), Tell);
    const bool virtualScanner = out.choice.kind == ScannerKind::Virtual;
    if (virtualScanner && (purpose == Purpose::CalibrateWithSheet || (purpose == Purpose::Calibrate && out.choice.demo))) {
        // The demonstration feeder holds pages; calibration needs the white sheet alone.
        out.choice.virtualConfig = WriteVirtualCalibrationConfig(out.tempDir, DataDirectory());
        ordavel::platform::SetEnvironment("MIRT_VIRTUAL_SCANNER", out.choice.virtualConfig);
        // The calibration sheet is a scanner of this process alone: the shared device of the
        // user's configuration keeps its feeder for the scan that follows.
        ordavel::platform::SetEnvironment("MIRT_VIRTUAL_PRIVATE", "1");
        Tell("the virtual scanner's calibration sheet is in the rollers");
    }
    return kExitOk;
}

int LoadDriver(const CommonOptions& common, Prepared& out) {
    const std::string path = common.driverPath.empty() ? DefaultDriverPath() : common.driverPath;
    if (!out.driver.load(path)) return Fail(out.driver.error(), kExitSetup);
    return kExitOk;
}

int Prepare(const CommonOptions& common, Purpose purpose, Prepared& out) {
    if (const int rc = PrepareScanner(purpose, out); rc != kExitOk) return rc;
    return LoadDriver(common, out);
}

// A calibration in a process of its own, so that its virtual scanner holds only the calibration
// sheet while the scan's virtual scanner keeps its feeder.
int CalibrateInChild() { return ordavel::platform::RunSelf({"calibrate", "--load-calibration-sheet"}, {}); }

int EnsureCalibrated(const Prepared& prepared) {
    const StoredCalibration stored = InspectStoredCalibration(prepared.tempDir);
    if (stored == StoredCalibration::Usable) return kExitOk;
    const bool damaged = stored == StoredCalibration::Damaged;
    if (prepared.choice.kind == ScannerKind::Attached) {
        if (damaged) {
            return Fail("the stored calibration is damaged: insert the calibration sheet and run `mirt calibrate` again",
                        kExitCalibrationDamaged);
        }
        return Fail("the scanner has not been calibrated: insert the calibration sheet and run `mirt calibrate`",
                    kExitNotCalibrated);
    }
    Tell(damaged ? "the stored calibration is damaged: calibrating the virtual scanner again with its calibration sheet"
                 : "the scanner has not been calibrated yet: calibrating the virtual scanner with its calibration sheet");
    const int rc = CalibrateInChild();
    if (rc != kExitOk) return rc < 0 ? Fail("the calibration could not be run", kExitSetup) : rc;
    return kExitOk;
}

int32_t IgnoreStatus(int32_t) { return 0; }

// Registers the status callback and a sensible request, as a client does before anything else.
bool SetDefaultRequest(DriverBinding& driver) {
    ScanRequest request{};
    if (driver.ScanGetScanParams(&request) != 0) return false;
    request = SheetRequest(request, ScanOptions{});
    return driver.ScanSetScanParams(&request, IgnoreStatus) == 0;
}

// Calibration measures the whole imaging width: the stored shading must cover every window a
// later scan may ask for, so the request spans the bed, grey, at the optical resolution.
bool SetCalibrationRequest(DriverBinding& driver) {
    ScanRequest request{};
    if (driver.ScanGetScanParams(&request) != 0) return false;
    request = SheetRequest(request, ScanOptions{});
    request.scanRectLeft = request.bedLeft;
    request.scanRectTop = request.bedTop;
    request.scanRectRight = request.bedRight;
    request.scanRectBottom = request.bedBottom;
    request.res = 0;
    return driver.ScanSetScanParams(&request, IgnoreStatus) == 0;
}

int DriverFailure(DriverBinding& driver) {
    const std::string status = driver.statusText();
    return Fail(status.empty() ? "the driver reported a failure" : status,
                ExitCodeForStatus(status.c_str(), DriverTempDirectory()));
}

}  // namespace

int RunScan(const CommonOptions& common, const ScanOptions& options) {
    // Calibrate first (in its own process) when needed, then load the driver for the batch.
    Prepared prepared;
    if (const int rc = PrepareScanner(Purpose::Scan, prepared); rc != kExitOk) return rc;
    if (const int rc = EnsureCalibrated(prepared); rc != kExitOk) return rc;
    if (const int rc = LoadDriver(common, prepared); rc != kExitOk) return rc;
    ScanOptions effective = options;
    effective.firstSheet = FirstSheetPlaceOf(prepared.choice.virtualConfig);
    ProgressBar progress(ordavel::platform::StderrIsTerminal());
    const ScanOutcome outcome = ScanBatch(prepared.driver, effective, progress);
    if (outcome.exitCode != kExitOk) {
        if (outcome.pages > 0) Tell(std::to_string(outcome.pages) + " page(s) written before the failure");
        return Fail(outcome.message, outcome.exitCode);
    }
    Tell(outcome.pages == 0 ? "the feeder is empty: no pages scanned"
                           : std::to_string(outcome.pages) + " page(s) written to " + options.outputDirectory);
    return kExitOk;
}

int RunCalibrate(const CommonOptions& common, bool loadCalibrationSheet) {
    Prepared prepared;
    const Purpose purpose = loadCalibrationSheet ? Purpose::CalibrateWithSheet : Purpose::Calibrate;
    if (const int rc = Prepare(common, purpose, prepared); rc != kExitOk) return rc;
    if (!SetCalibrationRequest(prepared.driver)) return DriverFailure(prepared.driver);
    Tell("calibrating (about one minute on a real scanner)");
    if (prepared.driver.ScanCalibration() != 0) return DriverFailure(prepared.driver);
    Tell("calibration done");
    return kExitOk;
}

int RunStatus(const CommonOptions& common) {
    Prepared prepared;
    if (const int rc = PrepareScanner(Purpose::Query, prepared); rc != kExitOk) return rc;
    if (const int rc = EnsureCalibrated(prepared); rc != kExitOk) return rc;
    if (const int rc = LoadDriver(common, prepared); rc != kExitOk) return rc;
    // The paper check needs an open connection: start a scan, look, and stop it again.
    if (!SetDefaultRequest(prepared.driver) || prepared.driver.ScanStart() != 0) {
        return DriverFailure(prepared.driver);
    }
    int32_t empty = 1;
    const int32_t rc = prepared.driver.ScanPaperEmpty(&empty);
    prepared.driver.ScanStop();
    if (rc != 0) return DriverFailure(prepared.driver);
    std::printf("%s\n", empty != 0 ? "no sheet ready" : "a sheet is ready");
    return kExitOk;
}

int RunInfo(const CommonOptions& common) {
    Prepared prepared;
    if (const int rc = Prepare(common, Purpose::Query, prepared); rc != kExitOk) return rc;
    DriverBinding& d = prepared.driver;
    ScanHardware hw{};
    if (d.ScanGetScanHardware(&hw) != 0) return DriverFailure(d);
    hw.deviceName[sizeof hw.deviceName - 1] = '\0';
    static const char* const kChips[] = {"LM9831", "LM9832", "LM9833"};
    std::printf("%-25s %s (%s)\n", "device:", hw.deviceName,
                prepared.choice.kind == ScannerKind::Virtual ? "virtual" : "attached");
    std::printf("%-25s %s\n", "chip:", hw.chip >= 0 && hw.chip < 3 ? kChips[hw.chip] : "unknown");
    std::printf("%-25s %d dpi\n", "optical resolution:", hw.opticalResolution);
    std::printf("%-25s %d\n", "imaging pixels:", hw.pixelWidth);
    std::printf("%-25s %d lines\n", "scan length:", hw.pixelLength);
    std::printf("%-25s", "divider resolutions:");
    for (int32_t r : hw.resolutions) if (r != 0) std::printf(" %d", r);
    std::printf("\n");
    static const char* const kCapabilities[] = {"horizontal resolutions", "vertical resolutions", "pixel types",
                                                "", "widest image (300 dpi)", "longest image (300 dpi)"};
    for (int32_t id : {0, 1, 2, 4, 5}) {
        std::vector<int32_t> values(32768);
        int32_t count = 0;
        if (d.ScanGetCapability(id, nullptr, values.data(), &count) != 0) continue;
        std::printf("%-25s", (std::string(kCapabilities[id]) + ":").c_str());
        for (int32_t i = 0; i < count; ++i) std::printf(" %d", values[i]);
        std::printf("\n");
    }
    for (int32_t type : {0, 1}) {
        std::vector<int32_t> values(32768);
        int32_t count = 0;
        if (d.ScanGetCapability(3, &type, values.data(), &count) != 0) continue;
        std::printf("%-25s", ("bit depths, pixel type " + std::to_string(type) + ":").c_str());
        for (int32_t i = 0; i < count; ++i) std::printf(" %d", values[i]);
        std::printf("\n");
    }
    return kExitOk;
}

}  // namespace mirt
