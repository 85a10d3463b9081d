// The line output: whole-line delivery across calls, line preparation (trailing bytes, 16-bit
// reduction, colour merging, mirroring), totals and the debug bitmap.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <vector>

#include "driver/engine/line_output.h"
#include "driver/engine/line_output_geometry.h"
#include "driver/engine/line_preparation.h"
#include "tests/support/test_context.h"

namespace ordavel::engine::test {

using ordavel::test::TestContext;
namespace {

// A scan of `pixels` x `lines` at equal resolutions whose controller lines carry
// `bytesPerLine` bytes (2 trailing bytes included).
void SetUpScan(DriverContext& ctx, int32_t pixels, int32_t lines, int32_t bits, int32_t channelmode,
               int32_t bytesPerLine, int32_t lineOrder = 0) {
    ScanRequest& r = ctx.engine.request;
    r.lineOrder = lineOrder;
    r.scanRectLeft = 100;
    r.scanRectRight = 100 + pixels;
    r.scanRectTop = 10;
    r.scanRectBottom = 10 + lines;
    ScanParms& p = ctx.engine.parms;
    p.bitsperchannel = bits;
    p.channelmode = channelmode;
    p.bytesperline = bytesPerLine;
    LineGeometry& g = ctx.engine.geometry;
    g.actualXResolution = g.requestedXResolution = 200;
    g.actualYResolution = g.requestedYResolution = 200;
    ctx.engine.output = LineOutputState{};
}

struct Feeder {
    DriverContext& ctx;
    std::vector<uint8_t> image;
    std::vector<uint8_t> destination;

    Feeder(DriverContext& c, int32_t capacity) : ctx(c), destination(static_cast<std::size_t>(capacity), 0xEE) {
        Begin(capacity);
    }
    // A new ScanRead: the session names the destination and clears its count.
    void Begin(int32_t capacity) {
        destination.assign(static_cast<std::size_t>(capacity), 0xEE);
        ctx.engine.destination = Destination{destination.data(), capacity, 0};
    }
    LineOutputResult Put(const std::vector<uint8_t>& line) {
        if (image.empty()) {
            const LineGeometry& g = ctx.engine.geometry;
            image.assign(static_cast<std::size_t>(g.outputBytesPerLine * g.repeatLimit), 0);
        }
        ctx.engine.geometry.currentInputLine = line.data();
        return OutputLine(ctx, ctx.TempFilePath("finalscn.pxl"), image);
    }
    std::vector<uint8_t> Delivered() const {
        return {destination.begin(), destination.begin() + ctx.engine.destination.delivered};
    }
};

std::vector<uint8_t> Line(std::initializer_list<int> bytes) {
    return std::vector<uint8_t>(bytes.begin(), bytes.end());
}

TEST(LineOutput, DestinationOfTwoAndAHalfLinesGetsTwoLinesPerRead) {
    TestContext ctx("lineout");
    SetUpScan(ctx.ctx(), 4, 5, 8, 4, 6);
    ASSERT_TRUE(StartLineOutput(ctx.ctx()));
    EXPECT_EQ(ctx.ctx().engine.info.lineBytes, 4);
    EXPECT_EQ(ctx.ctx().engine.info.totalBytes, 20);
    Feeder f(ctx.ctx(), 10);
    std::vector<std::vector<uint8_t>> lines;
    for (int n = 1; n <= 6; ++n) lines.push_back(Line({n, n, n, n, 0xAB, 0xCD}));

    EXPECT_EQ(f.Put(lines[0]), LineOutputResult::NextLine);
    EXPECT_EQ(f.Put(lines[1]), LineOutputResult::NextLine);
    EXPECT_EQ(f.Put(lines[2]), LineOutputResult::DestinationFull);
    EXPECT_EQ(f.Delivered(), Line({1, 1, 1, 1, 2, 2, 2, 2}));
    EXPECT_EQ(ctx.ctx().engine.destination.capacity, 8);
    EXPECT_EQ(f.Put(lines[3]), LineOutputResult::DestinationFull);  // its output waits
    EXPECT_TRUE(LineOutputWaiting(ctx.ctx()));

    f.Begin(10);
    EXPECT_EQ(f.Put(lines[3]), LineOutputResult::NextLine);  // only the waiting row goes out
    EXPECT_EQ(f.Put(lines[4]), LineOutputResult::DestinationFull);
    EXPECT_EQ(f.Delivered(), Line({3, 3, 3, 3, 4, 4, 4, 4}));
    EXPECT_FALSE(LineOutputWaiting(ctx.ctx()));  // line 5 is consumed; the next read starts at line 6
    f.Begin(10);
    EXPECT_FALSE(LineOutputComplete(ctx.ctx()));
    EXPECT_EQ(f.Put(lines[5]), LineOutputResult::ImageComplete);
    EXPECT_EQ(f.Delivered(), Line({5, 5, 5, 5}));
    EXPECT_TRUE(LineOutputComplete(ctx.ctx()));
    EXPECT_EQ(ctx.ctx().engine.info.bytesDone, 20);
}

TEST(LineOutput, TrailingControllerBytesNeverReachTheOutput) {
    TestContext ctx("lineout");
    SetUpScan(ctx.ctx(), 3, 1, 8, 4, 5);
    ASSERT_TRUE(StartLineOutput(ctx.ctx()));
    Feeder f(ctx.ctx(), 64);
    f.Put(Line({7, 8, 9, 0xAB, 0xCD}));
    EXPECT_EQ(f.Put(Line({0, 0, 0, 0xAB, 0xCD})), LineOutputResult::ImageComplete);
    EXPECT_EQ(f.Delivered(), Line({7, 8, 9, 0}));  // padding to 4 bytes is 0
}

TEST(LineOutput, ImageOverAFourGigabyteCountIsRefused) {
    TestContext ctx("lineout");
    SetUpScan(ctx.ctx(), 60000, 60000, 8, 4, 60002);
    EXPECT_FALSE(StartLineOutput(ctx.ctx()));
    EXPECT_STREQ(ctx.ctx().record.messageText, "图像尺寸太大");
}

TEST(LineOutput, SixteenBitSamplesKeepTheirHighByteInBitmapOrderAndStayWholeInScanOrder) {
    for (int32_t order : {1, 0}) {
        TestContext ctx("lineout");
        SetUpScan(ctx.ctx(), 2, 1, 16, 4, 6, order);
        ASSERT_TRUE(StartLineOutput(ctx.ctx()));
        Feeder f(ctx.ctx(), 64);
        f.Put(Line({0x12, 0x34, 0xAB, 0xCD, 0, 0}));
        f.Put(Line({0, 0, 0, 0, 0, 0}));
        EXPECT_EQ(f.Delivered(), order == 1 ? Line({0x12, 0xAB, 0, 0}) : Line({0x34, 0x12, 0xCD, 0xAB}));
    }
}

TEST(LineOutput, ColourLinesByChannelAreMergedIntoPixels) {
    TestContext ctx("lineout");
    ctx.ctx().description.Color_Mode = 1;
    SetUpScan(ctx.ctx(), 2, 1, 8, 1, 4, /*lineOrder=*/0);
    ASSERT_TRUE(StartLineOutput(ctx.ctx()));
    Feeder f(ctx.ctx(), 64);
    for (int n : {1, 2}) {
        EXPECT_EQ(f.Put(Line({n * 10, n * 10 + 1, 0, 0})), LineOutputResult::NextLine);
        EXPECT_EQ(f.Put(Line({n * 20, n * 20 + 1, 0, 0})), LineOutputResult::NextLine);
        EXPECT_TRUE(f.Delivered().empty());
        f.Put(Line({n * 30, n * 30 + 1, 0, 0}));
    }
    EXPECT_EQ(f.Delivered(), Line({10, 20, 30, 11, 21, 31, 0, 0}));
}

TEST(LineOutput, NarrowColourSamplesAreMergedWithinTheirBytes) {
    std::vector<uint8_t> assembly(3, 0);
    // Three 2-bit lines of 4 pixels: red 0,1,2,3; green 3,3,3,3; blue 0,0,0,0.
    MergeColourLine(Line({0b00011011}), 0, 2, 4, assembly);
    MergeColourLine(Line({0b11111111}), 1, 2, 4, assembly);
    MergeColourLine(Line({0b00000000}), 2, 2, 4, assembly);
    EXPECT_EQ(assembly, Line({0b00110001, 0b11001011, 0b00111100}));
}

struct MirrorCase {
    const char* name;
    int32_t bits, channels;
    std::vector<uint8_t> in, out;
};

class Mirroring : public ::testing::TestWithParam<MirrorCase> {};

TEST_P(Mirroring, ReversesWholePixels) {
    const MirrorCase& c = GetParam();
    std::vector<uint8_t> out(c.in.size(), 0xEE);
    MirrorLine(c.in, c.bits, c.channels, out);
    EXPECT_EQ(out, c.out);
}

INSTANTIATE_TEST_SUITE_P(
    LineOutput, Mirroring,
    ::testing::Values(MirrorCase{"grey", 8, 1, {1, 2, 3}, {3, 2, 1}},
                      MirrorCase{"colour", 8, 3, {1, 2, 3, 4, 5, 6}, {4, 5, 6, 1, 2, 3}},
                      MirrorCase{"sixteen", 16, 1, {1, 2, 3, 4}, {3, 4, 1, 2}},
                      MirrorCase{"blackWhite", 1, 1, {0b11000000, 0b00000001}, {0b10000000, 0b00000011}},
                      MirrorCase{"twoBit", 2, 1, {0b00011011}, {0b11100100}}),
    [](const auto& param) { return std::string(param.param.name); });

TEST(LineOutput, MirroredBlackAndWhiteScanReversesTheLine) {
    TestContext ctx("lineout");
    ctx.ctx().description.Mirror_Image = 1;
    SetUpScan(ctx.ctx(), 16, 1, 1, 4, 4);
    ASSERT_TRUE(StartLineOutput(ctx.ctx()));
    Feeder f(ctx.ctx(), 64);
    f.Put(Line({0b10000000, 0b00000110, 0, 0}));
    f.Put(Line({0, 0, 0, 0}));
    EXPECT_EQ(f.Delivered(), Line({0b01100000, 0b00000001, 0, 0}));
}

TEST(LineOutput, BitmapOrderColourRowsComeBlueFirst) {
    TestContext ctx("lineout");
    SetUpScan(ctx.ctx(), 1, 1, 8, 0, 5, /*lineOrder=*/1);
    ASSERT_TRUE(StartLineOutput(ctx.ctx()));
    Feeder f(ctx.ctx(), 64);
    f.Put(Line({1, 2, 3, 0, 0}));
    f.Put(Line({0, 0, 0, 0, 0}));
    EXPECT_EQ(f.Delivered(), Line({3, 2, 1, 0}));
}

TEST(LineOutput, DebugBitmapHoldsHeadersAndEveryDeliveredRow) {
    TestContext ctx("lineout");
    ctx.ctx().settings.debugLevel = 1;
    SetUpScan(ctx.ctx(), 12, 2, 1, 4, 4, /*lineOrder=*/1);
    ASSERT_TRUE(StartLineOutput(ctx.ctx()));
    Feeder f(ctx.ctx(), 4);
    f.Put(Line({0xFF, 0xF0, 0, 0}));
    f.Put(Line({0x0F, 0x00, 0, 0}));
    f.Begin(4);
    EXPECT_EQ(f.Put(Line({0, 0, 0, 0})), LineOutputResult::ImageComplete);
    std::ifstream in(ctx.tempDir() + "/finalscn.bmp", std::ios::binary);
    ASSERT_TRUE(in.good());
    std::vector<uint8_t> file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_EQ(file.size(), 62u + 8u);
    EXPECT_EQ(file[0], 'B');
    EXPECT_EQ(file[28], 1);  // bit count
    EXPECT_EQ(std::vector<uint8_t>(file.begin() + 62, file.end()), Line({0xFF, 0xF0, 0, 0, 0x0F, 0x00, 0, 0}));
}

TEST(LineOutputGeometry, WindowAndControllerFormatGiveTheProcessorGeometry) {
    ScanRequest r{};
    r.lineOrder = 1;
    r.scanRectLeft = 284;
    r.scanRectRight = 1384;
    r.scanRectTop = 0;
    r.scanRectBottom = 1892;
    ScanParms p;
    p.bitsperchannel = 16;
    p.bytesperline = 2202;
    p.channelmode = 1;  // colour one channel per controller line
    LineGeometry g;
    g.actualXResolution = 200;
    g.requestedXResolution = 300;
    ComputeOutputGeometry(r, p, g);
    EXPECT_EQ(g.outputPixels, 1100);
    EXPECT_EQ(g.outputLines, 1892);
    EXPECT_EQ(g.inputPixels, 734);  // ceil(200 x 1100 / 300)
    EXPECT_EQ(g.bits, 8);
    EXPECT_EQ(g.bytesPerSample, 1);
    EXPECT_EQ(g.inputBytesPerLine, 1100 * 3);
    EXPECT_EQ(g.channelMode, 0);
    EXPECT_EQ(g.topDown, 0);
}

}  // namespace
}  // namespace ordavel::engine::test
