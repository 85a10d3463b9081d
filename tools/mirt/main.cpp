// mirt: scan every sheet in the feeder to page files, calibrate the scanner, and show what the
// scanner reports - all through the driver library, as any client would.
#include <cstdio>
#include <string>

#include <CLI/CLI.hpp>

#include "tools/common/page_area.h"
#include "tools/mirt/commands.h"
#include "tools/mirt/exit_codes.h"
#include "tools/mirt/page_encoding.h"

namespace {

constexpr const char* kExitCodes =
    "Exit codes: 0 done (status: a sheet is ready); 1 driver failure (its text is shown);\n"
    "2 bad command line; 3 scanner not found; 4 paper jam (the page is not saved);\n"
    "5 cover open (after sheets: feeder empty or cover open); 6 communication failure;\n"
    "7 not calibrated (insert the calibration sheet\n"
    "and run `mirt calibrate`); 8 a page file could not be written, or the output is not usable;\n"
    "9 the driver or its files could not be prepared; 10 the stored calibration is damaged;\n"
    "11 feeder empty (no sheet scanned); 12 out of memory;\n"
    "13 the driver refused the request; 14 status: no sheet ready;\n"
    "15 a scanner is attached that this user may not open (udev access: see the README);\n"
    "130/143 stopped by Ctrl-C/SIGTERM (the unfinished page is not saved).";

void AddScanOptions(CLI::App& scan, mirt::ScanCommand& c, std::string& format, std::string& mode,
                    double& gamma) {
    scan.add_option("-o,--output", c.outputDirectory, "output folder, or - for standard output (one page)")
        ->capture_default_str();
    scan.add_option("-p,--prefix", c.prefix, "file name prefix")->capture_default_str();
    scan.add_option("--batch", c.batchPattern,
                    "file name pattern with one number, as scanimage's (e.g. p%03d.png); replaces -o and -p");
    scan.add_option("--batch-start", c.batchStart,
                    "number of the first file (refused if it or a later one exists; default: after the last)");
    scan.add_flag("--batch-print", c.batchPrint, "print the name of every file written on standard output");
    scan.add_option("-f,--format", format,
                    mirt::FormatAvailable(mirt::PageFormat::Png)
                        ? "bmp, png, tiff or pdf (default: the pattern's extension, else bmp)"
                        : "bmp (this mirt was built without the image libraries: BMP pages only)")
        ->check(CLI::IsMember({"bmp", "png", "tiff", "tif", "pdf"}, CLI::ignore_case));
    scan.add_flag("--multipage", c.multiPage, "TIFF: one file for the whole batch (PDF always is)");
    scan.add_option("--mode", mode, "gray or lineart")->check(CLI::IsMember({"gray", "grey", "lineart"}, CLI::ignore_case));
    scan.add_flag("--bw", c.lineart, "black and white (1 bit), the same as --mode lineart");
    scan.add_option("--dpi,--resolution", c.dpi, "200, or 300 (enlarged by 3/2 from 200)")
        ->check(CLI::IsMember({200, 300}))->capture_default_str();
    scan.add_option("--page", c.pageSize, "page size: " + mirt::page_area::PageSizeNames())->capture_default_str();
    auto* wide = scan.add_flag_callback("--wide", [&c] { c.pageSize = "wide"; }, "the same as --page wide");
    (void)wide;
    auto area = [&c](double& field) {
        return [&c, &field](double value) {
            field = value;
            c.areaGiven = true;
        };
    };
    scan.add_option_function<double>("-l", area(c.area.left), "left edge of the scan area on the page, mm");
    scan.add_option_function<double>("-t", area(c.area.top), "top edge of the scan area on the page, mm");
    scan.add_option_function<double>("-x", area(c.area.width), "width of the scan area, mm (default: to the right edge)");
    scan.add_option_function<double>("-y", area(c.area.height), "height of the scan area, mm (default: to the bottom)");
    scan.add_flag("--trim", c.trim, "cut the white the scanner fills below a sheet shorter than the page");
    scan.add_flag("--single", c.singleSheet, "scan one sheet only");
    scan.add_option("--brightness", c.tone.brightness, "-255 to 255")->capture_default_str();
    scan.add_option("--contrast", c.tone.contrast, "-255 to 255")->capture_default_str();
    scan.add_option("--threshold", c.tone.threshold, "line art: greys at or above it are white, 0 to 255")
        ->capture_default_str();
    scan.add_option("--gamma", gamma, "0.1 to 4.0 (1.0 is linear)")->capture_default_str();
    scan.add_flag("--writer-stats", c.writerStats, "report the writer's CPU time per page")->group("");
    scan.add_flag("--discard", c.discard, "write nothing (the scanner's own pace)")->group("");
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{"mirt - sheet-fed scanner tool"};
    app.footer(kExitCodes);
    app.set_version_flag("--version", std::string("mirt ") + MIRT_VERSION);

    mirt::CommonOptions common;
    app.add_option("--driver", common.driverPath, "driver library to load (default: beside mirt)");
    app.add_option("-d,--device", common.device, "scanner to use: usb, demo or virtual:<configuration> (mirt devices)");
    bool listDevices = false;
    app.add_flag("-L,--list-devices", listDevices, "list the scanners (as `mirt devices`)");

    mirt::ScanCommand scan;
    std::string format;
    std::string mode;
    double gamma = 1.0;
    CLI::App* scanCmd = app.add_subcommand("scan", "scan every sheet in the feeder into numbered files");
    AddScanOptions(*scanCmd, scan, format, mode, gamma);

    bool loadCalibrationSheet = false;
    CLI::App* calibrateCmd = app.add_subcommand("calibrate", "calibrate with the white calibration sheet");
    calibrateCmd->add_flag("--load-calibration-sheet", loadCalibrationSheet,
                           "virtual scanner: put its calibration sheet alone into the rollers first");
    CLI::App* statusCmd = app.add_subcommand("status", "tell whether a sheet is ready (exit code 0 when one is)");
    CLI::App* infoCmd = app.add_subcommand("info", "show the hardware summary and capabilities");
    CLI::App* devicesCmd = app.add_subcommand("devices", "list the scanners, attached and virtual");

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        const int code = app.exit(e);
        return code == 0 ? mirt::kExitOk : mirt::kExitUsage;
    }

    if (listDevices || *devicesCmd) return mirt::RunDevices(common);
    if (*scanCmd) {
        if (!format.empty()) scan.format = mirt::FormatNamed(format);
        if (!mode.empty()) scan.lineart = mode == "lineart" || mode == "LINEART" || mode == "Lineart";
        scan.tone.gammaTenths = static_cast<int>(gamma * 10.0 + 0.5);
        return mirt::RunScan(common, scan);
    }
    if (*calibrateCmd) return mirt::RunCalibrate(common, loadCalibrationSheet);
    if (*statusCmd) return mirt::RunStatus(common);
    if (*infoCmd) return mirt::RunInfo(common);
    std::fprintf(stderr, "%s\n", app.help().c_str());
    return mirt::kExitUsage;
}
