// Byte-exact framing of raw writes and reads as the controller sees it on the bulk pipes.
#include <gtest/gtest.h>

#include <numeric>
#include <vector>

#include "driver/device/transport.h"
#include "tests/support/test_context.h"

namespace ordavel::test {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes Counting(std::size_t length) {
    Bytes data(length);
    std::iota(data.begin(), data.end(), uint8_t{1});
    return data;
}

Bytes Slice(const Bytes& bytes, std::size_t from, std::size_t count) {
    return Bytes(bytes.begin() + static_cast<std::ptrdiff_t>(from),
                 bytes.begin() + static_cast<std::ptrdiff_t>(from + count));
}

class FramingTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(rig.Open()); }
    void TearDown() override { EXPECT_TRUE(rig.pipe().ProtocolErrors().empty()) << rig.pipe().ProtocolErrors()[0]; }
    TestContext rig{ScriptedDevice{}};
};

TEST_F(FramingTest, FixedWriteOf130BytesIsOneBufferOfThreePieces) {
    const Bytes data = Counting(130);
    ASSERT_TRUE(device::RawWrite(rig.ctx(), 0x20, data, false));
    ASSERT_EQ(rig.pipe().Writes().size(), 1u);
    const Bytes& sent = rig.pipe().Writes()[0];
    ASSERT_EQ(sent.size(), 142u);
    EXPECT_EQ(Slice(sent, 0, 4), (Bytes{0x00, 0x20, 0x00, 60}));
    EXPECT_EQ(Slice(sent, 4, 60), Slice(data, 0, 60));
    EXPECT_EQ(Slice(sent, 64, 4), (Bytes{0x00, 0x20, 0x00, 60}));
    EXPECT_EQ(Slice(sent, 68, 60), Slice(data, 60, 60));
    EXPECT_EQ(Slice(sent, 128, 4), (Bytes{0x00, 0x20, 0x00, 10}));
    EXPECT_EQ(Slice(sent, 132, 10), Slice(data, 120, 10));
    EXPECT_EQ(rig.pipe().Register(0x20), data.back());
}

TEST_F(FramingTest, IncrementingWritesAdvanceThePieceAddress) {
    ASSERT_TRUE(device::RawWrite(rig.ctx(), 0x10, Bytes{9, 8, 7, 6}, true));
    EXPECT_EQ(rig.pipe().Writes().back(), (Bytes{0x02, 0x10, 0x00, 0x04, 9, 8, 7, 6}));

    const Bytes seventy = Counting(70);
    ASSERT_TRUE(device::RawWrite(rig.ctx(), 0x10, seventy, true));
    const Bytes& sent = rig.pipe().Writes().back();
    ASSERT_EQ(sent.size(), 78u);
    EXPECT_EQ(Slice(sent, 0, 4), (Bytes{0x02, 0x10, 0x00, 60}));
    EXPECT_EQ(Slice(sent, 64, 4), (Bytes{0x02, 0x4C, 0x00, 10}));
    for (int i = 0; i < 70; ++i) EXPECT_EQ(rig.pipe().Register(static_cast<uint8_t>(0x10 + i)), seventy[i]);
}

TEST(FramingAddressTest, IncrementingAddressWrapsModulo256) {
    TestContext rig{ScriptedDevice{}};
    ASSERT_TRUE(rig.Open());
    ASSERT_TRUE(device::RawWrite(rig.ctx(), 0x50, Counting(130), true));
    ASSERT_TRUE(device::RawWrite(rig.ctx(), 0xF0, Counting(70), true));
    const Bytes& first = rig.pipe().Writes()[0];
    EXPECT_EQ((Bytes{first[1], first[65], first[129]}), (Bytes{0x50, 0x8C, 0xC8}));
    EXPECT_EQ(rig.pipe().Writes()[1][65], 0x2C);  // 0xF0 + 60 - 256
}

// Buffers carry at most 1,023 pieces (65,472 bytes); the next piece starts a new bulk write.
struct BufferCase {
    std::size_t dataLength;
    std::vector<std::size_t> writeSizes;
};

class WriteBufferTest : public ::testing::TestWithParam<BufferCase> {};

TEST_P(WriteBufferTest, DataIsSplitIntoFullBuffers) {
    TestContext rig{ScriptedDevice{}};
    ASSERT_TRUE(rig.Open());
    const Bytes data = Counting(GetParam().dataLength);
    ASSERT_TRUE(device::RawWrite(rig.ctx(), 0x06, data, false));
    std::vector<std::size_t> sizes;
    for (const Bytes& w : rig.pipe().Writes()) sizes.push_back(w.size());
    EXPECT_EQ(sizes, GetParam().writeSizes);
    EXPECT_EQ(rig.pipe().MemoryWrites(), data);
    EXPECT_EQ(rig.pipe().CallTrace(), "L" + std::string(sizes.size(), 'W') + "U");
}

INSTANTIATE_TEST_SUITE_P(Sizes, WriteBufferTest,
                         ::testing::Values(BufferCase{1, {5}}, BufferCase{60, {64}}, BufferCase{61, {69}},
                                           BufferCase{61'380, {65'472}}, BufferCase{61'381, {65'472, 5}},
                                           BufferCase{130'000, {65'472, 65'472, 7'724}}));

TEST_F(FramingTest, LongReadIsAskedForInPiecesOf65535) {
    const Bytes data = Counting(70'000);
    rig.pipe().QueueData(data);
    Bytes buffer(70'000);
    ASSERT_TRUE(device::RawRead(rig.ctx(), 0x00, buffer, false, nullptr));
    EXPECT_EQ(rig.pipe().ReadRequests(), (std::vector<std::size_t>{65'535, 4'465}));
    ASSERT_EQ(rig.pipe().Writes().size(), 2u);
    EXPECT_EQ(rig.pipe().Writes()[0], (Bytes{0x01, 0x00, 0xFF, 0xFF}));
    EXPECT_EQ(rig.pipe().Writes()[1], (Bytes{0x01, 0x00, 0x11, 0x71}));
    EXPECT_EQ(buffer, data);
    EXPECT_EQ(rig.pipe().CallTrace(), "LWRWRU");
}

TEST_F(FramingTest, ShortAnswersAreFollowedByRequestsForTheRest) {
    const Bytes data = Counting(2'500);
    rig.pipe().QueueData(data);
    rig.pipe().LimitAnswers(0x00, 1'000);
    Bytes buffer(2'500);
    ASSERT_TRUE(device::RawRead(rig.ctx(), 0x00, buffer, false, nullptr));
    EXPECT_EQ(rig.pipe().ReadRequests(), (std::vector<std::size_t>{2'500, 1'500, 500}));
    EXPECT_EQ(buffer, data);
}

TEST_F(FramingTest, RegisterBlockIsOneIncrementingReadFromRegister7) {
    for (int r = 0; r < 128; ++r) rig.pipe().SetRegister(static_cast<uint8_t>(r), static_cast<uint8_t>(r + 100));
    description::RegisterImage image;
    image[3] = 77;
    ASSERT_TRUE(device::ReadRegisterBlock(rig.ctx(), image));
    EXPECT_EQ(rig.pipe().Writes().back(), (Bytes{0x03, 0x07, 0x00, 121}));
    for (int r = 0; r < 128; ++r) EXPECT_EQ(image[r], r < 7 ? 0 : (r + 100) & 0xFF) << "register " << r;
}

}  // namespace
}  // namespace ordavel::test
