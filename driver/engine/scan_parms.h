// The scan engine's geometry records: ScanParms (what the controller delivers, computed by
// set-up and read back from the chip) and LineGeometry (what the line processor needs).
#pragma once

#include <cstdint>

namespace ordavel::engine {

struct ScanParms {
    int32_t endpixel = 0;        // last sensor pixel of the window (exclusive)
    int32_t startpixel = 0;      // first sensor pixel of the window; even after CalculateScanRect
    int32_t bitsperchannel = 0;  // 1, 2, 4, 8 or 16
    int32_t reserved0 = 0;
    double hdpifactor = 1.0;     // horizontal reduction factor (1, 1.5, 2, 3, 4, 6, 8, 12)
    int32_t hres = 0;            // effective horizontal resolution
    int32_t yres = 0;            // vertical resolution
    double scanlength = 0.0;     // window length in inches
    int32_t bytesperline = 0;    // controller bytes per line, including the 2 trailing bytes
    int32_t pixelsperline = 0;
    int32_t channelmode = 0;     // from register 0x26 (0 = three channels in each line)
    int32_t lines = 0;           // lines to be returned; at least 1
    int32_t reserved1 = 0;
    int32_t millisecs = 0;       // probe: milliseconds from first data to the end of the probe
    int32_t transferbytes = 0;   // bytes read by the last scan
    int32_t reserved2 = 0;
};

struct LineGeometry {
    double redOffset = 0.0;      // line position offsets of the three channels, in input lines
    double greenOffset = 0.0;
    double blueOffset = 0.0;
    double evenOddOffset = 0.0;  // extra offset for odd pixels
    int32_t inputPixels = 0;
    int32_t bits = 0;            // bits per sample: 1, 2, 4, 8 or 16
    int32_t channelMode = 0;     // 4 = one channel per line; 0 = three interleaved channels
    int32_t actualXResolution = 0;
    int32_t actualYResolution = 0;
    int32_t requestedXResolution = 0;
    int32_t requestedYResolution = 0;
    int32_t interpolate = 0;     // from the scan request at scan open
    int32_t reserved2 = 0;       // from the scan request at scan open, not interpreted
    const uint8_t* currentInputLine = nullptr;
    uint8_t* outputBuffer = nullptr;
    int32_t linesThisCall = 0;
    int32_t repeatLimit = 1;
    int32_t outputBytesPerLine = 0;  // padded to a multiple of 4
    int32_t inputBytesPerLine = 0;
    int32_t inputLinesNeeded = 0;
    int32_t outputLines = 0;
    int32_t linesFed = 0;        // 0 asks for a start
    int32_t linesProduced = 0;
    int32_t bytesPerSample = 1;
    int32_t outputPixels = 0;
    int32_t reservedA = 0;
    int32_t reservedB = 0;
    int32_t topDown = 1;         // 1: scan order; 0: bottom-up bitmap order
    int32_t bytesThisCall = 0;
    int32_t nextLineOffset = 0;
    int32_t headerSize = 0;
    uint8_t* lastLine = nullptr;
    int32_t reservedC = 0;
    int32_t reservedD = 0;
};

}  // namespace ordavel::engine
