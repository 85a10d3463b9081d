// How one bulk transfer is carried out over USB, apart from the USB library: one attempt, a
// halted endpoint cleared and the transfer tried once more, and a time budget for the whole,
// retry included. A partial transfer is taken for what it is: an OUT that did not send every
// byte failed (the device took part of a command; the caller decides what to resend), an IN
// returns the bytes that arrived.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

namespace ordavel::platform {

enum class BulkAttemptStatus {
    Completed,  // the transfer ended normally (an IN may have ended with a short packet)
    TimedOut,   // the attempt's timeout ran out; `transferred` bytes moved before it did
    Stalled,    // the endpoint halted
    Failed,     // any other error (device gone, overflow, ...)
};

struct BulkAttempt {
    BulkAttemptStatus status = BulkAttemptStatus::Failed;
    std::size_t transferred = 0;
};

// What the policy drives: an attempt with a timeout (always at least 1 ms: 0 would mean "no
// timeout" to the USB library), clearing the endpoint's halt, and a monotonic clock.
struct BulkTransferSteps {
    std::function<BulkAttempt(uint32_t timeoutMs)> attempt;
    std::function<bool()> clearHalt;
    std::function<uint64_t()> nowMs;
};

// The time one transfer may take with its retry; the halt clearing between attempts is a
// control transfer of its own, bounded by the system, and comes on top.
constexpr uint32_t kBulkTransferBudgetMs = 5000;

// Sends `length` bytes; true only when every byte went.
bool RunBulkOut(std::size_t length, const BulkTransferSteps& steps, uint32_t budgetMs = kBulkTransferBudgetMs);

// Receives up to the buffer's size; `received` is what arrived. True when the transfer completed
// (even with no bytes: a zero-length answer is an answer) or bytes arrived before a timeout or
// halt.
bool RunBulkIn(const BulkTransferSteps& steps, std::size_t& received, uint32_t budgetMs = kBulkTransferBudgetMs);

}  // namespace ordavel::platform
