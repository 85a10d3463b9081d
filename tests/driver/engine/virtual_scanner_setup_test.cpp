// Initialisation, set-up and table downloads end to end against the reference virtual scanner,
// with the reference description loaded from its file.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "driver/description/description_loader.h"
#include "driver/description/gamma_tables.h"
#include "driver/description/register_programming.h"
#include "driver/device/transport.h"
#include "driver/engine/scan_setup.h"
#include "tests/support/test_context.h"
#include "tests/support/test_paths.h"
#include "virtual/virtual_backend.h"
#include "virtual/virtual_scanner.h"

namespace ordavel::engine {
namespace {

using test::TestContext;

class AgainstVirtualScanner : public ::testing::Test {
protected:
    AgainstVirtualScanner() {
        std::string error;
        scanner = virtual_scanner::LoadVirtualScanner(test::DataDir() + "/virtual/reference.ini",
                                                      scratch.sharedClock(), error);
        EXPECT_TRUE(scanner) << error;
        scratch.devices().addBackend(virtual_scanner::MakeVirtualScannerBackend(scanner));
        scratch.writeSettings("[SETUP]\nScannerFile=Mirt9832.dsc\nScan_Buffer_MBytes=8\n");
        scratch.writeFile(scratch.tempDir() + "/Mirt9832.dsc", scratch.readFile(test::DataDir() + "/Mirt9832.dsc"));
        ScanRequest& r = ctx().engine.request;
        r.bedRight = 1680;
        r.bedBottom = 2340;
        r.scanRectLeft = 284;
        r.scanRectRight = 1384;
        r.scanRectBottom = 1892;
        r.pixelType = 1;
        r.bitDepth = 8;
        r.xResolution = 200;
        r.yResolution = 200;
        EXPECT_TRUE(description::LoadScannerDescription(ctx())) << ctx().record.messageText;
    }
    ~AgainstVirtualScanner() override {
        if (scanner) {
            EXPECT_TRUE(scanner->observations().protocolErrors.empty());
        }
    }

    DriverContext& ctx() { return scratch.ctx(); }

    // The table behind memory select `select`, read back through the memory data port.
    std::vector<uint8_t> ReadTable(uint8_t select, std::size_t bytes) {
        std::vector<uint8_t> table(bytes);
        EXPECT_TRUE(device::WriteRegister(ctx(), 0x03, select));
        EXPECT_TRUE(device::ReadBlock(ctx(), 0x06, table));
        return table;
    }

    TestContext scratch{"virtual"};
    std::shared_ptr<virtual_scanner::VirtualScanner> scanner;
};

TEST_F(AgainstVirtualScanner, InitialisationProgramsTheChipAndWarmsTheLampOnce) {
    const uint32_t start = scratch.clock().tickCount();
    ASSERT_TRUE(description::InitUSB(ctx(), true)) << ctx().record.messageText;
    EXPECT_GE(scratch.clock().tickCount() - start, 10000u) << "the lamp was off at power-up";
    EXPECT_EQ(scanner->peekRegister(0x08), 10);
    EXPECT_EQ(scanner->peekRegister(0x29) & 3, 1);
    EXPECT_EQ(scanner->peekRegister(0x20) * 256 + scanner->peekRegister(0x21), 2006);
    EXPECT_EQ(scanner->peekRegister(0x46) * 256 + scanner->peekRegister(0x47), 503);
    EXPECT_EQ(scanner->peekRegister(0x4E), 138);
    EXPECT_EQ(scanner->peekRegister(0x07), 0);

    const uint32_t again = scratch.clock().tickCount();
    ASSERT_TRUE(description::InitUSB(ctx(), true));
    EXPECT_LT(scratch.clock().tickCount() - again, 1000u);
}

TEST_F(AgainstVirtualScanner, GeometrySetUpReadsBackTheClientWindow) {
    ASSERT_TRUE(description::InitUSB(ctx(), false));
    description::RegisterImage image;
    ASSERT_TRUE(SetUpScanJob(ctx(), image, "compute.pxl", false)) << ctx().record.messageText;
    const ScanParms& p = ctx().engine.parms;
    EXPECT_EQ(p.startpixel, 434);
    EXPECT_EQ(p.endpixel, 1534);
    EXPECT_EQ(p.pixelsperline, 1100);
    EXPECT_EQ(p.bytesperline, 1102);
    EXPECT_EQ(p.lines, 1892);
    EXPECT_EQ(p.hres, 200);
    EXPECT_EQ(scanner->peekRegister(0x4B), 15);
}

TEST_F(AgainstVirtualScanner, GammaTablesInTheControllerAreWhatTheFileSays) {
    // Short tables in the driver's format: each is stretched fourfold.
    std::string text;
    const char* headers[] = {";Gamma Data (red)\n", ";Gamma Data (green)\n", ";Gamma Data (blue)\n"};
    for (int c = 0; c < 3; ++c) {
        text += headers[c];
        for (int i = 0; i < 1024; ++i) {
            char line[24];
            std::snprintf(line, sizeof line, "%X\t%X\n", i, (i * (c + 1)) & 0xFF);
            text += line;
        }
    }
    scratch.writeFile(scratch.tempDir() + "/gamma_8.gam", text);
    ASSERT_TRUE(description::InitUSB(ctx(), false));
    ASSERT_TRUE(description::LoadGammaTables(ctx(), 8)) << ctx().record.messageText;
    for (int c = 0; c < 3; ++c) {
        const std::vector<uint8_t> table = ReadTable(static_cast<uint8_t>(4 * c + 2), 4096);
        for (int i = 0; i < 4096; ++i) ASSERT_EQ(table[static_cast<std::size_t>(i)], ((i / 4) * (c + 1)) & 0xFF) << c << " " << i;
    }
}

TEST_F(AgainstVirtualScanner, StoredShadingReachesTheShadingMemory) {
    std::string coefficients = std::string("v2\n") + std::string("\x90\x06\0\0", 4);
    for (int c = 0; c < 3; ++c) {
        for (int x = 0; x < 1680; ++x) {
            const int word = 0x3000 + 16 * x + c;
            coefficients += static_cast<char>(word >> 8);
            coefficients += static_cast<char>(word & 0xFF);
        }
    }
    scratch.writeFile(scratch.tempDir() + "/cr.dat", coefficients);
    scratch.writeFile(scratch.tempDir() + "/BlackFINE.PXL", std::string(33, 'h') + std::string(3360, '\x01'));
    scratch.writeSettings("[SETUP]\nScannerFile=Mirt9832.dsc\n[GAIN_OFFSET]\nstartpixel=150\n");
    ASSERT_TRUE(description::InitUSB(ctx(), false));
    ctx().engine.parms.startpixel = 434;
    ASSERT_TRUE(DownloadStoredShading(ctx())) << ctx().record.messageText;
    EXPECT_EQ(scanner->peekRegister(0x42) & 7, 6);
    for (int c = 0; c < 3; ++c) {
        const std::vector<uint8_t> gains = ReadTable(static_cast<uint8_t>(4 * c + 1), 3360);
        for (int x = 0; x < 1680; ++x) {
            // Window pixel x is calibrated pixel x + 284; past the calibrated line the last
            // calibrated word repeats.
            const int word = 0x3000 + 16 * std::min(x + 284, 1679) + c;
            ASSERT_EQ(gains[static_cast<std::size_t>(2 * x)] * 256 + gains[static_cast<std::size_t>(2 * x + 1)], word)
                << c << " " << x;
        }
        EXPECT_EQ(ReadTable(static_cast<uint8_t>(4 * c), 3360), std::vector<uint8_t>(3360, 1));
    }
}

}  // namespace
}  // namespace ordavel::engine
