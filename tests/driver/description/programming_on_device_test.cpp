// Programming a scripted controller: the frames of the image write, a failing run, the chip
// reads of the build and of initialisation, and the lamp warm-up.
#include <gtest/gtest.h>

#include "driver/description/register_programming.h"
#include "driver/device/transport.h"
#include "tests/support/conversation.h"
#include "tests/support/hand_description.h"
#include "tests/support/test_context.h"

namespace ordavel::description {
namespace {

using test::Conversation;
using test::HandDescription;
using test::PipeCall;
using test::TestContext;
using test::ScriptedPipe;

class ProgrammingOnDevice : public ::testing::Test {
protected:
    ProgrammingOnDevice() : pipe(scratch.AttachScanner()) {
        scratch.ctx().description = HandDescription(1);
        scratch.writeSettings("[SETUP]\nScan_Buffer_MBytes=8\n");
    }
    DriverContext& ctx() { return scratch.ctx(); }
    TestContext scratch{"program"};
    ScriptedPipe& pipe;
};

TEST_F(ProgrammingOnDevice, InitialisationReadsTheChipThenWritesThreeFramedRuns) {
    pipe.SetRegister(0x29, 1);  // lamp on
    ASSERT_TRUE(InitUSB(ctx(), true));
    // 0x42 for the build, 0x29 for the lamp, then the framed image: 3-5, 7-3D, 42-7F (sent
    // in pieces of at most 60 bytes).
    EXPECT_EQ(Conversation(pipe), "R42 R29 W18 W07 R07 W03x3 W07x55 W42x60 W7Ex2 W07 R07");
    EXPECT_TRUE(pipe.ProtocolErrors().empty());
    EXPECT_EQ(pipe.Register(0x07), 0);
    EXPECT_EQ(pipe.Register(0x18), 0x00) << "line timing value replaces the framing write";
    EXPECT_EQ(pipe.Register(0x42), 0x20);
    // Initialisation programs the 503-step timing: lengthened line, DPD 1, pause limit.
    EXPECT_EQ(pipe.Register(0x20) * 256 + pipe.Register(0x21), 2006);
    EXPECT_EQ(pipe.Register(0x46) * 256 + pipe.Register(0x47), 503);
    EXPECT_EQ(pipe.Register(0x51), 0xA0);
    EXPECT_EQ(pipe.Register(0x53), 0x01);
    EXPECT_EQ(pipe.Register(0x4E), 138);
    EXPECT_EQ(pipe.Register(0x4F), 137);
}

TEST_F(ProgrammingOnDevice, LampModesOtherThan1DoNotReadTheLamp) {
    ctx().description.Illumination_Mode = 3;
    ASSERT_TRUE(InitUSB(ctx(), true));
    EXPECT_EQ(pipe.ReadsOf(0x29), 0u);
}

TEST_F(ProgrammingOnDevice, BuildKeepsTheChipsMemoryConfiguration) {
    pipe.SetRegister(0x42, 0x07);
    ctx().description.RAM_WordSize = 1024;
    ASSERT_TRUE(device::Open(ctx(), u"Mirt", u"Mirt Sheet Scanner"));
    RegisterImage image;
    ASSERT_TRUE(BuildRegisterImage(ctx(), image, false));
    EXPECT_EQ(image[0x42], 0x67);
}

TEST_F(ProgrammingOnDevice, UnreadableMemoryConfigurationFailsTheBuild) {
    pipe.LimitAnswers(0x42, 0);
    ASSERT_TRUE(device::Open(ctx(), u"Mirt", u"Mirt Sheet Scanner"));
    RegisterImage image;
    image[0x45] = 0x99;
    EXPECT_FALSE(BuildRegisterImage(ctx(), image, false));
    EXPECT_EQ(scratch.messages().back(), "Read Register failed! 42");
    EXPECT_EQ(image[0x45], 0x99) << "nothing after the read is set";
}

TEST_F(ProgrammingOnDevice, UnreadableLampFailsInitialisationBeforeWriting) {
    pipe.LimitAnswers(0x29, 0);
    EXPECT_FALSE(InitUSB(ctx(), true));
    EXPECT_EQ(scratch.messages().back(), "Read Register failed! 29");
    EXPECT_TRUE(Conversation(pipe).find("W18") == std::string::npos);
}

TEST_F(ProgrammingOnDevice, FailedRunLeavesControllerHeldAndEarlierRunsProgrammed) {
    ASSERT_TRUE(device::Open(ctx(), u"Mirt", u"Mirt Sheet Scanner"));
    RegisterImage image;
    ASSERT_TRUE(BuildRegisterImage(ctx(), image, false));
    image[0x04] = 0x5A;
    const std::size_t before = pipe.CallCount(PipeCall::Write);
    // Bulk writes: 0x18, 0x07, the 0x07 read-back header, run 3-5, then run 7-3D fails
    // every one of its ten attempts.
    pipe.FailCalls(PipeCall::Write, before + 5, 10);
    EXPECT_FALSE(WriteRegisterImage(ctx(), image));
    EXPECT_EQ(scratch.messages().back(), "BulkOut failed! 07");
    EXPECT_EQ(pipe.Register(0x04), 0x5A);
    EXPECT_EQ(pipe.Register(0x07), 0x20);
}

TEST_F(ProgrammingOnDevice, PaperSensorConfigurationIsWrittenAlone) {
    ctx().description.Paper_Sensor_2_Stop_Scan = 1;
    ASSERT_TRUE(device::Open(ctx(), u"Mirt", u"Mirt Sheet Scanner"));
    ASSERT_TRUE(WritePaperSensorConfig(ctx()));
    EXPECT_EQ(Conversation(pipe), "W58 R02 R02");
    EXPECT_EQ(pipe.Register(0x58), 0x29);
}

TEST_F(ProgrammingOnDevice, LampFoundOffWaitsInTheNextFinalInitialisation) {
    pipe.SetRegister(0x29, 0);
    uint32_t start = scratch.clock().tickCount();
    ASSERT_TRUE(InitUSB(ctx(), false));
    EXPECT_TRUE(ctx().settings.lampWasOff);
    EXPECT_LT(scratch.clock().tickCount() - start, 1000u) << "no wait when warm-up is not allowed";

    // The lamp is on by now (the image switched it on), yet the final run still waits.
    ASSERT_EQ(pipe.Register(0x29), 1);
    start = scratch.clock().tickCount();
    ASSERT_TRUE(InitUSB(ctx(), true));
    EXPECT_GE(scratch.clock().tickCount() - start, 10000u);
    EXPECT_FALSE(ctx().settings.lampWasOff);

    start = scratch.clock().tickCount();
    ASSERT_TRUE(InitUSB(ctx(), true));
    EXPECT_LT(scratch.clock().tickCount() - start, 1000u) << "warm lamp: no second wait";
}

}  // namespace
}  // namespace ordavel::description
