// Downloading the shading tables into the controller's shading memory.
#include "driver/calibration/shading_download.h"

#include <algorithm>
#include <string>

#include "driver/calibration/calibration.h"
#include "driver/calibration/calibration_trace.h"
#include "driver/calibration/shading_coefficients.h"
#include "driver/device/transport.h"
#include "driver/interface/driver_context.h"
#include "platform/profile.h"

namespace ordavel::calibration {

namespace {

constexpr uint8_t kShadingRegister = 0x42;
constexpr uint8_t kMemorySelect = 0x03;  // 4 x colour + table (0 offsets, 1 gains)
constexpr uint8_t kMemoryDataPort = 0x06;

void PutWord(std::vector<uint8_t>& bytes, std::size_t index, int32_t value) {
    auto word = static_cast<uint32_t>(std::clamp(value, 0, 0xFFFF));
    bytes[2 * index] = static_cast<uint8_t>(word >> 8);
    bytes[2 * index + 1] = static_cast<uint8_t>(word & 0xFF);
}

bool SendTable(DriverContext& ctx, uint8_t select, const std::vector<uint8_t>& bytes) {
    return device::WriteRegister(ctx, kMemorySelect, select) && device::SendBlock(ctx, kMemoryDataPort, bytes);
}

void CopyAveragesToBlackProfile(CalibrationState& state) {
    for (int c = 0; c < kColours; ++c) std::copy(state.sums[c].begin(), state.sums[c].end(), state.blackProfile[c].begin());
}

void TraceDownload(const CalibrationState& state, int colour, int32_t startPixel, const ShadingTableBytes& tables) {
    Trace("offset,gain color=%x,startpixel=%x,len=%x", colour, startPixel, tables.offsets.size());
    for (std::size_t x = 0; x < 5 && 2 * x + 1 < tables.offsets.size(); ++x) {
        Trace("ct,offset,gain=%x,%x,%x", x, state.blackProfile[colour][x], state.coefficients[colour][x]);
    }
}

}  // namespace

uint8_t ShadingEnableBits(int32_t debugLevel, std::string_view name) {
    if (debugLevel > 2) return 0;
    if (debugLevel == 2) return (name == "BlackFine" || name == "WhiteFine") ? 4 : 0;
    if (name == "BlackFine") return 4;
    if (name == "WhiteFine") return 6;
    return 0;
}

ShadingTableBytes BuildShadingTables(const CalibrationState& state, int colour) {
    auto count = static_cast<std::size_t>(std::clamp(state.pixelsPerLine, 0, kCalibrationPixels));
    ShadingTableBytes tables{std::vector<uint8_t>(2 * count), std::vector<uint8_t>(2 * count)};
    for (std::size_t x = 0; x < count; ++x) {
        PutWord(tables.offsets, x, ShadingBlackLevel(state, colour, static_cast<int32_t>(x)));
        PutWord(tables.gains, x, state.coefficients[colour][x]);
    }
    return tables;
}

bool ClearOffsetTables(DriverContext& ctx, int32_t pixels) {
    std::vector<uint8_t> zeros(2 * static_cast<std::size_t>(std::clamp(pixels, 0, kCalibrationPixels)), 0);
    for (int c = 0; c < kColours; ++c) {
        if (!SendTable(ctx, static_cast<uint8_t>(4 * c), zeros)) return false;
    }
    return true;
}

bool DownloadShadingTables(DriverContext& ctx, const char* name) {
    std::string_view step = name != nullptr ? name : "";
    CalibrationState& state = ctx.calibration;
    // The black profile is what the white coefficients are computed over and what "BlackFINE.PXL"
    // holds: it is this calibration's whether or not the controller can be reached, never the
    // profile of an earlier calibration left in place by a failed register transfer.
    if (step == "BlackFine") CopyAveragesToBlackProfile(state);

    uint8_t shading = 0;
    if (!device::ReadRegister(ctx, kShadingRegister, shading)) return false;
    int32_t debugLevel = platform::ReadProfileInt(ctx.TempFilePath("Mirt.def"), "SETUP", "Debug", 0);
    shading = static_cast<uint8_t>((shading & ~7) | ShadingEnableBits(debugLevel, step));
    if (!device::WriteRegister(ctx, kShadingRegister, shading)) return false;

    // Only the calibrated third channel's tables are sent. A failed transfer fails the
    // calibration: the controller would scan this process's pages with tables it never got.
    ShadingTableBytes tables = BuildShadingTables(state, kBlue);
    if (!SendTable(ctx, 4 * kBlue, tables.offsets) || !SendTable(ctx, 4 * kBlue + 1, tables.gains)) return false;
    TraceDownload(state, kBlue, ctx.engine.parms.startpixel, tables);
    return true;
}

}  // namespace ordavel::calibration
