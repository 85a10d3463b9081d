// Batches of sheets through the exports against the reference virtual scanner: long and short
// sheets end with the feeder empty and no error; destinations of odd sizes; cancellation; the
// debug files.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "driver/interface/export_operations.h"
#include "tests/support/image_stats.h"
#include "tests/support/sheet_scan_rig.h"

namespace ordavel::test {
namespace {

constexpr double kStepsPerInch = 200;
constexpr double kSensorOneToScanLine = 160;  // steps, on the reference paper path

// Does a grey line hold anything but white?
bool LineHasPaper(const ScannedPage& page, int32_t line) {
    for (int32_t x = 0; x < page.width; ++x) {
        if (page.grey(x, line) != 255) return true;
    }
    return false;
}

int32_t FirstAllWhiteLineOfTheBottom(const ScannedPage& page) {
    int32_t line = page.lines;
    while (line > 0 && !LineHasPaper(page, line - 1)) --line;
    return line;
}

// How grey rows `first` to `last` follow what was on the paper under them.
double Agreement(SheetScanRig& rig, const ScannedPage& page, const ClientScan& scan, int32_t first, int32_t last) {
    std::vector<double> scanned, truth;
    for (int32_t y = first; y <= last; y += 2) {
        for (int32_t x = 0; x < page.width; x += 3) {
            const auto t = rig.Truth(ClientRequest(scan).scanRectLeft, x, y);
            if (!t) continue;
            scanned.push_back(page.grey(x, y));
            truth.push_back(*t);
        }
    }
    return scanned.size() < 1000 ? 0.0 : Correlation(scanned, truth);
}

TEST(SheetBatch, LongAndShortSheetsKeepTheirBottomAndTheBatchEndsWithTheFeederEmpty) {
    const double kShort = 6.0;
    SheetScanRig rig({SheetScanRig::Chart(), SheetScanRig::Chart(kShort), SheetScanRig::Chart(),
                      SheetScanRig::Chart(kShort)});
    const ClientScan scan;
    for (int32_t sheet = 1; sheet <= 4; ++sheet) {
        SCOPED_TRACE(sheet);
        ASSERT_EQ(rig.SetParams(scan), 0) << rig.ctx().record.messageText;
        const ScannedPage page = rig.ScanSheet(scan);
        ASSERT_EQ(page.result, 2) << rig.ctx().record.messageText;
        ASSERT_EQ(page.lines, 1892);
        const auto& lines = rig.LastScanLines();
        ASSERT_FALSE(lines.empty());
        EXPECT_EQ(lines.front().sheet, sheet);
        // The first sheet waits at the ready position; fed ones land within the feed's polls.
        if (sheet == 1) {
            EXPECT_EQ(lines.front().yInches, 0.0);
        } else {
            EXPECT_LT(lines.front().yInches, 0.15);
        }
        if (sheet % 2 == 0) {
            // A short sheet keeps its bottom: after its tail leaves paper sensor 1 the scan goes
            // on over the distance to the scan line, and the page turns white just below the
            // sheet (within the polls' latency). Its last rows follow the paper.
            const auto sheetLines = static_cast<int32_t>(kShort * kStepsPerInch);
            const int32_t white = FirstAllWhiteLineOfTheBottom(page);
            EXPECT_GE(white, sheetLines);
            EXPECT_LE(white, sheetLines + kSensorOneToScanLine / 2);
            EXPECT_GT(Agreement(rig, page, scan, sheetLines - 100, sheetLines - 1), 0.9);
        } else {
            // A long sheet ends by count while it still covers sensor 1.
            EXPECT_GE(static_cast<int32_t>(lines.size()), 1892);
            EXPECT_EQ(FirstAllWhiteLineOfTheBottom(page), 1892);
        }
        // Up to the white band every line shows the sheet.
        for (int32_t y = 0; y < FirstAllWhiteLineOfTheBottom(page); y += 50) EXPECT_TRUE(LineHasPaper(page, y)) << y;
        ASSERT_EQ(rig.Feed(), 0) << rig.ctx().record.messageText;
        const int32_t empty = rig.PaperEmpty();
        EXPECT_EQ(empty, sheet == 4 ? 1 : 0);
        if (empty != 0) break;
    }
    EXPECT_EQ(rig.Stop(), 0);
    EXPECT_EQ(rig.scanner().peekRegister(0x07), 0);
}

TEST(SheetBatch, DestinationOfTwoAndAHalfLinesGetsTwoLinesPerRead) {
    SheetScanRig rig({SheetScanRig::Chart()});
    const ClientScan scan;
    ASSERT_EQ(rig.SetParams(scan), 0);
    const ScannedPage page = rig.ScanSheet(scan, 1100 * 5 / 2);
    ASSERT_EQ(page.result, 2);
    EXPECT_EQ(page.reads, 1892 / 2);
    for (int32_t got : page.gots) EXPECT_EQ(got, 2200);
    EXPECT_EQ(page.lines, 1892);
    // The same image as read in the client's 65,536-byte requests.
    SheetScanRig again({SheetScanRig::Chart()});
    ASSERT_EQ(again.SetParams(scan), 0);
    EXPECT_EQ(again.ScanSheet(scan).bytes, page.bytes);
}

TEST(SheetBatch, DestinationSmallerThanALineIsRefusedAndTheSheetCanStillBeScanned) {
    SheetScanRig rig({SheetScanRig::Chart()});
    const ClientScan scan;
    ASSERT_EQ(rig.SetParams(scan), 0);
    const ScannedPage refused = rig.ScanSheet(scan, 1099);
    EXPECT_EQ(refused.result, 1);
    EXPECT_STREQ(rig.ctx().record.messageText, "扫描宽度超界");
    EXPECT_TRUE(rig.LastScanLines().empty()) << "the controller was never started";

    ASSERT_EQ(rig.SetParams(scan), 0);
    const ScannedPage page = rig.ScanSheet(scan);
    EXPECT_EQ(page.result, 2);
    EXPECT_EQ(page.lines, 1892);
    EXPECT_EQ(rig.LastScanLines().front().yInches, 0.0);
}

int g_progressPoints = 0;

int32_t CancelAtTheThirdProgressPoint(int32_t kind) {
    if (kind != 1) return 0;
    return ++g_progressPoints == 3 ? 1 : 0;
}

TEST(SheetBatch, CancellingFromTheCallbackEndsTheScanAndTheNextOneWorks) {
    SheetScanRig rig({SheetScanRig::Chart()});
    const ClientScan scan;
    g_progressPoints = 0;
    ASSERT_EQ(rig.SetParams(scan, CancelAtTheThirdProgressPoint), 0);
    const ScannedPage cancelled = rig.ScanSheet(scan);
    EXPECT_EQ(cancelled.result, 1);
    EXPECT_EQ(g_progressPoints, 3);
    EXPECT_EQ(rig.scanner().peekRegister(0x07), 0) << "the controller is stopped";
    int32_t got = -7;
    uint8_t byte = 0;
    EXPECT_EQ(interface::ScanRead(rig.ctx(), &byte, 1, &got), 1) << "no scan is running any more";
    EXPECT_EQ(got, -7);

    const double stoppedAt = rig.LastScanLines().back().yInches;

    // The client stops; the next scan runs normally, from where the sheet stands.
    EXPECT_EQ(rig.Stop(), 0);
    ASSERT_EQ(rig.SetParams(scan), 0);
    const ScannedPage next = rig.ScanSheet(scan);
    EXPECT_EQ(next.result, 2) << rig.ctx().record.messageText;
    EXPECT_EQ(next.lines, 1892);
    EXPECT_EQ(rig.LastScanLines().front().sheet, 1);
    EXPECT_GT(rig.LastScanLines().front().yInches, stoppedAt);
}

std::vector<uint8_t> FileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(SheetBatch, DebugSettingKeepsTheRawLinesAndABitmapOfTheSheet) {
    SheetScanRig rig({SheetScanRig::Chart()});
    rig.scratch().writeSettings("[SETUP]\nScannerFile=Mirt9832.dsc\nDebug=1\nScan_Buffer_MBytes=8\n");
    const ClientScan scan;
    ASSERT_EQ(rig.SetParams(scan), 0) << rig.ctx().record.messageText;
    const ScannedPage page = rig.ScanSheet(scan);
    ASSERT_EQ(page.result, 2) << rig.ctx().record.messageText;

    const std::vector<uint8_t> bitmap = FileBytes(rig.scratch().tempDir() + "/finalscn.bmp");
    ASSERT_EQ(bitmap.size(), 54u + page.bytes.size());
    EXPECT_EQ(bitmap[0], 'B');
    EXPECT_EQ(bitmap[18] | bitmap[19] << 8, 1100);
    EXPECT_EQ(bitmap[22] | bitmap[23] << 8, 1892);
    EXPECT_TRUE(std::equal(page.bytes.begin(), page.bytes.end(), bitmap.begin() + 54));

    const std::vector<uint8_t> work = FileBytes(rig.scratch().tempDir() + "/finalscn.pxl");
    const std::string header = "v2\n1100\n0.00\n0\n4\n3\n1893\n200\n200\n2\n";
    ASSERT_GE(work.size(), header.size());
    EXPECT_EQ(std::string(work.begin(), work.begin() + static_cast<std::ptrdiff_t>(header.size())), header);
    EXPECT_EQ(work.size() - header.size(), 1102u * 1893u) << "every consumed controller line, raw";
}

}  // namespace
}  // namespace ordavel::test
