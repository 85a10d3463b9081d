// Golden register snapshots: for each chip variant, pixel type and resolution, the exact frames
// initialisation and the set-up of each job send to the controller, diffed against text files
// in golden/. MIRT_UPDATE_GOLDEN=1 rewrites them; a change to them is a reviewed change.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "driver/description/register_programming.h"
#include "driver/engine/scan_setup.h"
#include "tests/support/golden_file.h"
#include "tests/support/hand_description.h"
#include "tests/support/recording_pipe.h"
#include "tests/support/scratch_context.h"
#include "tests/support/scripted_pipe.h"

namespace ordavel::engine {
namespace {

using test::ScratchContext;

struct GoldenCase {
    const char* chipName;
    int32_t chip;
    const char* typeName;
    int32_t pixelType;
    int32_t bitDepth;
    int32_t resolution;
    std::string name() const {
        return std::string(chipName) + "_" + typeName + "_" + std::to_string(resolution) + "dpi";
    }
};

// The scanner the snapshots are taken from, with every transfer recorded.
class GoldenRig {
public:
    explicit GoldenRig(const GoldenCase& c) : log_(std::make_shared<test::TransferLog>()) {
        auto controller = std::make_shared<test::ScriptedPipe>();
        auto backend = std::make_shared<test::ScriptedBackend>();
        backend->AddDevice(u"Mirt", u"Mirt Sheet Scanner", "mirt-0", controller);
        scratch_.devices().addBackend(std::make_shared<test::RecordingBackend>(backend, log_));
        scratch_.writeSettings("[SETUP]\nScan_Buffer_MBytes=8\n");
        scratch_.writeNeutralCalibration();
        chip_ = c.chip;
        ScanRequest& r = ctx().engine.request;
        r.bedRight = 1680;
        r.bedBottom = 2340;
        r.scanRectLeft = 284;
        r.scanRectRight = 1384;
        r.scanRectBottom = 1892;
        r.pixelType = c.pixelType;
        r.bitDepth = c.bitDepth;
        r.xResolution = c.resolution;
        r.yResolution = c.resolution;
    }

    DriverContext& ctx() { return scratch_.ctx(); }
    const std::string& tempDir() const { return scratch_.tempDir(); }

    // A fresh description, as the session loads one before every job.
    void LoadDescription() {
        ctx().description = test::HandDescription(chip_);
        ctx().settings.colourScan = ctx().engine.request.pixelType == 2;
    }

    // Runs `step` and returns a titled section of the frames it sent.
    template <typename Step>
    std::string Section(const std::string& title, Step step) {
        const std::size_t from = log_->transfers.size();
        const bool ok = step();
        std::string text = "## " + title + (ok ? "" : " (FAILED: " + std::string(ctx().record.messageText) + ")") + "\n";
        return text + test::RenderFrames(test::DecodeFrames(*log_, from));
    }

private:
    ScratchContext scratch_{"golden"};
    std::shared_ptr<test::TransferLog> log_;
    int32_t chip_ = 1;
};

std::string Snapshot(const GoldenCase& c) {
    GoldenRig rig(c);
    description::RegisterImage image;
    std::string text = "# " + c.name() + ": pixel type " + std::to_string(c.pixelType) + ", " +
                       std::to_string(c.bitDepth) + " bits, " + std::to_string(c.resolution) +
                       " dpi, window 284,0-1384,1892 of 1680x2340\n";
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
    const std::pair<const char*, int32_t> chips[] = {{"lm9831", 0}, {"lm9832", 1}, {"lm9833", 2}};
    for (auto [chipName, chip] : chips) {
        for (int32_t resolution : {200, 100}) {
            cases.push_back({chipName, chip, "bw1", 0, 1, resolution});
            cases.push_back({chipName, chip, "grey8", 1, 8, resolution});
        }
    }
    return cases;
}

INSTANTIATE_TEST_SUITE_P(Variants, GoldenRegisters, ::testing::ValuesIn(AllCases()),
                         [](const auto& p) { return p.param.name(); });

}  // namespace
}  // namespace ordavel::engine
