// Timing computations on a register image: line period and DPD, motor step size, pause limit,
// and the master clock register value.
#include <cmath>

#include "driver/description/register_programming.h"
#include "driver/interface/driver_context.h"

namespace ordavel::description {

namespace {

// The line period lengthens the line until it is a multiple of this many pixel periods.
constexpr int32_t kLinePeriodMultiple = 48;

struct LineTimingFields {
    int32_t tpsel, tpspd, trdur, guard, twoPulse, channelMode, cis, q25, q50, total, reverse, step;
};

LineTimingFields ReadLineTimingFields(const DriverContext& ctx, const RegisterImage& image) {
    LineTimingFields f{};
    f.tpsel = image[0x0A] & 3;
    f.tpspd = (image[0x0A] >> 2) & 3;
    f.trdur = image[0x0E] & 0xF;
    f.guard = (image[0x0E] >> 4) & 0xF;
    f.twoPulse = image[0x0D] / 128;
    f.channelMode = image[0x26] & 7;
    f.cis = (image[0x0B] >> 3) & 3;
    f.q25 = (image[0x51] >> 4) & 3;
    f.q50 = (image[0x51] >> 6) & 3;
    // On the LM9832 and LM9833 the fourth step-count choice stands for 8 steps.
    if (!IsLM9831(ctx.description)) {
        if (f.q25 == 3) f.q25 = 8;
        if (f.q50 == 3) f.q50 = 8;
    }
    f.total = image.get16(0x20);
    f.reverse = image[0x50] & 0x3F;
    f.step = image.get16(0x46);
    return f;
}

int32_t LinePeriodOf(const LineTimingFields& f) {
    const int32_t channels = (f.channelMode == 1 || f.channelMode == 5) ? 3 : 1;
    int32_t multiplier = 1;
    if (f.tpsel != 0) multiplier = f.tpspd + 2 == 5 ? 6 : f.tpspd + 2;
    // TR time. Both CIS bits set cannot come from the description; the chip then behaves as in
    // mode 1, so it is counted like mode 1.
    int32_t trTime = 1;
    if (f.cis == 0) trTime = (f.trdur + 2 * f.guard + 1) * (f.twoPulse + 1);
    else if (f.cis == 2) trTime = 3;
    int32_t tr = channels * (f.total + (trTime - f.twoPulse + 3) * multiplier);
    if (f.cis == 0) tr += channels;
    return tr;
}

}  // namespace

int32_t ComputeLinePeriod(DriverContext& ctx, RegisterImage& image, bool withcm) {
    LineTimingFields f = ReadLineTimingFields(ctx, image);
    int32_t tr = LinePeriodOf(f);
    while (tr % kLinePeriodMultiple != 0) {
        ++f.total;
        image.set16(0x20, f.total);
        f = ReadLineTimingFields(ctx, image);
        tr = LinePeriodOf(f);
    }
    image.set16(0x20, f.total);

    int32_t dpd = 0;
    if (tr != 0) {
        const int64_t travel = int64_t{f.reverse + 2 * f.q50 + 4 * f.q25} * f.step * 4;
        dpd = static_cast<int32_t>(tr - travel % tr);
    }
    image[0x52] = (dpd >> 8) & 0xFF;
    image[0x53] = dpd & 0xFF;
    image[0x51] |= (dpd >> 16) & 3;

    const int32_t channels = (f.channelMode == 1 || f.channelMode == 5) ? 3 : 1;
    return withcm ? tr : tr / channels;
}

int32_t SetStepSize(DriverContext& ctx, RegisterImage& image, int32_t step) {
    if (step <= 2) step = 2;
    if (step >= 0xFFFF) step = 0xFFFF;
    image.set16(0x46, step);
    ComputeLinePeriod(ctx, image, true);
    // No steps at stop, two at 25 % and two at 50 % speed, and a DPD of 1.
    image[0x51] = 0xA0;
    image[0x52] = 0x00;
    image[0x53] = 0x01;
    return ComputePauseLimit(ctx, image);
}

int32_t InitStepTiming(DriverContext& ctx, RegisterImage& image) {
    ComputeLinePeriod(ctx, image, true);
    return SetStepSize(ctx, image, kScanStepSize);
}

int32_t ComputePauseLimit(DriverContext& ctx, RegisterImage& image) {
    static constexpr double kDivisor[8] = {1, 1.5, 2, 3, 4, 6, 8, 12};
    const int32_t start = image.get16(0x22);
    const int32_t end = image.get16(0x24);
    const int32_t depth = image[0x09] & 0x38;
    int32_t bits = 16;
    if (depth == 0x00) bits = 1;
    else if (depth == 0x08) bits = 2;
    else if (depth == 0x10) bits = 4;
    else if (depth == 0x18) bits = 8;
    const double divisor = kDivisor[image[0x09] & 7];

    const int32_t pixels = static_cast<int32_t>((end - start) / divisor);
    const int32_t lineBytes = ((pixels * (bits / 8) * 3) & ~1) + 2;
    const int32_t memoryKiB = ((image[0x42] >> 6) & 0xFF) == 1 ? 2048 : 512;
    const int32_t headroom = (image[0x09] & 0x20) != 0 ? 192 : 216;
    int32_t pauseKiB = memoryKiB - lineBytes / 1024 - headroom - 1;
    if (image[0x50] == 0) {
        pauseKiB -= static_cast<int32_t>(std::ceil((image[0x54] & 7) * lineBytes / 1024.0));
    }
    int32_t limit = BytesToMemUnits(ctx, pauseKiB * 1024);
    if (limit > 2) limit -= 2;
    image[0x4E] = limit;
    image[0x4F] = limit - 1;
    return limit;
}

int32_t ClockRegisterValue(int32_t dividerSetting) {
    return static_cast<int32_t>((dividerSetting * 0.5 - 1) * 2);
}

}  // namespace ordavel::description
