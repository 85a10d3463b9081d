// The mirt subcommands on top of the driver's exports.
#include "tools/mirt/commands.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <vector>

#include "platform/device_list.h"
#include "platform/process.h"
#include "tools/common/driver_status.h"
#include "tools/common/scanner_setup.h"
#include "tools/mirt/batch_names.h"
#include "tools/mirt/exit_codes.h"

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

constexpr const char* kVirtualPrefix = "virtual:";

// -d: the scanner the user named, made the one the driver will find. An attached scanner is
// found by its USB names; a virtual one through its configuration.
int ApplyDeviceChoice(const std::string& device, const std::string& tempDir) {
    if (device.empty()) return kExitOk;
    if (device.rfind(kVirtualPrefix, 0) == 0) {
        const std::string config = device.substr(std::string_view(kVirtualPrefix).size());
        std::error_code ec;
        if (!std::filesystem::is_regular_file(config, ec)) {
            return Fail("no virtual scanner configuration " + config, kExitNoScanner);
        }
        ordavel::platform::SetEnvironment("MIRT_VIRTUAL_SCANNER", std::filesystem::absolute(config, ec).string());
        return kExitOk;
    }
    if (device == "usb" || device == "demo") {
        ordavel::platform::SetEnvironment("MIRT_VIRTUAL_SCANNER", "");
        const bool attached = ScannerAttached(tempDir);
        if (device == "usb" && !attached) {
            if (const std::string problem = ScannerAccessProblem(); !problem.empty()) return Fail(problem, kExitNoAccess);
            return Fail("no scanner is attached (see `mirt devices`)", kExitNoScanner);
        }
        if (device == "demo" && attached) {
            return Fail("a scanner is attached: the demonstration scanner stands in only for a missing one",
                        kExitNoScanner);
        }
        return kExitOk;
    }
    return Fail("unknown device " + device + " (see `mirt devices`)", kExitUsage);
}

// The driver's files in place and the scanner chosen (before the driver is loaded, which reads
// the choice from the environment).
int PrepareScanner(const std::string& device, Purpose purpose, Prepared& out) {
    std::string error;
    out.tempDir = DriverTempDirectory(error);
    if (out.tempDir.empty()) return Fail("no usable directory for the driver's files: " + error, kExitSetup);
    if (!PrepareDriverFiles(out.tempDir, DataDirectory(), Tell, error)) return Fail(error, kExitSetup);
    if (const int rc = ApplyDeviceChoice(device, out.tempDir); rc != kExitOk) return rc;
    out.choice = ChooseScanner(out.tempDir, DataDirectory(), Tell, device == "demo");
    if (out.choice.kind == ScannerKind::None) {
        return Fail(out.choice.problem, out.choice.accessDenied ? kExitNoAccess : kExitNoScanner);
    }
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
    if (const int rc = PrepareScanner(common.device, purpose, out); rc != kExitOk) return rc;
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
    request = page_area::DriverRequest(request, page_area::FindPageSize("narrow")->window, false, 200);
    return driver.ScanSetScanParams(&request, IgnoreStatus) == 0;
}

// Calibration measures the whole imaging width: the stored shading must cover every window a
// later scan may ask for, so the request spans the bed, grey, at the optical resolution.
bool SetCalibrationRequest(DriverBinding& driver) {
    ScanRequest request{};
    if (driver.ScanGetScanParams(&request) != 0) return false;
    request = page_area::DriverRequest(request, page_area::BedWindow{}, false, 200);
    return driver.ScanSetScanParams(&request, IgnoreStatus) == 0;
}

int DriverFailure(DriverBinding& driver, const char* hint = ": insert the calibration sheet and run `mirt calibrate`") {
    const DriverStatus status = RefineWithCalibration(DescribeDriverStatus(driver.statusText()), DriverTempDirectory());
    const bool calibration =
        status.statusClass == StatusClass::NotCalibrated || status.statusClass == StatusClass::CalibrationDamaged;
    int code = ExitCodeFor(status.statusClass);
    if (code == kExitOk) code = kExitDriverFailure;
    return Fail(status.message() + (calibration ? hint : ""), code);
}

// What the scan command resolves to before the scanner is touched.
struct ResolvedScan {
    ScanOptions options;
    PageFormat format = PageFormat::Bmp;
    bool toStdout = false;
    std::string pattern;   // one file per page: the numbered names
    std::string document;  // one file per batch: its name
    int firstNumber = 1;
};

std::string EscapePercent(const std::string& text) {
    std::string escaped;
    for (char c : text) {
        escaped += c;
        if (c == '%') escaped += '%';
    }
    return escaped;
}

int Usage(const std::string& text) { return Fail(text, kExitUsage); }

// The window, the format and the names, checked; the output directory made and proven
// writable, and the first number chosen so that nothing existing is overwritten.
int ResolveScan(const ScanCommand& c, ResolvedScan& out) {
    const page_area::NamedPageSize* size = page_area::FindPageSize(c.pageSize);
    if (size == nullptr) return Usage("unknown page size " + c.pageSize + " (" + page_area::PageSizeNames() + ")");
    out.options.window = size->window;
    std::string error;
    if (c.areaGiven && !page_area::AreaOnPage(size->window, c.area, out.options.window, error)) {
        return Usage(error + " (page " + size->name + ")");
    }
    if (const std::string problem = ToneSettingProblem(c.tone); !problem.empty()) return Usage(problem);
    out.options.lineart = c.lineart;
    out.options.dpi = c.dpi;
    out.options.trim = c.trim;
    out.options.singleSheet = c.singleSheet;

    out.toStdout = c.batchPattern == "-" || (c.batchPattern.empty() && c.outputDirectory == "-");
    const std::optional<PageFormat> named =
        c.batchPattern.empty() || out.toStdout ? std::nullopt : FormatOfFileName(c.batchPattern);
    if (c.format && named && *c.format != *named) {
        return Usage("the name pattern's extension does not match --format " + std::string(ExtensionOf(*c.format)));
    }
    out.format = c.format ? *c.format : named ? *named : PageFormat::Bmp;
    if (!FormatAvailable(out.format)) return Usage(FormatUnavailableReason(out.format));
    const bool oneFile = out.format == PageFormat::Pdf || (out.format == PageFormat::Tiff && c.multiPage);
    if (c.multiPage && out.format != PageFormat::Tiff && out.format != PageFormat::Pdf) {
        return Usage("--multipage is for TIFF (PDF files always hold the whole batch)");
    }
    if (out.toStdout) {
        if (c.batchPrint) return Usage("--batch-print lists files, but the page goes to standard output");
        // Standard output holds one file: one page.
        out.options.singleSheet = true;
        return kExitOk;
    }
    out.pattern = !c.batchPattern.empty()
                      ? c.batchPattern
                      : (std::filesystem::path(c.outputDirectory) /
                         (EscapePercent(c.prefix) + "%03d." + ExtensionOf(out.format)))
                            .string();
    if (!CheckNamePattern(out.pattern, error)) return Usage(error);
    if (!PrepareOutputDirectory(out.pattern, error)) return Fail(error, kExitOutput);
    if (!ChooseFirstNumber(out.pattern, c.batchStart, out.firstNumber, error)) return Fail(error, kExitOutput);
    if (oneFile) out.document = NameFor(out.pattern, out.firstNumber);
    return kExitOk;
}

}  // namespace

int RunScan(const CommonOptions& common, const ScanCommand& command) {
    ResolvedScan scan;
    if (const int rc = ResolveScan(command, scan); rc != kExitOk) return rc;
    // Calibrate first (in its own process) when needed, then load the driver for the batch.
    Prepared prepared;
    if (const int rc = PrepareScanner(common.device, Purpose::Scan, prepared); rc != kExitOk) return rc;
    if (const int rc = EnsureCalibrated(prepared); rc != kExitOk) return rc;
    if (const int rc = LoadDriver(common, prepared); rc != kExitOk) return rc;
    scan.options.firstSheet = FirstSheetPlaceOf(prepared.choice.virtualConfig);
    std::string error;
    if (!UseToneCurve(prepared.tempDir, command.tone, command.lineart, error)) return Fail(error, kExitSetup);

    // Blocks SIGINT and SIGTERM for this thread and the writer thread started after it: they
    // are taken at the scan's progress points and between sheets, never inside a transfer.
    ordavel::platform::StopRequest stop;
    const std::unique_ptr<PageSink> sink = command.discard       ? MakeDiscardSink()
                                           : scan.toStdout        ? MakeStdoutSink(scan.format)
                                           : scan.document.empty() ? MakePageFileSink(scan.pattern, scan.format, scan.firstNumber)
                                                                   : MakeDocumentSink(scan.document, scan.format);
    ProgressBar progress(ordavel::platform::StderrIsTerminal());
    std::vector<std::string> files;
    const BatchSay sayWritten = [&](const std::string& file) {
        files.push_back(file);
        if (file == "-") return;
        if (command.batchPrint) {
            std::printf("%s\n", file.c_str());
            std::fflush(stdout);
        } else {
            Tell("wrote " + file);
        }
    };
    const auto started = std::chrono::steady_clock::now();
    const ScanOutcome outcome = ScanBatch(prepared.driver, scan.options, *sink, progress, stop, sayWritten);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    StopUsingToneCurve(prepared.tempDir);
    for (const std::string& note : outcome.unsaved) Tell(note);
    const std::string written = files.empty()        ? "no file written"
                                : files.size() == 1 ? "wrote " + files.front()
                                                    : "wrote " + files.front() + " to " + files.back();
    if (command.writerStats && outcome.pages > 0) {
        // The pace from the first page to the last leaves out what the batch spends before its
        // first sheet (loading, the scanner's set-up), which is the same whatever the format.
        const double steadySeconds =
            std::chrono::duration<double>(outcome.allWritten - outcome.firstPageHanded).count();
        const double pace = outcome.pages > 1 && steadySeconds > 0 ? (outcome.pages - 1) * 60.0 / steadySeconds : 0;
        char line[200];
        std::snprintf(line, sizeof line,
                      "writer: %d page(s), %.2f ms of CPU per page; %.3f s, %.2f pages per minute; "
                      "%.2f pages per minute after the first",
                      outcome.pages, outcome.writerCpuSeconds * 1000.0 / outcome.pages, seconds,
                      outcome.pages * 60.0 / seconds, pace);
        Tell(line);
    }
    if (outcome.exitCode != kExitOk) {
        Fail(outcome.message, outcome.exitCode);
        if (outcome.pages > 0) Tell(std::to_string(outcome.pages) + " page(s) scanned before that; " + written);
        return outcome.exitCode;
    }
    Tell("done: " + std::to_string(outcome.pages) + " page(s) scanned; " + written);
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
    if (const int rc = PrepareScanner(common.device, Purpose::Query, prepared); rc != kExitOk) return rc;
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
    return empty != 0 ? kExitNotReady : kExitOk;
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

int RunDevices(const CommonOptions& common) {
    (void)common;
    std::string error;
    const std::string tempDir = DriverTempDirectory(error);
    if (tempDir.empty() || !PrepareDriverFiles(tempDir, DataDirectory(), [](const std::string&) {}, error)) {
        return Fail(error.empty() ? "no usable temporary directory" : error, kExitSetup);
    }
    int listed = 0;
    if (const auto attached = AttachedScanners(tempDir); !attached.empty()) {
        std::printf("device `usb' is an attached sheet-fed scanner (USB %s)\n",
                    ordavel::platform::UsbIdText(attached.front().usbId).c_str());
        ++listed;
    }
    const std::string configured = ordavel::platform::GetEnvironment("MIRT_VIRTUAL_SCANNER");
    std::vector<std::string> configs;
    if (!configured.empty()) configs.push_back(configured);
    std::error_code ec;
    for (std::filesystem::directory_iterator it(std::filesystem::path(DataDirectory()) / "virtual", ec), end;
         !ec && it != end; it.increment(ec)) {
        if (it->path().extension() == ".ini") configs.push_back(it->path().string());
    }
    std::sort(configs.begin() + (configured.empty() ? 0 : 1), configs.end());
    for (const std::string& config : configs) {
        std::printf("device `%s%s' is a virtual scanner%s\n", kVirtualPrefix, config.c_str(),
                    config == configured ? " (MIRT_VIRTUAL_SCANNER)" : "");
        ++listed;
    }
    if (listed == 0 || !ScannerAttached(tempDir)) {
        // Once a real scanner was set up here, a missing one is an error, not the demo (see
        // MachineHadScanner): the listing says which of the two this machine does.
        std::printf("device `demo' is the demonstration scanner (three sample pages), %s\n",
                    MachineHadScanner(tempDir) ? "used only when chosen with -d demo"
                                               : "used when none is attached");
    }
    return kExitOk;
}

}  // namespace mirt
