// Building rigs and programming scans through raw frames.
#include "tests/support/virtual_rig.h"

#include <gtest/gtest.h>

#include "tests/support/test_paths.h"
#include "virtual/virtual_backend.h"

namespace ordavel::test {

namespace vs = virtual_scanner;

vs::ScannerConfig ReferenceScannerConfig() {
    vs::ScannerConfig config;
    std::string error;
    EXPECT_TRUE(vs::LoadScannerConfig(DataDir() + "/virtual/reference.ini", config, error)) << error;
    return config;
}

VirtualRig MakeRig(const vs::ScannerConfig& config) {
    VirtualRig rig;
    rig.clock = std::make_shared<platform::VirtualClock>(1'000'000);
    std::string error;
    rig.scanner = vs::VirtualScanner::Create(config, rig.clock, error);
    EXPECT_TRUE(rig.scanner) << error;
    if (!rig.scanner) return rig;
    rig.backend = vs::MakeVirtualScannerBackend(rig.scanner);
    const auto devices = rig.backend->devices();
    EXPECT_EQ(devices.size(), 1u);
    if (devices.empty()) return rig;
    rig.pipe = rig.backend->open(devices[0].internalName);
    EXPECT_TRUE(rig.pipe);
    if (rig.pipe) rig.frames = std::make_unique<FrameClient>(*rig.pipe);
    return rig;
}

vs::Sheet VirtualRig::sheet(int number) { return scanner->sheets().at(static_cast<std::size_t>(number - 1)); }

bool Program(FrameClient& io, const ScanProgram& p) {
    auto word = [](uint16_t v) { return std::vector<uint8_t>{static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v & 0xFF)}; };
    bool ok = io.writeRegister(0x07, 0x20);
    ok = ok && io.writeRegister(0x08, p.clockDivider) && io.writeRegister(0x09, p.pixelFormat);
    ok = ok && io.writeRegister(0x0A, 0) && io.writeRegister(0x0B, 0) && io.writeRegister(0x0D, 0) &&
         io.writeRegister(0x0E, 0x13);
    ok = ok && io.writeWord(0x20, p.lineLength) && io.writeWord(0x22, p.dataStart) && io.writeWord(0x24, p.dataEnd);
    ok = ok && io.writeRegister(0x26, p.channelMode) && io.writeRegister(0x29, p.illumination);
    ok = ok && io.writeWord(0x2A, p.duty);
    for (uint8_t c = 0; c < 3; ++c) {
        ok = ok && io.writeWord(static_cast<uint8_t>(0x2C + 4 * c), p.lampOn[c]) &&
             io.writeWord(static_cast<uint8_t>(0x2E + 4 * c), p.lampOff[c]);
        ok = ok && io.writeRegister(static_cast<uint8_t>(0x38 + c), p.offset[c]) &&
             io.writeRegister(static_cast<uint8_t>(0x3B + c), p.gain[c]);
    }
    ok = ok && io.writeRegister(0x42, p.memoryConfig) && io.writeRegister(0x45, p.motorConfig);
    std::vector<uint8_t> motor;
    for (uint16_t v : {p.scanStep, p.fastStep, p.skipSteps, p.stopSteps}) {
        const auto w = word(v);
        motor.insert(motor.end(), w.begin(), w.end());
    }
    motor.push_back(p.pauseLimit);
    motor.push_back(p.resumeLimit);
    ok = ok && io.writeRegisters(0x46, motor);
    ok = ok && io.writeRegister(0x58, p.sensorConfig) && io.writeRegister(0x59, p.pinConfig);
    return ok && io.writeRegister(0x07, 0);
}

bool LoadGamma(FrameClient& io, int colour, std::span<const uint8_t> table) {
    return io.writeRegister(0x03, static_cast<uint8_t>(4 * colour + 2)) && io.writeRegister(0x04, 0) &&
           io.writeRegister(0x05, 0) && io.writeFixed(0x06, table);
}

bool LoadLinearGamma(FrameClient& io) {
    std::vector<uint8_t> table(4096);
    for (std::size_t i = 0; i < table.size(); ++i) table[i] = static_cast<uint8_t>(i / 16);
    return LoadGamma(io, 0, table) && LoadGamma(io, 1, table) && LoadGamma(io, 2, table);
}

bool LoadShading(FrameClient& io, int colour, std::span<const uint16_t> offsets, std::span<const uint16_t> gains) {
    auto bigEndian = [](std::span<const uint16_t> words) {
        std::vector<uint8_t> bytes;
        for (uint16_t w : words) {
            bytes.push_back(static_cast<uint8_t>(w >> 8));
            bytes.push_back(static_cast<uint8_t>(w & 0xFF));
        }
        return bytes;
    };
    return io.writeRegister(0x03, static_cast<uint8_t>(4 * colour)) && io.writeRegister(0x04, 0) &&
           io.writeRegister(0x05, 0) && io.writeFixed(0x06, bigEndian(offsets)) &&
           io.writeRegister(0x03, static_cast<uint8_t>(4 * colour + 1)) && io.writeRegister(0x04, 0) &&
           io.writeRegister(0x05, 0) && io.writeFixed(0x06, bigEndian(gains));
}

std::vector<uint8_t> ReadImage(FrameClient& io, std::size_t bytes) {
    std::vector<uint8_t> image;
    while (image.size() < bytes) {
        const auto piece = static_cast<uint16_t>(std::min<std::size_t>(65535, bytes - image.size()));
        auto data = io.readData(piece);
        if (!data || data->empty()) break;
        image.insert(image.end(), data->begin(), data->end());
    }
    return image;
}

std::vector<std::vector<uint8_t>> SplitLines(const std::vector<uint8_t>& data, std::size_t lineBytes) {
    std::vector<std::vector<uint8_t>> lines;
    for (std::size_t at = 0; at + lineBytes <= data.size(); at += lineBytes) {
        lines.emplace_back(data.begin() + static_cast<long>(at), data.begin() + static_cast<long>(at + lineBytes));
    }
    return lines;
}

}  // namespace ordavel::test
