// A driver context for tests: a scratch temporary directory and working directory, a virtual
// clock, a device list without devices (unless a backend is added), and a log of every status
// text the driver reports.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "driver/interface/driver_context.h"
#include "platform/clock.h"
#include "tests/support/scripted_pipe.h"

namespace ordavel::test {

class ScratchContext {
public:
    explicit ScratchContext(const std::string& tag = "ctx");
    ~ScratchContext();
    ScratchContext(const ScratchContext&) = delete;
    ScratchContext& operator=(const ScratchContext&) = delete;

    DriverContext& ctx() { return *ctx_; }
    // Lists a scripted controller as the reference scanner ("Mirt", "Mirt Sheet Scanner") and
    // returns it; the driver finds it when it opens the device.
    ScriptedPipe& AttachScanner();
    platform::VirtualClock& clock() { return *clock_; }
    const std::shared_ptr<platform::VirtualClock>& sharedClock() const { return clock_; }
    platform::DeviceList& devices() { return *devices_; }
    const std::string& tempDir() const { return tempDir_; }
    const std::string& workDir() const { return workDir_; }

    // Every text reported since construction (or the last clear), in order. While a context made
    // later lives, only that one records (the status callback cannot tell contexts apart).
    const std::vector<std::string>& messages() const { return messages_; }
    void clearMessages() { messages_.clear(); }
    bool reported(const std::string& text) const;

    // Neutral stored calibration: "cr.dat" with unity gains and "BlackFINE.PXL" with a zero
    // black line, for a 1680-pixel line calibrated at the description's start pixel.
    void writeNeutralCalibration() const;
    // Writes "Mirt.def" in the temporary directory with the given content.
    void writeSettings(const std::string& content) const;
    std::string readFile(const std::string& path) const;
    void writeFile(const std::string& path, const std::string& content) const;

private:
    static int32_t RecordStatus(int32_t kind);

    std::string root_;
    std::string tempDir_;
    std::string workDir_;
    std::shared_ptr<platform::VirtualClock> clock_;
    std::shared_ptr<platform::DeviceList> devices_;
    std::unique_ptr<DriverContext> ctx_;
    std::vector<std::string> messages_;
    std::shared_ptr<ScriptedPipe> scanner_;
    ScratchContext* previous_ = nullptr;  // the recorder this one stands in for while it lives
};

}  // namespace ordavel::test
