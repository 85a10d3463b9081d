// The controller's framing and registers through raw frames: fixed and incrementing transfers,
// register reads, the version and command registers, the table memory port, protocol errors that
// are reported and never applied, transfer costs, and the device lock between pipes.
#include <gtest/gtest.h>

#include "tests/support/virtual_rig.h"
#include "virtual/virtual_backend.h"

namespace ordavel::test {
namespace {

namespace vs = virtual_scanner;

TEST(Protocol, FixedReadOfARegisterReturnsItThatManyTimes) {
    VirtualRig rig = MakeRig(ReferenceScannerConfig());
    ASSERT_TRUE(rig.io().writeRegister(0x26, 0x14));
    const auto three = rig.io().readFixed(0x26, 3);
    ASSERT_TRUE(three);
    EXPECT_EQ(*three, (std::vector<uint8_t>{0x14, 0x14, 0x14}));
}

TEST(Protocol, IncrementingTransfersCoverConsecutiveRegisters) {
    VirtualRig rig = MakeRig(ReferenceScannerConfig());
    std::vector<uint8_t> values;
    for (int r = 0x08; r <= 0x68; ++r) values.push_back(static_cast<uint8_t>(r ^ 0x5A));
    ASSERT_TRUE(rig.io().writeRegisters(0x08, values));
    const auto block = rig.io().readIncrement(0x07, 121);  // registers 7 to 127
    ASSERT_TRUE(block);
    ASSERT_EQ(block->size(), 121u);
    for (int r = 0x08; r <= 0x68; ++r) EXPECT_EQ((*block)[static_cast<std::size_t>(r - 7)], r ^ 0x5A) << "register " << r;
}

TEST(Protocol, CommandRegisterReadsBackAtOnce) {
    VirtualRig rig = MakeRig(ReferenceScannerConfig());
    EXPECT_EQ(rig.io().readRegister(0x07), 0x00) << "idle after power-up";
    ASSERT_TRUE(rig.io().writeRegister(0x07, 0x20));
    EXPECT_EQ(rig.io().readRegister(0x07), 0x20);
    rig.clock->sleep(5000);
    EXPECT_EQ(rig.io().readRegister(0x07), 0x20) << "0x20 stays until 0 is written";
    ASSERT_TRUE(rig.io().writeRegister(0x07, 0x00));
    EXPECT_EQ(rig.io().readRegister(0x07), 0x00);
}

class Version : public ::testing::TestWithParam<std::pair<vs::Chip, uint8_t>> {};

TEST_P(Version, VersionRegisterNamesTheChipAndIgnoresWrites) {
    vs::ScannerConfig config = ReferenceScannerConfig();
    config.chip = GetParam().first;
    VirtualRig rig = MakeRig(config);
    EXPECT_EQ(*rig.io().readRegister(0x69) & 0x07, GetParam().second);
    ASSERT_TRUE(rig.io().writeRegister(0x69, 0x00));
    EXPECT_EQ(*rig.io().readRegister(0x69) & 0x07, GetParam().second);
}

INSTANTIATE_TEST_SUITE_P(Chips, Version,
                         ::testing::Values(std::pair{vs::Chip::LM9831, uint8_t{3}}, std::pair{vs::Chip::LM9832, uint8_t{4}},
                                           std::pair{vs::Chip::LM9833, uint8_t{4}}));

TEST(Protocol, TableMemoryPortAdvancesItsWordAddressAndReadsBack) {
    VirtualRig rig = MakeRig(ReferenceScannerConfig());
    const std::vector<uint8_t> bytes = {0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC};
    ASSERT_TRUE(rig.io().writeRegister(0x03, 0x09));  // colour 2, gain table
    ASSERT_TRUE(rig.io().writeRegister(0x04, 0x00) && rig.io().writeRegister(0x05, 0x10));
    ASSERT_TRUE(rig.io().writeFixed(0x06, bytes));
    EXPECT_EQ(rig.io().readRegister(0x05), 0x13) << "three words written";
    ASSERT_TRUE(rig.io().writeRegister(0x04, 0x00) && rig.io().writeRegister(0x05, 0x10));
    EXPECT_EQ(*rig.io().readFixed(0x06, 6), bytes);
    const auto& writes = rig.scanner->observations().memoryWrites;
    ASSERT_FALSE(writes.empty());
    EXPECT_EQ(writes.back().select, 0x09);
    EXPECT_EQ(writes.back().startAddress, 0x10);
    EXPECT_EQ(writes.back().bytes, 6u);
}

struct BadFrame {
    const char* name;
    std::vector<uint8_t> bytes;
    const char* error;
};

class ProtocolErrors : public ::testing::TestWithParam<BadFrame> {};

TEST_P(ProtocolErrors, AreReportedAndNothingOfTheBadPieceIsApplied) {
    VirtualRig rig = MakeRig(ReferenceScannerConfig());
    ASSERT_TRUE(rig.io().writeRegister(0x26, 0x14) && rig.io().writeRegister(0x7E, 0x11) &&
                rig.io().writeRegister(0x7F, 0x22));
    EXPECT_TRUE(rig.pipe->write(GetParam().bytes)) << "the bus delivered the bytes";
    const auto& errors = rig.scanner->observations().protocolErrors;
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_NE(errors[0].text.find(GetParam().error), std::string::npos) << errors[0].text;
    EXPECT_EQ(rig.io().readRegister(0x26), 0x14);
    EXPECT_EQ(rig.io().readRegister(0x7E), 0x11);
    EXPECT_EQ(rig.io().readRegister(0x7F), 0x22);
    // The device still works.
    ASSERT_TRUE(rig.io().writeRegister(0x26, 0x04));
    EXPECT_EQ(rig.io().readRegister(0x26), 0x04);
}

INSTANTIATE_TEST_SUITE_P(
    Frames, ProtocolErrors,
    ::testing::Values(BadFrame{"UnknownOperation", {0x07, 0x26, 0x00, 0x01, 0x55}, "unknown operation"},
                      BadFrame{"AddressAbove7F", {0x00, 0x80, 0x00, 0x01, 0x55}, "above 0x7F"},
                      BadFrame{"TruncatedData", {0x02, 0x26, 0x00, 0x05, 0x55, 0x55}, "announces 5 bytes"},
                      BadFrame{"TruncatedHeader", {0x00, 0x26}, "truncated header"},
                      BadFrame{"IncrementPast7F", {0x02, 0x7E, 0x00, 0x04, 1, 2, 3, 4}, "runs past register 0x7F"},
                      BadFrame{"GoodPieceThenUnknown", {0x00, 0x40, 0x00, 0x01, 0x99, 0x09, 0x26, 0x00, 0x00}, "unknown operation"}),
    [](const auto& frame) { return std::string(frame.param.name); });

TEST(Protocol, ReadsWithoutARequestOrLeftUncollectedAreReported) {
    VirtualRig rig = MakeRig(ReferenceScannerConfig());
    std::vector<uint8_t> buffer(4);
    std::size_t received = 99;
    EXPECT_FALSE(rig.pipe->read(buffer, received));
    EXPECT_EQ(received, 0u);
    ASSERT_TRUE(rig.pipe->write(FrameHeader(FrameOp::ReadFixed, 0x26, 2)));
    ASSERT_TRUE(rig.io().writeRegister(0x26, 0x04));  // the read was never collected
    std::vector<uint8_t> withTail = FrameHeader(FrameOp::ReadFixed, 0x26, 1);
    withTail.push_back(0xEE);
    ASSERT_TRUE(rig.pipe->write(withTail));
    EXPECT_TRUE(rig.pipe->read(buffer, received));
    EXPECT_EQ(received, 1u) << "the read request itself stands";
    const auto& errors = rig.scanner->observations().protocolErrors;
    ASSERT_EQ(errors.size(), 3u);
    EXPECT_NE(errors[0].text.find("no read pending"), std::string::npos);
    EXPECT_NE(errors[1].text.find("not collected"), std::string::npos);
    EXPECT_NE(errors[2].text.find("after a read request"), std::string::npos);
}

TEST(Protocol, TransfersCostWhatFullSpeedUsbWould) {
    VirtualRig rig = MakeRig(ReferenceScannerConfig());
    uint64_t before = rig.nowUs();
    ASSERT_TRUE(rig.io().writeRegister(0x26, 0x04));
    EXPECT_EQ(rig.nowUs() - before, 1000u) << "one frame at least";
    before = rig.nowUs();
    ASSERT_TRUE(rig.io().writeFixed(0x06, std::vector<uint8_t>(4996, 0)));
    EXPECT_EQ(rig.nowUs() - before, 5000u) << "5000 bytes at 1 MB/s";
    before = rig.nowUs();
    ASSERT_TRUE(rig.io().readRegister(0x26));
    EXPECT_EQ(rig.nowUs() - before, 2000u) << "request out, answer in";
}

TEST(Protocol, DeviceLockSerialisesPipesWithItsTimeout) {
    VirtualRig rig = MakeRig(ReferenceScannerConfig());
    auto other = rig.backend->open(rig.backend->devices().at(0).internalName);
    ASSERT_TRUE(other);
    ASSERT_TRUE(rig.pipe->lock(2000));
    EXPECT_TRUE(rig.pipe->lock(2000)) << "the holder may lock again";
    const uint64_t before = rig.nowUs();
    EXPECT_FALSE(other->lock(2000));
    EXPECT_EQ(rig.nowUs() - before, 2'000'000u) << "the wait is spent in virtual time";
    EXPECT_FALSE(other->unlock()) << "not the holder";
    EXPECT_TRUE(rig.pipe->unlock());
    EXPECT_TRUE(other->lock(2000));
    other.reset();  // closing a pipe releases its lock
    EXPECT_TRUE(rig.pipe->lock(10));
    EXPECT_EQ(rig.scanner->observations().counters.lockTimeouts, 1u);
}

TEST(Protocol, OneDevicePersistsAcrossPipes) {
    VirtualRig rig = MakeRig(ReferenceScannerConfig());
    ASSERT_TRUE(rig.io().writeRegister(0x26, 0x05));
    rig.pipe.reset();
    auto again = rig.backend->open(rig.backend->devices().at(0).internalName);
    ASSERT_TRUE(again);
    FrameClient io(*again);
    EXPECT_EQ(io.readRegister(0x26), 0x05);
    EXPECT_FALSE(rig.backend->open("another")) << "unknown internal name";
}

}  // namespace
}  // namespace ordavel::test
