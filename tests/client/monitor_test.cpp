// The scan monitor as its own process: started by the library, what it writes for the library,
// its status on the command line and its end on a stop request.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <thread>

#include "platform/monitor_presence.h"
#include "tests/support/pimlet_desk.h"
#include "tests/support/pimlet_pages.h"

namespace ordavel::test {
namespace {

namespace fs = std::filesystem;

bool MonitorPresent(const PimletDesk& desk) {
    ::setenv("MIRT_RUNTIME_DIR", desk.runtime().c_str(), 1);
    const bool held = platform::PresenceHeld("usbHalvex");
    ::unsetenv("MIRT_RUNTIME_DIR");
    return held;
}

long MonitorPid(const PimletDesk& desk) {
    std::ifstream in(desk.runtime() + "/usbHalvex");
    long pid = 0;
    in >> pid;
    return pid;
}

TEST(Monitor, StartedByTheLibraryOnTheSharedScannerSeesTheFeederTheScanEmptied) {
    PimletDesk desk("monitor-start");
    desk.shareScanner();
    const std::vector<std::string> pages{"chart", "document", "chart"};
    desk.feeder(pages);
    const PimletRun run = desk.scan({});
    ASSERT_EQ(run.result, 0) << run.output;
    ASSERT_EQ(run.pages, pages.size());
    for (std::size_t i = 0; i < run.pages; ++i) {
        const Bitmap bmp{desk.readOutput("page00" + std::to_string(i + 1) + ".bmp")};
        ExpectBitmapLayout(bmp, 1100, 1892, 8);
        // On real time the feed stops each sheet a little differently; what is on the page is
        // the sheet's content all the same. The travel per line is the first sheet's, so later
        // sheets agree a little less (a wrong page or a misplaced one stays below 0.5).
        EXPECT_GT(AlignedAgreement(pages[i], bmp), 0.85) << "sheet " << i + 1;
    }
    constexpr uint32_t left = 0;  // the whole feeder was scanned
    EXPECT_TRUE(desk.waitForPaperValue(left, 5000)) << "the monitor reports the feeder as the scan left it";
    ASSERT_TRUE(MonitorPresent(desk)) << "the monitor keeps running after the scan";
    EXPECT_EQ(desk.value("bScanStart"), 0u);
    const PimletRun status = desk.monitor("--status");
    EXPECT_EQ(status.result, 0) << status.output;
    EXPECT_NE(status.output.find("monitor:   running"), std::string::npos) << status.output;
    EXPECT_NE(status.output.find("scan:      idle (0)"), std::string::npos) << status.output;
    EXPECT_NE(status.output.find(left == 0 ? "no paper in the feeder" : "paper loaded"), std::string::npos)
        << status.output;
    // A second start finds it present and leaves it alone.
    const PimletRun again = desk.monitor("");
    EXPECT_EQ(again.result, 0);
    EXPECT_NE(again.output.find("already running"), std::string::npos);
}

TEST(Monitor, EndsOnAStopRequestAndReleasesItsPresence) {
    for (int signal : {SIGTERM, SIGINT}) {
        PimletDesk desk("monitor-stop");
        // Started the way the library starts it, detached; then asked to stop.
        std::thread([&desk] { desk.monitor("--interval 100"); }).detach();
        for (int i = 0; i < 200 && !MonitorPresent(desk); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
        ASSERT_TRUE(MonitorPresent(desk));
        EXPECT_TRUE(desk.waitForPaperValue(1, 3000)) << "a sheet at the ready position is reported";
        ::kill(static_cast<pid_t>(MonitorPid(desk)), signal);
        for (int i = 0; i < 200 && MonitorPresent(desk); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
        EXPECT_FALSE(MonitorPresent(desk)) << "signal " << signal;
        EXPECT_FALSE(desk.value("bPaperLoaded")) << "an ended monitor leaves no answer behind";
        const PimletRun status = desk.monitor("--status");
        EXPECT_EQ(status.result, 1);
        EXPECT_NE(status.output.find("not running"), std::string::npos);
    }
}

TEST(Monitor, WithoutAScannerSaysSoAndTheLibraryPassesItOn) {
    PimletDesk desk("monitor-noscanner");
    // Nothing to open: the virtual scanner's configuration is missing and no scanner is attached.
    desk.feeder({});
    fs::remove(desk.root() + "/scanner.ini");
    std::thread([&desk] { desk.monitor("--interval 100"); }).detach();
    ASSERT_TRUE(desk.waitForPaperValue(3, 3000));
    const PimletRun run = desk.scan({});
    EXPECT_EQ(run.result, 4) << run.output;
    EXPECT_EQ(desk.value("bPaperLoaded"), 3u);
    const PimletRun status = desk.monitor("--status");
    EXPECT_NE(status.output.find("scanner not found or not accessible"), std::string::npos) << status.output;
}

TEST(Monitor, LeavesTheDeviceAloneWhileAClientScanRuns) {
    PimletDesk desk("monitor-quiet");
    desk.setValue("bScanStart", 1);
    desk.setValue("bPaperLoaded", 7);
    std::thread([&desk] { desk.monitor("--interval 50"); }).detach();
    for (int i = 0; i < 200 && !MonitorPresent(desk); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_TRUE(MonitorPresent(desk));
    // Several intervals pass without an answer of its own; once the scan ends it looks again.
    EXPECT_FALSE(desk.waitForPaperValue(1, 300));
    EXPECT_EQ(desk.value("bPaperLoaded"), 7u);
    desk.setValue("bScanStart", 0);
    EXPECT_TRUE(desk.waitForPaperValue(1, 3000));
}

}  // namespace
}  // namespace ordavel::test
