// Light, conversion and the pipeline for one line.
#include "virtual/line_renderer.h"

#include <algorithm>
#include <cmath>

#include "virtual/line_pipeline.h"

namespace ordavel::virtual_scanner {

LineRenderer::LineRenderer(const ScannerConfig& config, CisSensor& sensor, const ControllerMemory& memory)
    : config_(config), sensor_(sensor), memory_(memory) {}

// The LEDs reach full brightness as soon as the lamp is powered (no warm-up is modelled), and
// the one PWM duty register drives all three.
double LineRenderer::lampWeight(int colour) const {
    const auto c = static_cast<std::size_t>(colour);
    if (!settings_.lampsPowered) return 0.0;
    const uint32_t end = settings_.timing.linePixels;
    const uint32_t on = std::min(settings_.lampOn[c], end);
    const uint32_t off = std::min(settings_.lampOff[c], end);
    if (off <= on) return 0.0;
    // A 12-bit PWM: duty values above 4095 keep the LEDs fully on.
    const double duty = std::min<uint32_t>(settings_.lampDuty, 4095) / 4095.0;
    return (off - on) / config_.sensor.referenceExposure * duty * config_.sensor.lampStrength[c];
}

void LineRenderer::prepare(const ScanSettings& settings) {
    settings_ = settings;
    dataPixels_ = settings.dataEnd - settings.dataStart;
    for (int c = 0; c < 3; ++c) {
        const auto i = static_cast<std::size_t>(c);
        weight_[i] = lampWeight(c);
        // A monochrome sensor has one analogue output; the one-channel modes run it through the
        // front end's blue channel.
        const int afe = settings.mode == ChannelMode::OneChannel ? 2 : c;
        conversion_[i] = sensor_.prepare(settings.dataStart, dataPixels_, settings.offsetCode[static_cast<std::size_t>(afe)],
                                         settings.gainCode[static_cast<std::size_t>(afe)]);
        reflectance_[i].assign(dataPixels_, 0.0f);
        wide_[i].assign(settings.outputPixels, 0);
        narrow_[i].assign(settings.outputPixels, 0);
    }
    light_.assign(dataPixels_, 0.0f);
    codes_.assign(dataPixels_, 0);
    divided_.assign(settings.outputPixels, 0);
    interleavedWide_.assign(std::size_t{settings.outputPixels} * 3, 0);
    interleavedNarrow_.assign(std::size_t{settings.outputPixels} * 3, 0);
}

// Imaging pixels among the data pixels, [first, last) in line pixels.
void LineRenderer::imagingRange(uint32_t& first, uint32_t& last) const {
    const SensorConfig& sc = config_.sensor;
    first = std::max<uint32_t>(settings_.dataStart, static_cast<uint32_t>(sc.imageStart));
    last = std::min<uint32_t>(settings_.dataEnd, static_cast<uint32_t>(sc.imageStart + sc.imagePixels));
}

// Distance of a line pixel's centre from the paper guide's centre line, in inches.
double LineRenderer::lateral(uint32_t linePixel) const {
    const SensorConfig& sc = config_.sensor;
    return (linePixel - sc.imageStart - sc.paperCentre + 0.5) / sc.opticalResolution;
}

// An unskewed sheet: its points along the scan line form one row of the page.
void LineRenderer::coverRow(const Sheet& s, double depth, const std::array<bool, 3>& channels) {
    if (depth < 0 || depth >= s.page->heightInches()) return;
    uint32_t first = 0, last = 0;
    imagingRange(first, last);
    const double w = s.page->widthInches();
    const double dx = 1.0 / config_.sensor.opticalResolution;
    const double x0 = w / 2 + lateral(first) - s.offsetInches;
    const auto count = static_cast<long>(last - first);
    long i0 = std::clamp(static_cast<long>(std::ceil(-x0 / dx)), 0L, count);
    while (i0 < count && x0 + dx * i0 < 0) ++i0;
    long i1 = std::clamp(static_cast<long>(std::ceil((w - x0) / dx)), i0, count);
    while (i1 > i0 && x0 + dx * (i1 - 1) >= w) --i1;
    if (i1 <= i0) return;
    const std::size_t base = first - settings_.dataStart;
    scratch_.resize(static_cast<std::size_t>(i1 - i0));
    for (std::size_t c = 0; c < 3; ++c) {
        if (!channels[c]) continue;
        s.page->sampleRow(depth, x0 + dx * i0, dx, static_cast<int>(i1 - i0), static_cast<Channel>(c), scratch_.data());
        for (long i = i0; i < i1; ++i) {
            if (!taken_[static_cast<std::size_t>(i)]) reflectance_[c][base + static_cast<std::size_t>(i)] = scratch_[static_cast<std::size_t>(i - i0)];
        }
    }
    for (long i = i0; i < i1; ++i) taken_[static_cast<std::size_t>(i)] = 1;
}

// A skewed sheet, rotated about the centre of its leading edge: point by point.
void LineRenderer::coverPoints(const Sheet& s, double depth, const std::array<bool, 3>& channels) {
    uint32_t first = 0, last = 0;
    imagingRange(first, last);
    const double w = s.page->widthInches();
    const double cs = std::cos(s.skewRadians), sn = std::sin(s.skewRadians);
    for (uint32_t p = first; p < last; ++p) {
        if (taken_[p - first]) continue;
        const double u = lateral(p) - s.offsetInches;
        const double x = w / 2 + u * cs + depth * sn;
        const double y = -u * sn + depth * cs;
        if (!s.page->contains(x, y)) continue;
        taken_[p - first] = 1;
        for (std::size_t c = 0; c < 3; ++c) {
            if (channels[c]) reflectance_[c][p - settings_.dataStart] = s.page->reflectance(x, y, static_cast<Channel>(c));
        }
    }
}

LineTruth LineRenderer::sampleReflectance(const PaperPath& path, const std::array<bool, 3>& channels) {
    const PathConfig& pc = path.config();
    const auto backing = static_cast<float>(config_.sensor.backingReflectance);
    for (std::size_t c = 0; c < 3; ++c) {
        if (channels[c]) std::fill(reflectance_[c].begin(), reflectance_[c].end(), backing);
    }
    uint32_t first = 0, last = 0;
    imagingRange(first, last);
    LineTruth truth;
    taken_.assign(last > first ? last - first : 0, 0);
    for (const Sheet& s : path.sheets()) {
        if (s.state != SheetState::InPath) continue;
        // Sheets earlier in the path lie on top where sheets overlap.
        const double margin = s.page->widthInches() / 2 * std::abs(std::sin(s.skewRadians)) * pc.stepsPerInch + 1;
        if (!(s.tail() - margin < pc.scanLine && pc.scanLine <= s.lead + margin)) continue;
        const double depth = (s.lead - pc.scanLine) / pc.stepsPerInch;
        if (truth.sheet == 0 && depth >= 0 && depth < s.page->heightInches()) truth = {s.number, depth};
        if (first >= last) continue;
        if (s.skewRadians == 0) {
            coverRow(s, depth, channels);
        } else {
            coverPoints(s, depth, channels);
        }
    }
    return truth;
}

void LineRenderer::convertStream(int colour, int tables, std::vector<float>& light, uint16_t* wide, uint8_t* narrow) {
    const auto c = static_cast<std::size_t>(colour);
    sensor_.convert(conversion_[c], light.data(), dataPixels_, codes_.data());
    DivideLine(codes_.data(), dataPixels_, settings_.dividerHalves, wide, settings_.outputPixels);
    ShadeLine(wide, settings_.outputPixels, memory_.shadingOffsets(tables), memory_.shadingGains(tables),
              ControllerMemory::kShadingWords, settings_.shadeOffset, settings_.shadeGain);
    if (settings_.bits < 16) GammaLine(wide, settings_.outputPixels, memory_.gamma(tables), narrow);
}

LineTruth LineRenderer::render(const PaperPath& path, uint64_t lineIndex, uint8_t* out) {
    const uint32_t n = settings_.outputPixels;
    std::array<bool, 3> lit{};
    for (std::size_t c = 0; c < 3; ++c) lit[c] = weight_[c] > 0;

    if (settings_.mode == ChannelMode::LineRateColour) {
        // Each colour line lights its own LED only.
        const int colour = static_cast<int>(lineIndex % 3);
        const auto c = static_cast<std::size_t>(colour);
        const LineTruth truth = sampleReflectance(path, {c == 0, c == 1, c == 2});
        for (uint32_t i = 0; i < dataPixels_; ++i) light_[i] = static_cast<float>(weight_[c]) * reflectance_[c][i];
        convertStream(colour, colour, light_, wide_[c].data(), narrow_[c].data());
        PackLine(wide_[c].data(), narrow_[c].data(), n, settings_.bits, out, settings_.dataBytes);
        return truth;
    }
    if (settings_.mode == ChannelMode::OneChannel) {
        // Whatever LEDs are lit add up on the one sensor output.
        std::array<bool, 3> wanted = lit;
        if (!std::any_of(wanted.begin(), wanted.end(), [](bool b) { return b; })) wanted[2] = true;
        const LineTruth truth = sampleReflectance(path, wanted);
        std::fill(light_.begin(), light_.end(), 0.0f);
        for (std::size_t c = 0; c < 3; ++c) {
            if (!lit[c]) continue;
            const auto w = static_cast<float>(weight_[c]);
            for (uint32_t i = 0; i < dataPixels_; ++i) light_[i] += w * reflectance_[c][i];
        }
        // The blue channel's shading and gamma tables go with the blue front-end channel.
        convertStream(2, 2, light_, wide_[2].data(), narrow_[2].data());
        PackLine(wide_[2].data(), narrow_[2].data(), n, settings_.bits, out, settings_.dataBytes);
        return truth;
    }
    // Pixel-rate colour: three samples per pixel, each seeing its own LED and passing its own
    // front-end channel and tables (a monochrome CIS cannot do this; the model behaves as a
    // three-output sensor would).
    const LineTruth truth = sampleReflectance(path, {true, true, true});
    for (std::size_t c = 0; c < 3; ++c) {
        const auto w = static_cast<float>(weight_[c]);
        for (uint32_t i = 0; i < dataPixels_; ++i) light_[i] = w * reflectance_[c][i];
        convertStream(static_cast<int>(c), static_cast<int>(c), light_, wide_[c].data(), narrow_[c].data());
        for (uint32_t j = 0; j < n; ++j) {
            interleavedWide_[3 * j + c] = wide_[c][j];
            interleavedNarrow_[3 * j + c] = narrow_[c][j];
        }
    }
    PackLine(interleavedWide_.data(), interleavedNarrow_.data(), std::size_t{n} * 3, settings_.bits, out,
             settings_.dataBytes);
    return truth;
}

}  // namespace ordavel::virtual_scanner
