// Waiting for the controller to go idle in virtual time, and the paper-empty check.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include <limits>
#include <vector>

#include "driver/device/paper_path.h"
#include "tests/support/test_context.h"
#include "tests/support/param_names.h"

namespace ordavel::test {
namespace {

using Bytes = std::vector<uint8_t>;

// Every transfer costs 1 ms, so one poll of the command register (header + answer) costs 2 ms.
struct LimitCase {
    double scannerLength;
    double maxSpeed;
    std::size_t polls;
    uint32_t elapsedMs;
};

class IdleLimitTest : public ::testing::TestWithParam<LimitCase> {};

TEST_P(IdleLimitTest, GivesUpAtTheComputedLimit) {
    const LimitCase& c = GetParam();
    TestContext rig(ScriptedDevice{.scannerLength = c.scannerLength, .maxSpeed = c.maxSpeed});
    ASSERT_TRUE(rig.Open());
    rig.pipe().ScriptReads(0x07, {0x01});
    EXPECT_FALSE(device::WaitForIdle(rig.ctx()));
    EXPECT_EQ(rig.pipe().ReadsOf(0x07), c.polls);
    EXPECT_EQ(rig.clock().tickCount(), c.elapsedMs);
    EXPECT_TRUE(rig.pipe().RegisterWrites().empty());
}

INSTANTIATE_TEST_SUITE_P(Limits, IdleLimitTest,
                         ::testing::Values(LimitCase{14, 4, 2375, 4750},      // 4,750 ms
                                           LimitCase{11.7, 3, 2783, 5566},    // 5,566.67 truncated
                                           LimitCase{1, 7, 429, 858},         // 857 ms: the last poll starts at 856
                                           LimitCase{0, 0, 0, 0},             // no speed: no wait at all
                                           LimitCase{14, -4, 0, 0},
                                           LimitCase{-6, 1, 0, 0},
                                           LimitCase{14, std::numeric_limits<double>::quiet_NaN(), 0, 0}));

// The poll that starts 2 ms before the limit still counts; the one at the limit never happens.
class IdleBoundaryTest : public ::testing::TestWithParam<std::pair<std::size_t, bool>> {};

TEST_P(IdleBoundaryTest, IdleSeenBeforeTheLimitSucceeds) {
    const auto [busyPolls, idle] = GetParam();
    TestContext rig(ScriptedDevice{.scannerLength = 14, .maxSpeed = 4});
    ASSERT_TRUE(rig.Open());
    Bytes readings(busyPolls, 0x02);
    readings.push_back(0x00);
    rig.pipe().ScriptReads(0x07, readings);
    EXPECT_EQ(device::WaitForIdle(rig.ctx()), idle);
}

INSTANTIATE_TEST_SUITE_P(Boundary, IdleBoundaryTest,
                         ::testing::Values(std::pair<std::size_t, bool>{0, true},
                                           std::pair<std::size_t, bool>{2374, true},
                                           std::pair<std::size_t, bool>{2375, false}), ::ordavel::test::ReadableName{});

TEST(WaitForIdle, KeepsItsLengthWhenTheTickCountWraps) {
    TestContext rig(ScriptedDevice{.scannerLength = 14, .maxSpeed = 4});
    ASSERT_TRUE(rig.Open());
    const uint64_t start = (uint64_t{1} << 32) * 1000 - 1'000'000;  // one second before the wrap
    rig.clock().advanceMicroseconds(start);
    rig.pipe().ScriptReads(0x07, {0x01});
    EXPECT_FALSE(device::WaitForIdle(rig.ctx()));
    EXPECT_EQ(rig.clock().microseconds() - start, 4'750'000u);
}

// Scans and register programming are stopped; anything else is polled until it ends.
class IdleStopTest : public ::testing::TestWithParam<std::pair<uint8_t, bool>> {};

TEST_P(IdleStopTest, StopsOnlyCommandsThatDoNotEndByThemselves) {
    const auto [command, stopped] = GetParam();
    TestContext rig{ScriptedDevice{}};
    ASSERT_TRUE(rig.Open());
    rig.pipe().ScriptReads(0x07, {command, 0x00});
    EXPECT_TRUE(device::WaitForIdle(rig.ctx()));
    using Writes = std::vector<std::pair<uint8_t, uint8_t>>;
    const Writes expected = stopped ? Writes{{0x07, 0x00}} : Writes{};
    EXPECT_EQ(rig.pipe().RegisterWrites(), expected);
}

INSTANTIATE_TEST_SUITE_P(Commands, IdleStopTest,
                         ::testing::Values(std::pair<uint8_t, bool>{0x01, false}, std::pair<uint8_t, bool>{0x02, false},
                                           std::pair<uint8_t, bool>{0x03, true}, std::pair<uint8_t, bool>{0x04, false},
                                           std::pair<uint8_t, bool>{0x05, false}, std::pair<uint8_t, bool>{0x1F, false},
                                           std::pair<uint8_t, bool>{0x20, true}, std::pair<uint8_t, bool>{0xFF, true}), ::ordavel::test::ReadableName{});

struct EmptyCase {
    uint8_t sensors;
    int32_t empty;
    const char* message;
};

class PaperEmptyTest : public ::testing::TestWithParam<EmptyCase> {};

TEST_P(PaperEmptyTest, ReadsTheSensors) {
    const EmptyCase& c = GetParam();
    TestContext rig{ScriptedDevice{}};
    ASSERT_TRUE(rig.Open());
    rig.pipe().ScriptReads(0x02, {c.sensors});
    int32_t empty = -1;
    EXPECT_TRUE(device::CheckPaperEmpty(rig.ctx(), empty));
    EXPECT_EQ(empty, c.empty);
    EXPECT_STREQ(rig.ctx().record.messageText, c.message);
}

INSTANTIATE_TEST_SUITE_P(Sensors, PaperEmptyTest,
                         ::testing::Values(EmptyCase{0x03, 0, "扫描下一张"}, EmptyCase{0x01, 0, "扫描下一张"},
                                           EmptyCase{0x02, 0, "扫描下一张"}, EmptyCase{0x00, 1, ""},
                                           EmptyCase{0x04, 1, ""},
                                           // The last sheet left the tray and waits in the rollers.
                                           EmptyCase{0x05, 0, "扫描下一张"}, EmptyCase{0x07, 0, "扫描下一张"}),
                         [](const ::testing::TestParamInfo<EmptyCase>& param) {
                             char name[16];
                             std::snprintf(name, sizeof name, "Status%02X", param.param.sensors);
                             return std::string(name);
                         });

TEST(PaperEmpty, FailuresLeaveTheirEmptyValues) {
    TestContext rig{ScriptedDevice{}};
    ASSERT_TRUE(rig.Open());
    int32_t empty = -1;
    rig.pipe().LimitAnswers(0x02, 0);
    EXPECT_FALSE(device::CheckPaperEmpty(rig.ctx(), empty));
    EXPECT_EQ(empty, 0);

    rig.pipe().ScriptReads(0x07, {0x01});
    EXPECT_FALSE(device::CheckPaperEmpty(rig.ctx(), empty));
    EXPECT_EQ(empty, 1);
}

}  // namespace
}  // namespace ordavel::test
