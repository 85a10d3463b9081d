// mirt: scan every sheet in the feeder to numbered page files, calibrate the scanner, and show
// what the scanner reports - all through the driver library, as any client would.
#include <cstdio>
#include <string>

#include <CLI/CLI.hpp>

#include "platform/process.h"
#include "tools/mirt/commands.h"
#include "tools/mirt/exit_codes.h"

int main(int argc, char** argv) {
    CLI::App app{"mirt - sheet-fed scanner tool"};
    app.footer(
        "Exit codes: 0 done; 1 driver failure (its status text is shown); 2 bad command line;\n"
        "3 scanner not found; 4 paper jam; 5 cover open; 6 communication failure;\n"
        "7 not calibrated (insert the calibration sheet and run `mirt calibrate`);\n"
        "8 a page file could not be written; 9 the driver or its files could not be prepared;\n"
        "10 the stored calibration is damaged (run `mirt calibrate` again).");
    app.require_subcommand(1);

    mirt::CommonOptions common;
    app.add_option("--driver", common.driverPath, "driver library to load (default: beside mirt)");

    mirt::ScanOptions scan;
    std::string format = "bmp";
    CLI::App* scanCmd = app.add_subcommand("scan", "scan every sheet in the feeder into numbered files");
    scanCmd->add_option("-o,--output", scan.outputDirectory, "output folder")->capture_default_str();
    scanCmd->add_option("-p,--prefix", scan.prefix, "file name prefix")->capture_default_str();
    scanCmd->add_flag("--bw", scan.blackAndWhite, "black and white (1 bit) instead of grey");
    scanCmd->add_option("--dpi", scan.dpi, "200, or 300 (enlarged by 3/2 from 200)")
        ->check(CLI::IsMember({200, 300}))->capture_default_str();
    scanCmd->add_flag("--wide", scan.wideWindow, "the wide window (2130 px at 300 dpi) instead of the narrow one");
    scanCmd->add_flag("--single", scan.singleSheet, "scan one sheet only");
    scanCmd->add_option("-f,--format", format, "bmp, png or tiff")
        ->check(CLI::IsMember({"bmp", "png", "tiff"}))->capture_default_str();

    bool loadCalibrationSheet = false;
    CLI::App* calibrateCmd = app.add_subcommand("calibrate", "calibrate with the white calibration sheet");
    calibrateCmd->add_flag("--load-calibration-sheet", loadCalibrationSheet,
                           "virtual scanner: put its calibration sheet alone into the rollers first");
    CLI::App* statusCmd = app.add_subcommand("status", "tell whether a sheet is ready");
    CLI::App* infoCmd = app.add_subcommand("info", "show the hardware summary and capabilities");

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        const int code = app.exit(e);
        return code == 0 ? mirt::kExitOk : mirt::kExitUsage;
    }

    if (*scanCmd) {
        scan.format = format == "png" ? mirt::PageFormat::Png
                    : format == "tiff" ? mirt::PageFormat::Tiff
                                       : mirt::PageFormat::Bmp;
        return mirt::RunScan(common, scan);
    }
    if (*calibrateCmd) return mirt::RunCalibrate(common, loadCalibrationSheet);
    if (*statusCmd) return mirt::RunStatus(common);
    if (*infoCmd) return mirt::RunInfo(common);
    return mirt::kExitUsage;
}
