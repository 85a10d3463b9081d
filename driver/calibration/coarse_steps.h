// The decisions of coarse calibration as pure functions on numbers: the first estimate of gain and
// offset, the gain step, the offset step, and the lamp and PWM reductions.
#pragma once

#include <cstdint>

namespace ordavel::calibration {

// Search state of one colour during coarse calibration; lives for one calibration.
struct ChannelSearch {
    int32_t low = -31;     // lowest offset the offset step may go back to
    int32_t upper = 63;    // highest gain code the gain step may climb to
    int32_t target = 0;    // white target
    int32_t minTarget = 0; // minimum black target
};

struct FrontEndSetting {
    int32_t gain = 0;    // gain code 0..63
    int32_t offset = 0;  // signed offset -31..31 (decoded)
};

// From the first white and dark measurement at the minimum codes, in floating point: the gain that
// brings the white span to the target (ratio capped at 9; above code 31 the high range with a
// third of the ratio) and the offset that cancels the dark level, both clamped to their ranges.
FrontEndSetting FirstEstimate(int32_t white, int32_t black, int32_t target, int32_t minimumGainCode);

enum class GainAction {
    Lowered,      // white above target: one code down, and the search's upper bound follows
    Raised,       // white at or below target: one code up
    ShortenLamp,  // white above target at the minimum code: shorten this colour's lamp period
    ReducePwm,    // white above target at the minimum code: reduce the green PWM duty cycle
    Unchanged,    // white above target and nothing left to turn down in this pass
    TooDark,      // white at or below target at code 63: calibration fails
    Settled,      // white at or below target at the upper bound
};

// Decides the gain step and applies it to `gain` and `search`. `lampPeriodControl` is bit 1 of
// Illumination_Mode; `pwmArmed` is the once-per-pass PWM flag, disarmed when the step uses it.
GainAction GainStep(ChannelSearch& search, int32_t& gain, int32_t white, int32_t minimumGainCode,
                    bool lampPeriodControl, bool& pwmArmed);

enum class OffsetAction {
    Raised,           // black below its minimum target: one step up
    FinishAtMaximum,  // black still below at +31 with the gain settled: calibration succeeds
    Lowered,          // black at or above its minimum target: one step down
    CannotCalibrate,  // black still at or above at -31 with the gain settled: calibration fails
    Unchanged,
    Settled,
};

// Decides the offset step and applies it to `offset` (decoded) and `search`.
OffsetAction OffsetStep(ChannelSearch& search, int32_t& offset, int32_t black, bool gainSettled);

// off := on + (off - on) x 9 / 10 in integers.
int32_t ShortenedLampOff(int32_t on, int32_t off);
// duty x 90 / 100 in integers.
int32_t ReducedDuty(int32_t duty);

}  // namespace ordavel::calibration
