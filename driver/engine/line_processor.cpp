// The line processor: start, taking a line, readiness and clean-up.
#include "driver/engine/line_processor.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>
#include <stdexcept>

#include "driver/engine/bitmap_header.h"
#include "driver/engine/depth_expansion.h"
#include "driver/engine/line_placing.h"
#include "driver/engine/work_line.h"

namespace ordavel::engine {

namespace {

int32_t ChannelsOf(const LineGeometry& g) { return g.channelMode == 4 ? 1 : 3; }

// Row bytes of `pixels` pixels by the row rule: one channel of 1-bit data packs 8 pixels a byte,
// otherwise bytes per sample x channels per pixel.
int32_t RowBytesFor(const LineGeometry& g, int64_t pixels, int32_t bytesPerSample) {
    int64_t bits = 0;
    if (g.channelMode == 4 && g.bits == 1) {
        bits = pixels;
    } else {
        bits = int64_t{bytesPerSample} * pixels * (g.channelMode == 4 ? 8 : 24);
    }
    return static_cast<int32_t>((bits + 31) / 32 * 4);
}

void FreeBuffers(LineProcessorState& s) {
    std::vector<uint8_t>().swap(s.ring);
    std::vector<uint8_t*>().swap(s.slots);
    std::vector<uint8_t>().swap(s.workLine);
    s.headerBytes = 0;
    s.ringLines = 0;
}

double CeilAbs(double value) { return std::ceil(std::fabs(value)); }

// Steps of the resampling; a missing resolution leaves the step at 1.
double Ratio(int32_t actual, int32_t requested) {
    if (actual <= 0 || requested <= 0) return 1.0;
    return static_cast<double>(actual) / requested;
}

// Bytes an input line must provide for the pixels the processor reads from it.
int32_t InputLineNeed(const LineGeometry& g, int32_t channels) {
    const int64_t bits = int64_t{std::max(g.inputPixels, 1)} * channels * g.bits;
    return static_cast<int32_t>((bits + 7) / 8);
}

void ResetCounters(LineGeometry& g, LineProcessorState& s) {
    g.nextLineOffset = 0;
    g.repeatLimit = 1;
    g.linesProduced = 0;
    g.reservedD = 0;
    s.received = 0;
    s.lowest = 1;
}

void TakePositions(const LineGeometry& g, LineProcessorState& s) {
    if (g.channelMode == 4) {
        s.positions = {0.0, 0.0, 0.0};
    } else {
        s.positions = {g.redOffset, g.greenOffset, g.blueOffset};
    }
    s.evenOdd = g.evenOddOffset;
}

void AdvancePositions(LineProcessorState& s) {
    for (double& p : s.positions) p += s.ys;
}

bool PositionsBelowFirstLine(const LineProcessorState& s) {
    return std::any_of(s.positions.begin(), s.positions.end(),
                       [&](double p) { return p < 1.0 || p + s.evenOdd < 1.0; });
}

// Vertical step, repeat limit and the input lines the output needs; sizes the ring.
void PlanVertical(LineGeometry& g, LineProcessorState& s) {
    const int32_t actual = g.actualYResolution;
    const int32_t requested = g.requestedYResolution;
    if (actual > 0 && requested > 0) {
        const double repeat = std::ceil(static_cast<double>(requested) / actual);
        if (repeat > 1.0) g.repeatLimit = static_cast<int32_t>(repeat);
    }
    s.ys = 1.0;
    int64_t n = g.outputLines;
    if (actual != requested) {
        s.ys = Ratio(actual, requested);
        n = static_cast<int64_t>(std::ceil(g.outputLines * s.ys));
    }
    const double spread = CeilAbs(s.positions[0]) + CeilAbs(s.positions[1]) + CeilAbs(s.positions[2]) +
                          CeilAbs(s.evenOdd);
    g.inputLinesNeeded = static_cast<int32_t>(n + static_cast<int64_t>(spread) + 1);
    s.ringLines = static_cast<int32_t>(CeilAbs(s.ys) + spread + 2);
}

// Ring, pointer table, headers and work line. False (with everything freed) when memory runs out.
bool AllocateBuffers(LineGeometry& g, LineProcessorState& s) {
    try {
        s.slotBytes = std::max(g.inputBytesPerLine, InputLineNeed(g, s.channels));
        s.ring.assign(static_cast<std::size_t>(s.slotBytes) * static_cast<std::size_t>(s.ringLines), 0);
        s.slots.resize(static_cast<std::size_t>(s.ringLines));
        for (int32_t i = 0; i < s.ringLines; ++i) {
            s.slots[static_cast<std::size_t>(i)] = s.ring.data() + static_cast<std::ptrdiff_t>(i) * s.slotBytes;
        }
        const int64_t widest = std::max(g.inputPixels, g.outputPixels);
        // Narrow samples are widened to a byte each; 16-bit samples keep two bytes.
        const int32_t sampleBytes = g.bits == 16 ? 2 : 1;
        s.workLine.assign(static_cast<std::size_t>(RowBytesFor(g, widest, sampleBytes)), 0);
    } catch (const std::bad_alloc&) {
        FreeBuffers(s);
        return false;
    } catch (const std::length_error&) {
        FreeBuffers(s);
        return false;
    }
    s.headerBytes = BuildBitmapHeaders(g, s.bitCount, s.headers);
    if (g.outputBuffer != nullptr) {
        std::memcpy(g.outputBuffer, s.headers.data(), static_cast<std::size_t>(s.headerBytes));
    }
    g.headerSize = s.headerBytes;
    g.bytesThisCall = s.headerBytes;
    return true;
}

bool Start(LineGeometry& g, LineProcessorState& s) {
    FreeBuffers(s);
    ResetCounters(g, s);
    TakePositions(g, s);
    s.depthMask = DepthMask(g.bits);
    s.channels = ChannelsOf(g);
    if (g.outputPixels < 1) g.outputPixels = 1;
    s.xs = Ratio(g.actualXResolution, g.requestedXResolution);
    s.bitCount = BitmapBitCount(g);
    g.outputBytesPerLine = OutputBytesPerLine(g);
    PlanVertical(g, s);
    if (!AllocateBuffers(g, s)) return false;
    while (PositionsBelowFirstLine(s)) AdvancePositions(s);
    return true;
}

void ReceiveLine(const LineGeometry& g, LineProcessorState& s) {
    if (g.linesFed != s.received + 1 || s.ringLines == 0 || g.currentInputLine == nullptr) return;
    uint8_t* slot = s.slots[static_cast<std::size_t>(s.received % s.ringLines)];
    std::memcpy(slot, g.currentInputLine, static_cast<std::size_t>(std::max(g.inputBytesPerLine, 0)));
    ++s.received;
    s.lowest = std::max(1, s.received + 1 - s.ringLines);
}

bool LineHeld(const LineProcessorState& s, int64_t line) {
    return line >= s.lowest && line <= s.received - 1;
}

// Every line an output line reads (the whole line of each position and of each position plus
// the even/odd offset, and the one after it) has arrived and is still in the ring.
bool Ready(const LineProcessorState& s) {
    return std::all_of(s.positions.begin(), s.positions.end(), [&](double p) {
        return LineHeld(s, static_cast<int64_t>(p)) && LineHeld(s, static_cast<int64_t>(p + s.evenOdd));
    });
}

const uint8_t* RingLine(const LineProcessorState& s, int64_t line) {
    return s.slots[static_cast<std::size_t>((line - 1) % s.ringLines)];
}

LinePair PairAt(const LineProcessorState& s, double position) {
    const int64_t a = static_cast<int64_t>(position);
    const double f = position - static_cast<double>(a);
    LinePair pair;
    pair.first = RingLine(s, a);
    pair.firstWeight = static_cast<int64_t>((1.0 - f) * 65536.0);
    pair.secondWeight = static_cast<int64_t>(f * 65536.0);
    if (f > 0.0) pair.second = RingLine(s, a + 1);
    return pair;
}

// Interpolation across pixels is needed when the output is wider than the input, or forced.
bool InterpolatesHorizontally(const LineGeometry& g) {
    const bool plain = g.requestedXResolution == g.actualXResolution ||
                       (g.requestedXResolution < g.actualXResolution && g.interpolate == 0);
    return !plain;
}

// Builds the line into `work`: its row when it is placed as built, else the work line.
void BuildWorkLine(const LineGeometry& g, LineProcessorState& s, uint8_t* work) {
    if (g.channelMode != 0 && g.channelMode != 4) return;  // no other layout is processed
    SampleFormat format;
    format.bits = g.bits;
    format.channels = s.channels;
    format.mask = s.depthMask;
    format.packed = g.channelMode == 4 && g.bits == 1;
    const bool across = InterpolatesHorizontally(g);
    for (int32_t j = 0; j < s.channels; ++j) {
        const double p = s.positions[static_cast<std::size_t>(j)];
        const ChannelLines lines{PairAt(s, p), PairAt(s, p + s.evenOdd)};
        if (across) {
            BuildChannelInterpolated(lines, format, j, g.inputPixels, g.outputPixels, s.xs, work);
        } else {
            BuildChannelVertical(lines, format, j, g.inputPixels, work);
        }
    }
}

void ProduceLine(LineGeometry& g, LineProcessorState& s) {
    uint8_t* row = MakeRowForNextLine(g);
    BuildWorkLine(g, s, PlacesLineAsBuilt(g) ? row : s.workLine.data());
    AdvancePositions(s);
    CompletePlacedRow(g, s, row);
    g.lastLine = row;
    ++g.linesThisCall;
    ++g.linesProduced;
    g.bytesThisCall += g.outputBytesPerLine;
    const int32_t rowIndex = g.topDown != 0 ? g.linesProduced - g.linesThisCall : g.outputLines - g.linesProduced;
    g.nextLineOffset = g.headerSize + rowIndex * g.outputBytesPerLine;
    if (g.linesProduced >= g.outputLines) FreeBuffers(s);
}

void TakeLine(LineGeometry& g, LineProcessorState& s) {
    ReceiveLine(g, s);
    while (g.linesThisCall < g.repeatLimit && g.linesProduced < g.outputLines && s.ringLines > 0) {
        if (!Ready(s)) return;
        ProduceLine(g, s);
    }
}

}  // namespace

int32_t OutputBytesPerLine(const LineGeometry& geometry) {
    return RowBytesFor(geometry, std::max(geometry.outputPixels, 1), geometry.bytesPerSample);
}

bool ProcessLines(LineGeometry& geometry, LineProcessorState& state, LineProcessorMode mode) {
    if (mode == LineProcessorMode::CleanUp) {
        FreeBuffers(state);
        return false;
    }
    geometry.linesThisCall = 0;
    geometry.bytesThisCall = 0;
    if (geometry.linesFed == 0) return Start(geometry, state);
    TakeLine(geometry, state);
    return true;
}

}  // namespace ordavel::engine
