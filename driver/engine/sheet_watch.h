// Following the sheet through a sheet scan by what the paper sensors report: keeping its tail,
// which is still before the scan line when it leaves paper sensor 1, and noticing a sheet that
// has stopped (a jam, an opened cover) instead of returning the same line over and over as the
// page.
#pragma once

#include <cstdint>

namespace ordavel {
class DriverContext;
}

namespace ordavel::engine {

// What the watch remembers during one scan, in controller lines acquired since the scan began.
struct SheetWatchState {
    int64_t tailLeftSensor1At = -1;   // the poll that first saw sensor 1 free
    int64_t keepUntilLine = -1;       // the tail reaches the scan line by then: the page ends there
    int64_t tailLeftEntranceAt = -1;  // the sheet's tail left paper sensor 2 (the entrance)
    int64_t coverSeenAt = -1;         // the tray/cover input set while a sheet was at the entrance
};

namespace acquisition {

// Steps from paper sensor 1 to the scan line, in controller lines of the open scan.
int64_t SensorOneToScanLineLines(const DriverContext& ctx);

// Applies the sensor status read by this poll and the counter sample `units` that followed it.
// Decides when a sheet scan's tail has reached the scan line (the paper-out flag is set then).
// False, with the cause reported, when the sensors show the sheet has stopped.
bool FollowSheet(DriverContext& ctx, uint8_t status, int32_t units);

// The window ended while the sheet's tail was between paper sensor 1 and the scan line (a sheet
// a little shorter than the window): decides, as the tail's passing would have, whether the next
// sheet needs only the short feed. False on a register failure.
bool FollowSheetToWindowEnd(DriverContext& ctx);

// The first byte of the stream that lies beyond the kept tail (white from there on), or -1.
int64_t PageEndByte(const DriverContext& ctx);

}  // namespace acquisition
}  // namespace ordavel::engine
