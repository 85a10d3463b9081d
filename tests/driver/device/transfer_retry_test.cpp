// Whole-transfer retries under injected lock, write and read failures: ten attempts, the lock
// taken and released around each, and the message a failure leaves.
#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "driver/device/transport.h"
#include "tests/support/test_context.h"

namespace ordavel::test {
namespace {

std::string Repeat(const std::string& text, int times) {
    std::string out;
    for (int i = 0; i < times; ++i) out += text;
    return out;
}

struct RetryCase {
    const char* name;
    std::function<bool(DriverContext&)> operation;
    PipeCall failing;
    std::size_t firstFailure;
    std::size_t failures;
    std::string trace;
    bool result;
    const char* message;  // what the status text must be afterwards
};

bool WriteRegister10(DriverContext& ctx) { return device::WriteRegister(ctx, 0x10, 0x55); }
bool ReadRegister2(DriverContext& ctx) {
    uint8_t value = 0;
    return device::ReadRegister(ctx, 0x02, value);
}
// 70,000 bytes need two bulk writes.
bool SendTwoBuffers(DriverContext& ctx) {
    const std::vector<uint8_t> data(70'000, 0x42);
    return device::SendBlock(ctx, 0x20, data);
}

class TransferRetryTest : public ::testing::TestWithParam<RetryCase> {};

TEST_P(TransferRetryTest, RetriesWholeTransfersTenTimes) {
    const RetryCase& c = GetParam();
    TestContext rig{ScriptedDevice{}};
    ASSERT_TRUE(rig.Open());
    rig.pipe().FailCalls(c.failing, c.firstFailure, c.failures);
    EXPECT_EQ(c.operation(rig.ctx()), c.result);
    EXPECT_EQ(rig.pipe().CallTrace(), c.trace);
    EXPECT_STREQ(rig.ctx().record.messageText, c.message);
    EXPECT_FALSE(rig.pipe().Locked());
    EXPECT_TRUE(rig.pipe().ProtocolErrors().empty()) << rig.pipe().ProtocolErrors()[0];
}

INSTANTIATE_TEST_SUITE_P(
    Failures, TransferRetryTest,
    ::testing::Values(
        RetryCase{"LockNineTimes", WriteRegister10, PipeCall::Lock, 1, 9, Repeat("l", 9) + "LWU", true, ""},
        RetryCase{"LockAlways", WriteRegister10, PipeCall::Lock, 1, 100, Repeat("l", 10), false,
                  "Write Register failed! 10=55"},
        RetryCase{"WriteNineTimes", WriteRegister10, PipeCall::Write, 1, 9, Repeat("LwU", 9) + "LWU", true, ""},
        RetryCase{"WriteAlways", WriteRegister10, PipeCall::Write, 1, 100, Repeat("LwU", 10), false,
                  "Write Register failed! 10=55"},
        RetryCase{"ReadHeaderOnce", ReadRegister2, PipeCall::Write, 1, 1, "LwULWRU", true, ""},
        RetryCase{"ReadNineTimes", ReadRegister2, PipeCall::Read, 1, 9, Repeat("LWrU", 9) + "LWRU", true, ""},
        RetryCase{"ReadAlways", ReadRegister2, PipeCall::Read, 1, 100, Repeat("LWrU", 10), false,
                  "Read Register failed! 02"},
        RetryCase{"FirstBufferFailsSkipsSecond", SendTwoBuffers, PipeCall::Write, 1, 1, "LwULWWU", true, ""},
        RetryCase{"SecondBufferFails", SendTwoBuffers, PipeCall::Write, 2, 1, "LWwULWWU", true, ""},
        RetryCase{"BlockAlways", SendTwoBuffers, PipeCall::Write, 1, 100, Repeat("LwU", 10), false,
                  "Bulk Out failed! 20"}),
    [](const auto& test) { return std::string(test.param.name); });

TEST(TransferRetry, ZeroLengthWriteSendsNothingAndReturnsTheLockResult) {
    TestContext rig{ScriptedDevice{}};
    ASSERT_TRUE(rig.Open());
    EXPECT_TRUE(device::RawWrite(rig.ctx(), 0x20, {}, false));
    EXPECT_EQ(rig.pipe().CallTrace(), "LU");
    rig.pipe().FailCalls(PipeCall::Lock, 2, 100);
    EXPECT_FALSE(device::RawWrite(rig.ctx(), 0x20, {}, false));
    EXPECT_EQ(rig.pipe().CallTrace(), "LU" + Repeat("l", 10));
}

TEST(TransferRetry, NoOpenDeviceFailsEveryPrimitiveAtOnce) {
    TestContext rig{ScriptedDevice{}};
    DriverContext& ctx = rig.ctx();
    std::vector<uint8_t> buffer(8, 0);
    uint8_t value = 0;
    description::RegisterImage image;
    EXPECT_FALSE(device::IsOpen(ctx));
    EXPECT_FALSE(device::RawWrite(ctx, 0x10, buffer, false));
    EXPECT_FALSE(device::RawRead(ctx, 0x10, buffer, false, nullptr));
    EXPECT_FALSE(device::WriteRegister(ctx, 0x07, 0));
    EXPECT_FALSE(device::ReadRegister(ctx, 0x02, value));
    EXPECT_FALSE(device::SendBlock(ctx, 0x06, buffer));
    EXPECT_FALSE(device::ReadBlock(ctx, 0x00, buffer));
    EXPECT_FALSE(device::ReadRegisterBlock(ctx, image));
    EXPECT_EQ(rig.pipe().CallTrace(), "");
    EXPECT_EQ(rig.clock().tickCount(), 0u);
}

}  // namespace
}  // namespace ordavel::test
