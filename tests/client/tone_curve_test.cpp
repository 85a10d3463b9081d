// The tone curve's values at its edges and the curve file the driver reads.
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "client/tone_curve.h"
#include "tests/support/scratch_files.h"

namespace mirt::tone {
namespace {

struct CurveCase {
    const char* name;
    Adjustments adjust;
    int32_t level;
    int32_t expected;
};

class CurveValues : public ::testing::TestWithParam<CurveCase> {};

TEST_P(CurveValues, FollowTheFormula) {
    const CurveCase& c = GetParam();
    const CurveScales scales = ComputeCurveScales(c.adjust);
    for (int channel = 0; channel < kChannels; ++channel) {
        EXPECT_EQ(Curve(c.level, channel, c.adjust, scales), c.expected) << "channel " << channel;
    }
}

const Adjustments kNeutral = Adjustments::Uniform(0, 0, 0, 0, 10);

INSTANTIATE_TEST_SUITE_P(
    Edges, CurveValues,
    ::testing::Values(
        // The ramp is truncated before anything is added: the top input falls just short of 255.
        CurveCase{"linearTop", kNeutral, 4095, 254}, CurveCase{"linearMiddle", kNeutral, 2048, 127},
        CurveCase{"linearBottom", kNeutral, 0, 0},
        CurveCase{"contrastLiftsTheTop", Adjustments::Uniform(0, 10, 0, 0, 10), 4095, 255},
        CurveCase{"contrastLowersTheBottom", Adjustments::Uniform(0, 10, 0, 0, 10), 0, 0},
        CurveCase{"shadowPlusHighlight256IsBlackEverywhere", Adjustments::Uniform(0, 0, 56, 200, 10), 4000, 0},
        CurveCase{"shadowPlusHighlight256AtTheShadow", Adjustments::Uniform(0, 0, 56, 200, 10), 800, 0},
        CurveCase{"belowTheShadowIgnoresBrightness", Adjustments::Uniform(255, 0, 0, 100, 10), 399, 0},
        CurveCase{"fullBrightnessAtTheShadow", Adjustments::Uniform(255, 0, 0, 100, 10), 400, 255},
        CurveCase{"fullBrightnessAtTheTop", Adjustments::Uniform(255, 0, 0, 0, 10), 4095, 255},
        CurveCase{"fullBrightnessAtZero", Adjustments::Uniform(255, 0, 0, 0, 10), 0, 255},
        CurveCase{"brightnessAdds", Adjustments::Uniform(100, 0, 0, 0, 10), 2048, 227},
        CurveCase{"negativeBrightnessClipsAtBlack", Adjustments::Uniform(-255, 0, 0, 0, 10), 4095, 0},
        // Gamma counts in tenths and lifts the middle: 20 takes the square root of the normalised
        // input (255 x 0.5^0.5 = 180.3), 5 squares it (255 x 0.25^2 = 15.9).
        CurveCase{"gammaTwoLiftsTheMiddle", Adjustments::Uniform(0, 0, 0, 0, 20), 2048, 180},
        CurveCase{"gammaHalfLowersIt", Adjustments::Uniform(0, 0, 0, 0, 5), 1024, 15},
        // Shadow and highlight map 4S..4096-4H onto the ramp.
        CurveCase{"highlightReachesWhiteEarly", Adjustments::Uniform(0, 0, 128, 0, 10), 3584, 255},
        // (2048 - 512) / 3584 x 255 = 109.3
        CurveCase{"shadowStartsTheRampLater", Adjustments::Uniform(0, 0, 0, 128, 10), 2048, 109}),
    [](const auto& param) { return std::string(param.param.name); });

TEST(CurveFile, HasTheFiveAdjustmentLinesAndFourChannelBlocksWithCrLfEndings) {
    ordavel::test::ScratchDir dir("curve");
    Adjustments adjust = Adjustments::Uniform(-3, 4, 5, 6, 12);
    adjust.brightness[1] = 7;
    const std::string path = dir.file("gamma_8a.gam");
    ASSERT_EQ(WriteCurveFile(path, adjust), CurveFileResult::Written);
    const std::string text = ordavel::test::ReadWholeFile(path);

    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find("\r\n", start);
        ASSERT_NE(end, std::string::npos) << "every line ends in CR LF";
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    ASSERT_EQ(lines.size(), 16393u);
    EXPECT_EQ(text.find('\n'), text.find("\r\n") + 1) << "no bare line feeds";
    EXPECT_EQ(lines[0], "; B=-3,7,-3,-3");
    EXPECT_EQ(lines[1], "; C=4,4,4,4");
    EXPECT_EQ(lines[2], "; H=5,5,5,5");
    EXPECT_EQ(lines[3], "; S=6,6,6,6");
    EXPECT_EQ(lines[4], "; G=12,12,12,12");
    const char* titles[] = {";Gamma Data (red)", ";Gamma Data (green)", ";Gamma Data (blue)", ";Gamma Data (all)"};
    const CurveScales scales = ComputeCurveScales(adjust);
    for (int channel = 0; channel < kChannels; ++channel) {
        const std::size_t title = 5 + static_cast<std::size_t>(channel) * 4097;
        EXPECT_EQ(lines[title], titles[channel]);
        for (int level : {0, 10, 255, 4095}) {
            std::ostringstream expected;
            expected << std::hex << level << '\t' << Curve(level, channel, adjust, scales);
            EXPECT_EQ(lines[title + 1 + static_cast<std::size_t>(level)], expected.str()) << titles[channel];
        }
    }
}

TEST(CurveFile, AFolderThatCannotTakeItLeavesNothingBehind) {
    ordavel::test::ScratchDir dir("curve-missing");
    EXPECT_EQ(WriteCurveFile(dir.file("no/such/folder/gamma_8a.gam"), kNeutral), CurveFileResult::CannotCreate);
    // Rewriting keeps the file whole: the old content is replaced, never mixed.
    const std::string path = dir.write("gamma_1a.gam", "old");
    ASSERT_EQ(WriteCurveFile(path, kNeutral), CurveFileResult::Written);
    EXPECT_EQ(ordavel::test::ReadWholeFile(path).substr(0, 16), "; B=0,0,0,0\r\n; C");
}

}  // namespace
}  // namespace mirt::tone
