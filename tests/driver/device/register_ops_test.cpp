// Register writes and reads: the command register's read-back, the reads that follow the sensor
// configuration and running commands, and registers that answer nothing.
#include <gtest/gtest.h>

#include <cstdio>
#include <vector>

#include "driver/device/transport.h"
#include "tests/support/test_context.h"
#include "tests/support/param_names.h"

namespace ordavel::test {
namespace {

using Bytes = std::vector<uint8_t>;

// Operations and addresses of the commands the device carried out, e.g. "W58 R02 R02".
std::string Conversation(const ScriptedPipe& pipe) {
    std::string out;
    for (const PipeCommand& c : pipe.Commands()) {
        char item[8];
        std::snprintf(item, sizeof item, "%s%c%02X", out.empty() ? "" : " ", c.isRead() ? 'R' : 'W', c.address);
        out += item;
    }
    return out;
}

class RegisterOpsTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(rig.Open()); }
    TestContext rig{ScriptedDevice{}};
    DriverContext& ctx = rig.ctx();
    ScriptedPipe& pipe = rig.pipe();
};

TEST_F(RegisterOpsTest, OrdinaryRegisterIsOneFixedOneBytePacket) {
    ASSERT_TRUE(device::WriteRegister(ctx, 0x49, 0x10));
    EXPECT_EQ(pipe.Writes(), (std::vector<Bytes>{{0x00, 0x49, 0x00, 0x01, 0x10}}));
    EXPECT_EQ(Conversation(pipe), "W49");
}

TEST_F(RegisterOpsTest, SensorConfigurationIsFollowedByTwoStatusReads) {
    ASSERT_TRUE(device::WriteRegister(ctx, 0x58, 0x2A));
    EXPECT_EQ(Conversation(pipe), "W58 R02 R02");
}

TEST_F(RegisterOpsTest, SensorConfigurationFailsWhenAStatusReadFails) {
    pipe.FailCalls(PipeCall::Read, 2, 10);
    EXPECT_FALSE(device::WriteRegister(ctx, 0x58, 0x2A));
    EXPECT_STREQ(ctx.record.messageText, "Read Register failed! 02");
}

TEST_F(RegisterOpsTest, CommandThatNeverReadsBackFailsAfter100Writes) {
    pipe.ScriptReads(0x07, {0xAA});
    EXPECT_FALSE(device::WriteRegister(ctx, 0x07, 0x03));
    EXPECT_EQ(pipe.RegisterWrites().size(), 100u);
    EXPECT_EQ(pipe.ReadsOf(0x07), 100u);
    EXPECT_EQ(pipe.ReadsOf(0x45), 0u);
    EXPECT_STREQ(ctx.record.messageText, "Write Register failed! 07=03");
}

TEST_F(RegisterOpsTest, CommandIsRewrittenUntilItReadsBack) {
    pipe.ScriptReads(0x07, {0x00, 0x00, 0x01});
    ASSERT_TRUE(device::WriteRegister(ctx, 0x07, 0x01));
    EXPECT_EQ(Conversation(pipe), "W07 R07 W07 R07 W07 R07 R45");
}

TEST_F(RegisterOpsTest, FailedCommandReadBackFails) {
    pipe.LimitAnswers(0x07, 0);
    EXPECT_FALSE(device::WriteRegister(ctx, 0x07, 0x00));
    EXPECT_STREQ(ctx.record.messageText, "Read Register failed! 07");
}

// Commands with any of the low three bits set are followed by a read of register 0x45.
class CommandFollowUpTest : public RegisterOpsTest, public ::testing::WithParamInterface<std::pair<uint8_t, bool>> {};

TEST_P(CommandFollowUpTest, Register45IsReadAfterRunningCommands) {
    const auto [command, reads45] = GetParam();
    ASSERT_TRUE(device::WriteRegister(ctx, 0x07, command));
    EXPECT_EQ(Conversation(pipe), reads45 ? "W07 R07 R45" : "W07 R07");
}

INSTANTIATE_TEST_SUITE_P(Commands, CommandFollowUpTest,
                         ::testing::Values(std::pair<uint8_t, bool>{0x00, false}, std::pair<uint8_t, bool>{0x01, true},
                                           std::pair<uint8_t, bool>{0x03, true}, std::pair<uint8_t, bool>{0x04, true},
                                           std::pair<uint8_t, bool>{0x05, true}, std::pair<uint8_t, bool>{0x08, false},
                                           std::pair<uint8_t, bool>{0x20, false}, std::pair<uint8_t, bool>{0x27, true}), ::ordavel::test::ReadableName{});

TEST_F(RegisterOpsTest, ReadRegisterReturnsTheScriptedValues) {
    pipe.ScriptReads(0x02, {0x02, 0x03});
    uint8_t value = 0;
    std::vector<uint8_t> seen;
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(device::ReadRegister(ctx, 0x02, value));
        seen.push_back(value);
    }
    EXPECT_EQ(seen, (Bytes{0x02, 0x03, 0x03}));
    EXPECT_EQ(pipe.Writes().back(), (Bytes{0x01, 0x02, 0x00, 0x01}));
}

// A register that answers with no bytes has failed: the read is retried and reported, never
// handed back as a value.
TEST_F(RegisterOpsTest, RegisterAnsweringNothingIsAFailedRead) {
    pipe.LimitAnswers(0x02, 0);
    uint8_t value = 0x5A;
    EXPECT_FALSE(device::ReadRegister(ctx, 0x02, value));
    EXPECT_EQ(value, 0x5A);
    EXPECT_EQ(pipe.ReadsOf(0x02), 10u);
    EXPECT_STREQ(ctx.record.messageText, "Read Register failed! 02");
}

TEST_F(RegisterOpsTest, RegisterBlockFailureLeavesZeroesAndItsMessage) {
    pipe.SetRegister(0x20, 0x77);
    pipe.LimitAnswers(0x07, 60);  // half a block, then nothing for the rest
    pipe.LimitAnswers(0x07 + 60, 0);
    description::RegisterImage image;
    image[0x20] = 5;
    EXPECT_FALSE(device::ReadRegisterBlock(ctx, image));
    EXPECT_EQ(image, description::RegisterImage{});
    EXPECT_STREQ(ctx.record.messageText, "BulkIn failed! 07");
}

}  // namespace
}  // namespace ordavel::test
