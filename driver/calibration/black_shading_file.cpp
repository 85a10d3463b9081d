// Writing "BlackFINE.PXL" from the coarse channel minimum when no black strip was measured.
#include "driver/calibration/calibration_file.h"
#include "driver/calibration/black_shading_file.h"

#include <algorithm>
#include <cstdio>

#include "driver/calibration/calibration_state.h"
#include "driver/calibration/work_file_header.h"
#include "driver/interface/driver_context.h"

namespace ordavel::calibration {

namespace {

void AppendWord(std::string& bytes, int32_t value) {
    auto word = static_cast<uint32_t>(std::clamp(value, 0, 0xFFFF));
    bytes.push_back(static_cast<char>(word >> 8));
    bytes.push_back(static_cast<char>(word & 0xFF));
}

void AppendRecord(std::string& bytes, int32_t pixels, std::initializer_list<int32_t> samplesOfPixel) {
    for (int32_t x = 0; x < pixels; ++x) {
        for (int32_t sample : samplesOfPixel) AppendWord(bytes, sample);
    }
    bytes.append(2, '\0');  // the record's unused trailing bytes
}

}  // namespace

std::string ChannelMinimumBlackLine(int32_t pixels, int32_t colourMode, const int32_t (&minimum)[3],
                                    int32_t xResolution, int32_t yResolution) {
    pixels = std::max(pixels, 0);
    int32_t records = colourMode == kLineInterleaved ? 3 : 1;
    std::string bytes = FormatWorkFileHeader({pixels, colourMode, 4, records, xResolution, yResolution});
    if (colourMode == kPixelInterleaved) {
        AppendRecord(bytes, pixels, {minimum[kRed], minimum[kGreen], minimum[kBlue]});
    } else if (colourMode == kLineInterleaved) {
        for (int c = 0; c < kColours; ++c) AppendRecord(bytes, pixels, {minimum[c]});
    } else {
        // One sample per pixel passes the front end's third channel: its minimum is the one used.
        AppendRecord(bytes, pixels, {minimum[kBlue]});
    }
    return bytes;
}

bool WriteChannelMinimumBlackFile(DriverContext& ctx) {
    const CalibrationState& state = ctx.calibration;
    const int32_t minimum[3] = {state.channelMinimum[kRed], state.channelMinimum[kGreen],
                                state.channelMinimum[kBlue]};
    std::string bytes = ChannelMinimumBlackLine(state.pixelsPerLine, state.colourMode, minimum,
                                                state.xResolution, state.yResolution);
    return WriteCalibrationFile(ctx, "BlackFINE.PXL", [&bytes](std::FILE* file) {
        return std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    });
}

}  // namespace ordavel::calibration
