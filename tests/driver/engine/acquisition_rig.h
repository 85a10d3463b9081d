// A scripted device with an acquisition opened by hand, for tests of the read-step logic
// (availability poll, transfer ring, delivery, cancellation) without a full set-up.
#pragma once

#include <algorithm>
#include <string>
#include <vector>

#include "driver/engine/acquisition_steps.h"
#include "driver/interface/driver_context.h"
#include "tests/support/test_context.h"

namespace ordavel::engine::test {

class AcquisitionRig {
public:
    AcquisitionRig() {
        rig_.Open();
        DriverContext& c = ctx();
        c.description.Chip = 1;
        c.description.RAM_WordSize = 256;
        c.record.feedNeeded = 0;
    }

    // An open scan of `job` whose controller lines have `bytesPerLine` bytes.
    void OpenByHand(ScanJob job, int32_t bytesPerLine, int32_t lines, std::size_t workBufferBytes = 3 << 20) {
        AcquisitionState& a = ctx().engine.acquisition;
        a.idle = false;
        a.job = job;
        a.workFilePath = ctx().TempFilePath(job == ScanJob::Sheet ? "finalscn.pxl" : "coarse.pxl");
        ctx().engine.setup.workFile = a.workFilePath;
        a.workBuffer.Allocate(workBufferBytes);
        std::fill(a.workBuffer.begin(), a.workBuffer.end(), uint8_t{0});
        a.ring.assign(kRingBytes, 0);
        a.linesToScan = lines;
        ctx().engine.parms.bytesperline = bytesPerLine;
        ctx().engine.parms.bitsperchannel = 8;
        ctx().engine.parms.lines = lines;
    }

    DriverContext& ctx() { return rig_.ctx(); }
    ordavel::test::ScriptedPipe& pipe() { return rig_.pipe(); }
    platform::VirtualClock& clock() { return rig_.clock(); }
    AcquisitionState& acq() { return ctx().engine.acquisition; }

    // Register writes of `reg`, in order.
    std::vector<uint8_t> WritesOf(uint8_t reg) {
        std::vector<uint8_t> values;
        for (const auto& [address, value] : pipe().RegisterWrites()) {
            if (address == reg) values.push_back(value);
        }
        return values;
    }

private:
    ordavel::test::TestContext rig_{ordavel::test::ScriptedDevice{}};
};

}  // namespace ordavel::engine::test
