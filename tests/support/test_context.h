// A fresh driver context for tests: a scratch temporary directory (the driver's files) and
// working directory, a virtual clock (at one second), a device list (empty, or with a scripted device), and a log
// of every status text the driver reports. Everything is removed with the context.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "driver/interface/driver_context.h"
#include "platform/clock.h"
#include "tests/support/scratch_files.h"
#include "tests/support/scripted_pipe.h"

namespace ordavel::test {

// A scripted device for tests of the device layer, which run without a loaded description: how
// it is listed, and the values the description would give the paper path.
struct ScriptedDevice {
    std::u16string vendor = u"Test Vendor";
    std::u16string product = u"Test Scanner";
    double scannerLength = 11.7;
    double maxSpeed = 3.0;
};

class TestContext {
public:
    explicit TestContext(const std::string& tag = "ctx");
    // With `device` listed alone and named in the description ("USB_Manufacturer", "USB_Device"),
    // which also carries its paper-path values; its clock starts at 0.
    explicit TestContext(const ScriptedDevice& device, const std::string& tag = "device");
    ~TestContext();
    TestContext(const TestContext&) = delete;
    TestContext& operator=(const TestContext&) = delete;

    DriverContext& ctx() { return *ctx_; }
    platform::VirtualClock& clock() { return *clock_; }
    const std::shared_ptr<platform::VirtualClock>& sharedClock() const { return clock_; }
    platform::DeviceList& devices() { return *devices_; }

    // Lists a scripted controller as the reference scanner ("Mirt", "Mirt Sheet Scanner") and
    // returns it; the driver finds it when it opens the device.
    ScriptedPipe& AttachScanner();
    // Opens the scripted device of the constructor through the transport, as initialisation would.
    bool Open();
    ScriptedPipe& pipe() { return *pipe_; }
    ScriptedBackend& backend() { return *backend_; }

    // The driver's temporary directory and the process's working directory ("default.gam").
    const ScratchDir& temp() const { return temp_; }
    const std::string& tempDir() const { return temp_.path(); }
    const std::string& workDir() const { return work_.path(); }

    // Every text reported since construction (or the last clear), in order. While a context made
    // later lives, only that one records (the status callback cannot tell contexts apart).
    const std::vector<std::string>& messages() const { return messages_; }
    void clearMessages() { messages_.clear(); }
    bool reported(const std::string& text) const;

    // Writes "Mirt.def" naming `descriptionName`, and copies the shipped description of that
    // name from data/ unless `copyDescription` is false.
    void installReferenceFiles(std::string_view descriptionName = "Mirt9832.dsc", bool copyDescription = true);
    // Writes "Mirt.def" naming "test.dsc" and `content` as that description.
    void installDescription(std::string_view content);
    // Neutral stored calibration: "cr.dat" with unity gains and "BlackFINE.PXL" with a zero
    // black line, for a 1680-pixel line calibrated at the description's start pixel.
    void writeNeutralCalibration() const;
    // Writes "Mirt.def" in the temporary directory with the given content.
    void writeSettings(const std::string& content) const;
    std::string readFile(const std::string& path) const;
    void writeFile(const std::string& path, const std::string& content) const;

private:
    TestContext(const std::string& tag, uint64_t clockStartMicros);
    static int32_t RecordStatus(int32_t kind);
    void listScripted(const std::u16string& vendor, const std::u16string& product, const std::string& name);

    ScratchDir temp_;
    ScratchDir work_;
    std::shared_ptr<platform::VirtualClock> clock_;
    std::shared_ptr<platform::DeviceList> devices_;
    std::unique_ptr<DriverContext> ctx_;
    std::vector<std::string> messages_;
    std::shared_ptr<ScriptedPipe> pipe_;
    std::shared_ptr<ScriptedBackend> backend_;
    std::u16string vendor_, product_;   // the scripted device Open looks for
    TestContext* previous_ = nullptr;   // the recorder this one stands in for while it lives
};

// The shipped reference description text with one key's line changed. `value` nullptr removes
// the line; otherwise the line becomes "key=value".
std::string ReferenceDescriptionWith(std::string_view key, const char* value,
                                     std::string_view dataName = "Mirt9832.dsc");

}  // namespace ordavel::test
