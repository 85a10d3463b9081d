// Several processes on one virtual scanner: the monitor and the library see one feeder, and two
// applications scanning at once take turns without mixing their pages.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <future>

#include "tests/support/pimlet_desk.h"

namespace ordavel::test {
namespace {

namespace fs = std::filesystem;

// Whether processes opening the same configuration reach one device: a single sheet scanned by
// one process is gone for the next.
bool ScannerIsShared() {
    static const bool shared = [] {
        PimletDesk desk("shared-probe");
        desk.holdMonitorPresence();
        desk.setValue("bPaperLoaded", 1);
        desk.feeder({"ticket"});
        PimletScan scan;
        scan.singleSheet = 1;
        const PimletRun first = desk.scan(scan, "a");
        const PimletRun second = desk.scan(scan, "b");
        return first.pages == 1 && second.pages == 0;
    }();
    return shared;
}

#define REQUIRE_SHARED_SCANNER()                                                                      \
    if (!ScannerIsShared())                                                                           \
    GTEST_SKIP() << "every process builds its own virtual scanner here (no shared scanner server), " \
                    "so a second process cannot see the first one's feeder"

// Every page file in the folder is one whole bitmap of the expected layout.
int CountWholePages(const std::string& folder) {
    int pages = 0;
    for (const auto& entry : fs::directory_iterator(folder)) {
        EXPECT_EQ(entry.path().extension(), ".bmp") << entry.path();
        std::ifstream in(entry.path(), std::ios::binary);
        const std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(in), {}};
        EXPECT_EQ(bytes.size(), 54u + 1024u + 1100u * 1892u) << entry.path();
        if (bytes.size() >= 54) {
            EXPECT_EQ(Le32(bytes, 2), bytes.size()) << entry.path();
        }
        ++pages;
    }
    return pages;
}

TEST(SharedScanner, TheMonitorSeesTheFeederTheLibraryEmptied) {
    REQUIRE_SHARED_SCANNER();
    PimletDesk desk("shared-monitor");
    desk.feeder({"chart", "chart", "chart"});
    PimletScan single;
    single.singleSheet = 1;
    const PimletRun first = desk.scan(single, "one");
    ASSERT_EQ(first.result, 0) << first.output;
    EXPECT_EQ(first.pages, 1u);
    // The sheets left in the feeder are still there for the next call.
    const PimletRun rest = desk.scan({}, "rest");
    ASSERT_EQ(rest.result, 0) << rest.output;
    EXPECT_EQ(rest.pages, 2u);
    EXPECT_TRUE(desk.waitForPaperValue(0, 5000)) << "the monitor reports the empty feeder";
    const PimletRun status = desk.monitor("--status");
    EXPECT_NE(status.output.find("no paper in the feeder"), std::string::npos) << status.output;
    EXPECT_EQ(desk.scan({}, "none").result, 3) << "nothing left to scan";
}

TEST(SharedScanner, TwoApplicationsAtOnceNeverMixTheirPages) {
    PimletDesk desk("shared-two");
    desk.holdMonitorPresence();
    desk.setValue("bPaperLoaded", 1);
    desk.feeder({"chart", "chart", "chart", "chart"});
    auto other = std::async(std::launch::async, [&desk] { return desk.scan({}, "page"); });
    const PimletRun mine = desk.scan({}, "page");
    const PimletRun theirs = other.get();
    // Each call either scans or fails with a code that says why; the files are whole either way.
    for (const PimletRun* run : {&mine, &theirs}) {
        EXPECT_TRUE(run->result == 0 || run->result == 2 || run->result == 3) << run->output;
    }
    const int pages = CountWholePages(desk.out());
    EXPECT_GE(pages, 1);
    if (ScannerIsShared()) {
        EXPECT_LE(mine.pages + theirs.pages, 4u) << "one feeder: no sheet is scanned twice";
    }
}

}  // namespace
}  // namespace ordavel::test
