// A small driver for the line processor in tests: starts it on a geometry, feeds input lines and
// collects the output rows each call placed.
#pragma once

#include <cstdint>
#include <vector>

#include "driver/engine/line_processor.h"

namespace ordavel::engine::test {

class LineProcessorHarness {
public:
    explicit LineProcessorHarness(const LineGeometry& geometry) : geometry_(geometry) {
        geometry_.linesFed = 0;
        geometry_.outputBuffer = headers_.data();
        started_ = ProcessLines(geometry_, state_, LineProcessorMode::Process);
        image_.assign(static_cast<std::size_t>(geometry_.outputBytesPerLine * geometry_.repeatLimit), 0xEE);
        headers_.resize(static_cast<std::size_t>(geometry_.headerSize));
    }
    ~LineProcessorHarness() { ProcessLines(geometry_, state_, LineProcessorMode::CleanUp); }

    bool started() const { return started_; }
    const LineGeometry& geometry() const { return geometry_; }
    const LineProcessorState& state() const { return state_; }
    const std::vector<uint8_t>& headers() const { return headers_; }

    // Feeds one input line; returns the rows this call placed, in buffer order.
    std::vector<std::vector<uint8_t>> Feed(const std::vector<uint8_t>& line) {
        geometry_.outputBuffer = image_.data();
        geometry_.currentInputLine = line.data();
        ++geometry_.linesFed;
        ProcessLines(geometry_, state_, LineProcessorMode::Process);
        std::vector<std::vector<uint8_t>> rows;
        const auto rowBytes = static_cast<std::size_t>(geometry_.outputBytesPerLine);
        for (int32_t k = 0; k < geometry_.linesThisCall; ++k) {
            const uint8_t* row = image_.data() + k * rowBytes;
            rows.emplace_back(row, row + rowBytes);
        }
        return rows;
    }

    // Feeds lines made by `make(n)` for n = 1, 2, ... until `count` lines went in; returns every
    // row produced, in production order.
    template <typename MakeLine>
    std::vector<std::vector<uint8_t>> FeedAll(int32_t count, MakeLine make) {
        std::vector<std::vector<uint8_t>> all;
        for (int32_t n = 1; n <= count; ++n) {
            for (auto& row : Feed(make(n))) all.push_back(std::move(row));
        }
        return all;
    }

private:
    LineGeometry geometry_;
    LineProcessorState state_;
    std::vector<uint8_t> headers_ = std::vector<uint8_t>(kBitmapHeaderCapacity, 0);
    std::vector<uint8_t> image_;
    bool started_ = false;
};

// A one-channel 8-bit geometry with equal resolutions and no offsets.
inline LineGeometry GreyGeometry(int32_t pixels, int32_t lines) {
    LineGeometry g;
    g.inputPixels = pixels;
    g.outputPixels = pixels;
    g.bits = 8;
    g.bytesPerSample = 1;
    g.channelMode = 4;
    g.actualXResolution = g.requestedXResolution = 200;
    g.actualYResolution = g.requestedYResolution = 200;
    g.inputBytesPerLine = pixels;
    g.outputLines = lines;
    g.topDown = 1;
    return g;
}

}  // namespace ordavel::engine::test
