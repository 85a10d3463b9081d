// A tiny raw-frame client for talking to a scanner controller the way a driver does: 4-byte
// headers (operation, address, 16-bit count high byte first) over a raw pipe, written here from
// the framing alone so the scanner model can be tested without the driver.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "platform/raw_pipe.h"

namespace ordavel::test {

enum class FrameOp : uint8_t { WriteFixed = 0, ReadFixed = 1, WriteIncrement = 2, ReadIncrement = 3 };

std::vector<uint8_t> FrameHeader(FrameOp op, uint8_t address, uint16_t count);

class FrameClient {
public:
    explicit FrameClient(platform::RawPipe& pipe) : pipe_(pipe) {}

    bool writeRegister(uint8_t address, uint8_t value);
    // A 16-bit value into two registers, high byte first, in one incrementing write.
    bool writeWord(uint8_t highAddress, uint16_t value);
    // Consecutive registers from `first`, one incrementing write.
    bool writeRegisters(uint8_t first, std::span<const uint8_t> values);
    // All bytes to one address (the table data port), one fixed write.
    bool writeFixed(uint8_t address, std::span<const uint8_t> bytes);

    std::optional<uint8_t> readRegister(uint8_t address);
    // `count` reads of one address in one transfer (data port: image bytes).
    std::optional<std::vector<uint8_t>> readFixed(uint8_t address, uint16_t count);
    std::optional<std::vector<uint8_t>> readIncrement(uint8_t first, uint16_t count);
    // Image data from the data port: asks for `count` and returns what came (maybe fewer).
    std::optional<std::vector<uint8_t>> readData(uint16_t count) { return readFixed(0x00, count); }

    platform::RawPipe& pipe() { return pipe_; }

private:
    std::optional<std::vector<uint8_t>> read(FrameOp op, uint8_t address, uint16_t count);
    platform::RawPipe& pipe_;
};

}  // namespace ordavel::test
