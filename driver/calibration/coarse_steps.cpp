// Coarse calibration's decisions: first estimate, gain step, offset step.
#include "driver/calibration/coarse_steps.h"

#include <algorithm>
#include <limits>

#include "driver/calibration/offset_codes.h"

namespace ordavel::calibration {

namespace {

// Offset codes count about 304.7424 units of the 16-bit scale before the gain.
constexpr double kOffsetStepCounts = 304.7424;

}  // namespace

FrontEndSetting FirstEstimate(int32_t white, int32_t black, int32_t target, int32_t minimumGainCode) {
    double span = static_cast<double>(white) - black;
    // An empty span asks for infinite gain, an inverted one for a negative gain.
    double ratio = span != 0 ? target / span : std::numeric_limits<double>::infinity();
    if (ratio >= 9.0) ratio = 9.0;
    int32_t gain = TruncToInt((ratio - 0.933) * 15);
    int32_t offset = TruncToInt(-static_cast<double>(black) / (ratio * kOffsetStepCounts));
    if (gain > 31) {
        double third = ratio * 0.3333333333333333;
        gain = std::min(TruncToInt((third - 0.933) * 15), 31) + 32;
        offset = TruncToInt(-static_cast<double>(black) / (third * kOffsetStepCounts));
    }
    gain = std::min(std::max(gain, minimumGainCode), kMaxGainCode);
    offset = std::clamp(offset, -kMaxOffset, kMaxOffset);
    return {gain, offset};
}

GainAction GainStep(ChannelSearch& search, int32_t& gain, int32_t white, int32_t minimumGainCode,
                    bool lampPeriodControl, bool& pwmArmed) {
    if (white > search.target) {
        if (gain > minimumGainCode) {
            --gain;
            search.upper = gain;
            return GainAction::Lowered;
        }
        if (lampPeriodControl) return GainAction::ShortenLamp;
        if (pwmArmed) {
            pwmArmed = false;
            return GainAction::ReducePwm;
        }
        return GainAction::Unchanged;
    }
    if (gain < search.upper) {
        ++gain;
        return GainAction::Raised;
    }
    if (gain == kMaxGainCode) return GainAction::TooDark;
    return GainAction::Settled;
}

OffsetAction OffsetStep(ChannelSearch& search, int32_t& offset, int32_t black, bool gainSettled) {
    if (black < search.minTarget) {
        if (offset < kMaxOffset) {
            ++offset;
            if (gainSettled) search.low = offset;
            return OffsetAction::Raised;
        }
        return gainSettled ? OffsetAction::FinishAtMaximum : OffsetAction::Unchanged;
    }
    if (offset > search.low) {
        --offset;
        return OffsetAction::Lowered;
    }
    if (offset == -kMaxOffset && gainSettled) return OffsetAction::CannotCalibrate;
    return OffsetAction::Settled;
}

int32_t ShortenedLampOff(int32_t on, int32_t off) {
    return on + (off - on) * 9 / 10;
}

int32_t ReducedDuty(int32_t duty) {
    return duty * 90 / 100;
}

}  // namespace ordavel::calibration
