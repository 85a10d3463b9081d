// The line output: prepares each controller line for the line processor and copies the output
// rows into the caller's destination in whole lines, across ScanRead calls.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace ordavel {
class DriverContext;
}

namespace ordavel::engine {

enum class LineOutputResult {
    NextLine,         // ready for the next controller line
    DestinationFull,  // the destination holds all the whole lines it can take
    ImageComplete,    // every output byte has been delivered
    Failed,           // the processor could not be restarted (reported)
};

// Starts the line output for a scan: geometry, processor start, totals and the line length the
// client reads. Reports "图像尺寸太大" when the image exceeds a 32-bit byte count.
bool StartLineOutput(DriverContext& ctx);

// Takes the controller line at ctx.engine.geometry.currentInputLine (a line whose output is
// still waiting is only delivered, not processed again). `imageBuffer` stages the processor's
// rows (output bytes per line x repeat limit). With Debug set the rows also go to the bitmap
// file named after `workFile`.
LineOutputResult OutputLine(DriverContext& ctx, const std::string& workFile, std::span<uint8_t> imageBuffer);

// Output of the last line still waiting for a destination.
bool LineOutputWaiting(const DriverContext& ctx);
// The whole image has been delivered.
bool LineOutputComplete(const DriverContext& ctx);
// Closes the debug bitmap of an unfinished scan.
void CloseLineOutput(DriverContext& ctx);

}  // namespace ordavel::engine
