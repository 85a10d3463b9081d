// A fresh driver context for tests, wired to a scripted device on a virtual clock, with a scratch
// temporary directory of its own.
#pragma once

#include <memory>
#include <string>

#include "driver/interface/driver_context.h"
#include "platform/clock.h"
#include "tests/support/scripted_pipe.h"

namespace ordavel::test {

struct ScriptedContextOptions {
    std::u16string vendor = u"Test Vendor";   // how the scripted device is listed
    std::u16string product = u"Test Scanner";
    double scannerLength = 11.7;              // description values the paper path needs
    double maxSpeed = 3.0;
};

// Owns everything a test needs to drive the device layer: the clock, the scripted device listed
// (alone) in the context's device list, and the context itself, whose description names the
// device ("USB_Manufacturer", "USB_Device") and carries the options' paper-path values. The
// scratch directory is removed with the rig.
class ScriptedContext {
public:
    explicit ScriptedContext(ScriptedContextOptions options = {});
    ~ScriptedContext();
    ScriptedContext(const ScriptedContext&) = delete;
    ScriptedContext& operator=(const ScriptedContext&) = delete;

    // Opens the scripted device through the transport, as initialisation would.
    bool Open();

    DriverContext& ctx() { return *ctx_; }
    ScriptedPipe& pipe() { return *pipe_; }
    ScriptedBackend& backend() { return *backend_; }
    platform::VirtualClock& clock() { return *clock_; }
    const std::string& scratchDir() const { return scratchDir_; }

private:
    ScriptedContextOptions options_;
    std::shared_ptr<platform::VirtualClock> clock_;
    std::shared_ptr<ScriptedPipe> pipe_;
    std::shared_ptr<ScriptedBackend> backend_;
    std::string scratchDir_;
    std::unique_ptr<DriverContext> ctx_;
};

}  // namespace ordavel::test
