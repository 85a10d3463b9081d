// Judging page bitmaps.
#include "tests/support/pimlet_pages.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>

#include "tests/support/image_stats.h"
#include "tests/support/sheet_scan_rig.h"
#include "virtual/builtin_pages.h"

namespace ordavel::test {

// The file layout every page bitmap shares.
void ExpectBitmapLayout(const Bitmap& bmp, uint32_t width, uint32_t height, uint32_t bits) {
    const uint32_t palette = bits == 8 ? 256 : 2;
    const uint32_t row = (bits * width + 31) / 32 * 4;
    ASSERT_GE(bmp.bytes.size(), 62u);
    EXPECT_EQ(bmp.bytes[0], 'B');
    EXPECT_EQ(bmp.bytes[1], 'M');
    EXPECT_EQ(Le32(bmp.bytes, 2), row * height + palette * 4 + 54);
    EXPECT_EQ(bmp.bytes.size(), row * height + palette * 4 + 54);
    EXPECT_EQ(bmp.dataOffset(), palette * 4 + 54);
    EXPECT_EQ(Le32(bmp.bytes, 14), 40u);
    EXPECT_EQ(bmp.width(), width);
    EXPECT_EQ(bmp.height(), height);
    EXPECT_EQ(Le16(bmp.bytes, 26), 1u);
    EXPECT_EQ(Le16(bmp.bytes, 28), bits);
    EXPECT_EQ(Le32(bmp.bytes, 46), palette);
    EXPECT_EQ(Le32(bmp.bytes, 54 + 4 * (palette - 1)), 0xFFFFFFFFu) << "the last palette entry is white";
}

// The page's ground truth: the same sheets scanned through the driver in this process on a
// fresh model of the same scanner, whose record of what lay under each line is compared with
// the page files (grey pages: correlation with the reflectance).
std::vector<double> GroundTruthAgreement(const std::vector<std::string>& pages, const PimletDesk& desk,
                                         const std::string& prefix) {
    std::vector<virtual_scanner::SheetConfig> sheets;
    for (const auto& page : pages) {
        virtual_scanner::SheetConfig sheet;
        sheet.page = page;
        sheets.push_back(sheet);
    }
    SheetScanRig rig(sheets, "pimlet-truth");
    std::vector<double> agreement;
    for (std::size_t i = 0; i < pages.size(); ++i) {
        const ClientScan scan{ClientWindow::Narrow, true, false, 1};
        EXPECT_EQ(rig.SetParams(scan), 0);
        rig.ScanSheet(scan);
        char number[32];
        std::snprintf(number, sizeof number, "%03zu.bmp", i + 1);
        const std::string name = prefix + number;
        const Bitmap bmp{desk.readOutput(name)};
        if (bmp.bytes.size() < 62) {
            agreement.push_back(0);
            continue;
        }
        std::vector<double> scanned, truth;
        for (uint32_t y = 0; y < bmp.height(); y += 4) {
            for (uint32_t x = 0; x < bmp.width(); x += 4) {
                const auto t = rig.Truth(284, static_cast<int32_t>(x), static_cast<int32_t>(y));
                if (!t) continue;
                scanned.push_back(bmp.grey(x, y));
                truth.push_back(*t);
            }
        }
        agreement.push_back(scanned.size() < 1000 ? 0.0 : Correlation(scanned, truth));
        rig.Feed();
        rig.PaperEmpty();
    }
    return agreement;
}

double AlignedAgreement(const std::string& pageName, const Bitmap& bmp, int32_t reach) {
    const auto page = virtual_scanner::MakeBuiltinPage(pageName);
    if (!page || bmp.bytes.size() < 62) return 0;
    // The reference scanner: 200 dpi, sheets centred on imaging pixel 840; the window starts at 284.
    constexpr double kDpi = 200;
    constexpr int32_t kWindowLeft = 284, kPaperCentre = 840;
    // Where the paper was under each line as the model scans a sheet from the ready position
    // (the travel per line is not quite constant: the motor pauses and resumes with the buffer).
    static const std::vector<double> travel = [] {
        SheetScanRig rig({SheetScanRig::Chart()}, "pimlet-travel");
        const ClientScan scan{ClientWindow::Narrow, true, false, 1};
        rig.SetParams(scan);
        rig.ScanSheet(scan);
        std::vector<double> y;
        for (const auto& line : rig.LastScanLines()) y.push_back(line.yInches);
        return y;
    }();
    if (travel.size() < bmp.height()) return 0;
    double best = 0;
    for (int32_t offset = -reach; offset <= reach; offset += 2) {
        std::vector<double> scanned, truth;
        for (uint32_t y = 0; y < bmp.height(); y += 8) {
            const double yInches = travel[y] + offset / kDpi;
            for (uint32_t x = 0; x < bmp.width(); x += 8) {
                const double xInches = page->widthInches() / 2 + (kWindowLeft + static_cast<int32_t>(x) - kPaperCentre + 0.5) / kDpi;
                if (!page->contains(xInches, yInches)) continue;
                scanned.push_back(bmp.grey(x, y));
                truth.push_back(page->reflectance(xInches, yInches, virtual_scanner::Channel::Blue));
            }
        }
        if (scanned.size() >= 1000) best = std::max(best, Correlation(scanned, truth));
    }
    return best;
}

}  // namespace ordavel::test
