// The acquisition's jobs against the reference virtual scanner: the transfer-rate probe, a scan
// into a work file, the geometry job's totals and the stop count of a sheet scan.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "driver/description/description_loader.h"
#include "driver/description/register_programming.h"
#include "driver/engine/acquisition.h"
#include "driver/engine/scan_setup.h"
#include "driver/interface/export_operations.h"
#include "tests/support/sheet_scan_rig.h"

namespace ordavel::engine {
namespace {

using test::ClientScan;
using test::SheetScanRig;

std::string FileText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class AcquisitionOnDevice : public ::testing::Test {
protected:
    AcquisitionOnDevice() {
        ctx().engine.request = test::ClientRequest(ClientScan{});
        EXPECT_TRUE(description::LoadScannerDescription(ctx())) << ctx().record.messageText;
    }
    DriverContext& ctx() { return rig.ctx(); }

    SheetScanRig rig{{SheetScanRig::Chart()}, "acquire"};
};

TEST_F(AcquisitionOnDevice, ProbeReadsForJustOverASecondAtWhatUsbCarries) {
    ASSERT_TRUE(description::InitUSB(ctx(), true)) << ctx().record.messageText;
    const std::string path = MeasureTransferRate(ctx(), "finalscn", true);
    ASSERT_FALSE(path.empty()) << ctx().record.messageText;
    const ScanParms& p = ctx().engine.parms;
    EXPECT_GT(p.millisecs, 1000);
    EXPECT_LT(p.millisecs, 1300);
    // Full-speed USB carries about a megabyte a second; the probe's 16-bit lines come faster.
    EXPECT_GT(p.transferbytes, 500000);
    EXPECT_LE(p.transferbytes, p.millisecs * 1000);
    EXPECT_TRUE(ctx().engine.acquisition.idle);
    // The probe's work file holds its header and nothing else.
    const std::string probe = FileText(rig.scratch().tempDir() + "/pcrate.pxl");
    EXPECT_EQ(probe.substr(0, 3), "v2\n");
    EXPECT_EQ(std::count(probe.begin(), probe.end(), '\n'), 10);
}

TEST_F(AcquisitionOnDevice, ScanIntoAWorkFileKeepsEveryControllerLine) {
    ASSERT_TRUE(description::InitUSB(ctx(), false)) << ctx().record.messageText;
    const std::string path = ctx().TempFilePath("whitescan.pxl");
    description::RegisterImage image;
    ASSERT_TRUE(SetUpScanJob(ctx(), image, path, false)) << ctx().record.messageText;
    ctx().engine.setup.workFile = path;
    int32_t done = 0;
    ASSERT_TRUE(ScanSome(ctx(), done, true));
    ASSERT_TRUE(ScanToEnd(ctx(), path)) << ctx().record.messageText;
    const ScanParms& p = ctx().engine.parms;
    const std::string text = FileText(path);
    const std::string header = "v2\n1100\n0.00\n0\n4\n3\n1892\n200\n200\n2\n";
    ASSERT_GE(text.size(), header.size());
    EXPECT_EQ(text.substr(0, header.size()), header);
    EXPECT_EQ(text.size() - header.size(), static_cast<std::size_t>(p.bytesperline) * 1892);
    EXPECT_EQ(p.transferbytes, p.bytesperline * 1892);
    EXPECT_EQ(rig.scanner().peekRegister(0x07), 0);
}

TEST_F(AcquisitionOnDevice, GeometryJobGivesTheClientItsImageSize) {
    const ScanRequest r = test::ClientRequest(ClientScan{});
    ASSERT_EQ(interface::ScanSetScanParams(ctx(), &r, nullptr), 0) << ctx().record.messageText;
    ScanInfo info{};
    interface::ScanGetScanInfo(ctx(), &info);
    EXPECT_EQ(info.lineBytes, 1100);
    EXPECT_EQ(info.totalBytes, 1100 * 1892);
    EXPECT_EQ(info.bytesDone, 0);
    // One more input line than output lines: each output line waits for the next input line.
    EXPECT_EQ(ctx().engine.parms.lines, 1893);
    EXPECT_EQ(info.progressRange, 1102 * 1893);
}

TEST_F(AcquisitionOnDevice, SheetScanStopsTheControllerByCountJustAfterItsLines) {
    const ScanRequest r = test::ClientRequest(ClientScan{});
    ASSERT_EQ(interface::ScanSetScanParams(ctx(), &r, nullptr), 0);
    ASSERT_EQ(interface::ScanStart(ctx()), 0) << ctx().record.messageText;
    // (1893 lines + 1 + 1) x a 2016-period line / (4 x 503 periods a step), rounded up.
    EXPECT_EQ(rig.scanner().peekRegister(0x4C) * 256 + rig.scanner().peekRegister(0x4D), 1899);
    EXPECT_EQ(rig.scanner().peekRegister(0x1A), 7);
    std::vector<uint8_t> buffer(1 << 22);
    int32_t got = 0;
    EXPECT_EQ(interface::ScanRead(ctx(), buffer.data(), static_cast<int32_t>(buffer.size()), &got), 2);
    EXPECT_EQ(got, 1100 * 1892);
    const auto& lines = rig.LastScanLines();
    EXPECT_GE(lines.size(), 1893u);
    EXPECT_LE(lines.size(), 1900u);
}

}  // namespace
}  // namespace ordavel::engine
