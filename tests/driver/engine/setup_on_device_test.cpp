// Set-up against a scripted controller: the stored-shading download and the core set-up of the
// geometry-only, sheet and probe jobs.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "driver/device/transport.h"
#include "driver/engine/scan_setup.h"
#include "platform/file_system_facts.h"
#include "tests/support/conversation.h"
#include "tests/support/hand_description.h"
#include "tests/support/test_context.h"

namespace ordavel::engine {
namespace {

using description::RegisterImage;
using test::Conversation;
using test::HandDescription;
using test::MemoryTables;
using test::TestContext;
using test::ScriptedPipe;

ShadingTable Pattern(int seed) {
    ShadingTable line{};
    for (std::size_t i = 0; i < line.size(); ++i) line[i] = static_cast<uint8_t>(i * 13 + seed * 71 + i / 200);
    return line;
}

std::string Bytes(const ShadingTable& line) { return std::string(line.begin(), line.end()); }

std::vector<uint8_t> Vec(const ShadingTable& table) { return {table.begin(), table.end()}; }

class OnDevice : public ::testing::Test {
protected:
    OnDevice() : pipe(scratch.AttachScanner()) {
        DriverContext& c = ctx();
        c.description = HandDescription(1);
        c.settings.colourScan = false;
        ScanRequest& r = c.engine.request;
        r.bedRight = 1680;
        r.bedBottom = 2340;
        r.scanRectLeft = 284;
        r.scanRectRight = 1384;
        r.scanRectBottom = 1892;
        r.pixelType = 1;
        r.bitDepth = 8;
        r.xResolution = 200;
        r.yResolution = 200;
        EXPECT_TRUE(device::Open(c, u"Mirt", u"Mirt Sheet Scanner"));
    }
    DriverContext& ctx() { return scratch.ctx(); }

    // Calibration files of a 1680-pixel line calibrated at `storedStart`.
    void WriteCalibrationFiles(int32_t storedStart) {
        scratch.writeSettings("[GAIN_OFFSET]\nstartpixel=" + std::to_string(storedStart) + "\n");
        const std::string header = "v2\n1680\n0.00\n0\n4\n4\n100\n200\n200\n2\n";
        ASSERT_EQ(header.size(), 33u);
        scratch.writeFile(scratch.tempDir() + "/BlackFINE.PXL", header + Bytes(Pattern(0)) + "trailing line");
        std::string cr = std::string("v2\n") + std::string("\x90\x06\0\0", 4);
        for (int c = 1; c <= 3; ++c) cr += Bytes(Pattern(c));
        scratch.writeFile(scratch.tempDir() + "/cr.dat", cr);
    }

    TestContext scratch{"ondevice"};
    ScriptedPipe& pipe;
};

TEST_F(OnDevice, StoredShadingStartsAtTheWindowAndFillsBeyondTheStoredLine) {
    WriteCalibrationFiles(150);
    ctx().engine.parms.startpixel = 434;  // the client's narrow window
    ASSERT_TRUE(DownloadStoredShading(ctx()));
    const auto tables = MemoryTables(pipe);
    ASSERT_EQ(tables.size(), 6u);
    const ShadingTable black = ShadingTableFrom(Pattern(0), 568, 0);
    const uint8_t selects[6] = {0, 1, 4, 5, 8, 9};
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(tables[i].select, selects[i]);
        const ShadingTable expected = i % 2 == 0 ? black : ShadingTableFrom(Pattern(i / 2 + 1), 568, 0x4000);
        EXPECT_EQ(tables[i].bytes, Vec(expected)) << "table " << i;
    }
    // The words that exist, then the last calibrated word repeated.
    EXPECT_EQ(tables[1].bytes[0], Pattern(1)[568]);
    EXPECT_EQ(tables[1].bytes[3360 - 568], Pattern(1)[3358]);
    EXPECT_EQ(tables[1].bytes[3359], Pattern(1)[3359]);
}

TEST_F(OnDevice, StoredShadingWindowLeftOfCalibrationStartsAtTheLine) {
    WriteCalibrationFiles(150);
    ctx().engine.parms.startpixel = 100;
    ASSERT_TRUE(DownloadStoredShading(ctx()));
    EXPECT_EQ(MemoryTables(pipe)[5].bytes, Vec(Pattern(3)));
}

TEST_F(OnDevice, StoredShadingSwitchesShadingByDebugLevel) {
    const std::pair<int32_t, uint8_t> levels[] = {{0, 0xFE}, {1, 0xFE}, {2, 0xFC}, {3, 0xF8}};
    WriteCalibrationFiles(150);
    for (auto [debug, expected] : levels) {
        pipe.SetRegister(0x42, 0xFF);
        ctx().settings.debugLevel = debug;
        ASSERT_TRUE(DownloadStoredShading(ctx()));
        EXPECT_EQ(pipe.Register(0x42), expected) << debug;
    }
}

TEST_F(OnDevice, ShortOrUnreadableCalibrationFilesAreReadErrors) {
    struct Case {
        const char* name;
        std::size_t crBytes, blackBytes;
        bool crIsDirectory;
        std::size_t tablesSent;
    };
    const Case cases[] = {{"short_black_line", 10087, 33 + 3359, false, 0},
                          {"black_header_only", 10087, 20, false, 0},
                          {"short_blue_block", 7 + 3360 * 2 + 100, 3393, false, 4},
                          {"no_coefficients", 5, 3393, false, 0},
                          {"unreadable_coefficients", 0, 3393, true, 0}};
    for (const Case& c : cases) {
        TestContext each("short");
        ScriptedPipe& device = each.AttachScanner();
        ASSERT_TRUE(device::Open(each.ctx(), u"Mirt", u"Mirt Sheet Scanner"));
        if (c.crIsDirectory) {
            std::filesystem::create_directory(each.tempDir() + "/cr.dat");
        } else {
            each.writeFile(each.tempDir() + "/cr.dat", std::string(c.crBytes, '\x01'));
        }
        each.writeFile(each.tempDir() + "/BlackFINE.PXL", std::string(c.blackBytes, '\x02'));
        EXPECT_FALSE(DownloadStoredShading(each.ctx())) << c.name;
        // A directory where the file should be opens and fails to read on some systems, and
        // fails to open on others.
        const bool openFails = c.crIsDirectory && !platform::DirectoriesOpenAsFiles();
        const std::string expected = openFails ? "打开扫描文件错误!" : "读扫描文件错误";
        EXPECT_EQ(each.messages(), std::vector<std::string>{expected}) << c.name;
        EXPECT_EQ(MemoryTables(device).size(), c.tablesSent) << c.name;
    }
}

TEST_F(OnDevice, GeometryOnlyJobProgramsTheWindowAndLeavesTheLampAlone) {
    pipe.SetRegister(0x2A, 0x77);
    RegisterImage image;
    ASSERT_TRUE(SetUpScanJob(ctx(), image, "compute.pxl", false));
    // Build read, configuration read, framed runs without the lamp registers, read-back.
    EXPECT_EQ(Conversation(pipe), "R42 R42 W18 W07 R07 W03x3 W07x35 W38x6 W42x60 W7Ex2 W07 R07 R07x121");
    EXPECT_EQ(pipe.Register(0x2A), 0x77);
    const ScanParms& p = ctx().engine.parms;
    EXPECT_EQ(p.startpixel, 434);
    EXPECT_EQ(p.endpixel, 1534);
    EXPECT_EQ(p.pixelsperline, 1100);
    EXPECT_EQ(p.bytesperline, 1102);
    EXPECT_EQ(p.bitsperchannel, 8);
    EXPECT_EQ(p.channelmode, 4);
    EXPECT_EQ(p.lines, 1892);
    EXPECT_EQ(pipe.Register(0x08), 10);
    EXPECT_EQ(pipe.Register(0x48), 0x01);
    EXPECT_EQ(pipe.Register(0x49), 0xF4);
    EXPECT_EQ(pipe.Register(0x4E), 0xE4);
    EXPECT_EQ(pipe.Register(0x4F), 0xE3);
    EXPECT_EQ(pipe.Register(0x4B), 15);
    EXPECT_FALSE(ctx().engine.setup.calibrated) << "no calibration for the geometry-only job";
}

TEST_F(OnDevice, ProbeJobReadsSixteenBitLinesFromTheRangeStart) {
    RegisterImage image;
    ASSERT_TRUE(SetUpScanJob(ctx(), image, scratch.tempDir() + "/pcrate.pxl", false));
    EXPECT_EQ(pipe.Register(0x09), 0x38);
    EXPECT_EQ(pipe.Register(0x45) & 0x10, 0);
    EXPECT_EQ(pipe.Register(0x4E), 255);
    EXPECT_EQ(pipe.Register(0x4F), 254);
    EXPECT_EQ(pipe.Register(0x51), 0);
    // The window is computed once more before the write, which sets the skip again.
    EXPECT_EQ(pipe.Register(0x4B), 15);
    EXPECT_EQ(ctx().engine.parms.startpixel, 150);
    EXPECT_EQ(ctx().engine.parms.bitsperchannel, 16);
    EXPECT_EQ(ctx().engine.parms.bytesperline, 2 * 1100 + 2);
    EXPECT_FALSE(ctx().engine.setup.calibrated);
}

TEST_F(OnDevice, SheetJobDownloadsStoredCalibrationOnce) {
    WriteCalibrationFiles(150);
    const std::string sheet = scratch.tempDir() + "/finalscn.pxl";
    RegisterImage image;
    ASSERT_TRUE(SetUpScanJob(ctx(), image, sheet, false));
    EXPECT_TRUE(ctx().engine.setup.calibrated);
    EXPECT_EQ(MemoryTables(pipe).size(), 6u);
    EXPECT_EQ(ctx().engine.parms.startpixel, 434) << "the sheet's geometry survives the download";

    RegisterImage again;
    ASSERT_TRUE(SetUpScanJob(ctx(), again, sheet, false));
    EXPECT_EQ(MemoryTables(pipe).size(), 6u);
}

TEST_F(OnDevice, SheetJobWithoutStoredCalibrationFails) {
    RegisterImage image;
    EXPECT_FALSE(SetUpScanJob(ctx(), image, scratch.tempDir() + "/finalscn.pxl", false));
    EXPECT_EQ(scratch.messages().back(), "打开扫描文件错误!");
    EXPECT_FALSE(ctx().engine.setup.calibrated);
}

TEST_F(OnDevice, FailedCalibrationIsNotRemembered) {
    scratch.writeSettings("[GAIN_OFFSET]\nstartpixel=99\n");
    // A controller whose command register never reads back what was written: calibration fails
    // at its first image write, before it scans anything.
    pipe.ScriptReads(0x07, {0x01});
    RegisterImage image;
    EXPECT_FALSE(SetUpScanJob(ctx(), image, scratch.tempDir() + "/finalscn.pxl", true));
    EXPECT_TRUE(scratch.reported("开始校正"));
    EXPECT_FALSE(ctx().engine.setup.calibrated);
    EXPECT_EQ(scratch.readFile(scratch.tempDir() + "/Mirt.def"), "[GAIN_OFFSET]\nstartpixel=99\n");
}

}  // namespace
}  // namespace ordavel::engine
