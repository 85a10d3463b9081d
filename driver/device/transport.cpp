// The operations every other layer uses: register writes and reads, blocks to and from an
// address with optional read-back verification, and the register-block read.
#include "driver/device/transport.h"

#include <algorithm>
#include <array>
#include <vector>

#include "driver/device/controller_registers.h"
#include "driver/device/status_report.h"
#include "driver/interface/driver_context.h"

namespace ordavel::device {

namespace {

// Writing the command register is repeated until it reads back, at most this many times.
constexpr int kCommandWriteAttempts = 100;
// Read-back verification compares through a buffer of this size.
constexpr std::size_t kVerifyPieceSize = 32'768;
constexpr uint8_t kFirstBlockRegister = 7;
constexpr std::size_t kRegisterBlockLength = description::kRegisterCount - kFirstBlockRegister;
// After a command with any of these bits set (feed, scan, position) register 0x45 is read once;
// the value itself is not used.
constexpr uint8_t kRunningCommandBits = 0x07;

bool WriteRegisterByte(DriverContext& ctx, uint8_t reg, uint8_t value) {
    const std::array<uint8_t, 1> byte{value};
    if (RawWrite(ctx, reg, byte, false)) return true;
    Report(ctx, "Write Register failed! %02X=%02X", reg, value);
    return false;
}

// Edge-triggered sensor inputs latch until read: two reads after a new sensor configuration
// clear what the old one latched, so later polls see only the new configuration. The values
// are discarded.
bool SettleSensorStatus(DriverContext& ctx) {
    uint8_t discarded = 0;
    return ReadRegister(ctx, kSensorStatus, discarded) && ReadRegister(ctx, kSensorStatus, discarded);
}

bool WriteCommandRegister(DriverContext& ctx, uint8_t value) {
    for (int attempt = 0; attempt < kCommandWriteAttempts; ++attempt) {
        if (!WriteRegisterByte(ctx, kCommand, value)) return false;
        uint8_t readBack = 0;
        if (!ReadRegister(ctx, kCommand, readBack)) return false;
        if (readBack != value) continue;
        if ((value & kRunningCommandBits) == 0) return true;
        uint8_t discarded = 0;
        return ReadRegister(ctx, kMotorControl, discarded);
    }
    // Every failing operation leaves its text; a command the controller never took is a failed
    // register write, so it says so in the register-write message.
    Report(ctx, "Write Register failed! %02X=%02X", kCommand, value);
    return false;
}

bool ClearMemoryAddress(DriverContext& ctx) {
    return WriteRegister(ctx, kMemoryAddressHigh, 0) && WriteRegister(ctx, kMemoryAddressLow, 0);
}

// Read-back verification. Blocks longer than the verification buffer are read back and compared
// piece by piece rather than refused: by the time they are checked they have already been sent,
// and a fixed-address read-back in pieces sees exactly what one long read would.
bool VerifyBlock(DriverContext& ctx, uint8_t address, std::span<const uint8_t> written) {
    std::vector<uint8_t> readBack(std::min(kVerifyPieceSize, written.size()));
    for (std::size_t offset = 0; offset < written.size(); offset += kVerifyPieceSize) {
        const auto expected = written.subspan(offset, std::min(kVerifyPieceSize, written.size() - offset));
        const auto actual = std::span<uint8_t>(readBack).first(expected.size());
        if (!ReadBlock(ctx, address, actual)) return false;
        const auto mismatch = std::mismatch(expected.begin(), expected.end(), actual.begin());
        if (mismatch.first != expected.end()) {
            Report(ctx, "Verify error: addr=%x,write=%x,read=%x", address, *mismatch.first, *mismatch.second);
            return false;
        }
    }
    return true;
}

}  // namespace

bool WriteRegister(DriverContext& ctx, uint8_t reg, uint8_t value) {
    if (reg == kCommand) return WriteCommandRegister(ctx, value);
    if (!WriteRegisterByte(ctx, reg, value)) return false;
    if (reg == kPaperSensorConfig) return SettleSensorStatus(ctx);
    return true;
}

bool ReadRegister(DriverContext& ctx, uint8_t reg, uint8_t& value) {
    std::array<uint8_t, 1> byte{};
    if (!RawRead(ctx, reg, byte, false, nullptr)) {
        Report(ctx, "Read Register failed! %02X", reg);
        return false;
    }
    value = byte[0];
    return true;
}

namespace {

// The memory port advances its address with every byte it takes, so an attempt that failed
// part-way has moved it: a plain retry would write the table from there on, shifted. Each attempt
// therefore starts again from the table's first word. False after a failed address write (its
// text reported); otherwise `sent` tells whether an attempt got through.
bool WriteMemoryBlock(DriverContext& ctx, std::span<const uint8_t> data, bool& sent) {
    sent = false;
    for (int attempt = 0; attempt < RawTransferAttempts() && !sent; ++attempt) {
        if (!ClearMemoryAddress(ctx)) return false;
        sent = RawWriteOnce(ctx, kMemoryPort, data, false);
    }
    return true;
}

}  // namespace

bool SendBlock(DriverContext& ctx, uint8_t address, std::span<const uint8_t> data) {
    if (data.empty()) return true;
    bool sent = false;
    if (address == kMemoryPort) {
        if (!WriteMemoryBlock(ctx, data, sent)) return false;
    } else {
        sent = RawWrite(ctx, address, data, false);
    }
    if (!sent) {
        Report(ctx, "Bulk Out failed! %02X", address);
        return false;
    }
    // Registers up to the command register are ports and controls whose read-back differs from
    // what was written, so only ordinary registers are verified.
    if (ctx.record.verifyWrites != 0 && address > kCommand) return VerifyBlock(ctx, address, data);
    return true;
}

namespace {

bool ReadBlockCounted(DriverContext& ctx, uint8_t address, std::span<uint8_t> buffer, std::size_t& received) {
    received = 0;
    if (buffer.empty()) return true;
    if (address == kMemoryPort && !ClearMemoryAddress(ctx)) return false;
    // White where nothing arrives: a short or skipped read leaves 0xFF bytes.
    std::fill(buffer.begin(), buffer.end(), uint8_t{0xFF});
    if (ctx.record.dataEnded != 0 && address == kDataPort) return true;
    if (!RawReadCounted(ctx, address, buffer, false, &ctx.record.dataEnded, received)) {
        Report(ctx, "BulkIn failed!address %2X COUNT %2X", address, static_cast<unsigned>(buffer.size()));
        return false;
    }
    return true;
}

}  // namespace

bool ReadBlock(DriverContext& ctx, uint8_t address, std::span<uint8_t> buffer) {
    std::size_t received = 0;
    return ReadBlockCounted(ctx, address, buffer, received);
}

bool ReadImageData(DriverContext& ctx, std::span<uint8_t> buffer, std::size_t& received) {
    return ReadBlockCounted(ctx, kDataPort, buffer, received);
}

bool ReadRegisterBlock(DriverContext& ctx, description::RegisterImage& out) {
    out = description::RegisterImage{};
    std::array<uint8_t, kRegisterBlockLength> bytes{};
    if (!RawRead(ctx, kFirstBlockRegister, bytes, true, nullptr)) {
        Report(ctx, "BulkIn failed! %02X", kFirstBlockRegister);
        return false;
    }
    for (std::size_t i = 0; i < bytes.size(); ++i) out[static_cast<int>(kFirstBlockRegister + i)] = bytes[i];
    return true;
}

}  // namespace ordavel::device
