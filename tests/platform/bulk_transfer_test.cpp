// One bulk transfer over a device that answers each attempt as scripted: partial transfers,
// halted endpoints cleared and retried once, and the time budget shared by attempt and retry.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/bulk_transfer.h"

namespace ordavel::platform {
namespace {

using S = BulkAttemptStatus;

struct Answer {
    S status;
    std::size_t transferred;
    uint64_t costMs = 1;  // time the attempt takes on the device
};

struct TransferCase {
    const char* name;
    bool out;
    std::vector<Answer> answers;  // one per attempt, in order
    bool ok;
    std::size_t received;              // IN only
    std::vector<uint32_t> timeouts;    // the timeout each attempt was given
    int clears;
    bool clearWorks = true;
};

constexpr std::size_t kLength = 64;

class BulkTransfer : public ::testing::TestWithParam<TransferCase> {};

TEST_P(BulkTransfer, EndsAsTheDeviceAnswered) {
    const TransferCase& c = GetParam();
    uint64_t now = 1000;
    std::size_t next = 0;
    std::vector<uint32_t> timeouts;
    int clears = 0;
    BulkTransferSteps steps;
    steps.attempt = [&](uint32_t timeoutMs) {
        timeouts.push_back(timeoutMs);
        if (next >= c.answers.size()) return BulkAttempt{S::Failed, 0};
        const Answer& a = c.answers[next++];
        now += a.costMs;
        return BulkAttempt{a.status, a.transferred};
    };
    steps.clearHalt = [&] {
        ++clears;
        return c.clearWorks;
    };
    steps.nowMs = [&] { return now; };

    std::size_t received = 12345;
    const bool ok = c.out ? RunBulkOut(kLength, steps) : RunBulkIn(steps, received);
    EXPECT_EQ(ok, c.ok);
    if (!c.out) {
        EXPECT_EQ(received, c.received);
    }
    EXPECT_EQ(timeouts, c.timeouts);
    EXPECT_EQ(clears, c.clears);
}

constexpr uint32_t kFull = kBulkTransferBudgetMs;

INSTANTIATE_TEST_SUITE_P(
    Answers, BulkTransfer,
    ::testing::Values(
        TransferCase{"OutWhole", true, {{S::Completed, kLength}}, true, 0, {kFull}, 0},
        TransferCase{"OutShortIsAFailure", true, {{S::Completed, kLength - 1}}, false, 0, {kFull}, 0},
        TransferCase{"OutPartBeforeTimeoutIsAFailure", true, {{S::TimedOut, 3, kFull}}, false, 0, {kFull}, 0},
        TransferCase{"OutHaltClearedAndSentAgain", true, {{S::Stalled, 0, 10}, {S::Completed, kLength}}, true, 0,
                     {kFull, kFull - 10}, 1},
        TransferCase{"OutHaltAfterAPartIsClearedNotResent", true, {{S::Stalled, 5}}, false, 0, {kFull}, 1},
        TransferCase{"OutSecondHaltFails", true, {{S::Stalled, 0}, {S::Stalled, 0}}, false, 0, {kFull, kFull - 1}, 2},
        TransferCase{"OutHaltThatWillNotClearFails", true, {{S::Stalled, 0}}, false, 0, {kFull}, 1, false},
        TransferCase{"OutOtherErrorFails", true, {{S::Failed, 0}}, false, 0, {kFull}, 0},
        TransferCase{"OutNoRetryOnceTheBudgetIsSpent", true, {{S::Stalled, 0, kFull}}, false, 0, {kFull}, 1},
        TransferCase{"OutRetryGetsOnlyWhatIsLeft", true, {{S::Stalled, 0, kFull - 1}, {S::Completed, kLength}}, true, 0,
                     {kFull, 1}, 1},
        TransferCase{"InShortPacketReturnsWhatArrived", false, {{S::Completed, 5}}, true, 5, {kFull}, 0},
        TransferCase{"InZeroLengthAnswerIsAnAnswer", false, {{S::Completed, 0}}, true, 0, {kFull}, 0},
        TransferCase{"InBytesBeforeTimeoutAreKept", false, {{S::TimedOut, 7, kFull}}, true, 7, {kFull}, 0},
        TransferCase{"InNothingBeforeTimeoutFails", false, {{S::TimedOut, 0, kFull}}, false, 0, {kFull}, 0},
        TransferCase{"InHaltClearedAndReadAgain", false, {{S::Stalled, 0, 20}, {S::Completed, 9}}, true, 9,
                     {kFull, kFull - 20}, 1},
        TransferCase{"InBytesBeforeHaltAreKept", false, {{S::Stalled, 4}}, true, 4, {kFull}, 1},
        TransferCase{"InSecondHaltFails", false, {{S::Stalled, 0}, {S::Stalled, 0}}, false, 0, {kFull, kFull - 1}, 2},
        TransferCase{"InHaltThatWillNotClearFails", false, {{S::Stalled, 0}}, false, 0, {kFull}, 1, false},
        TransferCase{"InOtherErrorFailsWhateverArrived", false, {{S::Failed, 3}}, false, 3, {kFull}, 0},
        TransferCase{"InNoRetryOnceTheBudgetIsSpent", false, {{S::Stalled, 0, kFull + 7}}, false, 0, {kFull}, 1}),
    [](const auto& p) { return std::string(p.param.name); });

}  // namespace
}  // namespace ordavel::platform
