// Resolution and depth codes, and the scan window in sensor pixels and motor steps.
#include <gtest/gtest.h>

#include <string>

#include "driver/engine/scan_setup.h"
#include "tests/support/hand_description.h"
#include "tests/support/test_context.h"

namespace ordavel::engine {
namespace {

using description::RegisterImage;
using test::HandDescription;
using test::TestContext;

struct ResolutionCase {
    const char* name;
    int32_t optical;
    double evenOdd;
    int32_t biasCurrent;
    int32_t xres;
    int32_t bits;
    int32_t expectedReg09;
    int32_t expectedActualX;
    int32_t expectedBitsPerChannel;
};

class ScanResolution : public ::testing::TestWithParam<ResolutionCase> {};

TEST_P(ScanResolution, DividerAndDepthCodes) {
    const ResolutionCase& c = GetParam();
    TestContext scratch("res");
    DriverContext& ctx = scratch.ctx();
    ctx.description = HandDescription(1);
    ctx.description.Optical_Resolution = c.optical;
    ctx.description.EvenOdd_Line_Separation = c.evenOdd;
    ctx.description.Bias_Current = c.biasCurrent;
    ctx.engine.parms.hdpifactor = 3.0;
    RegisterImage image;
    SetScanResolution(ctx, image, c.xres, 150, c.bits);
    EXPECT_EQ(image[0x09], c.expectedReg09);
    EXPECT_EQ(ctx.engine.geometry.actualXResolution, c.expectedActualX);
    EXPECT_EQ(ctx.engine.geometry.requestedXResolution, c.xres);
    EXPECT_EQ(ctx.engine.parms.bitsperchannel, c.expectedBitsPerChannel);
    EXPECT_EQ(ctx.engine.parms.hdpifactor, 1.0);
    EXPECT_EQ(ctx.engine.parms.hres, c.optical);
    EXPECT_EQ(ctx.engine.parms.yres, 150);
    EXPECT_EQ(ctx.engine.geometry.actualYResolution, 150);
    EXPECT_EQ(ctx.engine.geometry.requestedYResolution, 150);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ScanResolution,
    ::testing::Values(ResolutionCase{"r3_code3", 600, 0, 0, 200, 8, 0x1B, 200, 8},
                      ResolutionCase{"r1_5_code1", 600, 0, 0, 400, 8, 0x19, 400, 8},
                      ResolutionCase{"r1_33_code0", 600, 0, 0, 450, 8, 0x18, 600, 8},
                      ResolutionCase{"r1_code0", 600, 0, 0, 600, 8, 0x18, 600, 8},
                      ResolutionCase{"r2_code2", 600, 0, 0, 300, 8, 0x1A, 300, 8},
                      ResolutionCase{"r4_code4", 600, 0, 0, 150, 8, 0x1C, 150, 8},
                      ResolutionCase{"r6_code5", 600, 0, 0, 100, 8, 0x1D, 100, 8},
                      ResolutionCase{"r8_code6", 600, 0, 0, 75, 8, 0x1E, 75, 8},
                      ResolutionCase{"r12_code7", 600, 0, 0, 50, 8, 0x1F, 50, 8},
                      ResolutionCase{"r24_stays_code7", 600, 0, 0, 25, 8, 0x1F, 50, 8},
                      ResolutionCase{"upscale_code0", 200, 0, 0, 300, 8, 0x18, 200, 8},
                      ResolutionCase{"even_odd_forces_code0", 600, 0.5, 0, 100, 8, 0x18, 600, 8},
                      ResolutionCase{"no_resolution_code0", 600, 0, 0, 0, 8, 0x18, 600, 8},
                      ResolutionCase{"depth24_is_8", 200, 0, 0, 200, 24, 0x18, 200, 8},
                      ResolutionCase{"depth48_is_16", 200, 0, 0, 200, 48, 0x38, 200, 16},
                      ResolutionCase{"depth12_is_4", 200, 0, 0, 200, 12, 0x10, 200, 4},
                      ResolutionCase{"depth6_is_2", 200, 0, 0, 200, 6, 0x08, 200, 2},
                      ResolutionCase{"depth1", 200, 0, 0, 200, 1, 0x00, 200, 1},
                      ResolutionCase{"depth16", 200, 0, 0, 200, 16, 0x38, 200, 16},
                      ResolutionCase{"depth10_is_16", 200, 0, 0, 200, 10, 0x38, 200, 16},
                      ResolutionCase{"depth5_has_no_code", 200, 0, 0, 200, 5, 0x38, 200, 16},
                      ResolutionCase{"bias_current", 200, 0, 2, 200, 8, 0x98, 200, 8}),
    [](const auto& p) { return std::string(p.param.name); });

TEST(DividerFactor, OfEveryCode) {
    const double expected[8] = {1, 1.5, 2, 3, 4, 6, 8, 12};
    for (int code = 0; code < 8; ++code) EXPECT_EQ(DividerFactor(code), expected[code]) << code;
}

struct WindowCase {
    const char* name;
    int32_t chip = 1;
    bool mirror = false;
    int32_t pixelWidth = 1680;
    int32_t left = 284, right = 1384, top = 0, bottom = 1892;
    int32_t xres = 200, yres = 200, bitDepth = 8, pixelType = 1;
    const char* workFile = "compute.pxl";
    // Expected:
    int32_t start = 0, end = 0, lines = 0, skip = 0;
};

WindowCase Window(const char* name) {
    WindowCase c;
    c.name = name;
    return c;
}

// Builder helpers so each row names only what it changes.
struct Row {
    WindowCase c;
    Row& chip(int32_t v) { c.chip = v; return *this; }
    Row& mirror() { c.mirror = true; return *this; }
    Row& width(int32_t v) { c.pixelWidth = v; return *this; }
    Row& x(int32_t l, int32_t r) { c.left = l; c.right = r; return *this; }
    Row& y(int32_t t, int32_t b) { c.top = t; c.bottom = b; return *this; }
    Row& res(int32_t xr, int32_t yr) { c.xres = xr; c.yres = yr; return *this; }
    Row& depth(int32_t bits, int32_t type) { c.bitDepth = bits; c.pixelType = type; return *this; }
    Row& file(const char* f) { c.workFile = f; return *this; }
    WindowCase expect(int32_t start, int32_t end, int32_t lines, int32_t skip) {
        c.start = start; c.end = end; c.lines = lines; c.skip = skip;
        return c;
    }
};

Row R(const char* name) { return Row{Window(name)}; }

class ScanWindow : public ::testing::TestWithParam<WindowCase> {};

TEST_P(ScanWindow, MapsRequestOntoSensorAndMotor) {
    const WindowCase& c = GetParam();
    TestContext scratch("rect");
    DriverContext& ctx = scratch.ctx();
    ctx.description = HandDescription(c.chip);
    ctx.description.Mirror_Image = c.mirror ? 1 : 0;
    ctx.description.Image_Pixel_Width = c.pixelWidth;
    ScanRequest& r = ctx.engine.request;
    r.bedLeft = 0;
    r.bedTop = 0;
    r.bedRight = 1680;
    r.bedBottom = 2340;
    r.scanRectLeft = c.left;
    r.scanRectRight = c.right;
    r.scanRectTop = c.top;
    r.scanRectBottom = c.bottom;
    r.bitDepth = c.bitDepth;
    r.pixelType = c.pixelType;
    RegisterImage image;
    SetScanResolution(ctx, image, c.xres, c.yres, c.bitDepth);
    CalculateScanRect(ctx, &image, c.workFile);

    const ScanParms& p = ctx.engine.parms;
    EXPECT_EQ(p.startpixel, c.start);
    EXPECT_EQ(p.endpixel, c.end);
    EXPECT_EQ(p.startpixel % 2, 0);
    EXPECT_EQ(image.get16(0x22), c.start);
    EXPECT_EQ(image.get16(0x24), c.end);
    EXPECT_EQ(p.lines, c.lines);
    EXPECT_EQ(image.get16(0x4A), c.skip);
    const int32_t fullLines = static_cast<int32_t>(c.yres * 11.7);
    EXPECT_DOUBLE_EQ(p.scanlength, (c.lines == 1 ? 0 : c.lines) * 11.7 / fullLines);
    EXPECT_EQ(p.hres, 200);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ScanWindow,
    ::testing::Values(
        R("narrow").expect(434, 1534, 1892, 15),
        R("wide").x(130, 1550).expect(280, 1700, 1892, 15),
        R("odd_start_moves_right").x(285, 1385).expect(436, 1536, 1892, 15),
        R("lower_window_skips_steps").y(234, 1234).expect(434, 1534, 1000, 249),
        R("zero_height_one_line").y(500, 500).expect(434, 1534, 1, 515),
        R("one_bit_rounds_bytes").depth(1, 0).expect(434, 1538, 1892, 15),
        R("sixteen_bit_grey").depth(16, 1).expect(434, 1534, 1892, 15),
        R("colour24").depth(24, 2).expect(434, 1534, 1892, 15),
        R("colour48").depth(48, 2).expect(434, 1534, 1892, 15),
        R("half_resolution").res(100, 100).y(234, 1892).expect(434, 2634, 829, 249),
        R("upscaled_request").res(300, 200).expect(434, 1168, 1892, 15),
        R("mirror").mirror().expect(446, 1546, 1892, 15),
        R("mirror_left_edge_maps_right").mirror().x(0, 200).expect(1630, 1830, 1892, 15),
        R("mirror_odd_start").mirror().x(1, 201).expect(1630, 1830, 1892, 15),
        R("range_ends_at_1980").width(1900).expect(460, 1560, 1892, 15),
        R("lm9831_small_window_widened").chip(0).x(284, 294).y(100, 110).expect(150, 160, 50, 95),
        R("lm9832_small_window_kept").x(284, 294).y(100, 110).expect(434, 444, 10, 115),
        R("lm9831_one_unit_not_widened").chip(0).x(0, 64).y(100, 132).expect(150, 214, 32, 115),
        R("lm9831_below_one_unit").chip(0).x(0, 64).y(100, 131).expect(150, 214, 71, 95),
        R("lm9831_widening_stops_at_edges").chip(0).x(1000, 1010).y(0, 10).expect(650, 660, 30, 15),
        R("probe_full_length_from_range_start").file("/t/PCRATE.pxl").y(500, 600).expect(150, 1250, 2340, 15)),
    [](const auto& p) { return std::string(p.param.name); });

TEST(ScanWindow, WithoutImageNothingChanges) {
    TestContext scratch("noimage");
    scratch.ctx().description = HandDescription(1);
    scratch.ctx().engine.parms.startpixel = 77;
    CalculateScanRect(scratch.ctx(), nullptr, "compute.pxl");
    EXPECT_EQ(scratch.ctx().engine.parms.startpixel, 77);
}

TEST(ScanWindow, DegenerateBedAndReversedWindowStayInsideTheRange) {
    TestContext scratch("degenerate");
    DriverContext& ctx = scratch.ctx();
    ctx.description = HandDescription(1);
    ctx.engine.request = ScanRequest{};
    ctx.engine.request.scanRectLeft = 500;
    ctx.engine.request.scanRectRight = 100;
    ctx.engine.request.bitDepth = 8;
    RegisterImage image;
    SetScanResolution(ctx, image, 200, 200, 8);
    CalculateScanRect(ctx, &image, "compute.pxl");
    EXPECT_EQ(ctx.engine.parms.startpixel, 150);
    EXPECT_EQ(ctx.engine.parms.endpixel, 152) << "the smallest line: two bytes";
    EXPECT_EQ(ctx.engine.parms.lines, 1);
}

TEST(ScanWindow, WindowAtTheIntegerLimitsSaturatesWithoutOverflow) {
    // The session refuses such a request; the arithmetic must still hold (UBSan checks it).
    TestContext scratch("limits");
    DriverContext& ctx = scratch.ctx();
    ctx.description = HandDescription(1);
    ScanRequest& r = ctx.engine.request;
    r = ScanRequest{};
    r.bedLeft = r.bedTop = r.scanRectLeft = r.scanRectTop = INT32_MIN;
    r.bedRight = r.bedBottom = INT32_MAX;
    r.scanRectRight = r.scanRectBottom = INT32_MAX;
    r.bitDepth = 1;
    RegisterImage image;
    SetScanResolution(ctx, image, 1, 200, 1);
    CalculateScanRect(ctx, &image, "compute.pxl");
    EXPECT_GE(ctx.engine.parms.endpixel, ctx.engine.parms.startpixel);
    EXPECT_GE(ctx.engine.parms.lines, 1);
}

}  // namespace
}  // namespace ordavel::engine
