// The set-up's job recognition, the probe toggle, the stored-shading tables and the failures
// that need no scanner.
#include <gtest/gtest.h>

#include <filesystem>
#include <numeric>
#include <string>

#include "driver/engine/scan_setup.h"
#include "driver/interface/session.h"
#include "driver/engine/setup_state.h"
#include "driver/engine/work_file_job.h"
#include "tests/support/hand_description.h"
#include "tests/support/test_context.h"
#include "tests/support/test_paths.h"

namespace ordavel::engine {
namespace {

using test::HandDescription;
using test::TestContext;

TEST(WorkFileJob, RecognisedByTheFileNameIgnoringCase) {
    const std::pair<const char*, ScanJob> cases[] = {
        {"/tmp/pcrate.pxl", ScanJob::Probe},     {"/tmp/PCRATE.PXL", ScanJob::Probe},
        {"compute.pxl", ScanJob::Compute},       {"/tmp/finalscn.pxl", ScanJob::Sheet},
        {"/tmp/FinalScn.pxl", ScanJob::Sheet},   {"/tmp/COARSE.PXL", ScanJob::Other},
        {"/tmp/finalscn", ScanJob::Other},       {"/tmp/pcrate.d/finalscn.pxl", ScanJob::Sheet},
        {"/tmp/compute.x/BlackFINE.PXL", ScanJob::Other}, {"", ScanJob::Other},
    };
    for (auto [path, job] : cases) EXPECT_EQ(JobOfWorkFile(path), job) << path;
}

TEST(ProbeToggle, NestedCallNamesTheProbeFileAndClearsTheToggle) {
    TestContext scratch("toggle");
    scratch.ctx().engine.setup.probeToggle = true;
    EXPECT_EQ(MeasureTransferRate(scratch.ctx(), "finalscn", false), scratch.temp().file("pcrate.pxl"));
    EXPECT_FALSE(scratch.ctx().engine.setup.probeToggle);
}

TEST(ProbeToggle, FailedNestedSetUpLeavesNoToggleBehind) {
    TestContext scratch("toggle");
    scratch.ctx().description = HandDescription(1);
    for (int attempt = 0; attempt < 2; ++attempt) {
        // No settings file: the nested set-up fails in its device initialisation.
        EXPECT_EQ(MeasureTransferRate(scratch.ctx(), "finalscn", false), "") << attempt;
        EXPECT_FALSE(scratch.ctx().engine.setup.probeToggle) << attempt;
    }
}

TEST(ProbeToggle, RecordsTheStartInBothStartStamps) {
    TestContext scratch("stamps");
    scratch.clock().sleep(5000);
    const uint32_t now = scratch.clock().tickCount();
    MeasureTransferRate(scratch.ctx(), "finalscn", true);
    const ScanInfo& info = scratch.ctx().engine.info;
    EXPECT_EQ(info.stamps[0], now);
    EXPECT_EQ(info.stamps[2], now);
    EXPECT_EQ(info.stamps[1], 0u);
    EXPECT_EQ(info.stamps[3], 0u);
}

TEST(SetupScanRes, FailsInInitialisationAndClearsProgress) {
    TestContext scratch("setup");
    scratch.ctx().description = HandDescription(1);
    for (bool final : {false, true}) {
        scratch.clearMessages();
        scratch.ctx().engine.info.progressPos = 77;
        EXPECT_FALSE(SetupScanRes(scratch.ctx(), final, false));
        EXPECT_EQ(scratch.ctx().engine.info.progressPos, 0);
        EXPECT_EQ(scratch.messages(), std::vector<std::string>{scratch.temp().file("Mirt.def") + " not found"});
    }
}

TEST(SetupScanRes, GeometryRequestWithoutScannerNamesTheDevice) {
    TestContext scratch("noscanner");
    scratch.writeSettings("[SETUP]\nScannerFile=Mirt9832.dsc\n");
    scratch.writeFile(scratch.tempDir() + "/Mirt9832.dsc", scratch.readFile(test::DataDir() + "/Mirt9832.dsc"));
    interface::Session session(scratch.ctx());
    ScanRequest request{};
    request.bedRight = 1680;
    request.bedBottom = 2340;
    request.scanRectLeft = 284;
    request.scanRectRight = 1384;
    request.scanRectBottom = 1892;
    request.pixelType = 1;
    request.bitDepth = 8;
    request.xResolution = 200;
    request.yResolution = 200;
    EXPECT_EQ(session.SetParams(scratch.ctx(), request, nullptr), 1);
    EXPECT_STREQ(scratch.ctx().record.messageText, "未发现 Mirt Sheet Scanner 设备");
}

TEST(ScanToEnd, NamesTheWorkFileBeforeScanning) {
    TestContext scratch("toend");
    EXPECT_FALSE(ScanToEnd(scratch.ctx(), "/t/fine.pxl"));  // nothing to scan with
    EXPECT_EQ(scratch.ctx().engine.setup.workFile, "/t/fine.pxl");
}

ShadingTable CountingLine() {
    ShadingTable line{};
    for (std::size_t i = 0; i < line.size(); ++i) line[i] = static_cast<uint8_t>(i * 7 + i / 256);
    return line;
}

struct ShadingCase {
    const char* name;
    int64_t offset;
};

class StoredShadingTable : public ::testing::TestWithParam<ShadingCase> {};

TEST_P(StoredShadingTable, SendsStoredWordsThenRepeatsTheLast) {
    const int64_t offset = GetParam().offset;
    const ShadingTable line = CountingLine();
    const ShadingTable table = ShadingTableFrom(line, offset, 0x4000);
    const std::size_t available = offset >= kStoredShadingLineBytes ? 0 : static_cast<std::size_t>(kStoredShadingLineBytes - offset);
    for (std::size_t i = 0; i < available; ++i) {
        ASSERT_EQ(table[i], line[static_cast<std::size_t>(offset) + i]) << i;
    }
    const uint8_t high = available > 0 ? line[line.size() - 2] : 0x40;
    const uint8_t low = available > 0 ? line[line.size() - 1] : 0x00;
    for (std::size_t i = available; i < table.size(); i += 2) {
        ASSERT_EQ(table[i], high) << i;
        ASSERT_EQ(table[i + 1], low) << i;
    }
}

INSTANTIATE_TEST_SUITE_P(Offsets, StoredShadingTable,
                         ::testing::Values(ShadingCase{"calibrated_start", 0},
                                           ShadingCase{"narrow_client_window", 568},
                                           ShadingCase{"one_word_left", 3358},
                                           ShadingCase{"line_used_up", 3360},
                                           ShadingCase{"far_beyond", 1'000'000'000'000}),
                         [](const auto& p) { return std::string(p.param.name); });

class StoredShadingFiles : public ::testing::Test {
protected:
    void write(const char* name, std::size_t bytes) const {
        scratch.writeFile(scratch.tempDir() + "/" + name, std::string(bytes, '\x11'));
    }
    TestContext scratch{"shading"};
};

TEST_F(StoredShadingFiles, MissingFileIsReportedAndFails) {
    const std::pair<bool, bool> present[] = {{false, false}, {true, false}, {false, true}};
    for (auto [coefficients, black] : present) {
        TestContext each("shading");
        if (coefficients) each.writeFile(each.tempDir() + "/cr.dat", std::string(10087, '\0'));
        if (black) each.writeFile(each.tempDir() + "/BlackFINE.PXL", std::string(3393, '\0'));
        EXPECT_FALSE(DownloadStoredShading(each.ctx()));
        EXPECT_EQ(each.messages(), std::vector<std::string>{"打开扫描文件错误!"});
    }
}

TEST_F(StoredShadingFiles, CalibrationDownloadNeedsTheBuildFirst) {
    write("cr.dat", 10087);
    write("BlackFINE.PXL", 3393);
    scratch.ctx().description = HandDescription(1);
    EXPECT_FALSE(DownloadCalibrationData(scratch.ctx()));  // no scanner for the build's read
    EXPECT_FALSE(scratch.reported("打开扫描文件错误!"));
}

}  // namespace
}  // namespace ordavel::engine
