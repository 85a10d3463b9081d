// The bulk transfer policy: one attempt, one retry after clearing a halt, one time budget.
#include "platform/bulk_transfer.h"

namespace ordavel::platform {

namespace {

class Budget {
public:
    Budget(const BulkTransferSteps& steps, uint32_t budgetMs)
        : steps_(steps), deadline_(steps.nowMs() + budgetMs) {}
    // The timeout for the next attempt; 0 when the budget is spent.
    uint32_t remainingMs() const {
        const uint64_t now = steps_.nowMs();
        return now >= deadline_ ? 0 : static_cast<uint32_t>(deadline_ - now);
    }

private:
    const BulkTransferSteps& steps_;
    uint64_t deadline_;
};

}  // namespace

bool RunBulkOut(std::size_t length, const BulkTransferSteps& steps, uint32_t budgetMs) {
    Budget budget(steps, budgetMs);
    for (int attempt = 0; attempt < 2; ++attempt) {
        const uint32_t timeout = budget.remainingMs();
        if (timeout == 0) return false;
        const BulkAttempt result = steps.attempt(timeout);
        switch (result.status) {
        case BulkAttemptStatus::Completed:
            return result.transferred == length;
        case BulkAttemptStatus::Stalled:
            // The halt must go whatever happens next, or every later transfer stalls too. Only a
            // transfer of which nothing went is sent again: resending a part would repeat bytes.
            if (!steps.clearHalt() || result.transferred != 0) return false;
            continue;
        case BulkAttemptStatus::TimedOut:
        case BulkAttemptStatus::Failed:
            return false;
        }
    }
    return false;
}

bool RunBulkIn(const BulkTransferSteps& steps, std::size_t& received, uint32_t budgetMs) {
    received = 0;
    Budget budget(steps, budgetMs);
    for (int attempt = 0; attempt < 2; ++attempt) {
        const uint32_t timeout = budget.remainingMs();
        if (timeout == 0) return false;
        const BulkAttempt result = steps.attempt(timeout);
        received = result.transferred;
        switch (result.status) {
        case BulkAttemptStatus::Completed:
            return true;
        case BulkAttemptStatus::TimedOut:
            return received > 0;
        case BulkAttemptStatus::Stalled:
            if (!steps.clearHalt()) return received > 0;
            if (received > 0) return true;
            continue;
        case BulkAttemptStatus::Failed:
            return false;
        }
    }
    return false;
}

}  // namespace ordavel::platform
