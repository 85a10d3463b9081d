// Decoding the timing and scan registers.
#include "virtual/scan_settings.h"

#include <algorithm>

namespace ordavel::virtual_scanner {

ChannelMode ChannelModeOf(uint8_t channelModeRegister) {
    switch (channelModeRegister & 0x07) {
        case 0: return ChannelMode::PixelRateColour;
        case 1:
        case 5: return ChannelMode::LineRateColour;
        default: return ChannelMode::OneChannel;
    }
}

uint32_t TrOverheadPixels(const RegisterFile& r) {
    const uint8_t timing = r.get(reg::kTrTiming);
    const uint32_t select = timing & 0x03;
    const uint32_t speed = (timing >> 2) & 0x03;
    // The TR pulses are timed in units of 1 pixel period, or 2, 3, 4 or 6 when selected.
    uint32_t unit = 1;
    if (select != 0) unit = speed + 2 == 5 ? 6 : speed + 2;
    const uint32_t duration = r.get(reg::kTrPulse) & 0x0F;
    const uint32_t guard = r.get(reg::kTrPulse) >> 4;
    const uint32_t twoPulses = r.get(reg::kSensorControl) >> 7;
    const uint32_t cis = (r.get(reg::kSensorConfig) >> 3) & 0x03;
    uint32_t pulse = 1;  // CIS TR timing mode 1 (and the undefined mode 3)
    if (cis == 0) pulse = (duration + 2 * guard + 1) * (twoPulses + 1);
    if (cis == 2) pulse = 3;
    return (pulse - twoPulses + 3) * unit + (cis == 0 ? 1 : 0);
}

Timing ComputeTiming(const RegisterFile& r) {
    Timing t;
    const bool pixelRateColour = ChannelModeOf(r.get(reg::kChannelMode)) == ChannelMode::PixelRateColour;
    t.pixelPeriod = Ticks{8} * (r.get(reg::kClockDivider) + 2u) * (pixelRateColour ? 3u : 1u);
    t.linePixels = r.word(reg::kLineLengthHigh) + TrOverheadPixels(r);
    t.linePeriod = t.pixelPeriod * t.linePixels;
    auto stepPeriod = [&](uint16_t size) { return Ticks{4} * std::max<uint16_t>(size, 2) * t.pixelPeriod; };
    t.scanStepPeriod = stepPeriod(r.word(reg::kScanStepHigh));
    t.fastStepPeriod = stepPeriod(r.word(reg::kFastStepHigh));
    return t;
}

namespace {
int bitsOf(uint8_t pixelFormat) {
    switch (pixelFormat & 0x38) {
        case 0x00: return 1;
        case 0x08: return 2;
        case 0x10: return 4;
        case 0x18: return 8;
        default: return 16;
    }
}

constexpr int kDividerHalves[8] = {2, 3, 4, 6, 8, 12, 16, 24};
}  // namespace

ScanSettings LatchScanSettings(const RegisterFile& r) {
    ScanSettings s;
    s.timing = ComputeTiming(r);
    s.mode = ChannelModeOf(r.get(reg::kChannelMode));
    s.samplesPerPixel = s.mode == ChannelMode::PixelRateColour ? 3 : 1;
    s.dataStart = r.word(reg::kDataStartHigh);
    s.dataEnd = std::max<uint32_t>(s.dataStart, r.word(reg::kDataEndHigh));
    s.dividerHalves = kDividerHalves[r.get(reg::kPixelFormat) & 0x07];
    s.bits = bitsOf(r.get(reg::kPixelFormat));
    s.outputPixels = (s.dataEnd - s.dataStart) * 2 / static_cast<uint32_t>(s.dividerHalves);
    // The buffer takes whole 16-bit words: a trailing odd byte is not stored.
    const std::size_t packedBits = std::size_t{s.outputPixels} * s.samplesPerPixel * s.bits;
    s.dataBytes = (packedBits / 8) & ~std::size_t{1};
    s.lineBytes = s.dataBytes + 2;

    s.lampsPowered = (r.get(reg::kIllumination) & 0x03) != 0;
    for (int c = 0; c < 3; ++c) {
        const auto base = static_cast<uint8_t>(reg::kLampTimesHigh + 4 * c);
        s.lampOn[static_cast<std::size_t>(c)] = r.word(base);
        s.lampOff[static_cast<std::size_t>(c)] = r.word(static_cast<uint8_t>(base + 2));
        s.offsetCode[static_cast<std::size_t>(c)] = r.get(static_cast<uint8_t>(reg::kOffsetRed + c)) & 0x3F;
        s.gainCode[static_cast<std::size_t>(c)] = r.get(static_cast<uint8_t>(reg::kGainRed + c)) & 0x3F;
    }
    s.lampDuty = r.word(reg::kLampDutyHigh);

    s.shadeOffset = (r.get(reg::kMemoryConfig) & bits::kMemoryOffsetFromDram) != 0;
    s.shadeGain = (r.get(reg::kMemoryConfig) & bits::kMemoryGainFromDram) != 0;

    s.skipSteps = r.word(reg::kSkipStepsHigh);
    s.stopSteps = r.word(reg::kStopStepsHigh);
    const uint8_t sensors = r.get(reg::kPaperSensorConfig);
    s.stopOnSensor1 = (sensors & bits::kSensorStopScan) != 0;
    s.stopOnSensor2 = (sensors & (bits::kSensorStopScan << 3)) != 0;
    return s;
}

}  // namespace ordavel::virtual_scanner
