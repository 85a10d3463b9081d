// Page sizes and areas become the windows the driver is asked for: named sizes centred as the
// paper guide centres sheets, the client's windows exactly as the client scans them, and areas
// off the page refused with their reason.
#include "tools/common/page_area.h"

#include <gtest/gtest.h>

namespace mirt::page_area {

void PrintTo(const BedWindow& w, std::ostream* os) {
    *os << "{" << w.left << ", " << w.top << ", " << w.right << ", " << w.bottom << "}";
}

namespace {

struct NamedCase {
    const char* name;
    BedWindow window;
};

class NamedSizes : public ::testing::TestWithParam<NamedCase> {};

TEST_P(NamedSizes, GiveTheirWindowOnTheBed) {
    const NamedPageSize* size = FindPageSize(GetParam().name);
    ASSERT_NE(size, nullptr);
    EXPECT_EQ(size->window, GetParam().window);
    EXPECT_GE(size->window.left, 0);
    EXPECT_LE(size->window.right, kBedPixelsWide);
    EXPECT_LE(size->window.bottom, kBedPixelsLong);
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, NamedSizes,
    ::testing::Values(NamedCase{"bed", {0, 0, 1680, 2340}},
                      // 210 mm is 1654 bed pixels, centred on column 840.
                      NamedCase{"A4", {13, 0, 1667, 2339}},
                      // Wider than the bed: the bed's whole width, 11 inches long.
                      NamedCase{"letter", {0, 0, 1680, 2200}},
                      NamedCase{"ticket", {486, 0, 1195, 1575}},
                      NamedCase{"narrow", {284, 0, 1384, 1892}},
                      NamedCase{"wide", {130, 0, 1550, 1892}}),
    [](const auto& param) { return std::string(param.param.name); });

TEST(NamedSizes, UnknownNamesAreNotGuessed) {
    EXPECT_EQ(FindPageSize("a5"), nullptr);
    EXPECT_EQ(FindPageSize(""), nullptr);
    EXPECT_EQ(PageSizeNames(), "bed, a4, letter, ticket, narrow, wide");
}

struct AreaCase {
    const char* name;
    AreaMm area;
    bool accepted;
    BedWindow window;        // when accepted, on the A4 page {13, 0, 1667, 2339}
    const char* errorPart;   // when refused
};

class Areas : public ::testing::TestWithParam<AreaCase> {};

TEST_P(Areas, AreMeasuredFromThePagesCorner) {
    const BedWindow page = FindPageSize("a4")->window;
    BedWindow window;
    std::string error;
    const bool accepted = AreaOnPage(page, GetParam().area, window, error);
    ASSERT_EQ(accepted, GetParam().accepted) << error;
    if (accepted) {
        EXPECT_EQ(window, GetParam().window);
    } else {
        EXPECT_NE(error.find(GetParam().errorPart), std::string::npos) << error;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Areas,
    ::testing::Values(
        AreaCase{"WholePageByDefault", {}, true, {13, 0, 1667, 2339}, ""},
        AreaCase{"TheTopHalf", {0, 0, -1, 148.5}, true, {13, 0, 1667, 1169}, ""},
        AreaCase{"AnInnerRectangle", {25.4, 25.4, 50.8, 101.6}, true, {213, 200, 613, 1000}, ""},
        AreaCase{"ThePagesOwnSizeTyped", {0, 0, 210, 297}, true, {13, 0, 1667, 2339}, ""},
        AreaCase{"NegativeOffset", {-1, 0, 10, 10}, false, {}, "negative"},
        AreaCase{"PastTheRightEdge", {200, 0, 20, 10}, false, {}, "across"},
        AreaCase{"PastTheBottom", {0, 290, 10, 10}, false, {}, "down"},
        AreaCase{"TooSmallToScan", {0, 0, 1, 1}, false, {}, "smaller"}),
    [](const auto& param) { return std::string(param.param.name); });

TEST(DriverRequest, FillsTheClientsNarrowWindowAsTheClientDoesAt300Dpi) {
    const ScanRequest r = DriverRequest(ScanRequest{}, FindPageSize("narrow")->window, false, 300);
    EXPECT_EQ(r.bedRight, 1680);
    EXPECT_EQ(r.bedBottom, 2340);
    EXPECT_EQ(r.scanRectLeft, 284);
    EXPECT_EQ(r.scanRectRight, 1384);
    EXPECT_EQ(r.scanRectBottom, 1892);
    EXPECT_EQ(r.pixelType, 1);
    EXPECT_EQ(r.bitDepth, 8);
    EXPECT_EQ(r.xResolution, 200);
    EXPECT_EQ(r.res, 1);
    EXPECT_EQ(r.imageWidth, 1650);
    EXPECT_EQ(r.imageHeight, 2838);
}

TEST(DriverRequest, EnlargedWindowsAreEvenSoTheEnlargementIsWhole) {
    const BedWindow a4 = EvenForEnlargement(FindPageSize("a4")->window);
    EXPECT_EQ(a4.width() % 2, 0);
    EXPECT_EQ(a4.height() % 2, 0);
    const ScanRequest r = DriverRequest(ScanRequest{}, a4, true, 300);
    EXPECT_EQ(r.imageWidth * 2, a4.width() * 3);
    EXPECT_EQ(r.imageHeight * 2, a4.height() * 3);
    EXPECT_EQ(r.pixelType, 0);
    EXPECT_EQ(r.bitDepth, 1);
}

}  // namespace
}  // namespace mirt::page_area
