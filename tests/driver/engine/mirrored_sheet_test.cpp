// Sheets scanned end to end with a description that declares the image mirrored, on the reference
// virtual scanner whose sensor reads the page as it lies: the driver takes the window from the
// other end of the sensor and reverses every line, so the client receives the chart mirrored left
// to right, matching the paper's ground truth mirrored, in scan order and in bitmap order.
#include <gtest/gtest.h>

#include <cmath>
#include <numeric>
#include <ostream>
#include <string>

#include "tests/support/image_stats.h"
#include "tests/support/sheet_scan_rig.h"
#include "virtual/builtin_pages.h"

namespace ordavel::engine {
namespace {

using test::ClientRequest;
using test::ClientScan;
using test::ClientWindow;
using test::ScannedPage;
using test::SheetScanRig;

// The reference description with the mirrored-image choice set, in place of the rig's copy.
void DeclareMirroredImage(SheetScanRig& rig) {
    const std::string path = rig.scratch().tempDir() + "/Mirt9832.dsc";
    std::string text = rig.scratch().readFile(path);
    const std::string plain = "Mirror_Image=No";
    const std::size_t at = text.find(plain);
    ASSERT_NE(at, std::string::npos);
    text.replace(at, plain.size(), "Mirror_Image=Yes");
    rig.scratch().writeFile(path, text);
}

// The imaging pixel a delivered column shows when the page arrives mirrored: the column's
// reflection across the imaging pixels.
int32_t MirroredPixel(SheetScanRig& rig, int32_t windowLeft, int32_t col) {
    return rig.scanner().config().sensor.imagePixels - 1 - (windowLeft + col);
}


// How the grey page follows the paper read mirrored (or as it lies): the correlation of its
// values with the reflectance over a grid of points.
double Agreement(SheetScanRig& rig, const ScannedPage& page, int32_t windowLeft, bool mirrored) {
    std::vector<double> scanned, truth;
    for (int32_t y = 0; y < page.lines; y += 4) {
        for (int32_t x = 0; x < page.width; x += 4) {
            const auto t = mirrored ? rig.Truth(0, MirroredPixel(rig, windowLeft, x), y) : rig.Truth(windowLeft, x, y);
            if (!t) continue;
            scanned.push_back(page.grey(x, y));
            truth.push_back(*t);
        }
    }
    return scanned.size() < 1000 ? 0.0 : test::Correlation(scanned, truth);
}

class MirroredNarrowWindow : public ::testing::TestWithParam<int32_t> {};

TEST_P(MirroredNarrowWindow, DeliversTheChartMirroredLeftToRight) {
    SheetScanRig rig({SheetScanRig::Chart()}, "mirror");
    DeclareMirroredImage(rig);
    const ScanRequest r = ClientRequest(ClientScan{ClientWindow::Narrow, true, false, GetParam()});
    ASSERT_EQ(rig.SetParams(r), 0) << rig.ctx().record.messageText;
    const ScannedPage page = rig.ScanSheet(r);
    ASSERT_EQ(page.result, 2) << rig.ctx().record.messageText;
    EXPECT_EQ(page.lineBytes, 1100);
    EXPECT_EQ(page.lines, 1892);
    EXPECT_GT(Agreement(rig, page, r.scanRectLeft, true), 0.97);
    // The chart is far from symmetric (ramp, patches): read as it lies it does not match.
    EXPECT_LT(Agreement(rig, page, r.scanRectLeft, false), 0.5);
}

INSTANTIATE_TEST_SUITE_P(LineOrders, MirroredNarrowWindow, ::testing::Values(0, 1),
                         [](const auto& p) { return p.param == 0 ? "scanOrder" : "bitmapOrder"; });

struct BedWindow {
    int32_t lineOrder;
    int32_t right;  // the window runs from the bed's left edge to here, full length
};

void PrintTo(const BedWindow& w, std::ostream* os) { *os << "line order " << w.lineOrder << ", right " << w.right; }

// A window from the bed's left edge, mirrored: where the chart's marks land.
class MirroredChart : public ::testing::TestWithParam<BedWindow> {
protected:
    void SetUp() override {
        DeclareMirroredImage(rig);
        request = ClientRequest(ClientScan{ClientWindow::Narrow, true, false, GetParam().lineOrder});
        request.scanRectLeft = 0;
        request.scanRectRight = GetParam().right;
        request.scanRectBottom = 2340;
        ASSERT_EQ(rig.SetParams(request), 0) << rig.ctx().record.messageText;
        page = rig.ScanSheet(request);
        ASSERT_EQ(page.result, 2) << rig.ctx().record.messageText;
        ASSERT_EQ(page.lines, 2340);
        ASSERT_EQ(page.width, GetParam().right);
    }

    // The column at which paper position `xInches` appears once mirrored (the window starts at
    // imaging pixel 0).
    double MirroredColumn(double xInches) {
        const auto& sensor = rig.scanner().config().sensor;
        const double w = rig.scanner().sheetPage(1)->widthInches();
        return sensor.imagePixels - 1 - ((xInches - w / 2) * 200 + sensor.paperCentre - 0.5);
    }

    // The centre of the dark pixels in a box twice a mark's size around (x, y); n counts them.
    void DarkCentre(double x, double y, double& cx, double& cy, int32_t& n) {
        const int32_t reach = static_cast<int32_t>(virtual_scanner::TestChartMarks().squareSize * 200);
        double sx = 0, sy = 0;
        n = 0;
        for (int32_t row = static_cast<int32_t>(y) - reach; row < static_cast<int32_t>(y) + reach; ++row) {
            for (int32_t col = static_cast<int32_t>(x) - reach; col < static_cast<int32_t>(x) + reach; ++col) {
                if (page.grey(col, row) >= 50) continue;
                sx += col;
                sy += row;
                ++n;
            }
        }
        cx = n > 0 ? sx / n : -1;
        cy = n > 0 ? sy / n : -1;
    }

    double MeanOver(double x0, double x1, double y0, double y1) {
        const double c0 = MirroredColumn(x1), c1 = MirroredColumn(x0);
        double sum = 0;
        int32_t n = 0;
        for (int32_t y = static_cast<int32_t>(y0 * 200) + 4; y < static_cast<int32_t>(y1 * 200) - 4; ++y) {
            for (int32_t x = static_cast<int32_t>(c0) + 4; x < static_cast<int32_t>(c1) - 4; ++x) {
                sum += page.grey(x, y);
                ++n;
            }
        }
        return sum / n;
    }

    SheetScanRig rig{{SheetScanRig::Chart()}, "mirrorbed"};
    ScanRequest request{};
    ScannedPage page;
};

TEST_P(MirroredChart, TopCornerMarksSwapSidesWithinTwoPixels) {
    const auto marks = virtual_scanner::TestChartMarks();
    const double y = marks.top * 200;
    // The paper's right mark is at the image's left; its left mark at the right when the window
    // reaches that far.
    const int32_t reach = static_cast<int32_t>(marks.squareSize * 200);
    ASSERT_LT(MirroredColumn(marks.right), 840);
    for (const double paperX : {marks.right, marks.left}) {
        const double expectedX = MirroredColumn(paperX);
        if (expectedX + reach >= page.width) continue;
        double cx = 0, cy = 0;
        int32_t n = 0;
        DarkCentre(expectedX, y, cx, cy, n);
        ASSERT_GT(n, 500) << "no mark near column " << expectedX;
        EXPECT_NEAR(cx, expectedX, 2.0) << "mark at " << paperX << " inch";
        EXPECT_NEAR(cy, y, 2.0) << "mark at " << paperX << " inch";
    }
}

INSTANTIATE_TEST_SUITE_P(LineOrders, MirroredChart,
                         ::testing::Values(BedWindow{0, 1680}, BedWindow{1, 1680}, BedWindow{0, 1400},
                                           BedWindow{1, 1400}),
                         [](const auto& p) {
                             return std::string(p.param.lineOrder == 0 ? "scanOrder" : "bitmapOrder") + "To" +
                                    std::to_string(p.param.right);
                         });

// The whole bed: the chart's asymmetric parts read right to left.
class MirroredWholeBed : public MirroredChart {};

TEST_P(MirroredWholeBed, BlackPatchAndRampAppearReversed) {
    const auto m = virtual_scanner::TestChartMarks();
    // The black patch at the paper's left shows at the image's right, dark as ink.
    EXPECT_LT(MeanOver(m.blackX0, m.blackX1, m.patchY0, m.patchY1), 50);
    // The ramp, dark at the paper's left, falls from left to right across the image.
    const double span = (m.rampX1 - m.rampX0) / 10;
    double previous = 256;
    for (int32_t b = 0; b < 10; ++b) {
        const double x0 = m.rampX1 - (b + 1) * span + span / 4;  // bins from the image's left
        const double level = MeanOver(x0, x0 + span / 2, m.rampY0, m.rampY1);
        EXPECT_LT(level, previous) << "bin " << b;
        previous = level;
    }
}

INSTANTIATE_TEST_SUITE_P(LineOrders, MirroredWholeBed, ::testing::Values(BedWindow{0, 1680}, BedWindow{1, 1680}),
                         [](const auto& p) { return p.param.lineOrder == 0 ? "scanOrder" : "bitmapOrder"; });

}  // namespace
}  // namespace ordavel::engine
