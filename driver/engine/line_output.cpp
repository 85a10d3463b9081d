// The line output: start, restart at the first line, line preparation and delivery.
#include "driver/engine/line_output.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>

#include "driver/device/status_report.h"
#include "driver/engine/debug_bitmap.h"
#include "driver/engine/line_output_geometry.h"
#include "driver/engine/line_preparation.h"
#include "driver/engine/line_processor.h"
#include "driver/interface/driver_context.h"

namespace ordavel::engine {

namespace {

constexpr const char* kOutOfMemory = "内存不足!";

int32_t ChannelsOf(const LineGeometry& g) { return g.channelMode == 4 ? 1 : 3; }

// Which preparation steps the scan's lines need, and their buffers (allocated here, never per line).
bool ConfigurePreparation(DriverContext& ctx) {
    LineOutputState& out = ctx.engine.output;
    const LineGeometry& g = ctx.engine.geometry;
    out.reduceToEightBits = ctx.engine.parms.bitsperchannel == 16 && g.topDown == 0;
    out.controllerLineBytes = std::max(ctx.engine.parms.bytesperline - 2, 0) / (out.reduceToEightBits ? 2 : 1);
    out.mergeColourLines = (ctx.description.Color_Mode & 1) != 0 && g.channelMode != 4;
    out.mirror = ctx.description.Mirror_Image != 0;
    const auto lineBytes = static_cast<std::size_t>(g.inputBytesPerLine);
    try {
        out.eightBitLine.assign(out.reduceToEightBits ? static_cast<std::size_t>(out.controllerLineBytes) : 0, 0);
        out.assemblyLine.assign(out.mergeColourLines ? lineBytes : 0, 0);
        out.mirrorLine.assign(out.mirror ? lineBytes : 0, 0);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

// Geometry and a fresh processor start with the scratch buffer as output (the headers go there).
bool StartProcessor(DriverContext& ctx) {
    EngineState& e = ctx.engine;
    ComputeOutputGeometry(e.request, e.parms, e.geometry);
    if (!ConfigurePreparation(ctx)) return false;
    e.geometry.linesFed = 0;
    e.geometry.outputBuffer = e.output.scratch.data();
    return ProcessLines(e.geometry, e.processor, LineProcessorMode::Process);
}

// The first controller line of the scan: start the processor afresh, open the debug bitmap.
bool Restart(DriverContext& ctx, const std::string& workFile) {
    EngineState& e = ctx.engine;
    if (!StartProcessor(ctx)) {
        device::Report(ctx, "%s", kOutOfMemory);
        return false;
    }
    e.destination.delivered = 0;
    CloseDebugBitmap(e.output.bitmapFile);
    if (ctx.settings.debugLevel != 0) {
        const auto headers = std::span<const uint8_t>(e.processor.headers.data(),
                                                      static_cast<std::size_t>(e.processor.headerBytes));
        e.output.bitmapFile = CreateDebugBitmap(DebugBitmapPath(workFile), headers);
    }
    e.output.waiting = 0;  // the headers never reach the destination
    e.output.restarted = true;
    return true;
}

// Runs the preparation steps on a controller line; null while a colour line is still incomplete.
const uint8_t* PrepareLine(DriverContext& ctx, const uint8_t* line) {
    LineOutputState& out = ctx.engine.output;
    const LineGeometry& g = ctx.engine.geometry;
    if (out.reduceToEightBits) {
        ReduceToEightBits({line, static_cast<std::size_t>(out.controllerLineBytes) * 2}, out.eightBitLine);
        line = out.eightBitLine.data();
    }
    if (out.mergeColourLines) {
        if (out.colourLine == 0) std::fill(out.assemblyLine.begin(), out.assemblyLine.end(), uint8_t{0});
        MergeColourLine({line, static_cast<std::size_t>(out.controllerLineBytes)}, out.colourLine, g.bits,
                        g.inputPixels, out.assemblyLine);
        if (++out.colourLine < 3) return nullptr;
        out.colourLine = 0;
        line = out.assemblyLine.data();
    }
    if (out.mirror) {
        MirrorLine({line, static_cast<std::size_t>(g.inputBytesPerLine)}, g.bits, ChannelsOf(g), out.mirrorLine);
        line = out.mirrorLine.data();
    }
    return line;
}

// Copies the waiting rows that fit (whole lines only) into the destination.
LineOutputResult Deliver(DriverContext& ctx, std::span<uint8_t> imageBuffer) {
    EngineState& e = ctx.engine;
    LineOutputState& out = e.output;
    Destination& d = e.destination;
    const int32_t row = out.outputBytesPerLine;
    d.capacity = row > 0 ? d.capacity / row * row : 0;
    const int32_t room = d.buffer != nullptr ? std::max(d.capacity - d.delivered, 0) : 0;
    const int32_t n = std::min(out.waiting, room);
    if (n > 0) {
        AppendDebugBitmap(out.bitmapFile, imageBuffer.first(static_cast<std::size_t>(n)));
        std::memcpy(d.buffer + d.delivered, imageBuffer.data(), static_cast<std::size_t>(n));
        std::memmove(imageBuffer.data(), imageBuffer.data() + n, static_cast<std::size_t>(out.waiting - n));
        out.waiting -= n;
        d.delivered += n;
        out.totalDelivered += n;
        e.info.bytesDone = out.totalDelivered;
    }
    if (out.totalDelivered >= out.totalOutputBytes) {
        CloseDebugBitmap(out.bitmapFile);
        return LineOutputResult::ImageComplete;
    }
    return d.delivered >= d.capacity ? LineOutputResult::DestinationFull : LineOutputResult::NextLine;
}

std::size_t StagingBytes(const LineGeometry& g) {
    return static_cast<std::size_t>(g.outputBytesPerLine) * static_cast<std::size_t>(g.repeatLimit);
}

}  // namespace

bool StartLineOutput(DriverContext& ctx) {
    EngineState& e = ctx.engine;
    LineOutputState& out = e.output;
    CloseDebugBitmap(out.bitmapFile);
    out.started = true;
    out.restarted = false;
    out.waiting = 0;
    if (!StartProcessor(ctx)) {
        device::Report(ctx, "%s", kOutOfMemory);
        return false;
    }
    out.colourLine = 0;
    out.outputBytesPerLine = e.geometry.outputBytesPerLine;
    const int64_t total = int64_t{e.geometry.outputLines} * out.outputBytesPerLine;
    out.totalDelivered = 0;
    if (total > std::numeric_limits<int32_t>::max()) {
        device::Report(ctx, "图像尺寸太大");
        return false;
    }
    out.totalOutputBytes = static_cast<int32_t>(total);
    e.info.lineBytes = out.outputBytesPerLine;
    e.info.totalBytes = out.totalOutputBytes;
    e.info.bytesDone = 0;
    return true;
}

LineOutputResult OutputLine(DriverContext& ctx, const std::string& workFile, std::span<uint8_t> imageBuffer) {
    EngineState& e = ctx.engine;
    LineOutputState& out = e.output;
    LineGeometry& g = e.geometry;
    if (!out.started) return StartLineOutput(ctx) ? LineOutputResult::NextLine : LineOutputResult::Failed;
    if (!out.restarted && !Restart(ctx, workFile)) return LineOutputResult::Failed;
    if (imageBuffer.size() < StagingBytes(g)) {
        device::Report(ctx, "%s", kOutOfMemory);
        return LineOutputResult::Failed;
    }

    if (g.linesProduced < g.outputLines && out.waiting == 0 && g.currentInputLine != nullptr) {
        g.outputBuffer = imageBuffer.data();
        const uint8_t* line = PrepareLine(ctx, g.currentInputLine);
        if (line == nullptr) return LineOutputResult::NextLine;
        ++g.linesFed;
        g.currentInputLine = line;
        ProcessLines(g, e.processor, LineProcessorMode::Process);
        out.waiting = g.bytesThisCall;
    }
    if (out.waiting > 0) return Deliver(ctx, imageBuffer);
    return LineOutputResult::NextLine;
}

bool LineOutputWaiting(const DriverContext& ctx) { return ctx.engine.output.waiting > 0; }

bool LineOutputComplete(const DriverContext& ctx) {
    const LineOutputState& out = ctx.engine.output;
    return out.started && out.totalDelivered >= out.totalOutputBytes;
}

void CloseLineOutput(DriverContext& ctx) { CloseDebugBitmap(ctx.engine.output.bitmapFile); }

}  // namespace ordavel::engine
