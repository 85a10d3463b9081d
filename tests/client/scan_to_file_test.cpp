// The scan-to-file library as an application uses it: the built example program scanning the
// reference virtual scanner's feeder into bitmaps, every result code, and the handshake with the
// monitor through the key store. Pages are compared with what was on the paper.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <future>
#include <set>
#include <thread>
#include <fstream>
#include <numeric>
#include <algorithm>
#include <cmath>

#include "platform/profile.h"
#include "tests/support/image_stats.h"
#include "tests/support/pimlet_desk.h"
#include "tests/support/pimlet_pages.h"
#include "tests/support/sheet_scan_rig.h"

namespace ordavel::test {
namespace {

namespace fs = std::filesystem;

std::string TwainScan(const PimletDesk& desk) {
    return platform::ReadProfileString(desk.tmp() + "/Mirt.def", "TWAINSCAN", "TwainScan").value_or("");
}

// A desk whose monitor is this test process: its presence held, "bPaperLoaded" as given.
std::unique_ptr<PimletDesk> DeskWithPaperAnswer(uint32_t paperLoaded, const std::string& tag) {
    auto desk = std::make_unique<PimletDesk>(tag);
    desk->holdMonitorPresence();
    desk->setValue("bPaperLoaded", paperLoaded);
    return desk;
}

struct AnswerCase {
    const char* name;
    uint32_t paperLoaded;
    std::optional<uint32_t> scanStart;
    int result;
};

class MonitorAnswers : public ::testing::TestWithParam<AnswerCase> {};

TEST_P(MonitorAnswers, EndTheCallBeforeAnySheetWithTheirResult) {
    const AnswerCase& c = GetParam();
    auto desk = DeskWithPaperAnswer(c.paperLoaded, c.name);
    const std::string marker = desk->root() + "/monitor-started";
    desk->markerMonitor(marker);
    if (c.scanStart) desk->setValue("bScanStart", *c.scanStart);
    const PimletRun run = desk->scan({});
    EXPECT_EQ(run.result, c.result) << run.output;
    EXPECT_EQ(run.pages, 0u);
    EXPECT_EQ(desk->value("bScanStart"), 0u) << "the scan flag is cleared";
    EXPECT_FALSE(fs::exists(marker)) << "a present monitor is not started again";
    EXPECT_TRUE(fs::is_empty(desk->out()));
}

INSTANTIATE_TEST_SUITE_P(
    Results, MonitorAnswers,
    ::testing::Values(AnswerCase{"noPaper", 0, std::nullopt, 3}, AnswerCase{"scannerMissing", 3, std::nullopt, 4},
                      AnswerCase{"paperPathNotReady", 4, std::nullopt, 5}, AnswerCase{"unknownAnswer", 9, std::nullopt, 3},
                      // A feed failure left by the previous call is reported once, then cleared.
                      AnswerCase{"feedFailurePending", 1, 32u, 2}),
    [](const auto& param) { return std::string(param.param.name); });

struct ArgumentCase {
    const char* name;
    PimletScan scan;
};

PimletScan With(void (*change)(PimletScan&)) {
    PimletScan s;
    change(s);
    return s;
}

class ArgumentBounds : public ::testing::TestWithParam<ArgumentCase> {};

TEST_P(ArgumentBounds, AreRefusedWithoutTouchingTheKeyStoreTheMonitorOrTheDriver) {
    PimletDesk desk(GetParam().name);
    const std::string marker = desk.root() + "/monitor-started";
    desk.markerMonitor(marker);
    const PimletRun run = desk.scan(GetParam().scan);
    EXPECT_EQ(run.result, 6) << run.output;
    EXPECT_FALSE(fs::exists(desk.registry())) << "the key store is not touched";
    EXPECT_FALSE(fs::exists(marker)) << "the monitor is not started";
    EXPECT_EQ(TwainScan(desk), "") << "the driver's settings are not touched";
    EXPECT_FALSE(fs::exists(desk.tmp() + "/gamma_8a.gam"));
}

INSTANTIATE_TEST_SUITE_P(
    Results, ArgumentBounds,
    ::testing::Values(ArgumentCase{"gamma0", With([](PimletScan& s) { s.gamma = 0; })},
                      ArgumentCase{"gamma41", With([](PimletScan& s) { s.gamma = 41; })},
                      ArgumentCase{"brightness256", With([](PimletScan& s) { s.brightness = 256; })},
                      ArgumentCase{"brightnessMinus256", With([](PimletScan& s) { s.brightness = -256; })},
                      ArgumentCase{"contrast256", With([](PimletScan& s) { s.contrast = 256; })},
                      ArgumentCase{"highlightMinus256", With([](PimletScan& s) { s.highlight = -256; })},
                      ArgumentCase{"shadow256", With([](PimletScan& s) { s.shadow = 256; })},
                      ArgumentCase{"bitDepth4", With([](PimletScan& s) { s.bitDepth = 4; })},
                      ArgumentCase{"resolution250", With([](PimletScan& s) { s.resolution = 250; })}),
    [](const auto& param) { return std::string(param.param.name); });

TEST(OutputDirectory, ThatCannotTakeFilesIsRefusedBeforeTheMonitorStarts) {
    PimletDesk desk("baddir");
    const std::string marker = desk.root() + "/monitor-started";
    desk.markerMonitor(marker);
    std::ofstream(desk.root() + "/plain-file") << "x";
    for (const std::string& directory : {desk.root() + "/missing", desk.root() + "/plain-file"}) {
        const PimletRun run = desk.scan({}, "page", directory);
        EXPECT_EQ(run.result, 13) << directory << run.output;
    }
    // Bad arguments with a bad directory: the directory is checked first.
    PimletScan bad;
    bad.gamma = 0;
    EXPECT_EQ(desk.scan(bad, "page", desk.root() + "/missing").result, 13);
    EXPECT_FALSE(fs::exists(marker));
    EXPECT_FALSE(fs::exists(desk.registry()));
}

TEST(Monitor, MissingProgramCostsTheWaitAndEndsWithNoPaper) {
    PimletDesk desk("nomonitor");
    desk.windowsDirectory(true, false);
    const PimletRun run = desk.scan({});
    EXPECT_EQ(run.result, 3) << run.output;
    EXPECT_EQ(run.pages, 0u);
    EXPECT_GE(run.elapsedMs, 3000) << "the monitor is given its time even when it cannot start";
    EXPECT_EQ(desk.value("bScanStart"), 0u);
}

TEST(Driver, MissingLibraryEndsWithTheParameterFailure) {
    auto desk = DeskWithPaperAnswer(1, "nodriver");
    desk->windowsDirectory(false, false);
    const PimletRun run = desk->scan({});
    EXPECT_EQ(run.result, 11) << run.output;
    EXPECT_EQ(run.pages, 0u);
    // A Windows directory that does not exist at all is the same to the library.
    fs::remove_all(desk->windir());
    EXPECT_EQ(desk->scan({}).result, 11);
    EXPECT_EQ(desk->value("bScanStart"), 0u);
    EXPECT_EQ(TwainScan(*desk), "1") << "the driver's own curves are back in force";
    EXPECT_TRUE(fs::exists(desk->tmp() + "/gamma_8a.gam")) << "the curve was written before the loop";
}

TEST(Driver, ThatRefusesTheParametersEndsWithTheirFailure) {
    auto desk = DeskWithPaperAnswer(1, "refused");
    fs::remove(desk->tmp() + "/Mirt9832.dsc");  // the driver cannot load its description
    const PimletRun run = desk->scan({});
    EXPECT_EQ(run.result, 12) << run.output;
    EXPECT_EQ(desk->value("bScanStart"), 0u);
}

TEST(Driver, CurveThatCannotBeWrittenIsReportedAndTheScanGoesOn) {
    auto desk = DeskWithPaperAnswer(1, "nocurve");
    fs::create_directories(desk->tmp() + "/gamma_8a.gam");  // nothing can replace a folder
    const PimletRun run = desk->scan({});
    EXPECT_EQ(run.result, 0) << run.output;
    EXPECT_EQ(run.pages, 1u);
    EXPECT_NE(run.output.find("File Error: Can't write file!"), std::string::npos) << run.output;
}

TEST(Handshake, ScanFlagThatCannotBeSetEndsWithItsFailure) {
    auto desk = DeskWithPaperAnswer(1, "noflag");
    // A folder where the flag's file belongs: the key opens, the flag cannot be written.
    fs::create_directories(desk->keyFolder() + "/bScanStart.value");
    const PimletRun run = desk->scan({});
    EXPECT_EQ(run.result, 8) << run.output;
    EXPECT_EQ(run.pages, 0u);
    EXPECT_TRUE(fs::is_empty(desk->out()));
    EXPECT_EQ(TwainScan(*desk), "1");
}

TEST(Scanning, ThreeSheetsBecomeThreeBitmapsThatShowThePaper) {
    auto desk = DeskWithPaperAnswer(1, "three");
    const std::vector<std::string> pages{"chart", "document", "chart"};
    desk->feeder(pages);
    // What the monitor and the driver see while the sheets go through.
    std::atomic<bool> done{false};
    auto watcher = std::async(std::launch::async, [&] {
        std::set<std::pair<uint32_t, std::string>> seen;
        while (!done) {
            seen.insert({desk->value("bScanStart").value_or(99), TwainScan(*desk)});
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        return seen;
    });
    const PimletRun run = desk->scan({});
    done = true;
    const auto seen = watcher.get();
    EXPECT_TRUE(seen.count({1u, "0"})) << "the scan flag is 1 and the driver takes the library's curve during the scan";
    ASSERT_EQ(run.result, 0) << run.output;
    EXPECT_EQ(run.pages, 3u);
    for (const char* name : {"page001.bmp", "page002.bmp", "page003.bmp"}) {
        ExpectBitmapLayout(Bitmap{desk->readOutput(name)}, 1100, 1892, 8);
    }
    EXPECT_FALSE(fs::exists(desk->out() + "/page004.bmp"));
    const auto agreement = GroundTruthAgreement(pages, *desk);
    for (std::size_t i = 0; i < agreement.size(); ++i) EXPECT_GT(agreement[i], 0.95) << "sheet " << i + 1;
    EXPECT_EQ(desk->value("bScanStart"), 0u);
    EXPECT_EQ(TwainScan(*desk), "1");
    for (const auto& entry : fs::directory_iterator(desk->out())) {
        EXPECT_EQ(entry.path().extension(), ".bmp") << "no partial files are left behind";
    }
}

TEST(Scanning, WideBlackAndWhiteAt300DpiHasTheEnlargedSize) {
    auto desk = DeskWithPaperAnswer(1, "wide");
    PimletScan scan;
    scan.bitDepth = 1;
    scan.resolution = 300;
    scan.paperForm = 2;
    const PimletRun run = desk->scan(scan, "inv");
    ASSERT_EQ(run.result, 0) << run.output;
    EXPECT_EQ(run.pages, 1u);
    const Bitmap bmp{desk->readOutput("inv001.bmp")};
    ExpectBitmapLayout(bmp, 2130, 2838, 1);
    EXPECT_EQ(bmp.rowBytes(), 268u);
}

TEST(Scanning, SingleSheetStopsAfterOnePageAndTheSeparatorMakesNoDifference) {
    auto desk = DeskWithPaperAnswer(1, "single");
    desk->feeder({"chart", "chart", "chart"});
    PimletScan scan;
    scan.singleSheet = 1;
    const PimletRun run = desk->scan(scan, "a", desk->out() + "/");
    ASSERT_EQ(run.result, 0) << run.output;
    EXPECT_EQ(run.pages, 1u);
    EXPECT_TRUE(fs::exists(desk->out() + "/a001.bmp"));
    EXPECT_FALSE(fs::exists(desk->out() + "/a002.bmp"));
}

TEST(Scanning, ASheetWhoseImageIsLostWritesNoFileAndTheFeedStillRuns) {
    auto desk = DeskWithPaperAnswer(1, "lost");
    // The data port stalls during the second sheet, longer than the driver retries: that sheet
    // has no page, and the feed after it finds the sheet still in the paper path.
    desk->feeder({"chart", "chart", "chart"}, {{{"Type", "StallDataPort"}, {"Transfer", "60"}, {"Repeat", "12"}}});
    const PimletRun run = desk->scan({});
    EXPECT_EQ(run.result, 2) << run.output;
    EXPECT_EQ(run.pages, 1u);
    EXPECT_TRUE(fs::exists(desk->out() + "/page001.bmp"));
    EXPECT_FALSE(fs::exists(desk->out() + "/page002.bmp"));
    EXPECT_EQ(desk->value("bScanStart"), 32u);
}

TEST(Scanning, FeedFailureIsReportedNowAndOnceMore) {
    auto desk = DeskWithPaperAnswer(1, "jam");
    desk->feeder({"chart", "chart"}, {{{"Type", "Jam"}, {"Sheet", "2"}, {"At_Position", "20"}}});
    const PimletRun first = desk->scan({});
    EXPECT_EQ(first.result, 2) << first.output;
    EXPECT_EQ(first.pages, 1u) << "the page before the jam is kept";
    EXPECT_EQ(desk->value("bScanStart"), 32u);
    EXPECT_EQ(TwainScan(*desk), "1");
    const PimletRun second = desk->scan({});
    EXPECT_EQ(second.result, 2) << second.output;
    EXPECT_EQ(second.pages, 0u);
    EXPECT_EQ(desk->value("bScanStart"), 0u) << "reported once, then cleared";
}

// The driver scans through the library's curve: what the curve adds, the page shows.
class CurveOnThePage : public ::testing::Test {
protected:
    static Bitmap ScanWith(PimletScan scan, const std::string& tag) {
        auto desk = DeskWithPaperAnswer(1, tag);
        scan.singleSheet = 1;
        const PimletRun run = desk->scan(scan);
        EXPECT_EQ(run.result, 0) << run.output;
        return Bitmap{desk->readOutput("page001.bmp")};
    }
};

TEST_F(CurveOnThePage, BrightnessAndContrastShiftTheLevelsByTheCurvesAmount) {
    const Bitmap base = ScanWith({}, "curve-base");
    PimletScan brighter;
    brighter.brightness = 100;
    const Bitmap bright = ScanWith(brighter, "curve-bright");
    PimletScan contrasty;
    contrasty.contrast = 60;
    const Bitmap contrast = ScanWith(contrasty, "curve-contrast");
    ASSERT_EQ(base.bytes.size(), bright.bytes.size());
    ASSERT_EQ(base.bytes.size(), contrast.bytes.size());
    double brightShift = 0, contrastError = 0;
    int brightCount = 0, contrastCount = 0;
    for (uint32_t y = 0; y < base.height(); y += 2) {
        for (uint32_t x = 0; x < base.width(); x += 2) {
            const int level = base.grey(x, y);
            if (level > 0 && level < 150) {
                brightShift += bright.grey(x, y) - level;
                ++brightCount;
            }
            // The level came from input a with trunc(255 a / 4096) = level; contrast takes away
            // C x cos(a pi / 4096) there.
            const double a = (level + 0.5) * 4096 / 255;
            const double expected = std::clamp(level - std::cos(a * 3.1415926536 / 4096) * 60, 0.0, 255.0);
            if (level > 0 && level < 254 && expected > 1 && expected < 254) {
                contrastError += std::abs(contrast.grey(x, y) - expected);
                ++contrastCount;
            }
        }
    }
    ASSERT_GT(brightCount, 10000);
    ASSERT_GT(contrastCount, 10000);
    EXPECT_NEAR(brightShift / brightCount, 100.0, 1.5);
    EXPECT_LT(contrastError / contrastCount, 2.0);
}

TEST_F(CurveOnThePage, BlackAndWhiteFollowsTheCurveToWhiteAndToBlack) {
    PimletScan white;
    white.bitDepth = 1;
    white.brightness = 255;
    PimletScan black = white;
    black.brightness = -255;
    const Bitmap allWhite = ScanWith(white, "curve-white");
    const Bitmap allBlack = ScanWith(black, "curve-black");
    ASSERT_GT(allWhite.bytes.size(), 62u);
    ASSERT_EQ(allWhite.bytes.size(), allBlack.bytes.size());
    int whites = 0, blacks = 0, total = 0;
    for (uint32_t y = 0; y < allWhite.height(); y += 3) {
        for (uint32_t x = 0; x < allWhite.width(); x += 3) {
            whites += allWhite.white(x, y) ? 1 : 0;
            blacks += allBlack.white(x, y) ? 0 : 1;
            ++total;
        }
    }
    EXPECT_EQ(whites, total);
    EXPECT_EQ(blacks, total);
}

}  // namespace
}  // namespace ordavel::test
