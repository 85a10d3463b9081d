// CPU cost of one whole page through the virtual scanner: the reference scanner scans the test
// chart in the client's narrow window (1100 pixels, 200 dpi grey, about 2340 lines), driven by
// raw frames the way a driver reads it. The target is well under 100 ms per page, so that
// hundreds of end-to-end scans stay fast.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <vector>

#include "platform/raw_pipe.h"
#include "virtual/scanner_config.h"
#include "virtual/virtual_backend.h"
#include "virtual/virtual_scanner.h"

namespace {

namespace vs = ordavel::virtual_scanner;

constexpr uint16_t kWindowStart = 150 + 284, kWindowEnd = 150 + 1384;
constexpr std::size_t kLineBytes = kWindowEnd - kWindowStart + 2;
constexpr std::size_t kLines = 2340;

void write(ordavel::platform::RawPipe& pipe, uint8_t address, std::vector<uint8_t> data, bool increment = true) {
    std::vector<uint8_t> frame = {static_cast<uint8_t>(increment ? 2 : 0), address,
                                  static_cast<uint8_t>(data.size() >> 8), static_cast<uint8_t>(data.size() & 0xFF)};
    frame.insert(frame.end(), data.begin(), data.end());
    pipe.write(frame);
}

std::vector<uint8_t> word(uint16_t v) { return {static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v & 0xFF)}; }

void programPage(ordavel::platform::RawPipe& pipe) {
    write(pipe, 0x07, {0x20});
    write(pipe, 0x08, {10, 0x18, 0, 0, 0, 0, 0x13});                 // clock, 8-bit, TR timing
    auto lines = word(2006);
    for (uint16_t v : {kWindowStart, kWindowEnd}) {
        auto w = word(v);
        lines.insert(lines.end(), w.begin(), w.end());
    }
    write(pipe, 0x20, lines);                                          // line length, data pixels
    write(pipe, 0x26, {0x14});
    write(pipe, 0x29, {1, 0x0F, 0xFF, 0, 10, 0, 10, 0, 10, 0, 10, 0, 10, 0x07, 0xC6});  // lamps: blue 10..1990
    write(pipe, 0x38, {0, 0, 0, 0, 0, 14});                          // front end
    write(pipe, 0x42, {0x20});
    write(pipe, 0x45, {0x10, 0x01, 0xF7, 0x01, 0x10, 0x00, 0x0F, 0x09, 0x2E, 137, 136});  // motor, skip 15, stop 2350
    write(pipe, 0x58, {0x09, 0x02});
    std::vector<uint8_t> gamma(4096);
    for (std::size_t i = 0; i < gamma.size(); ++i) gamma[i] = static_cast<uint8_t>(i / 16);
    write(pipe, 0x03, {0x0A, 0x00, 0x00});
    write(pipe, 0x06, gamma, false);
    write(pipe, 0x07, {0x00});
}

std::size_t readPage(ordavel::platform::RawPipe& pipe) {
    std::vector<uint8_t> buffer(65535);
    std::size_t total = 0;
    while (total < kLines * kLineBytes) {
        const auto piece = static_cast<uint16_t>(std::min<std::size_t>(buffer.size(), kLines * kLineBytes - total));
        pipe.write(std::vector<uint8_t>{0x01, 0x00, static_cast<uint8_t>(piece >> 8), static_cast<uint8_t>(piece & 0xFF)});
        std::size_t received = 0;
        if (!pipe.read({buffer.data(), piece}, received) || received == 0) break;
        total += received;
    }
    return total;
}

void BM_WholePageNarrowWindow(benchmark::State& state) {
    vs::ScannerConfig config;
    std::string error;
    if (!vs::LoadScannerConfig(std::string(MIRT_DATA_DIR) + "/virtual/reference.ini", config, error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    config.feeder.sheets = {vs::SheetConfig{"chart"}};
    std::size_t bytes = 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto clock = std::make_shared<ordavel::platform::VirtualClock>();
        auto scanner = vs::VirtualScanner::Create(config, clock, error);
        auto backend = vs::MakeVirtualScannerBackend(scanner);
        auto pipe = backend->open(backend->devices().at(0).internalName);
        programPage(*pipe);
        state.ResumeTiming();
        write(*pipe, 0x07, {0x03});
        bytes = readPage(*pipe);
        benchmark::DoNotOptimize(bytes);
    }
    if (bytes != kLines * kLineBytes) state.SkipWithError("the page came out short");
    state.counters["lines"] = static_cast<double>(bytes / kLineBytes);
}

BENCHMARK(BM_WholePageNarrowWindow)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
