// Gamma tables reaching a scripted controller's table memory, and the download's retry.
#include <gtest/gtest.h>

#include <string>

#include "driver/description/gamma_tables.h"
#include "driver/device/transport.h"
#include "tests/support/conversation.h"
#include "tests/support/test_context.h"

namespace ordavel::description {
namespace {

using test::MemoryTables;
using test::PipeCall;
using test::TestContext;
using test::ScriptedPipe;

class GammaDownload : public ::testing::Test {
protected:
    GammaDownload() : pipe(scratch.AttachScanner()) {
        EXPECT_TRUE(device::Open(scratch.ctx(), u"Mirt", u"Mirt Sheet Scanner"));
    }
    TestContext scratch{"gammadl"};
    ScriptedPipe& pipe;
};

TEST_F(GammaDownload, DefaultTablesReachTheThreeChannelMemories) {
    ASSERT_TRUE(LoadGammaTables(scratch.ctx(), 8));
    const auto tables = MemoryTables(pipe);
    ASSERT_EQ(tables.size(), 3u);
    const uint8_t selects[3] = {2, 6, 10};
    for (int c = 0; c < 3; ++c) {
        EXPECT_EQ(tables[c].select, selects[c]);
        ASSERT_EQ(tables[c].bytes.size(), 4096u);
        for (int i = 0; i < 4096; ++i) ASSERT_EQ(tables[c].bytes[static_cast<std::size_t>(i)], i / 16) << i;
    }
    // The controller is stopped before and after the download.
    const auto& writes = pipe.RegisterWrites();
    EXPECT_EQ(writes.front(), (std::pair<uint8_t, uint8_t>{0x07, 0}));
    EXPECT_EQ(writes.back(), (std::pair<uint8_t, uint8_t>{0x07, 0}));
    EXPECT_TRUE(scratch.messages().empty());
}

TEST_F(GammaDownload, ClientFileOfTheMarkedScanIsWhatArrives) {
    scratch.writeSettings("[TWAINSCAN]\nTwainScan=0\n");
    std::string text = ";c\n;b\n;g\n;h\n;s\n";
    const char* headers[] = {";Gamma Data (red)\n", ";Gamma Data (green)\n", ";Gamma Data (blue)\n", ";Gamma Data (all)\n"};
    for (int c = 0; c < 4; ++c) {
        text += headers[c];
        char line[24];
        for (int i = 0; i < 4096; ++i) {
            std::snprintf(line, sizeof line, "%x\t%x\n", i, (i + 40 * c) & 0xFF);
            text += line;
        }
    }
    scratch.writeFile(scratch.tempDir() + "/gamma_1a.gam", text);
    ASSERT_TRUE(LoadGammaTables(scratch.ctx(), 1));
    const auto tables = MemoryTables(pipe);
    ASSERT_EQ(tables.size(), 3u);
    for (int c = 0; c < 3; ++c) {
        for (int i = 0; i < 4096; ++i) ASSERT_EQ(tables[c].bytes[static_cast<std::size_t>(i)], (i + 40 * c) & 0xFF);
    }
}

TEST_F(GammaDownload, FirstFailureIsRetriedFromTheStartOfTheFile) {
    // The first table's memory transfer fails all ten attempts; the retry succeeds.
    // Every attempt at the block starts at the table's first word (04, 05, then the block), so
    // the ten failures fall on the first address write.
    pipe.FailCalls(PipeCall::Write, 4, 10);  // 07, its read-back, 03, then 04
    EXPECT_TRUE(LoadGammaTables(scratch.ctx(), 8));
    const auto tables = MemoryTables(pipe);
    ASSERT_GE(tables.size(), 3u);
    const std::size_t last = tables.size() - 1;
    for (std::size_t c = last - 2; c <= last; ++c) {
        ASSERT_EQ(tables[c].bytes.size(), 4096u);
        EXPECT_EQ(tables[c].bytes[4095], 0xFF);
    }
    EXPECT_EQ(scratch.messages(), std::vector<std::string>{"Write Register failed! 04=00"});
}

TEST_F(GammaDownload, SecondFailureIsReported) {
    pipe.FailCalls(PipeCall::Write, 1, 1000);
    EXPECT_FALSE(LoadGammaTables(scratch.ctx(), 8));
    EXPECT_EQ(scratch.messages().back(), "Error verifying gamma table!");
}

}  // namespace
}  // namespace ordavel::description
