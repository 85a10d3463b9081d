// Fine calibration's arithmetic: the strip height in lines and the lines each read request asks for.
#pragma once

#include <cstdint>

namespace ordavel::calibration {

// The fine steps average at least one line after discarding three.
inline constexpr int32_t kMinimumLooplines = 4;
inline constexpr int32_t kDiscardedLines = 3;

// Calibration_Strip_Height x step size x 4 / line period (integers), at least 4. A line period of
// 0 or less cannot time a line; the strip then gets the minimum.
int32_t ComputeLooplines(int32_t stripHeight, int32_t stepSize, int32_t linePeriod);

// On the LM9831 a read request covers what the buffer up to the pause limit holds:
// (bufferBytes + R - 1) / (R x phases) with R the bytes per line; the other chips read the whole
// strip at once. Never below one line: a request of none would never finish the strip.
int32_t LinesPerReadRequest(bool lm9831, int32_t bufferBytes, int32_t bytesPerLine, int32_t phases,
                            int32_t looplines);

}  // namespace ordavel::calibration
