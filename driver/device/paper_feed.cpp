// Feeding the next sheet into the scan position: the full feed that runs the motor until the
// sheet reaches the sensors (or the feeder runs empty), the short feed after a scan that left
// the sheet at the sensors, and the final positioning move.
#include "driver/device/controller_registers.h"
#include "driver/device/paper_path.h"
#include "driver/device/status_report.h"
#include "driver/device/transport.h"
#include "driver/interface/driver_context.h"

namespace ordavel::device {

namespace {

constexpr int kShortFeedPolls = 500;
constexpr int kFullFeedPolls = 600;
// A full feed whose poll count reaches this is a jam, even when a mark came on the last poll.
constexpr int kFullFeedJamCount = 599;
constexpr uint32_t kPollIntervalMs = 10;
// With the feeder empty (or a forced feed) the motor runs on this long to carry the sheet out.
constexpr uint32_t kEjectRunMs = 500;

constexpr uint8_t kFeedStepLow = 0x10;
constexpr uint8_t kFeedPwmDuty = 0x30;
constexpr uint8_t kPositionStepsHigh = kPositioningSteps >> 8;
constexpr uint8_t kPositionStepsLow = kPositioningSteps & 0xFF;
constexpr uint8_t kJamSignal = 0x11;
constexpr uint8_t kCoverOpenSignal = 0x19;
constexpr uint8_t kBothSensors = kPaperAtSensor1 | kPaperAtSensor2;

constexpr const char* kCommunicationFailed = kCommunicationFailedText;
constexpr const char* kCoverOpen = "上盖打开";
constexpr const char* kPaperJam = kPaperJamText;

// Every register access of the feed that fails is a communication failure for the client.
bool FeedWrite(DriverContext& ctx, uint8_t reg, uint8_t value) {
    if (WriteRegister(ctx, reg, value)) return true;
    Report(ctx, "%s", kCommunicationFailed);
    return false;
}

bool ReadSensors(DriverContext& ctx, uint8_t& status) {
    if (ReadRegister(ctx, kSensorStatus, status)) return true;
    Report(ctx, "%s", kCommunicationFailed);
    return false;
}

bool StartFeedMotor(DriverContext& ctx) {
    return FeedWrite(ctx, kFastFeedStepLow, kFeedStepLow) && FeedWrite(ctx, kStepperPwmDuty, kFeedPwmDuty) &&
           FeedWrite(ctx, kCommand, kCommandFeed);
}

bool StopMotor(DriverContext& ctx) { return FeedWrite(ctx, kCommand, kCommandIdle); }

// Always false: the feed has failed whether or not the signal reaches the controller.
bool SignalJam(DriverContext& ctx) {
    Report(ctx, "%s", kPaperJam);
    FeedWrite(ctx, kGpioPins56, kJamSignal);
    return false;
}

bool StopAndSignalJam(DriverContext& ctx) { return StopMotor(ctx) && SignalJam(ctx); }

bool PositionSheet(DriverContext& ctx) {
    return FeedWrite(ctx, kSkipStepsHigh, kPositionStepsHigh) && FeedWrite(ctx, kSkipStepsLow, kPositionStepsLow) &&
           FeedWrite(ctx, kCommand, kCommandPosition) && WaitForIdle(ctx);
}

// The sheet already waits at the entrance: run the motor until it reaches paper sensor 1.
bool ShortFeed(DriverContext& ctx) {
    for (int poll = 0; poll < kShortFeedPolls; ++poll) {
        uint8_t status = 0;
        if (!ReadSensors(ctx, status)) return false;
        if ((status & kFeederEmptyOrCoverOpen) != 0) {
            // Once this feed has started the motor, an open cover stops it: left running, it
            // would turn with the cover open until some later command ended it.
            if (poll > 0 && !StopMotor(ctx)) return false;
            Report(ctx, "%s", kCoverOpen);
            FeedWrite(ctx, kGpioPins56, kCoverOpenSignal);
            return false;
        }
        if ((status & kPaperAtSensor1) != 0) return StopMotor(ctx) && PositionSheet(ctx);
        if (poll == 0 && !StartFeedMotor(ctx)) return false;
        ctx.clock().sleep(kPollIntervalMs);
    }
    return StopAndSignalJam(ctx);
}

struct FullFeedPolls {
    int count = 0;
    bool emptyMark = false;  // the feeder ran empty, or no sheet is at either sensor
    bool doneMark = false;   // the sheet came to both sensors after sensor 2 alone was seen
    uint8_t lastStatus = 0;
};

// Polls the sensors while the motor runs; false only on a communication failure.
//
// Between two sheets of a feeder there is a gap: the one that just left paper sensor 1 may be
// gone before the next has reached the entrance. Seeing neither sensor then is the gap, not an
// empty feeder, as long as the tray input says sheets are still there: the feed waits for the
// next sheet (the polls still limit it) instead of running the motor on for the eject time and
// carrying that sheet past the scan position. A forced feed clears the path as it always did.
bool PollFullFeed(DriverContext& ctx, FullFeedPolls& polls, bool force) {
    bool sensor2AloneSeen = false;
    bool sheetSeen = false;
    while (polls.count < kFullFeedPolls) {
        ctx.clock().sleep(kPollIntervalMs);
        if (!ReadSensors(ctx, polls.lastStatus)) return false;
        const uint8_t status = polls.lastStatus;
        const uint8_t sensors = status & kBothSensors;
        if ((status & kFeederEmptyOrCoverOpen) != 0) {
            polls.emptyMark = true;
            return true;
        }
        if (sensors == kBothSensors && sensor2AloneSeen) {
            polls.doneMark = true;
            return true;
        }
        // Reached only while the tray input still reports sheets (an empty tray returned above),
        // so no paper at the sensors after a sheet is the gap before the next one.
        const bool gapBeforeNextSheet = sheetSeen && !force;
        if (sensors == 0 && !gapBeforeNextSheet) {
            polls.emptyMark = polls.doneMark = true;
            return true;
        }
        if (sensors != 0) sheetSeen = true;
        if (sensors == kPaperAtSensor2) {
            ctx.clock().sleep(kPollIntervalMs);
            sensor2AloneSeen = true;
        }
        ++polls.count;
    }
    return true;
}

bool FullFeed(DriverContext& ctx, bool force) {
    if (!StartFeedMotor(ctx)) return false;
    FullFeedPolls polls;
    if (!PollFullFeed(ctx, polls, force)) return false;
    if (polls.count >= kFullFeedJamCount) return StopAndSignalJam(ctx);
    if (polls.emptyMark || force) {
        ctx.clock().sleep(kEjectRunMs);
        return StopMotor(ctx);
    }
    if (!StopMotor(ctx)) return false;
    if ((polls.lastStatus & kBothSensors) == kBothSensors || polls.doneMark) return PositionSheet(ctx);
    return SignalJam(ctx);
}

}  // namespace

bool FeedPaper(DriverContext& ctx, bool force) {
    ctx.record.dataEnded = 0;
    if (!WaitForIdle(ctx)) return false;
    if (ctx.record.feedNeeded == 0 && !force) return ShortFeed(ctx);
    return FullFeed(ctx, force);
}

}  // namespace ordavel::device
