// Shading coefficients, the file "cr.dat", the table words sent to the controller, the shading
// bits of register 0x42, and the black line file written without a measured black strip.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "driver/calibration/black_shading_file.h"
#include "driver/calibration/calibration_set.h"
#include "driver/calibration/shading_coefficients.h"
#include "driver/calibration/shading_download.h"
#include "driver/calibration/work_file_header.h"
#include "platform/file_system_facts.h"
#include "tests/driver/calibration/calibration_fixture.h"
#include "tests/support/param_names.h"

namespace ordavel::calibration::test {
namespace {

std::vector<uint8_t> ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

int32_t WordAt(const std::vector<uint8_t>& bytes, std::size_t offset) {
    return bytes[offset] * 256 + bytes[offset + 1];
}

struct CoefficientCase {
    int32_t target, average, black, coefficient;
};

class ShadingCoefficientTest : public ::testing::TestWithParam<CoefficientCase> {};

TEST_P(ShadingCoefficientTest, ScalesTheWhiteAboveTheBlackToTheTargetInFourteenFractionBits) {
    const auto& p = GetParam();
    EXPECT_EQ(ShadingCoefficient(p.target, p.average, p.black), p.coefficient);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ShadingCoefficientTest,
    ::testing::Values(CoefficientCase{0xD000, 0xD000, 0, 16384}, CoefficientCase{0xD000, 0x3400, 0, 65536},  // a quarter
                      CoefficientCase{0xD000, 0x6800, 0, 32768},
                      CoefficientCase{0xD000, 60000, 0, 14540},        // 14540.6 truncated
                      CoefficientCase{0xD000, 0xD000 + 2000, 2000, 16384},  // the black is not scaled
                      CoefficientCase{0xD000, 0x3400 + 900, 900, 65536},
                      CoefficientCase{0xD000, 0, 0, 0}, CoefficientCase{0xD000, -5, 0, 0},
                      CoefficientCase{0xD000, 1500, 1500, 0}, CoefficientCase{0xD000, 1400, 1500, 0}));

TEST_F(CalibrationTest, CoefficientsUseTheBlackLevelTheControllerSubtracts) {
    auto& s = ctx_.calibration;
    for (int c = 0; c < kColours; ++c) {
        s.sums[c][0] = 0xD000 + 1000;
        s.sums[c][1] = 0xD000 + 3000;
        s.blackProfile[c][0] = 1000;
        s.blackProfile[c][1] = 3000;
        s.channelMinimum[c] = 3000;
    }
    s.blackShadingValid = true;
    RunCoefficientStep(ctx_, 2);
    EXPECT_EQ(s.coefficients[kBlue][0], 16384);
    EXPECT_EQ(s.coefficients[kBlue][1], 16384);
    s.blackShadingValid = false;  // the offset table then holds the coarse minimum
    RunCoefficientStep(ctx_, 2);
    EXPECT_EQ(s.coefficients[kRed][0], ShadingCoefficient(0xD000, 0xD000 + 1000, 3000));
    EXPECT_EQ(s.coefficients[kRed][1], 16384);
}

class CoefficientFileTest : public CalibrationTest {
protected:
    void SetAverages(int colour, std::initializer_list<int32_t> averages) {
        int x = 0;
        for (int32_t a : averages) ctx_.calibration.sums[colour][static_cast<std::size_t>(x++)] = a;
    }
};

TEST_F(CoefficientFileTest, HoldsTheCountAndTheLowSixteenBitsOfEachColourBigEndian) {
    ctx_.description.Green_Target = 0x8000;
    SetAverages(kRed, {0xD000, 0x3400, 0});
    SetAverages(kGreen, {0x8000, 0x4000, 0x10000});
    SetAverages(kBlue, {0x6800, 60000, 0xD000});
    ASSERT_TRUE(RunCoefficientStep(ctx_, 3));

    auto bytes = ReadAll(StagedPath(ctx_, "cr.dat"));
    ASSERT_EQ(bytes.size(), 7u + 6 * 3);
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 3), "v2\n");
    EXPECT_EQ(bytes[3] | bytes[4] << 8 | bytes[5] << 16 | bytes[6] << 24, 3);
    const int32_t expected[3][3] = {{16384, 0x0000, 0}, {16384, 32768, 8192}, {32768, 14540, 16384}};
    for (int c = 0; c < kColours; ++c) {
        for (int x = 0; x < 3; ++x) {
            EXPECT_EQ(WordAt(bytes, 7 + 6 * c + 2 * x), expected[c][x]) << "colour " << c << " pixel " << x;
        }
    }
    // The engine keeps the full coefficient; only the file cuts it to 16 bits.
    EXPECT_EQ(ctx_.calibration.coefficients[kRed][1], 65536);
}

TEST_F(CoefficientFileTest, ReplacesAnOlderLongerFileWithOwnerOnlyPermissions) {
    std::ofstream(StagedPath(ctx_, "cr.dat"), std::ios::binary) << std::string(1000, 'x');
    SetAverages(kBlue, {0xD000});
    ASSERT_TRUE(RunCoefficientStep(ctx_, 258));
    auto bytes = ReadAll(StagedPath(ctx_, "cr.dat"));
    ASSERT_EQ(bytes.size(), 7u + 6 * 258);
    EXPECT_EQ(bytes[3], 2);  // 258 little-endian
    EXPECT_EQ(bytes[4], 1);
    namespace fs = std::filesystem;
    if (platform::OwnerOnlyFileModesApply()) {
        EXPECT_EQ(fs::status(StagedPath(ctx_, "cr.dat")).permissions() & fs::perms::all,
                  fs::perms::owner_read | fs::perms::owner_write);
    }
}

TEST_F(CoefficientFileTest, AFileThatCannotBeCreatedFailsTheStepButTheCoefficientsAreComputed) {
    const std::string staged = StagedPath(ctx_, "cr.dat");
    std::filesystem::create_directory(staged);  // occupies the name
    std::filesystem::create_directory(staged + "/keep");
    SetAverages(kBlue, {0x6800});
    EXPECT_FALSE(RunCoefficientStep(ctx_, 1));
    EXPECT_EQ(Message(), "打开文件错误: " + staged);
    EXPECT_EQ(ctx_.calibration.coefficients[kBlue][0], 32768);
}

TEST_F(CalibrationTest, ShadingTablesLimitWordsAndChooseTheBlackSource) {
    auto& s = ctx_.calibration;
    s.pixelsPerLine = 3;
    s.coefficients[kBlue][0] = 65536;  // a quarter-target white
    s.coefficients[kBlue][1] = 16384;
    s.coefficients[kBlue][2] = 0;
    s.blackProfile[kBlue][0] = 70000;
    s.blackProfile[kBlue][1] = 1234;
    s.blackProfile[kBlue][2] = -4;
    s.channelMinimum[kBlue] = 900;

    s.blackShadingValid = true;
    ShadingTableBytes valid = BuildShadingTables(s, kBlue);
    ASSERT_EQ(valid.offsets.size(), 6u);
    EXPECT_EQ(WordAt(valid.gains, 0), 0xFFFF);
    EXPECT_EQ(WordAt(valid.gains, 2), 16384);
    EXPECT_EQ(WordAt(valid.gains, 4), 0);
    EXPECT_EQ(WordAt(valid.offsets, 0), 0xFFFF);
    EXPECT_EQ(WordAt(valid.offsets, 2), 1234);
    EXPECT_EQ(WordAt(valid.offsets, 4), 0);

    s.blackShadingValid = false;
    ShadingTableBytes coarse = BuildShadingTables(s, kBlue);
    for (std::size_t x = 0; x < 3; ++x) EXPECT_EQ(WordAt(coarse.offsets, 2 * x), 900);
}

struct BitsCase {
    int32_t debug;
    const char* name;
    uint8_t bits;
};

class ShadingBitsTest : public ::testing::TestWithParam<BitsCase> {};

TEST_P(ShadingBitsTest, FollowTheDebugLevel) {
    EXPECT_EQ(ShadingEnableBits(GetParam().debug, GetParam().name), GetParam().bits);
}

INSTANTIATE_TEST_SUITE_P(Table, ShadingBitsTest,
                         ::testing::Values(BitsCase{0, "BlackFine", 4}, BitsCase{0, "WhiteFine", 6},
                                           BitsCase{1, "WhiteFine", 6}, BitsCase{-1, "BlackFine", 4},
                                           BitsCase{2, "BlackFine", 4}, BitsCase{2, "WhiteFine", 4},
                                           BitsCase{3, "BlackFine", 0}, BitsCase{3, "WhiteFine", 0},
                                           BitsCase{0, "Coarse", 0}),
                         [](const auto& param) {
                             return "Debug" + ::ordavel::test::param_names::Of(param.param.debug) + "_" + param.param.name;
                         });

struct BlackLineCase {
    int32_t mode;
    std::size_t records;
    std::vector<int32_t> wordsOfFirstPixel;
};

class BlackLineTest : public ::testing::TestWithParam<BlackLineCase> {};

TEST_P(BlackLineTest, IsAWorkFileOfChannelMinimumLines) {
    const auto& p = GetParam();
    const int32_t minimum[3] = {100, 200, 70000};
    std::string text = ChannelMinimumBlackLine(5, p.mode, minimum, 200, 200);
    std::vector<uint8_t> bytes(text.begin(), text.end());
    auto header = ParseWorkFileHeader(bytes);
    ASSERT_TRUE(header);
    EXPECT_EQ(header->pixelsPerLine, 5);
    std::size_t samplesPerPixel = p.mode == kPixelInterleaved ? 3 : 1;
    std::size_t recordLength = 5 * samplesPerPixel * 2 + 2;
    ASSERT_EQ(bytes.size() - header->dataStart, p.records * recordLength);
    std::vector<int32_t> words;
    for (std::size_t r = 0; r < p.records; ++r) {
        std::size_t start = header->dataStart + r * recordLength;
        for (std::size_t i = 0; i < samplesPerPixel; ++i) words.push_back(WordAt(bytes, start + 2 * i));
        // every pixel of the record carries the same words
        EXPECT_EQ(WordAt(bytes, start + recordLength - 2 - 2 * samplesPerPixel),
                  WordAt(bytes, start));
    }
    EXPECT_EQ(words, p.wordsOfFirstPixel);
}

INSTANTIATE_TEST_SUITE_P(Modes, BlackLineTest,
                         ::testing::Values(BlackLineCase{kOneSample, 1, {0xFFFF}},
                                           BlackLineCase{kPixelInterleaved, 1, {100, 200, 0xFFFF}},
                                           BlackLineCase{kLineInterleaved, 3, {100, 200, 0xFFFF}}));

}  // namespace
}  // namespace ordavel::calibration::test
