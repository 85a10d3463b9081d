// Coarse calibration's decisions: first estimate, gain and offset steps, and the whole search run
// against a simple model of the analogue front end.
#include "driver/calibration/coarse_steps.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "driver/calibration/offset_codes.h"

namespace ordavel::calibration {
namespace {

constexpr int32_t kTarget = 0xD000;
constexpr int32_t kMinTarget = 0x0400;

struct EstimateCase {
    int32_t white, black, minimumGainCode;
    int32_t gain, offset;
};

class FirstEstimateTest : public ::testing::TestWithParam<EstimateCase> {};

TEST_P(FirstEstimateTest, GivesClampedCodes) {
    const auto& p = GetParam();
    FrontEndSetting s = FirstEstimate(p.white, p.black, kTarget, p.minimumGainCode);
    EXPECT_EQ(s.gain, p.gain);
    EXPECT_EQ(s.offset, p.offset);
}

INSTANTIATE_TEST_SUITE_P(
    Table, FirstEstimateTest,
    ::testing::Values(EstimateCase{30000, 2000, 0, 14, -3},    // ratio 1.90: low range
                      EstimateCase{10000, 0, 0, 44, 0},        // ratio 5.32: high range, code 32 + 12
                      EstimateCase{1000, 1000, 0, 63, -1},     // empty span: ratio capped at 9
                      EstimateCase{3000, 2900, 0, 63, -3},     // ratio above 9 capped
                      EstimateCase{1000, 2000, 0, 0, 0},       // inverted span: raised to the minimum
                      EstimateCase{1000, 2000, 15, 15, 0},
                      EstimateCase{30000, 2000, 135, 63, -3},  // minimum above the range: 63
                      EstimateCase{60001, 60000, 0, 63, -31},  // offset clamped below
                      EstimateCase{0, 65535, 0, 0, 31}));      // offset clamped above

struct GainCase {
    int32_t white, gain, upper, minimumGainCode;
    bool lamp, armed;
    GainAction action;
    int32_t gainAfter, upperAfter;
    bool armedAfter;
};

class GainStepTest : public ::testing::TestWithParam<GainCase> {};

TEST_P(GainStepTest, DecidesAndApplies) {
    const auto& p = GetParam();
    ChannelSearch search;
    search.target = kTarget;
    search.upper = p.upper;
    int32_t gain = p.gain;
    bool armed = p.armed;
    EXPECT_EQ(GainStep(search, gain, p.white, p.minimumGainCode, p.lamp, armed), p.action);
    EXPECT_EQ(gain, p.gainAfter);
    EXPECT_EQ(search.upper, p.upperAfter);
    EXPECT_EQ(armed, p.armedAfter);
}

INSTANTIATE_TEST_SUITE_P(
    Table, GainStepTest,
    ::testing::Values(
        GainCase{kTarget + 1, 10, 63, 0, false, true, GainAction::Lowered, 9, 9, true},
        GainCase{kTarget + 1, 0, 63, 0, true, true, GainAction::ShortenLamp, 0, 63, true},
        GainCase{kTarget + 1, 0, 63, 0, false, true, GainAction::ReducePwm, 0, 63, false},
        GainCase{kTarget + 1, 0, 63, 0, false, false, GainAction::Unchanged, 0, 63, false},
        GainCase{kTarget + 1, 63, 63, 135, false, true, GainAction::ReducePwm, 63, 63, false},  // below the minimum
        GainCase{kTarget, 10, 63, 0, false, true, GainAction::Raised, 11, 63, true},  // at target counts as below
        GainCase{kTarget - 1, 20, 20, 0, false, true, GainAction::Settled, 20, 20, true},
        GainCase{kTarget - 1, 63, 63, 0, false, true, GainAction::TooDark, 63, 63, true}));

struct OffsetCase {
    int32_t black, offset, low;
    bool gainSettled;
    OffsetAction action;
    int32_t offsetAfter, lowAfter;
};

class OffsetStepTest : public ::testing::TestWithParam<OffsetCase> {};

TEST_P(OffsetStepTest, DecidesAndApplies) {
    const auto& p = GetParam();
    ChannelSearch search;
    search.minTarget = kMinTarget;
    search.low = p.low;
    int32_t offset = p.offset;
    EXPECT_EQ(OffsetStep(search, offset, p.black, p.gainSettled), p.action);
    EXPECT_EQ(offset, p.offsetAfter);
    EXPECT_EQ(search.low, p.lowAfter);
}

INSTANTIATE_TEST_SUITE_P(
    Table, OffsetStepTest,
    ::testing::Values(OffsetCase{kMinTarget - 1, 5, -31, true, OffsetAction::Raised, 6, 6},
                      OffsetCase{kMinTarget - 1, 5, -31, false, OffsetAction::Raised, 6, -31},
                      OffsetCase{kMinTarget - 1, 31, -31, true, OffsetAction::FinishAtMaximum, 31, -31},
                      OffsetCase{kMinTarget - 1, 31, -31, false, OffsetAction::Unchanged, 31, -31},
                      OffsetCase{kMinTarget, 5, -31, true, OffsetAction::Lowered, 4, -31},
                      OffsetCase{kMinTarget, 3, 3, true, OffsetAction::Settled, 3, 3},
                      OffsetCase{kMinTarget, -31, -31, true, OffsetAction::CannotCalibrate, -31, -31},
                      OffsetCase{kMinTarget, -31, -31, false, OffsetAction::Settled, -31, -31}));

TEST(LightReductions, ShortenTheLampPeriodAndTheDutyByATenth) {
    EXPECT_EQ(ShortenedLampOff(10, 1990), 10 + 1782);
    EXPECT_EQ(ShortenedLampOff(10, 11), 10);  // a 1-clock period rounds down to none
    EXPECT_EQ(ShortenedLampOff(10, 10), 10);
    EXPECT_EQ(ReducedDuty(4095), 3685);
    EXPECT_EQ(ReducedDuty(9), 8);
    EXPECT_EQ(ReducedDuty(0), 0);
}

// A front end like the chip's: the offset code adds about 305 counts, the gain code multiplies,
// and the result clips to 16 bits. `light` scales the white with the PWM duty.
struct FrontEnd {
    double white, dark;
    double light = 1.0;
    int32_t Output(double raw, int32_t gain, int32_t offset) const {
        double v = (raw + offset * 304.7424) * GainOfCode(gain);
        return static_cast<int32_t>(std::clamp(v, 0.0, 65535.0));
    }
    int32_t White(int32_t g, int32_t o) const { return Output(dark + (white - dark) * light, g, o); }
    int32_t Black(int32_t g, int32_t o) const { return Output(dark, g, o); }
};

enum class SearchEnd { Calibrated, TooBright, TooDark, CannotCalibrate, Endless };

struct SearchCase {
    const char* name;
    FrontEnd sensor;
    SearchEnd end;
};

// The pass loop of coarse calibration on numbers: first estimate, then gain and offset steps
// until both settle or the search gives up.
SearchEnd RunSearch(FrontEnd& fe, int32_t& gain, int32_t& offset) {
    ChannelSearch search;
    search.target = kTarget;
    search.minTarget = kMinTarget;
    gain = 0;
    offset = 0;
    FrontEndSetting first = FirstEstimate(fe.White(gain, offset), fe.Black(gain, offset), kTarget, 0);
    gain = first.gain;
    offset = first.offset;
    int32_t duty = 4095;
    for (int pass = 0; pass < 500; ++pass) {
        int32_t white = fe.White(gain, offset);
        int32_t black = fe.Black(gain, offset);
        bool armed = true;
        GainAction g = GainStep(search, gain, white, 0, false, armed);
        if (g == GainAction::TooDark) return SearchEnd::TooDark;
        if (g == GainAction::ReducePwm) {
            duty = ReducedDuty(duty);
            if (duty < 2048) return SearchEnd::TooBright;
            fe.light = duty / 4095.0;
        }
        bool gainSettled = g == GainAction::Settled;
        OffsetAction o = OffsetStep(search, offset, black, gainSettled);
        if (o == OffsetAction::CannotCalibrate) return SearchEnd::CannotCalibrate;
        if (o == OffsetAction::FinishAtMaximum || (o == OffsetAction::Settled && gainSettled)) {
            return SearchEnd::Calibrated;
        }
    }
    return SearchEnd::Endless;
}

class CoarseSearchTest : public ::testing::TestWithParam<SearchCase> {};

TEST_P(CoarseSearchTest, EndsAsTheSensorAllows) {
    FrontEnd fe = GetParam().sensor;
    int32_t gain = 0;
    int32_t offset = 0;
    ASSERT_EQ(RunSearch(fe, gain, offset), GetParam().end);
    if (GetParam().end != SearchEnd::Calibrated) return;
    // The codes found keep the white at or just below target and the black above its minimum.
    EXPECT_LE(fe.White(gain, offset), kTarget);
    EXPECT_GT(fe.White(gain, offset), kTarget * 0.9);
    EXPECT_TRUE(fe.Black(gain, offset) >= kMinTarget || offset == 31);
}

INSTANTIATE_TEST_SUITE_P(
    Sensors, CoarseSearchTest,
    ::testing::Values(SearchCase{"Typical", {30000, 2000}, SearchEnd::Calibrated},
                      SearchCase{"Dim", {9000, 500}, SearchEnd::Calibrated},
                      SearchCase{"NoDarkSignal", {25000, 0}, SearchEnd::Calibrated},
                      SearchCase{"BrightNeedsLessLight", {64000, 1500}, SearchEnd::Calibrated},
                      SearchCase{"FarTooBright", {400000, 1500}, SearchEnd::TooBright},
                      SearchCase{"BlackSheet", {2000, 2000}, SearchEnd::TooDark},
                      SearchCase{"HighDarkSignal", {40000, 30000}, SearchEnd::CannotCalibrate}),
    [](const auto& param) { return std::string(param.param.name); });

}  // namespace
}  // namespace ordavel::calibration
