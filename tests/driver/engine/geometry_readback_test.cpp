// The scan geometry derived from the registers read back from the chip, and the colour line
// offsets of the line geometry.
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

struct ReadBackCase {
    const char* name;
    int start, end, reg09, reg26;
    int32_t bits, hres, channelMode, pixels, bytesPerLine;
    double factor;
};

class GeometryReadBack : public ::testing::TestWithParam<ReadBackCase> {};

TEST_P(GeometryReadBack, FromRegisterBlock) {
    const ReadBackCase& c = GetParam();
    TestContext scratch("readback");
    scratch.ctx().description = HandDescription(1);
    RegisterImage block;
    block.set16(0x22, c.start);
    block.set16(0x24, c.end);
    block[0x09] = c.reg09;
    block[0x26] = c.reg26;
    ApplyGeometryFromRegisters(scratch.ctx(), block);
    const ScanParms& p = scratch.ctx().engine.parms;
    EXPECT_EQ(p.startpixel, c.start);
    EXPECT_EQ(p.endpixel, c.end);
    EXPECT_EQ(p.bitsperchannel, c.bits);
    EXPECT_EQ(p.hdpifactor, c.factor);
    EXPECT_EQ(p.hres, c.hres);
    EXPECT_EQ(p.channelmode, c.channelMode);
    EXPECT_EQ(p.pixelsperline, c.pixels);
    EXPECT_EQ(p.bytesperline, c.bytesPerLine);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, GeometryReadBack,
    ::testing::Values(ReadBackCase{"grey8", 434, 1534, 0x18, 0x14, 8, 200, 4, 1100, 1102, 1.0},
                      ReadBackCase{"mono1_whole_bytes", 434, 1538, 0x00, 0x04, 1, 200, 4, 1104, 140, 1.0},
                      ReadBackCase{"mono1_even_byte_count", 434, 1537, 0x00, 0x04, 1, 200, 4, 1088, 138, 1.0},
                      ReadBackCase{"two_bit", 434, 1537, 0x08, 0x04, 2, 200, 4, 1096, 276, 1.0},
                      ReadBackCase{"interleaved_colour", 434, 1534, 0x18, 0x00, 8, 200, 0, 1100, 3302, 1.0},
                      ReadBackCase{"line_colour_mode1", 434, 1534, 0x18, 0x01, 8, 200, 1, 1100, 1102, 1.0},
                      ReadBackCase{"mode5_reads_as_1", 434, 1534, 0x18, 0x05, 8, 200, 1, 1100, 1102, 1.0},
                      ReadBackCase{"divider3", 150, 1830, 0x1B, 0x04, 8, 66, 4, 560, 562, 3.0},
                      ReadBackCase{"divider1_5", 150, 1830, 0x19, 0x04, 8, 133, 4, 1120, 1122, 1.5},
                      ReadBackCase{"sixteen_bit", 150, 1830, 0x38, 0x04, 16, 200, 4, 1680, 3362, 1.0},
                      ReadBackCase{"unknown_depth_is_16", 150, 1830, 0x28, 0x04, 16, 200, 4, 1680, 3362, 1.0}),
    [](const auto& p) { return std::string(p.param.name); });

struct OffsetCase {
    const char* name;
    int reg26;
    int32_t illumination, colorMode, yres;
    double lineSeparation, evenOdd;
    double red, green, blue, evenOddOffset;
};

class LineOffsets : public ::testing::TestWithParam<OffsetCase> {};

TEST_P(LineOffsets, FromModeAndSeparation) {
    const OffsetCase& c = GetParam();
    TestContext scratch("offsets");
    DriverContext& ctx = scratch.ctx();
    ctx.description = HandDescription(1);
    ctx.description.Illumination_Mode = c.illumination;
    ctx.description.Color_Mode = c.colorMode;
    ctx.description.Line_Separation = c.lineSeparation;
    ctx.description.EvenOdd_Line_Separation = c.evenOdd;
    ctx.engine.geometry.actualYResolution = c.yres;
    ctx.engine.geometry.redOffset = 9;
    ctx.engine.geometry.greenOffset = 9;
    RegisterImage image;
    image[0x26] = c.reg26;
    SetLineOffsets(ctx, image);
    const LineGeometry& g = ctx.engine.geometry;
    EXPECT_DOUBLE_EQ(g.redOffset, c.red);
    EXPECT_DOUBLE_EQ(g.greenOffset, c.green);
    EXPECT_DOUBLE_EQ(g.blueOffset, c.blue);
    EXPECT_DOUBLE_EQ(g.evenOddOffset, c.evenOddOffset);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LineOffsets,
    ::testing::Values(OffsetCase{"grey_has_none", 0x14, 1, 1, 200, 4, 0, 0, 0, 0, 0},
                      OffsetCase{"grey_even_odd", 0x04, 1, 0, 100, 4, 0.5, 0, 0, 0, 0.25},
                      OffsetCase{"colour_separation_scales_with_y", 0x00, 1, 0, 100, 4, 0, -2, 0, 2, 0},
                      OffsetCase{"line_colour_thirds", 0x01, 1, 1, 200, 4, 0, -4 + 1.0 / 3, 0, 4 - 1.0 / 3, 0},
                      OffsetCase{"other_lamp_mode_thirds_only", 0x01, 2, 1, 200, 4, 0, 1.0 / 3, 0, -1.0 / 3, 0},
                      OffsetCase{"other_lamp_mode_even_colour", 0x00, 3, 0, 200, 4, 0, 0, 0, 0, 0}),
    [](const auto& p) { return std::string(p.param.name); });

}  // namespace
}  // namespace ordavel::engine
