// ScanRead against the reference virtual scanner with the reads a careless or unusual client
// makes: the end of enlarged pages of every height read as "what is left", destinations too small
// for the last line, no destination at all, and a status callback that calls ScanRead itself.
// Each read either delivers the page a plain client gets, or fails cleanly: result 1, the cause
// in the status text, the device closed, and the next scan works.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <vector>

#include "driver/interface/driver_context.h"
#include "driver/interface/export_operations.h"
#include "tests/support/sheet_scan_rig.h"

namespace ordavel::test {
namespace {

ScanRequest Enlarged(bool grey, int32_t imageHeight = 2838) {
    ScanRequest r = ClientRequest(ClientScan{ClientWindow::Narrow, grey, true, 1});
    r.imageHeight = imageHeight;
    return r;
}

// The page a client reading 65,536 bytes at a time gets of the full-height enlarged request.
const std::vector<uint8_t>& ReferencePage(bool grey) {
    static std::map<bool, std::vector<uint8_t>> pages;
    auto found = pages.find(grey);
    if (found != pages.end()) return found->second;
    SheetScanRig rig({SheetScanRig::Chart()});
    const ScanRequest r = Enlarged(grey);
    EXPECT_EQ(rig.SetParams(r), 0) << rig.ctx().record.messageText;
    const ScannedPage page = rig.ScanSheet(r);
    EXPECT_EQ(page.result, 2) << rig.ctx().record.messageText;
    return pages[grey] = page.bytes;
}

// The first `lines` delivered lines of the reference page.
std::vector<uint8_t> ReferenceTop(bool grey, int32_t lineBytes, int32_t lines) {
    const std::vector<uint8_t>& page = ReferencePage(grey);
    const auto bytes = std::min(page.size(), static_cast<std::size_t>(lineBytes) * static_cast<std::size_t>(lines));
    return {page.begin(), page.begin() + static_cast<std::ptrdiff_t>(bytes)};
}

// After a refused read: the device is closed and the same rig scans the full page again.
void ExpectNextScanWorks(SheetScanRig& rig, bool grey) {
    EXPECT_EQ(rig.ctx().connection.pipe, nullptr) << "the device stays open after a failed read";
    const ScanRequest r = Enlarged(grey);
    ASSERT_EQ(rig.SetParams(r), 0) << rig.ctx().record.messageText;
    const ScannedPage page = rig.ScanSheet(r);
    EXPECT_EQ(page.result, 2) << rig.ctx().record.messageText;
    EXPECT_EQ(page.lines, 2838);
}

struct EndCase {
    const char* name;
    bool grey;
    int32_t imageHeight;
    int32_t requestBytes;
};

class EnlargedPageEnd : public ::testing::TestWithParam<EndCase> {};

// Reads of at most `requestBytes` of what is left of the page buffer: the page finishes at its
// height with the lines a plain full-height read delivers.
TEST_P(EnlargedPageEnd, FinishesWithTheLinesOfAPlainRead) {
    const EndCase& c = GetParam();
    SheetScanRig rig({SheetScanRig::Chart()});
    const ScanRequest r = Enlarged(c.grey, c.imageHeight);
    ASSERT_EQ(rig.SetParams(r), 0) << rig.ctx().record.messageText;
    const ScannedPage page = rig.ScanSheet(r, c.requestBytes, ReadSizing::WhatIsLeft);
    ASSERT_EQ(page.result, 2) << rig.ctx().record.messageText << " after " << page.reads << " reads";
    EXPECT_EQ(page.lines, c.imageHeight);
    EXPECT_TRUE(page.bytes == ReferenceTop(c.grey, page.lineBytes, c.imageHeight)) << "the page differs";
}

INSTANTIATE_TEST_SUITE_P(
    Heights, EnlargedPageEnd,
    ::testing::Values(EndCase{"grey499", true, 499, 65536}, EndCase{"grey500", true, 500, 65536},
                      EndCase{"grey501", true, 501, 65536}, EndCase{"grey2837", true, 2837, 65536},
                      EndCase{"blackWhite500", false, 500, 65536}, EndCase{"blackWhite2837", false, 2837, 65536},
                      // Three delivered lines a read end on a single line left.
                      EndCase{"greyThreeLinesAReadEndingOnOneLine", true, 301, 3 * 1652},
                      EndCase{"greyOneLineImageInOneLine", true, 1, 1652}),
    [](const auto& p) { return std::string(p.param.name); });

// A destination in a guarded buffer: the bytes behind `size` must stay as they were.
struct GuardedBuffer {
    explicit GuardedBuffer(int32_t bytesAvailable)
        : size(bytesAvailable), bytes(static_cast<std::size_t>(bytesAvailable) + 256, 0xA5) {}
    bool intact() const {
        return std::all_of(bytes.begin() + size, bytes.end(), [](uint8_t b) { return b == 0xA5; });
    }
    int32_t size;
    std::vector<uint8_t> bytes;
};

TEST(ScanReadGuard, LastLineInADestinationSmallerThanALineIsRefusedWithoutWritingPastIt) {
    // One delivered line left (a one-line image) and 1,200 bytes for a 1,652-byte line.
    SheetScanRig rig({SheetScanRig::Chart()});
    const ScanRequest r = Enlarged(true, 1);
    ASSERT_EQ(rig.SetParams(r), 0);
    ASSERT_EQ(interface::ScanStart(rig.ctx()), 0);
    GuardedBuffer destination(1200);
    int32_t got = -1;
    EXPECT_EQ(interface::ScanRead(rig.ctx(), destination.bytes.data(), destination.size, &got), 1);
    EXPECT_TRUE(destination.intact()) << "the read wrote past its destination";
    EXPECT_EQ(got, 0);
    EXPECT_STREQ(rig.ctx().record.messageText, "扫描宽度超界");
    ExpectNextScanWorks(rig, true);
}

TEST(ScanReadGuard, NullDestinationIsRefusedAtOnce) {
    SheetScanRig rig({SheetScanRig::Chart()});
    const ScanRequest r = Enlarged(false);
    ASSERT_EQ(rig.SetParams(r), 0);
    ASSERT_EQ(interface::ScanStart(rig.ctx()), 0);
    int32_t got = -1;
    EXPECT_EQ(interface::ScanRead(rig.ctx(), nullptr, 65536, &got), 1);
    EXPECT_EQ(got, 0);
    EXPECT_STREQ(rig.ctx().record.messageText, "ScanRead without a destination for 65536 bytes");
    EXPECT_EQ(rig.scanner().motorPosition(), 0) << "the sheet moved";
    ExpectNextScanWorks(rig, false);
}

// A status callback that reads into a buffer of its own at every progress point.
struct Reentry {
    static int32_t Callback(int32_t kind) {
        if (kind != 1 || ctx == nullptr) return 0;
        int32_t got = -1;
        results.push_back(interface::ScanRead(*ctx, inner.data(), static_cast<int32_t>(inner.size()), &got));
        gots.push_back(got);
        return 0;
    }
    static inline DriverContext* ctx = nullptr;
    static inline std::vector<uint8_t> inner;
    static inline std::vector<int32_t> results, gots;
};

TEST(ScanReadGuard, ReadFromTheStatusCallbackIsRefusedAndTheOuterPageIsUnchanged) {
    SheetScanRig rig({SheetScanRig::Chart()});
    Reentry::ctx = &rig.ctx();
    Reentry::inner.assign(65536, 0x3C);
    Reentry::results.clear();
    Reentry::gots.clear();
    const ScanRequest r = Enlarged(true);
    ASSERT_EQ(rig.SetParams(r, &Reentry::Callback), 0);
    const ScannedPage page = rig.ScanSheet(r);
    Reentry::ctx = nullptr;
    ASSERT_EQ(page.result, 2) << rig.ctx().record.messageText;
    ASSERT_FALSE(Reentry::results.empty()) << "the callback was never asked";
    EXPECT_TRUE(std::all_of(Reentry::results.begin(), Reentry::results.end(), [](int32_t v) { return v == 1; }));
    EXPECT_TRUE(std::all_of(Reentry::gots.begin(), Reentry::gots.end(), [](int32_t v) { return v == 0; }));
    EXPECT_TRUE(std::all_of(Reentry::inner.begin(), Reentry::inner.end(), [](uint8_t b) { return b == 0x3C; }))
        << "the nested read stored data";
    EXPECT_TRUE(page.bytes == ReferencePage(true)) << "the outer page differs from a plain read";
}

}  // namespace
}  // namespace ordavel::test
