// Feeding a sheet, driven by scripted sensor readings: the full and short feeds, their marks,
// polls and sleeps, the positioning move, jams, an open cover and communication failures.
#include <gtest/gtest.h>

#include <vector>

#include "driver/device/paper_path.h"
#include "tests/support/test_context.h"

namespace ordavel::test {
namespace {

using Bytes = std::vector<uint8_t>;
using Writes = std::vector<std::pair<uint8_t, uint8_t>>;

const Writes kStart{{0x49, 0x10}, {0x57, 0x30}, {0x07, 0x01}};
const Writes kStop{{0x07, 0x00}};
const Writes kPosition{{0x4A, 0x00}, {0x4B, 0x91}, {0x07, 0x05}};
const Writes kJamSignal{{0x5B, 0x11}};
const Writes kCoverSignal{{0x5B, 0x19}};

Writes Join(std::initializer_list<Writes> parts) {
    Writes all;
    for (const Writes& p : parts) all.insert(all.end(), p.begin(), p.end());
    return all;
}

Bytes Readings(std::size_t times, uint8_t value, Bytes then = {}) {
    Bytes all(times, value);
    all.insert(all.end(), then.begin(), then.end());
    return all;
}

struct FeedCase {
    const char* name;
    int32_t feedNeeded;
    bool force;
    Bytes sensors;  // successive readings of register 2; the last one stays
    bool result;
    Writes writes;
    const char* message;
    std::size_t sensorReads;
    uint32_t sleptMs;
};

// Transfers cost no time here, so the clock shows exactly the feed's own sleeps. The positioning
// move ends by itself, as on the controller.
class FeedTest : public ::testing::TestWithParam<FeedCase> {
protected:
    void SetUp() override {
        ASSERT_TRUE(rig.Open());
        rig.pipe().SetTransferCostMicros(0);
        rig.pipe().ScriptReadsAfterWrite(0x07, 0x05, {0x05, 0x00});
    }
    TestContext rig{ScriptedDevice{}};
};

TEST_P(FeedTest, FollowsTheSensors) {
    const FeedCase& c = GetParam();
    rig.ctx().record.feedNeeded = c.feedNeeded;
    rig.pipe().ScriptReads(0x02, c.sensors);
    EXPECT_EQ(device::FeedPaper(rig.ctx(), c.force), c.result);
    EXPECT_EQ(rig.pipe().RegisterWrites(), c.writes);
    EXPECT_STREQ(rig.ctx().record.messageText, c.message);
    EXPECT_EQ(rig.pipe().ReadsOf(0x02), c.sensorReads);
    EXPECT_EQ(rig.clock().tickCount(), c.sleptMs);
}

INSTANTIATE_TEST_SUITE_P(
    Full, FeedTest,
    ::testing::Values(
        FeedCase{"NoPaperOnFirstPoll", 1, false, {0x00}, true, Join({kStart, kStop}), "", 1, 510},
        FeedCase{"SheetArrives", 1, false, {0x02, 0x03}, true, Join({kStart, kStop, kPosition}), "", 2, 30},
        FeedCase{"SensorOneForever", 1, false, {0x01}, false, Join({kStart, kStop, kJamSignal}), "塞纸", 600, 6000},
        FeedCase{"FeederEmpty", 1, false, {0x04}, true, Join({kStart, kStop}), "", 1, 510},
        FeedCase{"FeederEmptyBeatsSensors", 1, false, {0x06}, true, Join({kStart, kStop}), "", 1, 510},
        FeedCase{"ForcedFeedEjects", 1, true, {0x02, 0x03}, true, Join({kStart, kStop}), "", 2, 530},
        FeedCase{"BothSensorsNeverAfterSensorTwoAlone", 1, false, {0x03}, false,
                 Join({kStart, kStop, kJamSignal}), "塞纸", 600, 6000},
        FeedCase{"SensorTwoAloneIsRemembered", 1, false, {0x03, 0x02, 0x01, 0x03}, true,
                 Join({kStart, kStop, kPosition}), "", 4, 50},
        FeedCase{"SensorTwoForever", 1, false, {0x02}, false, Join({kStart, kStop, kJamSignal}), "塞纸", 600, 12000},
        // Between two sheets neither sensor sees paper while the tray still holds the next one.
        FeedCase{"GapBeforeTheNextSheetIsWaitedFor", 1, false, {0x03, 0x01, 0x00, 0x00, 0x02, 0x03}, true,
                 Join({kStart, kStop, kPosition}), "", 6, 70},
        FeedCase{"MarkOnPoll599", 1, false, Readings(598, 0x01, {0x04}), true, Join({kStart, kStop}), "", 599, 6490},
        FeedCase{"MarkOnPoll600IsAJam", 1, false, Readings(599, 0x01, {0x00}), false,
                 Join({kStart, kStop, kJamSignal}), "塞纸", 600, 6000},
        FeedCase{"ForceOverridesShortFeed", 0, true, {0x00}, true, Join({kStart, kStop}), "", 1, 510}),
    [](const auto& test) { return std::string(test.param.name); });

INSTANTIATE_TEST_SUITE_P(
    Short, FeedTest,
    ::testing::Values(
        FeedCase{"CoverOpen", 0, false, {0x04}, false, kCoverSignal, "上盖打开", 1, 0},
        FeedCase{"SheetAlreadyAtSensorOne", 0, false, {0x01}, true, Join({kStop, kPosition}), "", 1, 0},
        FeedCase{"RunsUntilSensorOne", 0, false, {0x00, 0x02, 0x01}, true, Join({kStart, kStop, kPosition}), "", 3, 20},
        FeedCase{"NeverReachesSensorOne", 0, false, {0x00}, false, Join({kStart, kStop, kJamSignal}), "塞纸", 500, 5000},
        // The motor this feed started is stopped before the open cover is reported.
        FeedCase{"CoverOpensWhileRunning", 0, false, {0x00, 0x04}, false, Join({kStart, kStop, kCoverSignal}),
                 "上盖打开", 2, 10}),
    [](const auto& test) { return std::string(test.param.name); });

class FeedFailureTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(rig.Open());
        rig.ctx().record.dataEnded = 1;
    }
    TestContext rig{ScriptedDevice{}};
};

TEST_F(FeedFailureTest, ControllerNeverIdleFailsWithoutMessageButClearsDataEnd) {
    rig.pipe().ScriptReads(0x07, {0x01});
    EXPECT_FALSE(device::FeedPaper(rig.ctx(), false));
    EXPECT_STREQ(rig.ctx().record.messageText, "");
    EXPECT_TRUE(rig.pipe().RegisterWrites().empty());
    EXPECT_EQ(rig.ctx().record.dataEnded, 0);
}

TEST_F(FeedFailureTest, SensorsNotAnsweringIsACommunicationFailure) {
    rig.pipe().LimitAnswers(0x02, 0);
    EXPECT_FALSE(device::FeedPaper(rig.ctx(), false));
    EXPECT_STREQ(rig.ctx().record.messageText, "通信失败");
    EXPECT_EQ(rig.pipe().RegisterWrites(), kStart);  // the motor command is not undone
}

TEST_F(FeedFailureTest, FailedMotorSetUpIsACommunicationFailure) {
    rig.pipe().FailCalls(PipeCall::Write, 2, 10);  // the first write after the idle check
    EXPECT_FALSE(device::FeedPaper(rig.ctx(), false));
    EXPECT_STREQ(rig.ctx().record.messageText, "通信失败");
    EXPECT_TRUE(rig.pipe().RegisterWrites().empty());
}

TEST_F(FeedFailureTest, PositioningThatNeverEndsFailsTheFeed) {
    rig.pipe().ScriptReads(0x02, {0x02, 0x03});
    rig.pipe().ScriptReadsAfterWrite(0x07, 0x05, {0x05});
    EXPECT_FALSE(device::FeedPaper(rig.ctx(), false));
    EXPECT_EQ(rig.pipe().RegisterWrites(), Join({kStart, kStop, kPosition}));
}

}  // namespace
}  // namespace ordavel::test
