// Throughput of the line processor, the line output and the 3/2 enlargement on page-sized work,
// in bytes per second beside a plain copy of the same bytes.
#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>
#include <vector>

#include "driver/engine/enlargement.h"
#include "driver/engine/line_output.h"
#include "driver/engine/line_processor.h"
#include "driver/interface/driver_context.h"

namespace ordavel::engine {
namespace {

// The client's narrow window at 200 dpi: 1100 pixels by 1892 lines.
constexpr int32_t kPixels = 1100;
constexpr int32_t kLines = 1892;

std::vector<uint8_t> PageLines(int32_t lineBytes, int32_t lines) {
    std::vector<uint8_t> page(static_cast<std::size_t>(lineBytes) * static_cast<std::size_t>(lines));
    for (std::size_t i = 0; i < page.size(); ++i) page[i] = static_cast<uint8_t>(i * 31 + i / 977);
    return page;
}

struct Shape {
    int32_t bits = 8;
    int32_t channelMode = 4;
    int32_t inputPixels = kPixels;
    int32_t outputPixels = kPixels;
    int32_t actualX = 200, requestedX = 200;
    double red = 0, blue = 0;
};

LineGeometry GeometryOf(const Shape& s) {
    LineGeometry g;
    g.redOffset = s.red;
    g.blueOffset = s.blue;
    g.inputPixels = s.inputPixels;
    g.outputPixels = s.outputPixels;
    g.bits = s.bits;
    g.bytesPerSample = 1;
    g.channelMode = s.channelMode;
    g.actualXResolution = s.actualX;
    g.requestedXResolution = s.requestedX;
    g.actualYResolution = g.requestedYResolution = 200;
    const int32_t channels = s.channelMode == 4 ? 1 : 3;
    g.inputBytesPerLine = (s.inputPixels * channels * s.bits + 7) / 8;
    g.outputLines = kLines;
    g.topDown = 1;
    return g;
}

void RunProcessor(benchmark::State& state, const Shape& shape) {
    const LineGeometry start = GeometryOf(shape);
    const std::vector<uint8_t> page = PageLines(start.inputBytesPerLine, kLines + 8);
    std::vector<uint8_t> headers(kBitmapHeaderCapacity);
    std::vector<uint8_t> image;
    LineProcessorState processor;
    for (auto _ : state) {
        LineGeometry g = start;
        g.outputBuffer = headers.data();
        ProcessLines(g, processor, LineProcessorMode::Process);
        image.resize(static_cast<std::size_t>(g.outputBytesPerLine * g.repeatLimit));
        g.outputBuffer = image.data();
        for (int32_t n = 0; n < g.inputLinesNeeded; ++n) {
            g.currentInputLine = page.data() + static_cast<std::ptrdiff_t>(n) * g.inputBytesPerLine;
            ++g.linesFed;
            ProcessLines(g, processor, LineProcessorMode::Process);
        }
        benchmark::DoNotOptimize(image.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * start.inputBytesPerLine * kLines);
}

void BM_CopyGreyPage(benchmark::State& state) {
    const std::vector<uint8_t> page = PageLines(kPixels, kLines);
    std::vector<uint8_t> copy(page.size());
    for (auto _ : state) {
        for (int32_t n = 0; n < kLines; ++n) {
            std::memcpy(copy.data() + n * kPixels, page.data() + n * kPixels, kPixels);
        }
        benchmark::DoNotOptimize(copy.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kPixels * kLines);
}
BENCHMARK(BM_CopyGreyPage);

void BM_ProcessGreyPage(benchmark::State& state) { RunProcessor(state, Shape{}); }
BENCHMARK(BM_ProcessGreyPage);

void BM_ProcessBlackWhitePage(benchmark::State& state) {
    Shape s;
    s.bits = 1;
    RunProcessor(state, s);
}
BENCHMARK(BM_ProcessBlackWhitePage);

void BM_ProcessGreyPageDecimated(benchmark::State& state) {
    Shape s;
    s.inputPixels = 1650;
    s.actualX = 300;
    RunProcessor(state, s);
}
BENCHMARK(BM_ProcessGreyPageDecimated);

void BM_ProcessGreyPageInterpolated(benchmark::State& state) {
    Shape s;
    s.inputPixels = 734;
    s.requestedX = 300;
    RunProcessor(state, s);
}
BENCHMARK(BM_ProcessGreyPageInterpolated);

void BM_ProcessColourPageRealigned(benchmark::State& state) {
    Shape s;
    s.channelMode = 0;
    s.red = -1.6667;
    s.blue = 1.6667;
    RunProcessor(state, s);
}
BENCHMARK(BM_ProcessColourPageRealigned);

// The line output as the acquisition drives it: 200 dpi grey controller lines into 65,536-byte
// destinations.
void BM_OutputGreyPage(benchmark::State& state) {
    DriverEnvironment env{std::make_shared<platform::VirtualClock>(), std::make_shared<platform::DeviceList>(), "/tmp", ""};
    DriverContext ctx(env);
    const int32_t lineBytes = kPixels + 2;
    const std::vector<uint8_t> page = PageLines(lineBytes, kLines + 8);
    std::vector<uint8_t> destination(65536);
    std::vector<uint8_t> image;
    for (auto _ : state) {
        ctx.engine = EngineState{};
        ScanRequest& r = ctx.engine.request;
        r.lineOrder = 1;
        r.scanRectRight = kPixels;
        r.scanRectBottom = kLines;
        ctx.engine.parms.bitsperchannel = 8;
        ctx.engine.parms.bytesperline = lineBytes;
        ctx.engine.parms.channelmode = 4;
        LineGeometry& g = ctx.engine.geometry;
        g.actualXResolution = g.requestedXResolution = g.actualYResolution = g.requestedYResolution = 200;
        StartLineOutput(ctx);
        image.resize(static_cast<std::size_t>(g.outputBytesPerLine * g.repeatLimit));
        ctx.engine.destination = Destination{destination.data(), 65536, 0};
        for (int32_t n = 0; n < g.inputLinesNeeded;) {
            g.currentInputLine = page.data() + static_cast<std::ptrdiff_t>(n) * lineBytes;
            const LineOutputResult result = OutputLine(ctx, "/tmp/finalscn.pxl", image);
            if (!LineOutputWaiting(ctx)) ++n;
            if (result == LineOutputResult::DestinationFull) {
                ctx.engine.destination = Destination{destination.data(), 65536, 0};
            }
        }
        benchmark::DoNotOptimize(destination.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kPixels * kLines);
}
BENCHMARK(BM_OutputGreyPage);

// The 3/2 enlargement of the wide window (1420 -> 2130 pixels) in calls of 12 source lines.
void BM_EnlargeGreyPage(benchmark::State& state) {
    constexpr int32_t kWide = 1420;
    constexpr int32_t kTarget = 2130;
    constexpr int32_t kPerCall = 12;
    const EnlargementRequest request{1, kWide, kTarget, kLines * 3 / 2, kWide};
    const std::vector<uint8_t> source = PageLines(kWide, kPerCall);
    std::vector<uint8_t> buffer(static_cast<std::size_t>((kTarget + 2) * (kPerCall * 3 / 2 + 1)));
    EnlargementCarry carry;
    for (auto _ : state) {
        for (int32_t done = 0; done < kLines; done += kPerCall) {
            std::memcpy(buffer.data(), source.data(), source.size());
            int32_t bytes = static_cast<int32_t>(source.size());
            EnlargeThreeHalves(buffer, bytes, done + kPerCall >= kLines, request, carry);
        }
        benchmark::DoNotOptimize(buffer.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kWide * kLines);
}
BENCHMARK(BM_EnlargeGreyPage);

void BM_CopyWideGreyPage(benchmark::State& state) {
    constexpr int32_t kWide = 1420;
    const std::vector<uint8_t> page = PageLines(kWide, kLines);
    std::vector<uint8_t> copy(page.size());
    for (auto _ : state) {
        std::memcpy(copy.data(), page.data(), page.size());
        benchmark::DoNotOptimize(copy.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kWide * kLines);
}
BENCHMARK(BM_CopyWideGreyPage);

}  // namespace
}  // namespace ordavel::engine

BENCHMARK_MAIN();
