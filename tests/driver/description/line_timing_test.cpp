// Line period and DPD, step size, pause limit, the clock register value and memory units.
#include <gtest/gtest.h>

#include <string>

#include "driver/description/register_programming.h"
#include "tests/support/hand_description.h"
#include "tests/support/test_context.h"

namespace ordavel::description {
namespace {

using test::HandDescription;
using test::TestContext;

struct LinePeriodCase {
    const char* name;
    int reg0A, reg0B, reg0D, reg0E, mode;
    bool withcm;
    int32_t expectedTr;
    int32_t expectedTotal;  // line length after lengthening
};

class LinePeriod : public ::testing::TestWithParam<LinePeriodCase> {};

TEST_P(LinePeriod, LengthensLineToMultipleOf48) {
    const LinePeriodCase& c = GetParam();
    TestContext scratch("tr");
    scratch.ctx().description = HandDescription(1);
    RegisterImage image;
    image.set16(0x20, 2000);
    image[0x0A] = c.reg0A;
    image[0x0B] = c.reg0B;
    image[0x0D] = c.reg0D;
    image[0x0E] = c.reg0E;
    image[0x26] = c.mode;
    image.set16(0x46, 503);
    image[0x51] = 0xA0;
    EXPECT_EQ(ComputeLinePeriod(scratch.ctx(), image, c.withcm), c.expectedTr);
    EXPECT_EQ(image.get16(0x20), c.expectedTotal);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LinePeriod,
    ::testing::Values(
        // TR 3 + guard 1, one pulse, CIS off: 2010 lengthened to 2016.
        LinePeriodCase{"single_channel", 0, 0, 0x00, 0x13, 4, true, 2016, 2006},
        LinePeriodCase{"three_interleaved", 0, 0, 0x00, 0x13, 0, true, 2016, 2006},
        LinePeriodCase{"channel_mode1_withcm", 0, 0, 0x00, 0x13, 1, true, 6048, 2006},
        LinePeriodCase{"channel_mode1_per_channel", 0, 0, 0x00, 0x13, 1, false, 2016, 2006},
        LinePeriodCase{"channel_mode5_per_channel", 0, 0, 0x00, 0x13, 5, false, 2016, 2006},
        // Pixel multiplier: tpsel set, tpspd 0 -> 2, tpspd 3 -> 6.
        LinePeriodCase{"multiplier2", 0x01, 0, 0x00, 0x13, 4, true, 2064, 2045},
        LinePeriodCase{"multiplier6", 0x0D, 0, 0x00, 0x13, 4, true, 2064, 2009},
        // Two TR pulses double the TR time.
        LinePeriodCase{"two_pulses", 0, 0, 0x80, 0x13, 4, true, 2016, 2001},
        // CIS TR modes have fixed TR times and no extra pixel per channel.
        LinePeriodCase{"cis_mode1", 0, 0x08, 0x00, 0x13, 4, true, 2016, 2012},
        LinePeriodCase{"cis_mode2", 0, 0x10, 0x00, 0x13, 4, true, 2016, 2010}),
    [](const auto& p) { return std::string(p.param.name); });

struct DpdCase {
    const char* name;
    int32_t chip;
    int reg50, reg51, step;
    int32_t expectedDpd;
};

class Dpd : public ::testing::TestWithParam<DpdCase> {};

TEST_P(Dpd, FromStepCountsAndStepSize) {
    const DpdCase& c = GetParam();
    TestContext scratch("dpd");
    scratch.ctx().description = HandDescription(c.chip);
    RegisterImage image;
    image.set16(0x20, 2006);  // already a 2016 line
    image[0x0E] = 0x13;
    image[0x26] = 4;
    image[0x50] = c.reg50;
    image[0x51] = c.reg51;
    image.set16(0x46, c.step);
    ASSERT_EQ(ComputeLinePeriod(scratch.ctx(), image, true), 2016);
    EXPECT_EQ(image.get16(0x52), c.expectedDpd & 0xFFFF);
    EXPECT_EQ(image[0x51], c.reg51 | ((c.expectedDpd >> 16) & 3));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Dpd,
    ::testing::Values(DpdCase{"reference", 1, 0, 0xA0, 503, 48},
                      DpdCase{"lm9831_count3_is_3", 0, 0, 0xF0, 503, 72},
                      DpdCase{"lm9832_count3_is_8", 1, 0, 0xF0, 503, 192},
                      DpdCase{"lm9833_count3_is_8", 2, 0, 0xF0, 503, 192},
                      DpdCase{"reverse_steps", 1, 5, 0xA0, 503, 68},
                      DpdCase{"reverse_uses_six_bits", 1, 0xC5, 0xA0, 503, 68},
                      DpdCase{"no_travel_gives_whole_period", 1, 0, 0x00, 503, 2016}),
    [](const auto& p) { return std::string(p.param.name); });

TEST(StepSize, ClampsWritesAndResetsStepCounts) {
    TestContext scratch("step");
    scratch.ctx().description = HandDescription(1);
    const std::pair<int32_t, int32_t> steps[] = {{-5, 2}, {0, 2}, {2, 2}, {3, 3}, {503, 503},
                                                 {0xFFFE, 0xFFFE}, {0xFFFF, 0xFFFF}, {100000, 0xFFFF}};
    for (auto [requested, programmed] : steps) {
        RegisterImage image;
        image.set16(0x20, 2000);
        image[0x0E] = 0x13;
        image[0x26] = 4;
        image[0x09] = 0x18;
        image.set16(0x22, 150);
        image.set16(0x24, 1878);
        image[0x54] = 2;
        image[0x51] = 0xFF;
        const int32_t limit = SetStepSize(scratch.ctx(), image, requested);
        EXPECT_EQ(image.get16(0x46), programmed) << requested;
        EXPECT_EQ(image[0x51], 0xA0);
        EXPECT_EQ(image.get16(0x52), 1);
        EXPECT_EQ(image.get16(0x20), 2006) << "line lengthened";
        EXPECT_EQ(limit, 137);
        EXPECT_EQ(image[0x4E], 137);
    }
}

TEST(StepSize, InitStepTimingUses503) {
    TestContext scratch("init");
    scratch.ctx().description = HandDescription(1);
    RegisterImage image;
    image.set16(0x20, 2000);
    image[0x0E] = 0x13;
    image[0x26] = 4;
    image[0x09] = 0x18;
    image.set16(0x22, 150);
    image.set16(0x24, 1830);
    image[0x54] = 2;
    EXPECT_EQ(InitStepTiming(scratch.ctx(), image), 138);
    EXPECT_EQ(image.get16(0x46), 503);
    EXPECT_EQ(image.get16(0x20), 2006);
}

struct PauseCase {
    const char* name;
    int start, end, reg09, reg42, reg50, reg54;
    int32_t ramWordSize;
    int32_t expectedLimit;
};

class PauseLimit : public ::testing::TestWithParam<PauseCase> {};

TEST_P(PauseLimit, FromLineBytesAndMemory) {
    const PauseCase& c = GetParam();
    TestContext scratch("pause");
    scratch.ctx().description = HandDescription(1);
    scratch.ctx().description.RAM_WordSize = c.ramWordSize;
    RegisterImage image;
    image.set16(0x22, c.start);
    image.set16(0x24, c.end);
    image[0x09] = c.reg09;
    image[0x42] = c.reg42;
    image[0x50] = c.reg50;
    image[0x54] = c.reg54;
    EXPECT_EQ(ComputePauseLimit(scratch.ctx(), image), c.expectedLimit);
    EXPECT_EQ(image[0x4E], c.expectedLimit);
    EXPECT_EQ(image[0x4F], c.expectedLimit - 1);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PauseLimit,
    ::testing::Values(
        // L = 5186, P = 512 - 5 - 216 - 1 - ceil(2 * 5186 / 1024) = 279, 139 units, minus 2.
        PauseCase{"reference", 150, 1878, 0x18, 0x20, 0, 2, 256, 137},
        PauseCase{"reverse_steps_skip_extra_lines", 150, 1878, 0x18, 0x20, 5, 2, 256, 143},
        PauseCase{"two_mib_memory", 150, 1878, 0x18, 0x60, 0, 2, 1024, 224},
        PauseCase{"sixteen_bit", 150, 1878, 0x38, 0x20, 0, 2, 256, 142},
        PauseCase{"divider_3", 150, 1878, 0x1B, 0x20, 0, 2, 256, 143},
        PauseCase{"divider_1_5", 150, 1878, 0x19, 0x20, 0, 2, 256, 140},
        PauseCase{"four_bit_counts_no_bytes", 150, 1878, 0x10, 0x20, 0, 2, 256, 145}),
    [](const auto& p) { return std::string(p.param.name); });

TEST(ClockRegister, HalfUnitsOfDivider) {
    const std::pair<int32_t, int32_t> cases[] = {{12, 10}, {2, 0}, {3, 1}, {8, 6}, {13, 11}, {0, -2}};
    for (auto [setting, value] : cases) EXPECT_EQ(ClockRegisterValue(setting), value) << setting;
}

TEST(MemoryUnits, ConvertByWordSize) {
    TestContext scratch("units");
    DriverContext& ctx = scratch.ctx();
    ctx.description.RAM_WordSize = 256;
    EXPECT_EQ(MemUnitsToBytes(ctx, 1), 2048);
    EXPECT_EQ(MemUnitsToBytes(ctx, 256), 512 * 1024);
    EXPECT_EQ(BytesToMemUnits(ctx, 262144), 128);
    EXPECT_EQ(BytesToMemUnits(ctx, 2047), 0);
    EXPECT_EQ(BytesToMemUnits(ctx, 4095), 1);
    EXPECT_EQ(BytesToMemUnits(ctx, 4096), 2);
    ctx.description.RAM_WordSize = 1024;
    EXPECT_EQ(MemUnitsToBytes(ctx, 1), 8192);
    EXPECT_EQ(BytesToMemUnits(ctx, 8192), 1);
    EXPECT_EQ(BytesToMemUnits(ctx, 8191), 0);
    ctx.description.RAM_WordSize = 0;
    EXPECT_EQ(BytesToMemUnits(ctx, 8192), 0) << "no description loaded";
}

}  // namespace
}  // namespace ordavel::description
