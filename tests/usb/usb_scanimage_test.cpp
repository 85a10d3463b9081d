// Debian's scanimage, started under this program's umockdev preload, against the virtual scanner
// presented as a USB device: the backend lists it by its strings, narrowed by mirt.conf's usb
// lines, and a batch through the feeder writes one file per sheet matching that sheet. The
// scanimage process reaches the device through the testbed, whose handler answers in this
// process; the model follows real time, as that process's driver does.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "tests/sane/scanimage_desk.h"
#include "tests/sane/scanned_image.h"
#include "tests/support/virtual_rig.h"
#include "tests/usb/usb_scanner_device.h"

namespace ordavel::test {
namespace {

namespace fs = std::filesystem;
namespace vs = virtual_scanner;

std::string ReadWhole(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// The scanimage desk with no virtual scanner configured, and the reference scanner with `pages`
// in its feeder presented on USB. The desk comes first: its shared calibration is made (by
// scanimage against a virtual scanner) before the testbed exists.
struct UsbSaneDesk {
    ScanimageDesk desk;
    std::shared_ptr<vs::VirtualScanner> scanner;
    std::unique_ptr<UsbScannerDevice> device;

    // Sheets of the pages' own lengths, or cut to `sheetInches`.
    UsbSaneDesk(const std::string& tag, const std::vector<std::string>& pages, const std::string& backendConfig,
                std::optional<double> sheetInches = std::nullopt)
        : desk(tag) {
        desk.writeBackendConfig(backendConfig);
        vs::ScannerConfig config = ReferenceScannerConfig();
        config.feeder.firstSheet = vs::FirstSheetPlacement::Ready;
        config.feeder.sheets.clear();
        for (const std::string& page : pages) {
            vs::SheetConfig sheet;
            sheet.page = page;
            sheet.lengthInches = sheetInches;
            config.feeder.sheets.push_back(sheet);
        }
        std::string error;
        scanner = vs::VirtualScanner::Create(config, std::make_shared<platform::VirtualClock>(), error);
        EXPECT_TRUE(scanner) << error;
        if (scanner) device = std::make_unique<UsbScannerDevice>(scanner, ScannerIdentity(), ModelTime::RealTime);
    }
    bool ready() const { return device && device->ready() && ScanimageDesk::SharedCalibrationProblem().empty(); }
};

struct MatchCase {
    const char* name;
    const char* backendConfig;
    bool listed;
};

void PrintTo(const MatchCase& c, std::ostream* os) { *os << c.name; }

class UsbScanimageMatch : public ::testing::TestWithParam<MatchCase> {};

TEST_P(UsbScanimageMatch, ListsTheScannerWhenMirtConfAllowsIt) {
    UsbSaneDesk bench("usbsane-list", {"ticket"}, GetParam().backendConfig);
    ASSERT_TRUE(bench.ready()) << ScanimageDesk::SharedCalibrationProblem();
    const ProgramRun run = bench.desk.scanimage("-L");
    EXPECT_EQ(run.exitCode, 0) << run.err;
    const bool listed = run.out.find("device `mirt:usb' is a Mirt Sheet Scanner") != std::string::npos;
    EXPECT_EQ(listed, GetParam().listed) << run.out << run.err;
}

INSTANTIATE_TEST_SUITE_P(
    Usb, UsbScanimageMatch,
    ::testing::Values(MatchCase{"ByItsStringsAlone", "", true},
                      MatchCase{"ByItsIdentifiers", "usb 0xf1d7 0x5c01\n", true},
                      MatchCase{"AmongOtherIdentifiers", "usb 0x1234 0x0001\nusb 0xF1D7 0x5C01\n", true},
                      MatchCase{"NotWhenOnlyOtherIdentifiersAreAllowed", "usb 0x1234 0x0001\n", false}),
    [](const auto& row) { return std::string(row.param.name); });

// A ticket and a chart cut to 3 inches (at real speed every inch of paper costs time) scanned in
// the middle of the bed, 60 mm of each, as grey PNM. The batch takes some 14 s, nearly all of it the driver's
// own waiting on the paper path at real time.
TEST(UsbScanimage, BatchWritesOnePagePerSheetMatchingIt) {
    const std::vector<std::string> pages = {"ticket", "chart"};
    UsbSaneDesk bench("usbsane-batch", pages, "", 3.0);
    ASSERT_TRUE(bench.ready()) << ScanimageDesk::SharedCalibrationProblem();
    const ProgramRun run = bench.desk.run("scanimage",
                                          "--batch=p%03d.pnm --format=pnm --source ADF --mode Gray -l 60 -x 90 -y 60", 120);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.err.find("Document feeder out of documents"), std::string::npos) << run.err;
    EXPECT_FALSE(fs::exists(bench.desk.file("p003.pnm")));
    for (std::size_t i = 0; i < pages.size(); ++i) {
        const std::string name = "p00" + std::to_string(i + 1) + ".pnm";
        const GreyImage image = ParsePnm(ReadWhole(bench.desk.file(name)));
        ASSERT_FALSE(image.empty()) << name;
        EXPECT_EQ(image.width, 708) << name << ": 90 mm at 200 dpi";
        EXPECT_EQ(image.height, 472) << name << ": 60 mm are 472 lines";
        // Its own sheet, and not the other one (the files are in the feeder's order).
        const double own = PageAgreement(image, pages[i], {472.0, 0, 1});
        EXPECT_GT(own, 0.9) << name << " is not the " << pages[i];
        EXPECT_LT(PageAgreement(image, pages[1 - i], {472.0, 0, 1}), own - 0.3) << name << " looks like the other sheet";
    }
    EXPECT_GT(bench.device->traffic().bulkIn, 100u) << "the pages came over the USB device";
}

}  // namespace
}  // namespace ordavel::test
