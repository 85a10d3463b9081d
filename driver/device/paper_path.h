// The paper path: waiting for the controller to go idle, feeding a sheet into the scan position
// and checking whether paper is present.
#pragma once

#include <cstdint>

namespace ordavel {
class DriverContext;
}

#include "driver/description/scanner_description.h"

namespace ordavel::device {

// The positioning move after a feed: the steps from where the leading edge reaches paper sensor 1
// to the scan position (the scan's skip steps, Start_Of_Scan, then bring it to the scan line).
inline constexpr uint16_t kPositioningSteps = 0x91;

// The longest any move along the paper path can take, in ms (0 when the description gives no
// usable speed).
uint32_t IdleTimeLimitMs(const description::ScannerDescription& d);
// True when register 7 reads 0 within (Scanner_Length + 5) / Max_Speed seconds.
bool WaitForIdle(DriverContext& ctx);
// Brings the next sheet to the scan position (full or short feed); force = 1 from set-up.
bool FeedPaper(DriverContext& ctx, bool force);
// True when the check ran; empty = 1 when no sheet is at the sensors.
bool CheckPaperEmpty(DriverContext& ctx, int32_t& empty);

}  // namespace ordavel::device
