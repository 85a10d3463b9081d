// Page sources: the built-in pages' sizes and features, row sampling agreeing with point sampling,
// PNG pages at their stated resolution, and writing pages out as PNG.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "tests/support/test_paths.h"
#include "tests/support/param_names.h"
#include "virtual/builtin_pages.h"
#include "virtual/png_page.h"

namespace ordavel::test {
namespace {

namespace vs = virtual_scanner;

TEST(Pages, BuiltInPagesHaveTheirSizes) {
    ASSERT_EQ(vs::BuiltinPageNames(), (std::vector<std::string>{"chart", "ticket", "document", "white"}));
    const auto white = vs::MakeBuiltinPage("white");
    EXPECT_GE(white->heightInches(), 11.0) << "long enough for calibration";
    EXPECT_GT(white->widthInches(), 8.4) << "covers the whole imaging width";
    const auto ticket = vs::MakeBuiltinPage("ticket");
    EXPECT_LT(ticket->heightInches(), 2340 / 200.0) << "shorter than the bed";
    const auto document = vs::MakeBuiltinPage("document");
    EXPECT_DOUBLE_EQ(document->widthInches(), 8.5);
    EXPECT_DOUBLE_EQ(document->heightInches(), 11.0);
    EXPECT_LT(document->reflectance(0.9, 0.65, vs::Channel::Blue), 0.1f) << "letterhead bar";
    EXPECT_FALSE(vs::MakeBuiltinPage("poster"));
}

TEST(Pages, WhiteSheetIsUniform) {
    const auto white = vs::MakeBuiltinPage("white");
    std::mt19937 rng(3);
    for (int i = 0; i < 1000; ++i) {
        const double x = std::uniform_real_distribution<double>(0, white->widthInches())(rng);
        const double y = std::uniform_real_distribution<double>(0, white->heightInches())(rng);
        ASSERT_FLOAT_EQ(white->reflectance(x, y, vs::Channel::Blue), vs::kCalibrationWhite);
    }
}

TEST(Pages, ChartCarriesItsGeometryMarksRampAndPatches) {
    const auto chart = vs::MakeBuiltinPage("chart");
    const vs::ChartMarks m = vs::TestChartMarks();
    for (double x : {m.left, m.right}) {
        for (double y : {m.top, m.bottom}) {
            EXPECT_FLOAT_EQ(chart->reflectance(x, y, vs::Channel::Green), vs::kInkBlack);
            EXPECT_FLOAT_EQ(chart->reflectance(x + m.squareSize, y, vs::Channel::Green), vs::kPaperWhite);
        }
    }
    float previous = -1;
    const double y = (m.rampY0 + m.rampY1) / 2;
    for (double x = m.rampX0; x < m.rampX1; x += 0.05) {
        const float r = chart->reflectance(x, y, vs::Channel::Green);
        EXPECT_GT(r, previous);
        previous = r;
    }
    EXPECT_NEAR(chart->reflectance(m.rampX0, y, vs::Channel::Green), m.rampStart, 1e-4);
    EXPECT_FLOAT_EQ(chart->reflectance((m.blackX0 + m.blackX1) / 2, (m.patchY0 + m.patchY1) / 2, vs::Channel::Green),
                    vs::kInkBlack);
    EXPECT_EQ(chart->grey(0.01, 0.01), 230) << "paper white is 0.90";
}

class RowSampling : public ::testing::TestWithParam<const char*> {};

TEST_P(RowSampling, RowsAgreeWithPointsEverywhere) {
    const auto page = vs::MakeBuiltinPage(GetParam());
    std::mt19937 rng(5);
    for (int row = 0; row < 200; ++row) {
        const double y = std::uniform_real_distribution<double>(0, page->heightInches())(rng);
        const double dx = 1.0 / 200;
        const int count = static_cast<int>(page->widthInches() / dx) - 1;
        std::vector<float> samples(static_cast<std::size_t>(count));
        page->sampleRow(y, dx / 2, dx, count, vs::Channel::Green, samples.data());
        for (int i = 0; i < count; ++i) {
            ASSERT_FLOAT_EQ(samples[static_cast<std::size_t>(i)], page->reflectance(dx / 2 + dx * i, y, vs::Channel::Green))
                << "y " << y << " sample " << i;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Builtin, RowSampling, ::testing::Values("chart", "ticket", "white"), ::ordavel::test::ReadableName{});

TEST(Pages, PngRoundTripKeepsTheGroundTruthAtPixelCentres) {
    const std::string dir = MakeScratchDir("virtual-png");
    const auto ticket = vs::MakeBuiltinPage("ticket");
    std::string error;
    ASSERT_TRUE(vs::WritePagePng(*ticket, 100, dir + "/ticket.png", error)) << error;
    const auto loaded = vs::LoadPngPage(dir + "/ticket.png", 100, error);
    ASSERT_TRUE(loaded) << error;
    EXPECT_NEAR(loaded->widthInches(), ticket->widthInches(), 0.01);
    EXPECT_NEAR(loaded->heightInches(), ticket->heightInches(), 0.01);
    EXPECT_FALSE(loaded->colour());
    for (double y = 0.005; y < 6.99; y += 0.13) {
        for (double x = 0.005; x < 3.2; x += 0.07) {
            const double cx = (std::floor(x * 100) + 0.5) / 100, cy = (std::floor(y * 100) + 0.5) / 100;
            ASSERT_EQ(loaded->grey(x, y), ticket->grey(cx, cy)) << x << "," << y;
        }
    }
    EXPECT_FALSE(vs::LoadPngPage(dir + "/absent.png", 100, error));
    EXPECT_FALSE(vs::LoadPngPage(dir + "/ticket.png", 0, error));
    std::filesystem::remove_all(dir);
}

TEST(Pages, ColourPngStaysColour) {
    const std::string dir = MakeScratchDir("virtual-png");
    // Red, green, blue and white pixels in a row.
    const vs::RasterPage rgb("rgb", 4, 1, 10, 3, {255, 0, 0, 0, 255, 0, 0, 0, 255, 255, 255, 255});
    std::string error;
    ASSERT_TRUE(vs::WritePagePng(rgb, 10, dir + "/rgb.png", error)) << error;
    const auto loaded = vs::LoadPngPage(dir + "/rgb.png", 10, error);
    ASSERT_TRUE(loaded) << error;
    EXPECT_TRUE(loaded->colour());
    EXPECT_FLOAT_EQ(loaded->reflectance(0.05, 0.05, vs::Channel::Red), 1.0f);
    EXPECT_FLOAT_EQ(loaded->reflectance(0.05, 0.05, vs::Channel::Green), 0.0f);
    EXPECT_FLOAT_EQ(loaded->reflectance(0.25, 0.05, vs::Channel::Blue), 1.0f);
    EXPECT_FLOAT_EQ(loaded->reflectance(0.25, 0.05, vs::Channel::Red), 0.0f);
    std::filesystem::remove_all(dir);
}

TEST(Pages, ResizedPageCutsOrExtendsWithBlankPaper) {
    const auto ticket = vs::MakeBuiltinPage("ticket");
    const vs::ResizedPage longer(ticket, 9.0, 0.5f), shorter(ticket, 2.0, 0.5f);
    EXPECT_DOUBLE_EQ(longer.heightInches(), 9.0);
    EXPECT_DOUBLE_EQ(shorter.heightInches(), 2.0);
    EXPECT_FLOAT_EQ(longer.reflectance(1.0, 8.0, vs::Channel::Green), 0.5f);
    EXPECT_FLOAT_EQ(longer.reflectance(1.0, 1.0, vs::Channel::Green), ticket->reflectance(1.0, 1.0, vs::Channel::Green));
    std::vector<float> row(3);
    longer.sampleRow(7.5, 0.1, 0.1, 3, vs::Channel::Green, row.data());
    EXPECT_EQ(row, (std::vector<float>{0.5f, 0.5f, 0.5f}));
}

}  // namespace
}  // namespace ordavel::test
