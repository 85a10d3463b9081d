// Blocks to and from an address: the memory port's address reset, the white prefill, the end of
// the data port's data, and read-back verification.
#include <gtest/gtest.h>

#include <vector>

#include "driver/device/transport.h"
#include "tests/support/test_context.h"

namespace ordavel::test {
namespace {

using Bytes = std::vector<uint8_t>;
using Writes = std::vector<std::pair<uint8_t, uint8_t>>;

class BlockOpsTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(rig.Open()); }
    TestContext rig{ScriptedDevice{}};
    DriverContext& ctx = rig.ctx();
    ScriptedPipe& pipe = rig.pipe();
};

TEST_F(BlockOpsTest, MemoryPortBlockResetsTheMemoryAddressFirst) {
    pipe.SetRegister(0x04, 0x12);
    pipe.SetRegister(0x05, 0x34);
    ASSERT_TRUE(device::SendBlock(ctx, 0x06, Bytes{7, 8, 9}));
    EXPECT_EQ(pipe.RegisterWrites(), (Writes{{0x04, 0}, {0x05, 0}, {0x06, 7}, {0x06, 8}, {0x06, 9}}));
    EXPECT_EQ(pipe.MemoryWrites(), (Bytes{7, 8, 9}));

    Bytes readBack(2, 0);
    ASSERT_TRUE(device::ReadBlock(ctx, 0x06, readBack));
    EXPECT_EQ(pipe.RegisterWrites().size(), 7u);  // the address reset again, nothing else written
    EXPECT_EQ(pipe.Commands().back().address, 0x06);
}

TEST_F(BlockOpsTest, EmptyBlocksMoveNothing) {
    ctx.record.verifyWrites = 1;
    EXPECT_TRUE(device::SendBlock(ctx, 0x06, {}));
    EXPECT_TRUE(device::ReadBlock(ctx, 0x06, {}));
    EXPECT_EQ(pipe.CallTrace(), "");
}

TEST_F(BlockOpsTest, ShortDataIsCompletedWithWhiteAndEndsTheData) {
    const Bytes data(100, 0x3C);
    pipe.QueueData(data);
    Bytes buffer(300, 0);
    ASSERT_TRUE(device::ReadBlock(ctx, 0x00, buffer));
    EXPECT_EQ(Bytes(buffer.begin(), buffer.begin() + 100), data);
    EXPECT_EQ(Bytes(buffer.begin() + 100, buffer.end()), Bytes(200, 0xFF));
    EXPECT_EQ(ctx.record.dataEnded, 1);

    // Until the next feed, further data reads are white and never reach the device.
    const std::string before = pipe.CallTrace();
    pipe.QueueData(Bytes(50, 0x11));
    Bytes later(50, 0);
    ASSERT_TRUE(device::ReadBlock(ctx, 0x00, later));
    EXPECT_EQ(later, Bytes(50, 0xFF));
    EXPECT_EQ(pipe.CallTrace(), before);

    // Other addresses are still read.
    Bytes reg(1, 0);
    pipe.SetRegister(0x08, 0x44);
    ASSERT_TRUE(device::ReadBlock(ctx, 0x08, reg));
    EXPECT_EQ(reg[0], 0x44);
}

// A failed transfer is not the end of the data: it is retried, and when it keeps failing it is
// reported without marking the data as ended.
TEST_F(BlockOpsTest, FailedDataReadIsRetriedAndNeverEndsTheData) {
    pipe.QueueData(Bytes(64, 0x21));
    pipe.FailCalls(PipeCall::Read, 1, 1);
    Bytes buffer(64, 0);
    ASSERT_TRUE(device::ReadBlock(ctx, 0x00, buffer));
    EXPECT_EQ(buffer, Bytes(64, 0x21));
    EXPECT_EQ(ctx.record.dataEnded, 0);

    pipe.FailCalls(PipeCall::Read, 1, 1000);
    Bytes more(100, 0);
    EXPECT_FALSE(device::ReadBlock(ctx, 0x00, more));
    EXPECT_EQ(more, Bytes(100, 0xFF));
    EXPECT_EQ(ctx.record.dataEnded, 0);
    EXPECT_STREQ(ctx.record.messageText, "BulkIn failed!address  0 COUNT 64");
}

TEST_F(BlockOpsTest, SendFailureIsReported) {
    pipe.FailCalls(PipeCall::Write, 1, 10);
    EXPECT_FALSE(device::SendBlock(ctx, 0x2C, Bytes{1}));
    EXPECT_STREQ(ctx.record.messageText, "Bulk Out failed! 2C");
}

// Read-back verification only with Debug on, and only above the command register.
struct VerifyCase {
    uint8_t address;
    int32_t verify;
    bool readBack;
};

class VerifyTest : public BlockOpsTest, public ::testing::WithParamInterface<VerifyCase> {};

TEST_P(VerifyTest, ReadsBackOnlyOrdinaryRegisters) {
    const VerifyCase& c = GetParam();
    ctx.record.verifyWrites = c.verify;
    ASSERT_TRUE(device::SendBlock(ctx, c.address, Bytes{0x5A, 0x5A}));
    EXPECT_EQ(pipe.ReadsOf(c.address), c.readBack ? 1u : 0u);
}

INSTANTIATE_TEST_SUITE_P(Addresses, VerifyTest,
                         ::testing::Values(VerifyCase{0x06, 1, false}, VerifyCase{0x07, 1, false},
                                           VerifyCase{0x08, 1, true}, VerifyCase{0x08, 0, false},
                                           VerifyCase{0x30, 5, true}));

TEST_F(BlockOpsTest, VerificationReportsTheFirstDifference) {
    ctx.record.verifyWrites = 1;
    pipe.ScriptReads(0x08, {0x01, 0x02, 0x09, 0x0A});
    EXPECT_FALSE(device::SendBlock(ctx, 0x08, Bytes{0x01, 0x02, 0x03, 0x04}));
    EXPECT_STREQ(ctx.record.messageText, "Verify error: addr=8,write=3,read=9");
}

TEST_F(BlockOpsTest, VerificationFailsWhenTheReadBackFails) {
    ctx.record.verifyWrites = 1;
    pipe.FailCalls(PipeCall::Read, 1, 10);
    EXPECT_FALSE(device::SendBlock(ctx, 0x08, Bytes{1}));
    EXPECT_STREQ(ctx.record.messageText, "BulkIn failed!address  8 COUNT  1");
}

// Blocks longer than the verification buffer are compared piece by piece.
TEST_F(BlockOpsTest, LongBlocksAreVerifiedInPieces) {
    ctx.record.verifyWrites = 1;
    const Bytes data(40'000, 0x5A);
    ASSERT_TRUE(device::SendBlock(ctx, 0x30, data));
    EXPECT_EQ(pipe.ReadRequests(), (std::vector<std::size_t>{32'768, 7'232}));

    Bytes answers(32'768 + 5, 0x5A);
    answers.push_back(0x11);
    pipe.ScriptReads(0x30, answers);
    EXPECT_FALSE(device::SendBlock(ctx, 0x30, data));
    EXPECT_STREQ(ctx.record.messageText, "Verify error: addr=30,write=5a,read=11");
}

}  // namespace
}  // namespace ordavel::test
