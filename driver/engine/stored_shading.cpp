// Downloading the shading calibration stored by the last fine calibration ("cr.dat" and the
// black line of "BlackFINE.PXL") into the controller's shading memory.
#include <algorithm>
#include <array>
#include <cstdio>
#include <memory>
#include <span>
#include <string>

#include "driver/calibration/work_file_header.h"
#include "driver/description/register_programming.h"
#include "driver/device/status_report.h"
#include "driver/device/transport.h"
#include "driver/engine/scan_setup.h"
#include "driver/interface/driver_context.h"
#include "platform/profile.h"

namespace ordavel::engine {

namespace {

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

// Where the coefficients start in "cr.dat" (after "v2\n" and the pixel count).
constexpr long kCoefficientsOffset = 7;
constexpr uint8_t kMemoryDataPort = 0x06;

// Words for table entries that no stored pixel covers: no black level, a gain of 1.0 (the
// coefficients carry 14 fraction bits).
constexpr uint16_t kNeutralBlack = 0x0000;
constexpr uint16_t kNeutralGain = 0x4000;

// Shading on in register 0x42 bits 0-2 as the debug level allows: offset and gain, offset
// only, or none.
int32_t ShadingMode(int32_t debugLevel) {
    if (debugLevel < 2) return 6;
    if (debugLevel == 2) return 4;
    return 0;
}

bool SwitchShadingOn(DriverContext& ctx) {
    uint8_t memoryConfig = 0;
    if (!device::ReadRegister(ctx, 0x42, memoryConfig)) return false;
    memoryConfig = static_cast<uint8_t>((memoryConfig & ~7) | ShadingMode(ctx.settings.debugLevel));
    return device::WriteRegister(ctx, 0x42, memoryConfig);
}

// Reads the first `storedBytes` bytes of a table line; the words beyond them (a calibration over
// a narrower window stores shorter lines) repeat the last stored word, the nearest pixel's value.
bool ReadStoredLine(DriverContext& ctx, std::FILE* file, std::size_t storedBytes, ShadingTable& line) {
    storedBytes = std::min(storedBytes, line.size()) & ~std::size_t{1};
    if (std::fread(line.data(), 1, storedBytes, file) != storedBytes) {
        device::Report(ctx, "读扫描文件错误");
        return false;
    }
    for (std::size_t i = storedBytes; storedBytes >= 2 && i + 1 < line.size(); i += 2) {
        line[i] = line[storedBytes - 2];
        line[i + 1] = line[storedBytes - 1];
    }
    return true;
}

// The pixel count "cr.dat" was written with (its bytes 3 to 6, little-endian), when plausible;
// otherwise a full table line, as the file is customarily laid out.
std::size_t StoredCoefficientBytes(std::FILE* file) {
    uint8_t head[kCoefficientsOffset] = {};
    if (std::fread(head, 1, sizeof head, file) != sizeof head || head[0] != 'v') return kStoredShadingLineBytes;
    const uint32_t pixels = head[3] | (head[4] << 8) | (head[5] << 16) | (uint32_t{head[6]} << 24);
    if (pixels == 0 || pixels > 16384) return kStoredShadingLineBytes;
    return 2 * std::size_t{pixels};
}

// Where the black line starts in the black calibration file: right after its text header. The
// header's length varies with its numbers (a strip of 31 lines has a 32-byte header, one of 100
// lines or more 33 bytes), so it is read from the header; a file without a readable header keeps
// the customary 33.
constexpr long kCustomaryBlackLineOffset = 33;

struct BlackLine {
    long start = kCustomaryBlackLineOffset;
    std::size_t bytes = kStoredShadingLineBytes;  // one 16-bit sample a pixel
};

BlackLine LocateBlackLine(std::FILE* file) {
    std::array<uint8_t, calibration::kHeaderReadLimit> bytes{};
    const std::size_t got = std::fread(bytes.data(), 1, bytes.size(), file);
    const auto header = calibration::ParseWorkFileHeader(std::span<const uint8_t>(bytes.data(), got));
    BlackLine line;
    if (!header) return line;
    line.start = static_cast<long>(header->dataStart);
    if (header->pixelsPerLine > 0) line.bytes = 2 * static_cast<std::size_t>(header->pixelsPerLine);
    return line;
}

bool SendTable(DriverContext& ctx, uint8_t select, const ShadingTable& table) {
    return device::WriteRegister(ctx, 0x03, select) && device::SendBlock(ctx, kMemoryDataPort, table);
}

// Bytes into a stored line where the current window starts: the stored line begins at the
// start pixel calibration used.
int64_t WindowOffsetBytes(const DriverContext& ctx) {
    const int32_t stored = platform::ReadProfileInt(ctx.TempFilePath("Mirt.def"), "GAIN_OFFSET", "startpixel", 0);
    const int64_t offset = 2 * (int64_t{ctx.engine.parms.startpixel} - stored);
    return offset > 0 ? offset : 0;
}

}  // namespace

ShadingTable ShadingTableFrom(std::span<const uint8_t, kStoredShadingLineBytes> line, int64_t offsetBytes,
                              uint16_t neutralWord) {
    ShadingTable table{};
    const int64_t available = offsetBytes >= kStoredShadingLineBytes ? 0 : kStoredShadingLineBytes - offsetBytes;
    const auto copied = static_cast<std::size_t>(available);
    std::copy_n(line.begin() + (kStoredShadingLineBytes - available), copied, table.begin());
    // Entries past the stored line lie beyond the calibrated sensor range; the nearest
    // calibrated pixel is the best estimate there. With no stored word left, stay neutral.
    uint8_t fill[2] = {static_cast<uint8_t>(neutralWord >> 8), static_cast<uint8_t>(neutralWord & 0xFF)};
    if (copied >= 2) {
        fill[0] = table[copied - 2];
        fill[1] = table[copied - 1];
    }
    for (std::size_t i = copied; i + 1 < table.size(); i += 2) {
        table[i] = fill[0];
        table[i + 1] = fill[1];
    }
    return table;
}

bool DownloadStoredShading(DriverContext& ctx) {
    File coefficients(std::fopen(ctx.TempFilePath("cr.dat").c_str(), "rb"));
    File black(std::fopen(ctx.TempFilePath("BlackFINE.PXL").c_str(), "rb"));
    if (!coefficients || !black) {
        device::Report(ctx, "打开扫描文件错误!");
        return false;
    }
    if (!SwitchShadingOn(ctx)) return false;

    // Each stored line is read from where its file puts it, for as many pixels as calibration
    // stored: reading a fixed 3,360 bytes from a calibration over a narrower window runs into the
    // next colour's coefficients and past the end of the file, and every later scan failed.
    ShadingTable blackLine{};
    const BlackLine blackAt = LocateBlackLine(black.get());
    const std::size_t coefficientBytes = StoredCoefficientBytes(coefficients.get());
    if (std::fseek(black.get(), blackAt.start, SEEK_SET) != 0) {
        device::Report(ctx, "读扫描文件错误");
        return false;
    }
    if (!ReadStoredLine(ctx, black.get(), blackAt.bytes, blackLine)) return false;
    const int64_t offset = WindowOffsetBytes(ctx);
    const ShadingTable blackTable = ShadingTableFrom(blackLine, offset, kNeutralBlack);
    for (int channel = 0; channel < 3; ++channel) {
        ShadingTable gains{};
        const long at = kCoefficientsOffset + static_cast<long>(coefficientBytes) * channel;
        if (std::fseek(coefficients.get(), at, SEEK_SET) != 0) {
            device::Report(ctx, "读扫描文件错误");
            return false;
        }
        if (!ReadStoredLine(ctx, coefficients.get(), coefficientBytes, gains)) return false;
        if (!SendTable(ctx, static_cast<uint8_t>(4 * channel), blackTable)) return false;
        if (!SendTable(ctx, static_cast<uint8_t>(4 * channel + 1), ShadingTableFrom(gains, offset, kNeutralGain))) {
            return false;
        }
    }
    return true;
}

bool DownloadCalibrationData(DriverContext& ctx) {
    description::RegisterImage image;
    if (!description::BuildRegisterImage(ctx, image, true)) return false;
    return DownloadStoredShading(ctx);
}

}  // namespace ordavel::engine
