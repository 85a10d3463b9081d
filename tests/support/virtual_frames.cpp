// Raw frames: building headers and the register and block transfers.
#include "tests/support/virtual_frames.h"

namespace ordavel::test {

std::vector<uint8_t> FrameHeader(FrameOp op, uint8_t address, uint16_t count) {
    return {static_cast<uint8_t>(op), address, static_cast<uint8_t>(count >> 8), static_cast<uint8_t>(count & 0xFF)};
}

bool FrameClient::writeRegister(uint8_t address, uint8_t value) {
    auto frame = FrameHeader(FrameOp::WriteFixed, address, 1);
    frame.push_back(value);
    return pipe_.write(frame);
}

bool FrameClient::writeWord(uint8_t highAddress, uint16_t value) {
    const uint8_t bytes[] = {static_cast<uint8_t>(value >> 8), static_cast<uint8_t>(value & 0xFF)};
    return writeRegisters(highAddress, bytes);
}

bool FrameClient::writeRegisters(uint8_t first, std::span<const uint8_t> values) {
    auto frame = FrameHeader(FrameOp::WriteIncrement, first, static_cast<uint16_t>(values.size()));
    frame.insert(frame.end(), values.begin(), values.end());
    return pipe_.write(frame);
}

bool FrameClient::writeFixed(uint8_t address, std::span<const uint8_t> bytes) {
    auto frame = FrameHeader(FrameOp::WriteFixed, address, static_cast<uint16_t>(bytes.size()));
    frame.insert(frame.end(), bytes.begin(), bytes.end());
    return pipe_.write(frame);
}

std::optional<std::vector<uint8_t>> FrameClient::read(FrameOp op, uint8_t address, uint16_t count) {
    if (!pipe_.write(FrameHeader(op, address, count))) return std::nullopt;
    std::vector<uint8_t> data(count);
    std::size_t received = 0;
    if (!pipe_.read(data, received)) return std::nullopt;
    data.resize(received);
    return data;
}

std::optional<uint8_t> FrameClient::readRegister(uint8_t address) {
    auto data = read(FrameOp::ReadFixed, address, 1);
    if (!data || data->size() != 1) return std::nullopt;
    return (*data)[0];
}

std::optional<std::vector<uint8_t>> FrameClient::readFixed(uint8_t address, uint16_t count) {
    return read(FrameOp::ReadFixed, address, count);
}

std::optional<std::vector<uint8_t>> FrameClient::readIncrement(uint8_t first, uint16_t count) {
    return read(FrameOp::ReadIncrement, first, count);
}

}  // namespace ordavel::test
