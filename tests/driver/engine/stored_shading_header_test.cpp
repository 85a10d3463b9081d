// The stored-shading download finds the black line after the black file's header, whatever its
// length.
#include <gtest/gtest.h>

#include <string>

#include "driver/device/transport.h"
#include "driver/engine/scan_setup.h"
#include "tests/support/conversation.h"
#include "tests/support/hand_description.h"
#include "tests/support/test_context.h"
#include "tests/support/param_names.h"

namespace ordavel::engine {
namespace {

std::string Words(int seed) {
    std::string bytes;
    for (int x = 0; x < kStoredShadingLineBytes / 2; ++x) {
        bytes.push_back(static_cast<char>((x + seed) >> 4));
        bytes.push_back(static_cast<char>(x * 7 + seed));
    }
    return bytes;
}

class StoredBlackLine : public ::testing::TestWithParam<const char*> {};

TEST_P(StoredBlackLine, StartsRightAfterTheHeader) {
    test::TestContext scratch{"blackline"};
    test::ScriptedPipe& pipe = scratch.AttachScanner();
    DriverContext& ctx = scratch.ctx();
    ctx.description = test::HandDescription(1);
    ASSERT_TRUE(device::Open(ctx, u"Mirt", u"Mirt Sheet Scanner"));
    scratch.writeSettings("[GAIN_OFFSET]\nstartpixel=150\n");
    ctx.engine.parms.startpixel = 150;
    const std::string line = Words(3);
    scratch.writeFile(scratch.tempDir() + "/BlackFINE.PXL", std::string(GetParam()) + line + "\x01\x02" + line);
    scratch.writeFile(scratch.tempDir() + "/cr.dat", std::string("v2\n\x90\x06\0\0", 7) + Words(1) + Words(2) + Words(5));

    ASSERT_TRUE(DownloadStoredShading(ctx));
    const auto tables = test::MemoryTables(pipe);
    ASSERT_EQ(tables.size(), 6u);
    EXPECT_EQ(std::string(tables[0].bytes.begin(), tables[0].bytes.end()), line);
}

INSTANTIATE_TEST_SUITE_P(Headers, StoredBlackLine,
                         ::testing::Values("v2\n1680\n0.00\n0\n4\n4\n31\n200\n200\n2\n",    // 32 bytes: a 31-line strip
                                           "v2\n1680\n0.00\n0\n4\n4\n100\n200\n200\n2\n",   // 33 bytes
                                           "v2\n1680\n0.00\n0\n4\n4\n1\n200\n200\n2\n",     // 31 bytes
                                           "v1\n1680\n0.00\n0\n4\n4\n31\n200\n200\n"), ::ordavel::test::ReadableName{});    // version 1: 9 lines

}  // namespace
}  // namespace ordavel::engine
