// Golden snapshots of whole jobs through the exports on the virtual scanners: the compute job,
// the start of a sheet (probe and set-up) and the whole sheet read, as the register writes and
// reads the host sent, with image data reads summarised. MIRT_UPDATE_GOLDEN=1 rewrites them.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "driver/interface/export_operations.h"
#include "tests/support/golden_file.h"
#include "tests/support/recording_pipe.h"
#include "tests/support/test_context.h"
#include "tests/support/sheet_scan_rig.h"
#include "tests/support/test_paths.h"
#include "virtual/scanner_config.h"
#include "virtual/virtual_backend.h"
#include "virtual/virtual_scanner.h"

namespace ordavel::engine {
namespace {

struct JobCase {
    const char* chipName;
    const char* descriptionFile;  // in data/
    const char* scannerConfig;    // the matching virtual scanner, in data/virtual/
    bool grey;
    std::string name() const { return std::string(chipName) + "_" + (grey ? "grey8" : "bw1") + "_200dpi_sheet"; }
};

std::string Hex32(uint32_t value) {
    char text[12];
    std::snprintf(text, sizeof text, "%08X", value);
    return text;
}

uint32_t Fnv1a(const std::vector<uint8_t>& bytes) {
    uint32_t hash = 2166136261u;
    for (uint8_t b : bytes) hash = (hash ^ b) * 16777619u;
    return hash;
}

// A virtual scanner with the chart at the ready position, neutral stored calibration, and
// every transfer recorded.
class JobRig {
public:
    explicit JobRig(const JobCase& c) : log_(std::make_shared<test::TransferLog>()) {
        virtual_scanner::ScannerConfig config;
        std::string error;
        EXPECT_TRUE(virtual_scanner::LoadScannerConfig(test::DataDir() + "/virtual/" + c.scannerConfig, config, error))
            << error;
        config.feeder.firstSheet = virtual_scanner::FirstSheetPlacement::Ready;
        config.feeder.sheets = {test::SheetScanRig::Chart()};
        scanner_ = virtual_scanner::VirtualScanner::Create(config, scratch_.sharedClock(), error);
        EXPECT_TRUE(scanner_) << error;
        if (scanner_) {
            scratch_.devices().addBackend(std::make_shared<test::RecordingBackend>(
                virtual_scanner::MakeVirtualScannerBackend(scanner_), log_));
        }
        scratch_.writeSettings(std::string("[SETUP]\nScannerFile=") + c.descriptionFile +
                               "\nDebug=0\nScan_Buffer_MBytes=8\n");
        scratch_.writeFile(scratch_.tempDir() + "/" + c.descriptionFile,
                           scratch_.readFile(test::DataDir() + "/" + c.descriptionFile));
        scratch_.writeNeutralCalibration();
    }

    DriverContext& ctx() { return scratch_.ctx(); }
    // The first protocol error the scanner saw, empty when none.
    std::string firstProtocolError() const {
        if (!scanner_) return "no scanner";
        const auto& errors = scanner_->observations().protocolErrors;
        return errors.empty() ? "" : errors.front().text;
    }

    // Runs `step` (an export's result, 0 for success) and returns a titled section of the
    // frames it sent.
    template <typename Step>
    std::string Section(const std::string& title, Step step) {
        const std::size_t from = log_->transfers.size();
        const int32_t result = step();
        std::string text = "## " + title + (result == 0 ? "" : " (FAILED: " + std::string(ctx().record.messageText) + ")") + "\n";
        return text + test::RenderJobFrames(test::DecodeFrames(*log_, from));
    }

private:
    test::TestContext scratch_{"goldenjob"};
    std::shared_ptr<test::TransferLog> log_;
    std::shared_ptr<virtual_scanner::VirtualScanner> scanner_;
};

// ScanRead until the image is complete; a line summing up what the client received.
std::string ReadWholeSheet(JobRig& rig, int32_t& result) {
    std::vector<uint8_t> image, buffer(65536);
    int32_t reads = 0;
    do {
        int32_t got = 0;
        result = interface::ScanRead(rig.ctx(), buffer.data(), static_cast<int32_t>(buffer.size()), &got);
        ++reads;
        if (result != 1) image.insert(image.end(), buffer.begin(), buffer.begin() + got);
    } while (result == 0 && reads < 10000);
    return "# delivered: ScanRead x " + std::to_string(reads) + " -> " + std::to_string(result) + ", " +
           std::to_string(image.size()) + " bytes, fnv1a " + Hex32(Fnv1a(image)) + "\n";
}

std::string Snapshot(const JobCase& c, JobRig& rig) {
    const ScanRequest request = test::ClientRequest(test::ClientScan{test::ClientWindow::Narrow, c.grey, false, 1});
    std::string text = "# " + c.name() + ": " + (c.grey ? "grey 8 bits" : "black and white") +
                       ", 200 dpi, window 284,0-1384,1892 of 1680x2340, the chart at the ready position\n";
    ScanRequest scanOrder = request;
    scanOrder.lineOrder = 0;
    text += rig.Section("ScanSetScanParams (scan order)",
                        [&] { return interface::ScanSetScanParams(rig.ctx(), &scanOrder, nullptr); });
    text += rig.Section("ScanSetScanParams (bitmap order)",
                        [&] { return interface::ScanSetScanParams(rig.ctx(), &request, nullptr); });
    text += rig.Section("ScanStart: probe and sheet set-up", [&] { return interface::ScanStart(rig.ctx()); });
    int32_t result = -1;
    std::string delivered;
    text += rig.Section("ScanRead until the image is complete", [&] {
        delivered = ReadWholeSheet(rig, result);
        return result == 2 ? 0 : 1;
    });
    return text + delivered;
}

class GoldenJobs : public ::testing::TestWithParam<JobCase> {};

TEST_P(GoldenJobs, MatchTheSnapshot) {
    const JobCase& c = GetParam();
    JobRig rig(c);
    const std::string text = Snapshot(c, rig);
    EXPECT_EQ(text.find("FAILED"), std::string::npos) << text.substr(0, 400);
    EXPECT_EQ(rig.firstProtocolError(), "");
    const std::string difference = test::CompareWithGolden("tests/driver/engine/golden/jobs/" + c.name() + ".txt", text);
    EXPECT_TRUE(difference.empty()) << difference;
}

// The same job twice gives the same text: the snapshot depends on nothing but the driver.
TEST(GoldenJobsRepeat, TheSameJobGivesTheSameSnapshot) {
    const JobCase c{"lm9832", "Mirt9832.dsc", "reference.ini", true};
    JobRig first(c), second(c);
    EXPECT_EQ(Snapshot(c, first), Snapshot(c, second));
}

INSTANTIATE_TEST_SUITE_P(Chips, GoldenJobs,
                         ::testing::Values(JobCase{"lm9831", "Mirt9831.dsc", "lm9831.ini", true},
                                           JobCase{"lm9832", "Mirt9832.dsc", "reference.ini", true},
                                           JobCase{"lm9833", "Mirt9833.dsc", "lm9833.ini", true},
                                           JobCase{"lm9832", "Mirt9832.dsc", "reference.ini", false}),
                         [](const auto& p) { return p.param.name(); });

}  // namespace
}  // namespace ordavel::engine
