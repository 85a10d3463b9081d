// Several processes on one virtual scanner: the monitor and the library see one feeder, and two
// applications scanning at once take turns without mixing their pages.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <future>
#include <thread>
#include <algorithm>

#include "tests/support/pimlet_desk.h"

namespace ordavel::test {
namespace {

namespace fs = std::filesystem;

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

TEST(SharedScanner, SheetsLeftBySingleSheetScansWaitForTheNextCall) {
    PimletDesk desk("shared-single");
    desk.shareScanner();
    desk.holdMonitorPresence();
    desk.setValue("bPaperLoaded", 1);
    desk.feeder({"chart", "chart", "chart"});
    PimletScan single;
    single.singleSheet = 1;
    const PimletRun first = desk.scan(single, "one");
    ASSERT_EQ(first.result, 0) << first.output;
    EXPECT_EQ(first.pages, 1u);
    const PimletRun rest = desk.scan({}, "rest");
    ASSERT_EQ(rest.result, 0) << rest.output;
    EXPECT_EQ(rest.pages, 2u) << "the two sheets left in the feeder";
}

TEST(SharedScanner, TwoApplicationsAtOnceTakeTurnsAndNeverMixTheirPages) {
    PimletDesk desk("shared-two");
    desk.shareScanner();
    desk.feeder({"chart", "chart", "chart"});
    // The monitor runs before either application starts.
    std::thread([&desk] { desk.monitor("--interval 100"); }).detach();
    ASSERT_TRUE(desk.waitForPaperValue(1, 3000));
    auto other = std::async(std::launch::async, [&desk] { return desk.scan({}, "page"); });
    const PimletRun mine = desk.scan({}, "page");
    const PimletRun theirs = other.get();
    // They take turns: one scans the feeder, the other then asks the monitor afresh and finds
    // it empty. Every sheet is scanned once and every file is one whole page.
    EXPECT_EQ(std::min(mine.result, theirs.result), 0) << mine.output << theirs.output;
    EXPECT_EQ(std::max(mine.result, theirs.result), 3) << mine.output << theirs.output;
    const uint32_t pages = mine.pages + theirs.pages;
    EXPECT_EQ(pages, 3u) << "one feeder: every sheet scanned once" << mine.output << theirs.output;
    EXPECT_EQ(CountWholePages(desk.out()), static_cast<int>(pages));
}

}  // namespace
}  // namespace ordavel::test
