// Scanning sheets through the exports against the reference virtual scanner: the delivered
// image has the requested size and order and matches what was on paper (the page's ground truth
// at the scan grid), in grey and black and white, as scanned and enlarged by 3/2.
#include <gtest/gtest.h>

#include <cmath>
#include <numeric>

#include "tests/support/image_stats.h"
#include "tests/support/sheet_scan_rig.h"
#include "virtual/builtin_pages.h"

namespace ordavel::test {
namespace {

using virtual_scanner::kInkBlack;
using virtual_scanner::kPaperWhite;

struct ClientCase {
    const char* name;
    ClientScan scan;
    int32_t lineBytes, width, lines;
};

class ClientWindows : public ::testing::TestWithParam<ClientCase> {};

TEST_P(ClientWindows, DeliverTheRequestedImageOfTheSheet) {
    const ClientCase& c = GetParam();
    SheetScanRig rig({SheetScanRig::Chart()});
    // Black and white pages go through a tone curve that spreads the uncalibrated scanner's
    // levels over the whole range, as the client's curve file would.
    if (!c.scan.grey) rig.WriteToneCurve(1, 2.0);
    const ScanRequest r = ClientRequest(c.scan);
    ASSERT_EQ(rig.SetParams(r), 0) << rig.ctx().record.messageText;
    const ScannedPage page = rig.ScanSheet(r);
    ASSERT_EQ(page.result, 2) << rig.ctx().record.messageText;
    EXPECT_EQ(page.lineBytes, c.lineBytes);
    EXPECT_EQ(page.width, c.width);
    EXPECT_EQ(page.lines, c.lines);
    EXPECT_EQ(page.bytes.size(), static_cast<std::size_t>(c.lineBytes) * c.lines);
    for (int32_t got : page.gots) EXPECT_EQ(got % c.lineBytes, 0) << "a read split a line";
    if (c.scan.grey) {
        EXPECT_GT(GreyAgreement(rig, page, r), 0.97);
    } else {
        EXPECT_GT(BlackWhiteAgreement(rig, page, r), 0.98);
    }
    EXPECT_STREQ(rig.ctx().record.messageText, "扫描完成");
}

ClientScan Scan(ClientWindow window, bool grey, bool enlarge, int32_t lineOrder) {
    return ClientScan{window, grey, enlarge, lineOrder};
}

INSTANTIATE_TEST_SUITE_P(
    SheetScan, ClientWindows,
    ::testing::Values(ClientCase{"greyNarrow", Scan(ClientWindow::Narrow, true, false, 1), 1100, 1100, 1892},
                      ClientCase{"greyWideScanOrder", Scan(ClientWindow::Wide, true, false, 0), 1420, 1420, 1892},
                      ClientCase{"blackWhiteNarrow", Scan(ClientWindow::Narrow, false, false, 1), 140, 1100, 1892},
                      ClientCase{"blackWhiteWideScanOrder", Scan(ClientWindow::Wide, false, false, 0), 180, 1420, 1892},
                      ClientCase{"greyNarrowEnlarged", Scan(ClientWindow::Narrow, true, true, 1), 1652, 1650, 2838},
                      ClientCase{"greyWideEnlarged", Scan(ClientWindow::Wide, true, true, 0), 2132, 2130, 2838},
                      ClientCase{"blackWhiteNarrowEnlarged", Scan(ClientWindow::Narrow, false, true, 0), 208, 1650, 2838},
                      ClientCase{"blackWhiteWideEnlarged", Scan(ClientWindow::Wide, false, true, 1), 268, 2130, 2838}),
    [](const auto& param) { return std::string(param.param.name); });

TEST(SheetScan, ScanOrderAndBitmapOrderOfAGreyPageAreTheSameRows) {
    // One output line per input line: each read's rows come in the same order either way.
    std::vector<uint8_t> pages[2];
    for (int32_t order : {0, 1}) {
        SheetScanRig rig({SheetScanRig::Chart()});
        const ScanRequest r = ClientRequest(ClientScan{ClientWindow::Narrow, true, false, order});
        ASSERT_EQ(rig.SetParams(r), 0);
        pages[order] = rig.ScanSheet(r).bytes;
    }
    EXPECT_EQ(pages[0], pages[1]);
}

// The whole bed in grey: the chart's marks where the paper put them.
class WholeBedChart : public ::testing::Test {
protected:
    void SetUp() override {
        request = ClientRequest(ClientScan{});
        request.scanRectLeft = 0;
        request.scanRectRight = 1680;
        request.scanRectBottom = 2340;
        ASSERT_EQ(rig.SetParams(request), 0) << rig.ctx().record.messageText;
        page = rig.ScanSheet(request);
        ASSERT_EQ(page.result, 2);
        ASSERT_EQ(page.lines, 2340);
    }

    double MeanOver(double x0, double x1, double y0, double y1) {
        // Inches on the chart of the sheet at the ready position: line = y x 200.
        const double w = rig.scanner().sheetPage(1)->widthInches();
        double sum = 0;
        int32_t n = 0;
        for (int32_t y = static_cast<int32_t>(y0 * 200) + 4; y < static_cast<int32_t>(y1 * 200) - 4; ++y) {
            for (int32_t x = Column(x0, w) + 4; x < Column(x1, w) - 4; ++x) {
                sum += page.grey(x, y);
                ++n;
            }
        }
        return sum / n;
    }
    static int32_t Column(double xInches, double width) {
        return static_cast<int32_t>(std::lround((xInches - width / 2) * 200 + 840 - 0.5));
    }

    SheetScanRig rig{{SheetScanRig::Chart()}};
    ScanRequest request{};
    ScannedPage page;
};

TEST_F(WholeBedChart, TopLeftCornerMarkIsWithinTwoPixelsOfItsPlaceOnPaper) {
    const auto marks = virtual_scanner::TestChartMarks();
    const double w = rig.scanner().sheetPage(1)->widthInches();
    const double expectedX = (marks.left - w / 2) * 200 + 840 - 0.5;
    const double expectedY = marks.top * 200;  // the ready sheet's leading edge is line 0
    double sx = 0, sy = 0, n = 0;
    // A box around the expected place, twice the mark's size each way.
    const int32_t reach = static_cast<int32_t>(marks.squareSize * 200);
    for (int32_t y = static_cast<int32_t>(expectedY) - reach; y < static_cast<int32_t>(expectedY) + reach; ++y) {
        for (int32_t x = static_cast<int32_t>(expectedX) - reach; x < static_cast<int32_t>(expectedX) + reach; ++x) {
            if (page.grey(x, y) < 50) {
                sx += x;
                sy += y;
                ++n;
            }
        }
    }
    ASSERT_GT(n, 500);
    EXPECT_NEAR(sx / n, expectedX, 2.0);
    EXPECT_NEAR(sy / n, expectedY, 2.0);
}

TEST_F(WholeBedChart, GreyRampRisesAndPatchesSitAtTheLevelsTheRampPredicts) {
    const auto m = virtual_scanner::TestChartMarks();
    // The ramp in twenty steps: each brighter than the one before, with the sensor's response
    // line fitted through them.
    const int32_t kBins = 20;
    std::vector<double> levels, reflectances;
    const double span = (m.rampX1 - m.rampX0) / kBins;
    for (int32_t b = 0; b < kBins; ++b) {
        const double x0 = m.rampX0 + b * span + span / 4, x1 = x0 + span / 2;
        levels.push_back(MeanOver(x0, x1, m.rampY0, m.rampY1));
        reflectances.push_back(m.rampStart + (m.rampEnd - m.rampStart) * ((x0 + x1) / 2 - m.rampX0) / (m.rampX1 - m.rampX0));
        if (b > 0) {
            EXPECT_GT(levels[b], levels[b - 1]) << "bin " << b;
        }
    }
    EXPECT_GT(levels.back() - levels.front(), 60);
    const double n = kBins;
    const double mr = std::accumulate(reflectances.begin(), reflectances.end(), 0.0) / n;
    const double ml = std::accumulate(levels.begin(), levels.end(), 0.0) / n;
    double srl = 0, srr = 0;
    for (int32_t b = 0; b < kBins; ++b) {
        srl += (reflectances[b] - mr) * (levels[b] - ml);
        srr += (reflectances[b] - mr) * (reflectances[b] - mr);
    }
    const double slope = srl / srr, offset = ml - slope * mr;
    EXPECT_NEAR(MeanOver(m.blackX0, m.blackX1, m.patchY0, m.patchY1), slope * kInkBlack + offset, 4.0);
    // Blank paper between the ramp and the patches.
    EXPECT_NEAR(MeanOver(m.rampX0, m.rampX1, m.rampY1 + 0.1, m.rampY1 + 0.25), slope * kPaperWhite + offset, 4.0);
}

}  // namespace
}  // namespace ordavel::test
