// Moving image data from the controller through the transfer ring into the work buffer, with
// white in place of lines the controller no longer delivers.
#include <algorithm>
#include <cstring>
#include <span>

#include "driver/device/controller_registers.h"
#include "driver/device/status_report.h"
#include "driver/device/transport.h"
#include "driver/engine/acquisition_steps.h"
#include "driver/engine/sheet_watch.h"
#include "driver/interface/driver_context.h"

namespace ordavel::engine::acquisition {

namespace {

constexpr uint32_t kProbeMilliseconds = 1000;
constexpr uint8_t kWhite = 0xFF;

// The paper left sensor 1: the motor is done, and unless no sheet follows, the next one is
// already on its way (a short feed suffices).
void FollowPaperOut(DriverContext& ctx) {
    AcquisitionState& a = ctx.engine.acquisition;
    if (!a.paperOutSeen) return;
    a.motorRunning = false;
    if (!a.lastSheet) ctx.record.feedNeeded = 0;
}

// Every controller line ends with a 2-byte status word, the buffer level in memory units (high
// byte first). The buffer holds 256 units, so a larger word is not a status word: the line's
// bytes are not where they belong, some were lost on the way.
constexpr uint32_t kMostBufferUnits = 256;

// Checks the status words among `bytes`, the next image data from the controller.
bool StatusWordsInPlace(AcquisitionState& a, int32_t bytesPerLine, std::span<const uint8_t> bytes) {
    if (bytesPerLine < 2) return true;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const int64_t column = (a.controllerBytes + static_cast<int64_t>(i)) % bytesPerLine;
        if (column == bytesPerLine - 2) {
            a.statusHigh = bytes[i];
        } else if (column == bytesPerLine - 1 && (uint32_t{a.statusHigh} << 8 | bytes[i]) > kMostBufferUnits) {
            return false;
        }
    }
    a.controllerBytes += static_cast<int64_t>(bytes.size());
    return true;
}

bool LostImageData(DriverContext& ctx) {
    device::Report(ctx, "%s", device::kCommunicationFailedText);
    return false;
}

// Reads `n` bytes of image data into the ring. When the data counter said they are there, fewer
// bytes mean image data was lost; status words out of place mean the same. The scan then fails
// rather than deliver an image with lines missing or shifted. (Reads the counter did not size,
// of 16-bit data and of what is left once the controller stopped, may end early: the rest of
// the image is white. That holds for a sheet scan only, whose data ends with the sheet. The
// calibration scans and the transfer-rate probe hold the strip still and the controller delivers
// every line it was asked for, so data that ends early there was lost: a white rest would be
// measured as the strip, and a probe that stopped reading would measure a rate the bus never had.)
bool ReadIntoRing(DriverContext& ctx, uint8_t* at, int32_t n) {
    AcquisitionState& a = ctx.engine.acquisition;
    std::size_t received = 0;
    if (!device::ReadImageData(ctx, {at, static_cast<std::size_t>(n)}, received)) return false;
    const bool everyLineDue = a.amountCounted || a.job != ScanJob::Sheet;
    if (everyLineDue && received < static_cast<std::size_t>(n)) return LostImageData(ctx);
    if (!StatusWordsInPlace(a, ctx.engine.parms.bytesperline, {at, received})) return LostImageData(ctx);
    // Lines past the sheet's tail show whatever lies behind it: the page ends white there.
    const int64_t pageEnd = PageEndByte(ctx);
    const int64_t from = std::max<int64_t>(pageEnd - a.totalRead, 0);
    if (pageEnd >= 0 && from < n) std::memset(at + from, kWhite, static_cast<std::size_t>(n - from));
    return true;
}

// Fills the ring (from its start) with up to `chunk` bytes; false after a read failure.
bool FillRing(DriverContext& ctx, int32_t chunk, int32_t remaining) {
    AcquisitionState& a = ctx.engine.acquisition;
    a.ringRead = 0;
    a.ringWrite = 0;
    while (a.ringWrite < chunk) {
        const int32_t room = kRingFillLimit - a.ringWrite;
        int32_t n = 0;
        uint8_t* at = a.ring.data() + a.ringWrite;
        if (a.dataExpected || a.motorRunning) {
            n = std::min({a.bytesWanted, room, chunk});
            if (n <= 0) break;
            if (!ReadIntoRing(ctx, at, n)) return false;
        } else {
            // The controller has nothing more to give: the missing lines are white.
            n = std::min({remaining, kRingBytes, chunk, room});
            if (n <= 0) break;
            std::memset(at, kWhite, static_cast<std::size_t>(n));
            // As below: after the last sheet the next feed must remain the full one, which finds
            // the feeder empty and ends the batch normally.
            if (!a.lastSheet) ctx.record.feedNeeded = 0;
        }
        a.ringWrite += n;
        FollowPaperOut(ctx);
        a.totalRead += n;
    }
    return true;
}

// The transfer-rate probe ends once more than a second has passed since its first data.
void CheckProbeTime(DriverContext& ctx) {
    EngineState& e = ctx.engine;
    if (e.acquisition.job != ScanJob::Probe) return;
    const uint32_t elapsed = ctx.clock().tickCount() - static_cast<uint32_t>(e.parms.millisecs);
    if (elapsed <= kProbeMilliseconds) return;
    e.acquisition.done = true;
    e.parms.millisecs = static_cast<int32_t>(elapsed);
}

}  // namespace

bool TransferWantedBytes(DriverContext& ctx, int32_t remaining) {
    AcquisitionState& a = ctx.engine.acquisition;
    const int32_t capacity = static_cast<int32_t>(a.workBuffer.size());
    const int32_t bytesPerLine = std::max(ctx.engine.parms.bytesperline, 1);
    while (a.bytesWanted > 0) {
        const int32_t cursor = a.readOffset + a.bytesInBuffer;
        const int32_t chunk = std::min({capacity - a.bytesInBuffer, a.bytesWanted, capacity - cursor});
        if (chunk <= 0) break;
        const int32_t linesBefore = a.totalRead / bytesPerLine;
        if (!FillRing(ctx, chunk, remaining)) return false;
        const int32_t received = a.ringWrite - a.ringRead;
        std::memcpy(a.workBuffer.data() + cursor, a.ring.data() + a.ringRead, static_cast<std::size_t>(received));
        a.ringRead = a.ringWrite;
        a.bytesInBuffer += received;
        a.bytesWanted -= received;
        if (a.totalRead / bytesPerLine != linesBefore) CheckProbeTime(ctx);
        if (received == 0) break;
    }
    return true;
}

}  // namespace ordavel::engine::acquisition
