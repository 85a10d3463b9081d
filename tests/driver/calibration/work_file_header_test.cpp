// Parsing and formatting work-file headers.
#include "driver/calibration/work_file_header.h"

#include <gtest/gtest.h>

#include <string>
#include "tests/support/param_names.h"

namespace ordavel::calibration {
namespace {

std::optional<WorkFileHeader> Parse(const std::string& text) {
    return ParseWorkFileHeader(std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
}

TEST(WorkFileHeader, VersionTwoHasTenLinesAndDataFollowsTheLast) {
    std::string header = "v2\n1680\n0.00\n0\n4\n4\n31\n200\n200\n2\n";
    auto parsed = Parse(header + "\x12\x34 binary");
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->version, 2);
    EXPECT_EQ(parsed->pixelsPerLine, 1680);
    EXPECT_EQ(parsed->dataStart, header.size());
    EXPECT_EQ(parsed->dataStart, 32u);  // the reference strip of 31 lines: not 33
}

TEST(WorkFileHeader, VersionOneHasNineLines) {
    std::string header = "v1\n8\n1.50\n0\n4\n4\n3\n200\n200\n";
    auto parsed = Parse(header + "2\n");  // the "tenth line" is data here
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->version, 1);
    EXPECT_EQ(parsed->dataStart, header.size());
}

TEST(WorkFileHeader, ToleratesCarriageReturnsAndSigns) {
    auto parsed = Parse("v2\r\n+16\r\n0.00\r\n0\r\n-1\r\n4\r\n3\r\n200\r\n200\r\n2\r\n");
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->pixelsPerLine, 16);
}

class MalformedHeaderTest : public ::testing::TestWithParam<std::string> {};

TEST_P(MalformedHeaderTest, IsRefused) { EXPECT_FALSE(Parse(GetParam())); }

INSTANTIATE_TEST_SUITE_P(
    Cases, MalformedHeaderTest,
    ::testing::Values(std::string(""), std::string("x2\n16\n0.00\n0\n4\n4\n3\n200\n200\n2\n"),
                      std::string("v\n16\n0.00\n0\n4\n4\n3\n200\n200\n2\n"),       // no version
                      std::string("v2\nabc\n0.00\n0\n4\n4\n3\n200\n200\n2\n"),     // pixels not a number
                      std::string("v2\n16\nfast\n0\n4\n4\n3\n200\n200\n2\n"),      // line 3 not a number
                      std::string("v2\n16\n0.00\n0\n4\n4x\n3\n200\n200\n2\n"),     // junk after a number
                      std::string("v2\n16\n0.00\n0\n4\n4\n3\n200\n200\n2"),        // last line unterminated
                      std::string("v2\n16\n0.00\n0\n4\n4\n3\n200\n"),              // cut short
                      std::string("v2\n99999999999\n0.00\n0\n4\n4\n3\n200\n200\n2\n")), ::ordavel::test::ReadableName{});  // overflows

TEST(WorkFileHeader, EveryLineMustEndWithinTheFirst259Bytes) {
    std::string padded = "v2\n16\n0." + std::string(236, '0') + "\n0\n4\n4\n3\n200\n200\n2\n";
    ASSERT_GT(padded.size(), kHeaderReadLimit);
    EXPECT_FALSE(Parse(padded));
    std::string fits = "v2\n16\n0." + std::string(200, '0') + "\n0\n4\n4\n3\n200\n200\n2\n";
    ASSERT_LE(fits.size(), kHeaderReadLimit);
    EXPECT_TRUE(Parse(fits));
}

TEST(WorkFileHeader, FormattedHeaderParsesBack) {
    std::string text = FormatWorkFileHeader({1680, 1, 4, 93, 200, 200});
    EXPECT_EQ(text, "v2\n1680\n0.00\n0\n1\n4\n93\n200\n200\n2\n");
    auto parsed = Parse(text);
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->pixelsPerLine, 1680);
    EXPECT_EQ(parsed->dataStart, text.size());
}

}  // namespace
}  // namespace ordavel::calibration
