// Calibration-scan analysis: the work file's records summed per pixel and colour, then averaged.
#include "driver/calibration/calibration_analysis.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <limits>
#include <memory>
#include <new>
#include <span>
#include <string>
#include <vector>

#include "driver/calibration/calibration.h"
#include "driver/calibration/calibration_set.h"
#include "driver/calibration/shading_coefficients.h"
#include "driver/calibration/work_file_header.h"
#include "driver/device/status_report.h"
#include "driver/interface/driver_context.h"

namespace ordavel::calibration {

namespace {

constexpr const char* kOpenError = "打开扫描文件错误!";
constexpr const char* kHeaderError = "读像素文件错误!";
constexpr const char* kReadError = "读扫描文件错误";
constexpr const char* kMemoryError = "内存不足";

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

int32_t SampleAt(std::span<const uint8_t> record, int64_t offset, int32_t bytesPerSample) {
    auto at = static_cast<std::size_t>(offset);
    if (bytesPerSample == 1) return record[at];
    return record[at] * 256 + record[at + 1];
}

// Adds without leaving the int32 range: a strip long enough to overflow a 32-bit sum saturates
// instead of wrapping.
int32_t SaturatingAdd(int32_t sum, int32_t addend) {
    int64_t total = int64_t{sum} + addend;
    return static_cast<int32_t>(std::clamp<int64_t>(total, std::numeric_limits<int32_t>::min(),
                                                    std::numeric_limits<int32_t>::max()));
}

// Everything one analysis call works with while it reads records.
struct RecordPass {
    CalibrationState& state;
    const description::ScannerDescription& description;
    AnalysisMode mode;
    RecordLayout layout;
    int32_t pixels;  // pixels per record that the per-pixel arrays hold
};

void AddSample(RecordPass& pass, int colour, int32_t x, int32_t sample, int32_t counter) {
    int32_t& sum = pass.state.sums[colour][static_cast<std::size_t>(x)];
    int32_t addend = pass.mode == AnalysisMode::WhiteFine ? OutlierRuleAddend(sum, sample, counter + 1)
                                                          : sample;
    sum = SaturatingAdd(sum, addend);
}

// Adds one record to the sums of its colours. Returns true when, on the first line of a
// "BlackFine" strip, a pixel shows the strip is not dark.
bool AddRecord(RecordPass& pass, std::span<const uint8_t> record, int colourPhase, int32_t counter) {
    const RecordLayout& layout = pass.layout;
    bool testBrightness = pass.mode == AnalysisMode::BlackFine && counter == 0;
    for (int32_t x = 0; x < pass.pixels; ++x) {
        int64_t base = int64_t{x} * layout.samplesPerPixel * layout.bytesPerSample;
        if (layout.samplesPerPixel == 3) {
            for (int c = 0; c < kColours; ++c) {
                AddSample(pass, c, x, SampleAt(record, base + c * layout.bytesPerSample, layout.bytesPerSample),
                          counter);
            }
        } else if (layout.colourPerRecord) {
            AddSample(pass, colourPhase, x, SampleAt(record, base, layout.bytesPerSample), counter);
        } else {
            int32_t sample = SampleAt(record, base, layout.bytesPerSample);
            for (int c = 0; c < kColours; ++c) AddSample(pass, c, x, sample, counter);
        }
        if (testBrightness &&
            PixelShowsBrightStrip(pass.state, x, pass.description.Red_Target,
                                  pass.description.Green_Target, pass.description.Blue_Target)) {
            return true;
        }
    }
    return false;
}

enum class RecordsOutcome { Done, StripNotDark };

// Reads up to `records` records and accumulates them while the line counter is not negative
// (a negative counter skips the record: the fine steps discard their first lines this way).
RecordsOutcome AccumulateRecords(RecordPass& pass, std::FILE* file, int64_t records,
                                 std::vector<uint8_t>& buffer, int32_t& counter, int32_t wanted) {
    bool fine = pass.mode != AnalysisMode::Coarse;
    auto length = static_cast<std::size_t>(pass.layout.recordLength);
    std::span<const uint8_t> record(buffer.data(), length);
    int colourPhase = kRed;
    for (int64_t i = 0; i < records; ++i) {
        // A fine step averages exactly the lines it wants: lines beyond them (a scan that
        // delivered more than it was asked for) would leave the sums unaveraged.
        if (fine && colourPhase == kRed && counter >= wanted) break;
        if (std::fread(buffer.data(), 1, length, file) != length) break;  // keep what was read
        if (counter >= 0 && AddRecord(pass, record, colourPhase, counter)) {
            return RecordsOutcome::StripNotDark;
        }
        if (pass.layout.colourPerRecord) {
            colourPhase = (colourPhase + 1) % kColours;
            if (colourPhase == kRed) ++counter;
        } else {
            ++counter;
        }
    }
    return RecordsOutcome::Done;
}

void ClearSums(CalibrationState& state, int32_t pixels) {
    for (int c = 0; c < kColours; ++c) std::fill_n(state.sums[c].begin(), pixels, 0);
}

void AverageSums(CalibrationState& state, int32_t pixels, int32_t lines) {
    for (int c = 0; c < kColours; ++c) {
        for (int32_t x = 0; x < pixels; ++x) state.sums[c][static_cast<std::size_t>(x)] /= lines;
    }
}

std::optional<WorkFileHeader> ReadHeader(std::FILE* file) {
    std::array<uint8_t, kHeaderReadLimit> bytes{};
    std::size_t got = std::fread(bytes.data(), 1, bytes.size(), file);
    return ParseWorkFileHeader(std::span<const uint8_t>(bytes.data(), got));
}

// Records of whole lines between the data start and the end of the file; nothing when the file
// cannot be positioned.
std::optional<int64_t> CountRecords(std::FILE* file, const WorkFileHeader& header,
                                    const RecordLayout& layout) {
    if (std::fseek(file, 0, SEEK_END) != 0) return std::nullopt;
    long length = std::ftell(file);
    if (length < 0 || std::fseek(file, static_cast<long>(header.dataStart), SEEK_SET) != 0) {
        return std::nullopt;
    }
    int64_t dataBytes = std::max<int64_t>(0, length - static_cast<int64_t>(header.dataStart));
    return WholeLineRecords(dataBytes / layout.recordLength, layout);
}

bool AllocateLineBuffer(std::vector<uint8_t>& buffer, AnalysisMode mode, const RecordLayout& layout) {
    // One record is read at a time; the "WhiteFine" buffer is never smaller than a record either.
    int64_t size = 3 * layout.recordLength;
    if (mode == AnalysisMode::WhiteFine) size = std::max(size, kWhiteFineBufferBytes);
    try {
        buffer.assign(static_cast<std::size_t>(size), 0);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

}  // namespace

std::optional<AnalysisMode> ParseAnalysisMode(std::string_view name) {
    if (name == "Coarse") return AnalysisMode::Coarse;
    if (name == "BlackFine") return AnalysisMode::BlackFine;
    if (name == "WhiteFine") return AnalysisMode::WhiteFine;
    return std::nullopt;
}

RecordLayout RecordLayoutFor(int32_t colourMode, int32_t bitsPerSample, int64_t pixels) {
    RecordLayout layout;
    layout.samplesPerPixel = colourMode == kPixelInterleaved ? 3 : 1;
    layout.colourPerRecord = colourMode == kLineInterleaved;
    layout.bytesPerSample = bitsPerSample > 8 ? 2 : 1;
    int64_t sampleBytes = pixels * layout.samplesPerPixel * layout.bytesPerSample;
    layout.recordLength = (sampleBytes & ~int64_t{1}) + 2;
    return layout;
}

int64_t WholeLineRecords(int64_t records, const RecordLayout& layout) {
    return layout.colourPerRecord ? records - records % 3 : records;
}

int32_t OutlierRuleAddend(int32_t sum, int32_t sample, int32_t n) {
    if (n <= 0) return 0;
    if (n == 1) return sample;
    int32_t average = sum / (n - 1);
    int32_t deviation = average / std::min(n, 100);
    if (sample < average - deviation || sample > average + 10 * deviation) return average;
    return sample;
}

bool PixelShowsBrightStrip(const CalibrationState& state, int32_t x, int32_t redTarget,
                           int32_t greenTarget, int32_t blueTarget) {
    auto at = static_cast<std::size_t>(x);
    return state.sums[kRed][at] > 0.25 * redTarget && state.sums[kGreen][at] > 0.25 * greenTarget &&
           state.sums[kBlue][at] > 0.25 * blueTarget;
}

void RunCoarseStatistics(DriverContext& ctx, int32_t pixels) {
    CalibrationState& state = ctx.calibration;
    state.channelMinimum.fill(0xFFFF);
    state.channelMaximum.fill(0);
    // The 50 pixels at each end are ignored; the arrays end at kCalibrationPixels.
    int32_t first = 50;
    int32_t last = std::min(pixels - 51, kCalibrationPixels - 1);
    bool enoughPixels = pixels > 100;
    if (enoughPixels) {
        for (int c = 0; c < kColours; ++c) {
            for (int32_t x = first; x <= last; ++x) {
                auto at = static_cast<std::size_t>(x);
                state.blackProfile[c][at] = state.sums[c][at];
            }
        }
    }
    StageSetting(ctx, "startpixel", std::to_string(ctx.description.startPixel));
    if (!enoughPixels) return;
    for (int c = 0; c < kColours; ++c) {
        auto range = state.sums[c].subspan(static_cast<std::size_t>(first),
                                           static_cast<std::size_t>(last - first + 1));
        auto [low, high] = std::minmax_element(range.begin(), range.end());
        state.channelMinimum[c] = *low;
        state.channelMaximum[c] = *high;
    }
}

int AnalyseCalibrationScan(DriverContext& ctx, const std::string& path, const char* modeName,
                           int32_t& lineCounter, int32_t wanted) {
    std::optional<AnalysisMode> mode = ParseAnalysisMode(modeName != nullptr ? modeName : "");
    if (!mode) {
        device::Report(ctx, "Unknown calibration analysis mode %s", modeName != nullptr ? modeName : "");
        return 0;
    }
    File file(std::fopen(path.c_str(), "rb"));
    if (!file) {
        device::Report(ctx, "%s", kOpenError);
        return 0;
    }
    std::optional<WorkFileHeader> header = ReadHeader(file.get());
    if (!header) {
        device::Report(ctx, "%s", kHeaderError);
        return 0;
    }
    // A negative or impossibly large count is refused like an empty one: either would make the
    // record length meaningless.
    int32_t pixels = header->pixelsPerLine;
    if (pixels <= 0 || pixels > kMaxLinePixels) {
        device::Report(ctx, "%s", kReadError);
        return 0;
    }
    CalibrationState& state = ctx.calibration;
    RecordLayout layout = RecordLayoutFor(state.colourMode, state.bitsPerSample, pixels);
    std::vector<uint8_t> buffer;
    if (!AllocateLineBuffer(buffer, *mode, layout)) {
        device::Report(ctx, "%s", kMemoryError);
        return 0;
    }
    int32_t heldPixels = std::min(pixels, kCalibrationPixels);
    if (lineCounter < 1) ClearSums(state, heldPixels);
    std::optional<int64_t> records = CountRecords(file.get(), *header, layout);
    if (!records) {
        device::Report(ctx, "%s", kReadError);
        return 0;
    }

    RecordPass pass{state, ctx.description, *mode, layout, heldPixels};
    if (AccumulateRecords(pass, file.get(), *records, buffer, lineCounter, wanted) ==
        RecordsOutcome::StripNotDark) {
        lineCounter = wanted;
        state.blackShadingValid = false;
        state.blackStripEndedEarly = true;
        return 1;
    }
    file.reset();
    if (*mode != AnalysisMode::Coarse && lineCounter != wanted) return 1;  // more lines to scan

    if (lineCounter > 1) AverageSums(state, heldPixels, lineCounter);
    if (*mode == AnalysisMode::Coarse) RunCoarseStatistics(ctx, pixels);
    if (*mode == AnalysisMode::WhiteFine && !RunCoefficientStep(ctx, heldPixels)) return 0;
    state.pixelsPerLine = pixels;
    return 1;
}

}  // namespace ordavel::calibration
