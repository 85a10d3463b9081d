// Golden register snapshots: for each chip variant, pixel type and resolution, the exact frames
// initialisation and the set-up of each job send to the controller, diffed against text files
// in golden/. MIRT_UPDATE_GOLDEN=1 rewrites them; a change to them is a reviewed change.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "driver/description/description_loader.h"
#include "driver/description/register_programming.h"
#include "driver/engine/scan_setup.h"
#include "tests/support/golden_file.h"
#include "tests/support/recording_pipe.h"
#include "tests/support/test_context.h"
#include "tests/support/test_paths.h"
#include "virtual/virtual_backend.h"

namespace ordavel::engine {
namespace {

using test::TestContext;

struct GoldenCase {
    const char* chipName;
    const char* descriptionFile;  // in data/
    const char* scannerConfig;    // the matching virtual scanner, in data/virtual/
    const char* typeName;
    int32_t pixelType;
    int32_t bitDepth;
    int32_t resolution;
    const char* windowName = "";  // empty: the client's narrow window
    int32_t left = 284, top = 0, right = 1384, bottom = 1892;
    std::string name() const {
        return std::string(chipName) + "_" + typeName + "_" + std::to_string(resolution) + "dpi" +
               (*windowName != '\0' ? std::string("_") + windowName : "");
    }
    std::string window() const {
        return std::to_string(left) + "," + std::to_string(top) + "-" + std::to_string(right) + "," +
               std::to_string(bottom);
    }
};

// The scanner the snapshots are taken from, with every transfer recorded.
class GoldenRig {
public:
    explicit GoldenRig(const GoldenCase& c) : log_(std::make_shared<test::TransferLog>()) {
        std::string error;
        auto scanner = virtual_scanner::MakeVirtualScannerBackend(
            test::DataDir() + "/virtual/" + c.scannerConfig, scratch_.sharedClock(), error);
        EXPECT_TRUE(scanner) << error;
        if (scanner) scratch_.devices().addBackend(std::make_shared<test::RecordingBackend>(scanner, log_));
        scratch_.writeSettings(std::string("[SETUP]\nScannerFile=") + c.descriptionFile + "\nScan_Buffer_MBytes=8\n");
        scratch_.writeFile(scratch_.tempDir() + "/" + c.descriptionFile,
                           scratch_.readFile(test::DataDir() + "/" + c.descriptionFile));
        scratch_.writeNeutralCalibration();
        ScanRequest& r = ctx().engine.request;
        r.bedRight = 1680;
        r.bedBottom = 2340;
        r.scanRectLeft = c.left;
        r.scanRectTop = c.top;
        r.scanRectRight = c.right;
        r.scanRectBottom = c.bottom;
        r.pixelType = c.pixelType;
        r.bitDepth = c.bitDepth;
        r.xResolution = c.resolution;
        r.yResolution = c.resolution;
    }

    DriverContext& ctx() { return scratch_.ctx(); }
    const std::string& tempDir() const { return scratch_.tempDir(); }

    // A fresh description, as the session loads one before every job.
    void LoadDescription() { ASSERT_TRUE(description::LoadScannerDescription(ctx())) << ctx().record.messageText; }

    // Runs `step` and returns a titled section of the frames it sent.
    template <typename Step>
    std::string Section(const std::string& title, Step step) {
        const std::size_t from = log_->transfers.size();
        const bool ok = step();
        std::string text = "## " + title + (ok ? "" : " (FAILED: " + std::string(ctx().record.messageText) + ")") + "\n";
        return text + test::RenderFrames(test::DecodeFrames(*log_, from));
    }

private:
    TestContext scratch_{"golden"};
    std::shared_ptr<test::TransferLog> log_;
};

std::string Snapshot(const GoldenCase& c) {
    GoldenRig rig(c);
    description::RegisterImage image;
    std::string text = "# " + c.name() + ": pixel type " + std::to_string(c.pixelType) + ", " +
                       std::to_string(c.bitDepth) + " bits, " + std::to_string(c.resolution) +
                       " dpi, window " + c.window() + " of 1680x2340\n";
    rig.LoadDescription();
    text += rig.Section("geometry only: InitUSB", [&] { return description::InitUSB(rig.ctx(), false); });
    text += rig.Section("geometry only: set-up of compute.pxl",
                        [&] { return SetUpScanJob(rig.ctx(), image, "compute.pxl", false); });
    rig.LoadDescription();
    text += rig.Section("sheet: InitUSB", [&] { return description::InitUSB(rig.ctx(), true); });
    text += rig.Section("sheet: set-up of the probe",
                        [&] { return SetUpScanJob(rig.ctx(), image, rig.tempDir() + "/pcrate.pxl", false); });
    text += rig.Section("sheet: set-up of finalscn.pxl (stored calibration downloaded)",
                        [&] { return SetUpScanJob(rig.ctx(), image, rig.tempDir() + "/finalscn.pxl", false); });
    return text;
}

class GoldenRegisters : public ::testing::TestWithParam<GoldenCase> {};

TEST_P(GoldenRegisters, MatchTheSnapshot) {
    const GoldenCase& c = GetParam();
    const std::string text = Snapshot(c);
    EXPECT_EQ(text.find("FAILED"), std::string::npos) << text.substr(0, 400);
    const std::string difference = test::CompareWithGolden("tests/driver/engine/golden/" + c.name() + ".txt", text);
    EXPECT_TRUE(difference.empty()) << difference;
}

std::vector<GoldenCase> AllCases() {
    std::vector<GoldenCase> cases;
    struct Chip {
        const char* name;
        const char* description;
        const char* scanner;
    };
    const Chip chips[] = {{"lm9831", "Mirt9831.dsc", "lm9831.ini"},
                          {"lm9832", "Mirt9832.dsc", "reference.ini"},
                          {"lm9833", "Mirt9833.dsc", "lm9833.ini"}};
    for (const Chip& chip : chips) {
        for (int32_t resolution : {200, 100}) {
            cases.push_back({chip.name, chip.description, chip.scanner, "bw1", 0, 1, resolution});
            cases.push_back({chip.name, chip.description, chip.scanner, "grey8", 1, 8, resolution});
        }
        // A window smaller than one memory unit: the LM9831 widens it.
        cases.push_back({chip.name, chip.description, chip.scanner, "grey8", 1, 8, 200, "small", 800, 100, 830, 130});
    }
    return cases;
}

INSTANTIATE_TEST_SUITE_P(Variants, GoldenRegisters, ::testing::ValuesIn(AllCases()),
                         [](const auto& p) { return p.param.name(); });

}  // namespace
}  // namespace ordavel::engine
