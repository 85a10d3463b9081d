// Everything the scan-to-file library keeps between calls, in one object the exports own: the
// driver binding (the driver stays loaded from the first scan until the library is unloaded),
// the adjustment tables, the progress view and the real clock the wait for the monitor uses.
#pragma once

#include <memory>

#include "client/driver_binding.h"
#include "client/tone_curve.h"
#include "ordavel.h"
#include "platform/clock.h"
#include "platform/progress_view.h"

namespace mirt::client {

class PimletContext {
public:
    // `progressCallback` is the plain function the driver calls; it must lead back to this
    // context's onProgress (the driver's callback carries no context of its own).
    explicit PimletContext(ScanStatusCallback callback) : progressCallback_(callback) {}

    DriverBinding& driver() { return driver_; }
    tone::Adjustments& adjustments() { return adjustments_; }
    ordavel::platform::Clock& realClock() { return realClock_; }
    ScanStatusCallback progressCallback() const { return progressCallback_; }

    // The progress view exists from its creation in a scan to the end of that scan.
    ordavel::platform::ProgressView* progress() { return progress_.get(); }
    bool createProgress();
    void destroyProgress() { progress_.reset(); }

    // The driver's status callback: at a progress point (kind nonzero) the bar follows the
    // driver's progress; status texts (kind 0) are not shown. Always 0: never cancels.
    int32_t onProgress(int32_t kind);

private:
    DriverBinding driver_;
    tone::Adjustments adjustments_;
    ordavel::platform::RealClock realClock_;
    ScanStatusCallback progressCallback_;
    std::unique_ptr<ordavel::platform::ProgressView> progress_;
};

}  // namespace mirt::client
